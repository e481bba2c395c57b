// Start-up: the display check, the first-run agreement and offer of help, the
// start-up state, and the splash and about window with its help link.
#include "ui/teulafrm.h"
#include "ui/tform10.h"
#include "ui/tform5.h"
#include "ui_rig.h"

using namespace cw;

// Stands in for the desktop's browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.push_back(url); }
};

class TestStartup : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> home;
    UrlCatcher browser;

private slots:
    void init() {
        home = std::make_unique<QTemporaryDir>();
        uitest::privateHome(*home, false);
        QDir::setCurrent(home->path());  // not beside the program
        QDesktopServices::setUrlHandler("file", &browser, "open");
        browser.opened.clear();
    }
    void cleanup() { QDesktopServices::unsetUrlHandler("file"); }

    void startUp_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<int>("agreement");  // -1 agreed on an earlier run, 0 declined now, 1 accepted now
        QTest::addColumn<bool>("wantsHelp");
        QTest::newRow("640 x 480") << QSize(640, 480) << -1 << false;
        QTest::newRow("799 x 600") << QSize(799, 600) << -1 << false;
        QTest::newRow("800 x 599") << QSize(800, 599) << -1 << false;
        QTest::newRow("800 x 600") << QSize(800, 600) << -1 << false;
        QTest::newRow("first run, help now") << QSize(800, 600) << 1 << true;
        QTest::newRow("first run, help later") << QSize(800, 600) << 1 << false;
        QTest::newRow("first run, declined") << QSize(800, 600) << 0 << true;
    }
    void startUp() {
        QFETCH(QSize, screen);
        QFETCH(int, agreement);
        QFETCH(bool, wantsHelp);
        if (agreement < 0) recordAgreementAccepted();
        const bool tooSmall = screen.width() < 800 || screen.height() < 600;
        cwtest::ScriptedMessages messages;
        messages.answer = wantsHelp;
        Chromawell app({.services = {&messages, nullptr, [screen] { return screen; }}, .splash = false});
        QCOMPARE(app.creationOrder(), (std::vector<std::string>{"Form1", "Form3", "Form7", "Form10", "EULAFrm"}));
        if (agreement >= 0)
            uitest::whenModal([&](QWidget* modal) {
                TEULAFrm& eula = app.eulaFrm();
                QCOMPARE(modal, static_cast<QWidget*>(&eula));
                QVERIFY(eula.Button1->isVisible() && eula.OKBtn->isVisible() && !eula.Button2->isVisible());
                if (agreement) QTest::mouseClick(eula.Button1, Qt::LeftButton);
                else QTest::keyClick(&eula, Qt::Key_Escape);
            });
        TForm1& f = app.form1();
        QSignalSpy started(&f, &TForm1::started);
        app.showMain();
        QTRY_VERIFY(f.terminateRequested() || started.count() == 1);
        QCOMPARE(f.terminateRequested(), tooSmall || agreement == 0);
        QCOMPARE(agreementAccepted(), agreement != 0);
        std::vector<std::string> said;
        if (tooSmall) said.push_back(kDisplayTooSmall);
        if (agreement == 1) said.push_back(kFirstRunHelpQuestion);
        QCOMPARE(messages.shown, said);
        QCOMPARE(browser.opened.size(), agreement == 1 && wantsHelp ? 1 : 0);
        if (!browser.opened.empty()) {
            QCOMPARE(browser.opened[0].fileName(), QString("cwdoc21.html"));
            QVERIFY(QFileInfo::exists(browser.opened[0].toLocalFile()));
        }
        if (agreement == 0) return;
        // A small display still lets the rest of the start-up run.
        const Session& s = f.session();
        QTRY_VERIFY(QFileInfo(QString::fromStdString(s.scratchFolder)).isDir());
        QCOMPARE((std::vector<int>{s.tools.currentTool, s.palette.paletteCode, s.palette.markerColour,
                                   s.settings.complexity, s.settings.integrationTolerance, s.settings.imageSpan}),
                 (std::vector<int>{1, 1, 16776960, 16, 52, 1}));
        QCOMPARE(f.Label24->text(), QString("Skin: Fair"));
        QVERIFY(!f.Panel1->isEnabled() && !f.Panel12->isEnabled());
        QVERIFY(f.SpeedButton1->isChecked() && f.PaintInteractive->isChecked());
        QVERIFY(f.CheckBox10->isVisible() && f.CheckBox10->isEnabledTo(f.Panel1));
        QVERIFY(!app.form7().isVisible() && !f.Form10()->isVisible());
        for (bool shown : {false, true, false}) {  // the extra controls toggle
            for (QWidget* w : std::initializer_list<QWidget*>{f.Panel88, f.Panel12, f.RadioGroup1, f.CheckBox2})
                QCOMPARE(w->isVisibleTo(w->parentWidget()), shown);
            f.ShowHideExtraControls1->trigger();
        }
    }

    // However the splash or the about window goes, the help button opens the
    // about window again afterwards, and not while one is up.
    void aboutWindowClearsItsFlagHoweverItGoes_data() {
        QTest::addColumn<bool>("splash");
        QTest::addColumn<bool>("restored");  // minimised and restored first: a second show event
        QTest::addColumn<int>("how");        // 0 Close, 1 Escape, 2 Read EULA, 3 its own timer
        QTest::newRow("about, Close") << false << false << 0;
        QTest::newRow("about, Escape") << false << false << 1;
        QTest::newRow("about restored, Close") << false << true << 0;
        QTest::newRow("about, Read EULA") << false << false << 2;
        QTest::newRow("splash, Escape") << true << false << 1;
        QTest::newRow("splash, its timer") << true << false << 3;
    }
    void aboutWindowClearsItsFlagHoweverItGoes() {
        QFETCH(bool, splash);
        QFETCH(bool, restored);
        QFETCH(int, how);
        recordAgreementAccepted();
        Chromawell app({.services = {nullptr, nullptr, [] { return QSize(1024, 768); }}, .splash = splash});
        TForm1& f = app.form1();
        QSignalSpy started(&f, &TForm1::started);
        app.showMain();
        QVERIFY(started.wait(5000));
        QCOMPARE(TForm5::showing(), splash);
        auto goAway = [&](TForm5* about) {
            QVERIFY(about);
            QShowEvent again;
            if (restored) QCoreApplication::sendEvent(about, &again);
            QTest::mouseClick(f.ExplorerButton15, Qt::LeftButton);  // a second one is refused
            QCOMPARE(QApplication::activeModalWidget(), splash ? nullptr : static_cast<QWidget*>(about));
            QTest::mouseClick(about->UrlLabel1, Qt::LeftButton);  // the help page beside the program
            QCOMPARE(browser.opened.size(), 1);
            const QString page = browser.opened[0].toLocalFile();
            QVERIFY(page.endsWith("/cwdoc0.html") && QFileInfo::exists(page));
            QVERIFY(page.startsWith(QCoreApplication::applicationDirPath()));
            if (how == 1) QTest::keyClick(about, Qt::Key_Escape);
            else if (how < 3) QTest::mouseClick(how == 0 ? about->Button1 : about->Button3, Qt::LeftButton);
        };
        if (splash) goAway(app.splash());
        else {
            uitest::whenModal([&](QWidget* modal) { goAway(qobject_cast<TForm5*>(modal)); });
            QTest::mouseClick(f.ExplorerButton15, Qt::LeftButton);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!TForm5::showing(), 4000);
        TEULAFrm& eula = app.eulaFrm();
        QCOMPARE(eula.isVisible(), how == 2);  // in reading mode, not modal
        if (how == 2) {
            QVERIFY(!eula.isModal() && eula.Button2->isVisible() && !eula.Button1->isVisible());
            QTest::mouseClick(eula.Button2, Qt::LeftButton);
            QVERIFY(!eula.isVisible());
        }
        bool opened = false;
        uitest::whenModal([&](QWidget* modal) {
            opened = qobject_cast<TForm5*>(modal) != nullptr;
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        QTest::mouseClick(f.ExplorerButton15, Qt::LeftButton);
        QVERIFY(opened && !TForm5::showing());
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
