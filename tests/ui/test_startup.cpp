// Start-up: the splash, the windows' order, the display check, the first-run
// agreement, the about window and the extra controls.
#include <QCheckBox>
#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "platform/scratch_location_qt.h"
#include "test_support.h"
#include "ui/chromawell_qt.h"
#include "ui/help_qt.h"
#include "ui/teulafrm.h"
#include "ui/tform1.h"
#include "ui/tform10.h"
#include "ui/tform5.h"
#include "ui/tform7.h"

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

    // Clicks a button of the modal window that is about to open.
    // A timer, not a wait: the modal window runs its own event loop.
    static void whenModal(std::function<void(QWidget*)> act) {
        auto* timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [timer, act] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                timer->stop();
                timer->deleteLater();
                act(modal);
            }
        });
        timer->start(10);
    }

private slots:
    void init() {
        // Each test starts as a first run with an empty cache.
        home = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CACHE_HOME", home->path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home->path() + "/config").toUtf8());
        QDesktopServices::setUrlHandler("file", &browser, "open");
        browser.opened.clear();
    }
    void cleanup() { QDesktopServices::unsetUrlHandler("file"); }

    void startsInOrderWithTheStartUpState() {
        setApplicationIdentity();
        recordAgreementAccepted();
        cwtest::ScriptedMessages messages;
        Chromawell app({.services = {&messages, nullptr, [] { return QSize(1024, 768); }}});
        QCOMPARE(app.creationOrder(), (std::vector<std::string>{"Form1", "Form3", "Form7", "Form10", "EULAFrm"}));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QString("Chromawell 2.1"));
        QVERIFY(app.splash() && app.splash()->isVisible());
        QCOMPARE(app.splash()->size(), QSize(312, 82));
        QCOMPARE(app.splash()->Timer1->interval(), 2000);
        QVERIFY(TForm5::showing());

        TForm1& f = app.form1();
        QSignalSpy started(&f, &TForm1::started);
        app.showMain();
        QVERIFY(started.wait(5000));
        QVERIFY(messages.shown.empty());
        QCOMPARE(f.ExplorerButton1->text(), QString("Load Image"));
        QVERIFY(!f.Panel1->isEnabled());
        QVERIFY(!f.Panel12->isEnabled());
        QVERIFY(!f.Panel12->isVisible());
        QVERIFY(f.SpeedButton1->isChecked());
        QVERIFY(f.PaintInteractive->isChecked());
        QVERIFY(f.CheckBox10->isVisible() && f.CheckBox10->isEnabledTo(f.Panel1));
        QCOMPARE(f.Label24->text(), QString("Skin: Fair"));
        const Session& s = f.session();
        QCOMPARE(s.tools.currentTool, 1);
        QCOMPARE(s.palette.paletteCode, 1);
        QCOMPARE(s.palette.markerColour, 16776960);
        QCOMPARE(s.settings.complexity, 16);
        QCOMPARE(s.settings.integrationTolerance, 52);
        QCOMPARE(s.settings.imageSpan, 1);
        QVERIFY(QFileInfo(QString::fromStdString(s.scratchFolder)).isDir());
        QVERIFY(!app.form7().isVisible());
        QVERIFY(f.Form10() && !f.Form10()->isVisible());
        QCOMPARE(f.Form10()->windowTitle(), QString("Zoom`ed View"));
        // Controls owned elsewhere exist with their captions and defaults.
        QCOMPARE(f.ExplorerButton14->text(), QString("Scan Image"));
        QCOMPARE(f.SpinEdit4->value(), 255);
        QCOMPARE(f.SpinEdit4->singleStep(), 15);
        QCOMPARE(f.MaskEdit2->value(), 10);
        QVERIFY(f.CheckBox6->isChecked() && f.CheckBox13->isChecked());
        QVERIFY(f.RadioButton1->isChecked() && !f.RadioButton2->isChecked());
        QCOMPARE(f.SpeedButton9->toolTip(), QString("10 x 5"));

        // The splash closes itself after two seconds.
        QTRY_VERIFY_WITH_TIMEOUT(app.splash() == nullptr, 4000);
        QVERIFY(!TForm5::showing());
    }

    void displayCheck_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<bool>("tooSmall");
        QTest::newRow("640 x 480") << QSize(640, 480) << true;
        QTest::newRow("1024 x 768") << QSize(1024, 768) << false;
        QTest::newRow("800 x 599") << QSize(800, 599) << true;
        QTest::newRow("800 x 600") << QSize(800, 600) << false;
    }
    void displayCheck() {
        QFETCH(QSize, screen);
        QFETCH(bool, tooSmall);
        recordAgreementAccepted();
        cwtest::ScriptedMessages messages;
        Chromawell app({.services = {&messages, nullptr, [screen] { return screen; }}, .splash = false});
        QSignalSpy started(&app.form1(), &TForm1::started);
        app.showMain();
        QTRY_VERIFY(app.form1().terminateRequested() || started.count() == 1);
        QCOMPARE(app.form1().terminateRequested(), tooSmall);
        QCOMPARE(messages.shown.size(), size_t(tooSmall ? 1 : 0));
        if (tooSmall) QCOMPARE(QString::fromStdString(messages.shown[0]), QString(kDisplayTooSmall));
        // The rest of the start-up still ran: the scratch folder is there.
        QTRY_VERIFY(QFileInfo(QString::fromStdString(app.form1().session().scratchFolder)).isDir());
    }

    void firstRunAccepted_data() {
        QTest::addColumn<bool>("wantsHelp");
        QTest::newRow("help now") << true;
        QTest::newRow("help later") << false;
    }
    void firstRunAccepted() {
        QFETCH(bool, wantsHelp);
        QVERIFY(!agreementAccepted());
        cwtest::ScriptedMessages messages;
        messages.answer = wantsHelp;
        Chromawell app({.services = {&messages, nullptr, [] { return QSize(1024, 768); }}, .splash = false});
        whenModal([&](QWidget* modal) {
            QCOMPARE(modal, static_cast<QWidget*>(&app.eulaFrm()));
            QVERIFY(app.eulaFrm().Button1->isVisible() && app.eulaFrm().OKBtn->isVisible());
            QVERIFY(!app.eulaFrm().Button2->isVisible());
            QTest::mouseClick(app.eulaFrm().Button1, Qt::LeftButton);
        });
        QSignalSpy started(&app.form1(), &TForm1::started);
        app.showMain();
        QVERIFY(started.wait(5000));
        QVERIFY(agreementAccepted());
        QCOMPARE(messages.shown, std::vector<std::string>{kFirstRunHelpQuestion});
        QCOMPARE(browser.opened.size(), wantsHelp ? 1 : 0);
        if (wantsHelp) {
            QCOMPARE(browser.opened[0].fileName(), QString("cwdoc21.html"));
            QVERIFY(QFileInfo::exists(browser.opened[0].toLocalFile()));
        }

        // The next run asks nothing.
        cwtest::ScriptedMessages again;
        Chromawell second({.services = {&again, nullptr, [] { return QSize(1024, 768); }}, .splash = false});
        QSignalSpy startedAgain(&second.form1(), &TForm1::started);
        second.showMain();
        QVERIFY(startedAgain.wait(5000));
        QVERIFY(again.shown.empty());
    }

    void firstRunDeclinedEndsTheProgram() {
        cwtest::ScriptedMessages messages;
        Chromawell app({.services = {&messages, nullptr, [] { return QSize(1024, 768); }}, .splash = false});
        whenModal([&](QWidget*) { QTest::keyClick(&app.eulaFrm(), Qt::Key_Escape); });
        QSignalSpy started(&app.form1(), &TForm1::started);
        app.showMain();
        QTRY_VERIFY(app.form1().terminateRequested());
        QCOMPARE(started.count(), 0);
        QVERIFY(!agreementAccepted());
        QVERIFY(messages.shown.empty());
    }

    void helpButtonWaitsForTheAboutWindowAndReadEula() {
        recordAgreementAccepted();
        Chromawell app({.services = {nullptr, nullptr, [] { return QSize(1024, 768); }}});
        TForm1& f = app.form1();
        QSignalSpy started(&f, &TForm1::started);
        app.showMain();
        QVERIFY(started.wait(5000));
        QVERIFY2(TForm5::showing(), "the splash is still up");
        QTest::mouseClick(f.ExplorerButton15, Qt::LeftButton);  // returns at once: nothing modal
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!TForm5::showing(), 4000);

        // Now the button opens the full about window; "Read EULA" swaps it for
        // the agreement in reading mode.
        bool sawAbout = false;
        whenModal([&](QWidget* modal) {
            auto* about = qobject_cast<TForm5*>(modal);
            QVERIFY(about);
            sawAbout = true;
            QCOMPARE(about->size(), QSize(576, 355));
            QVERIFY(!about->Timer1->isActive());
            QCOMPARE(about->Label1->text(), QString("Vesion: 2.1"));
            QCOMPARE(about->UrlLabel1->text(), QString("CLICK TO ACCESS ON-LINE HELP/ TUTORIAL"));
            QTest::mouseClick(f.ExplorerButton15, Qt::LeftButton);  // a second one is refused
            QCOMPARE(QApplication::activeModalWidget(), modal);
            QTest::mouseClick(about->Button3, Qt::LeftButton);
        });
        QTest::mouseClick(f.ExplorerButton15, Qt::LeftButton);
        QVERIFY(sawAbout);
        QVERIFY(!TForm5::showing());
        TEULAFrm& eula = app.eulaFrm();
        QVERIFY(eula.isVisible());
        QVERIFY(!eula.isModal());
        QVERIFY(eula.Button2->isVisible());
        QVERIFY(!eula.Button1->isVisible() && !eula.OKBtn->isVisible());
        QTest::mouseClick(eula.Button2, Qt::LeftButton);
        QVERIFY(!eula.isVisible());
    }

    void aboutWindowClearsItsFlagHoweverItGoes_data() {
        QTest::addColumn<bool>("splash");
        QTest::addColumn<bool>("restored");  // minimised and restored first: a second show event
        QTest::addColumn<bool>("escape");    // else its Close button
        QTest::newRow("about, Close") << false << false << false;
        QTest::newRow("about, Escape") << false << false << true;
        QTest::newRow("about restored, Close") << false << true << false;
        QTest::newRow("splash, Escape") << true << false << true;
    }
    void aboutWindowClearsItsFlagHoweverItGoes() {
        QFETCH(bool, splash);
        QFETCH(bool, restored);
        QFETCH(bool, escape);
        recordAgreementAccepted();
        Chromawell app({.services = {nullptr, nullptr, [] { return QSize(1024, 768); }}, .splash = splash});
        TForm1& f = app.form1();
        QSignalSpy started(&f, &TForm1::started);
        app.showMain();
        QVERIFY(started.wait(5000));
        auto goAway = [&](TForm5* about) {
            QVERIFY(about);
            if (restored) {
                QShowEvent again;
                QCoreApplication::sendEvent(about, &again);
            }
            if (escape) QTest::keyClick(about, Qt::Key_Escape);
            else QTest::mouseClick(about->Button1, Qt::LeftButton);
        };
        if (splash) {
            goAway(app.splash());
        } else {
            whenModal([&](QWidget* modal) { goAway(qobject_cast<TForm5*>(modal)); });
            QTest::mouseClick(f.ExplorerButton15, Qt::LeftButton);
        }
        QVERIFY(!TForm5::showing());
        // The help and information button works again.
        bool opened = false;
        whenModal([&](QWidget* modal) {
            opened = qobject_cast<TForm5*>(modal) != nullptr;
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        QTest::mouseClick(f.ExplorerButton15, Qt::LeftButton);
        QVERIFY(opened);
        QVERIFY(!TForm5::showing());
    }

    void helpLinkOpensThePageBesideTheProgram() {
        const QString before = QDir::currentPath();
        QTemporaryDir elsewhere;
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        TForm5 about(nullptr);
        about.resize(576, 355);
        about.show();
        QTest::mouseClick(about.UrlLabel1, Qt::LeftButton);
        QDir::setCurrent(before);
        QCOMPARE(browser.opened.size(), 1);
        const QString page = browser.opened[0].toLocalFile();
        QCOMPARE(QFileInfo(page).fileName(), QString("cwdoc0.html"));
        QVERIFY(QFileInfo::exists(page));
        QVERIFY(page.startsWith(QCoreApplication::applicationDirPath()));
        about.close();
    }

    void extraControlsToggleTwiceLeavesThemAsTheyWere() {
        recordAgreementAccepted();
        Chromawell app({.services = {nullptr, nullptr, [] { return QSize(1024, 768); }}, .splash = false});
        TForm1& f = app.form1();
        QSignalSpy started(&f, &TForm1::started);
        app.showMain();
        QVERIFY(started.wait(5000));
        const QList<QWidget*> extras{f.Panel88, f.Panel12, f.RadioGroup1, f.CheckBox2};
        auto visibility = [&] {
            QList<bool> v;
            for (QWidget* w : extras) v.push_back(w->isVisibleTo(w->parentWidget()));
            return v;
        };
        const QList<bool> start = visibility();
        QCOMPARE(start, (QList<bool>{false, false, false, false}));
        f.ShowHideExtraControls1->trigger();
        QCOMPARE(visibility(), (QList<bool>{true, true, true, true}));
        QVERIFY(f.Panel12->isVisible());
        f.ShowHideExtraControls1->trigger();
        QCOMPARE(visibility(), start);
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
