// The palette menu of the image window is built from the catalogue, and its
// items set the palette selection shown on the main window.
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include "core/catalogue.h"
#include "test_support.h"
#include "ui/chromawell_qt.h"
#include "ui/help_qt.h"
#include "ui/tform1.h"
#include "ui/tform2.h"

using namespace cw;

class TestPaletteMenu : public QObject {
    Q_OBJECT
    QTemporaryDir home;
    cwtest::ScriptedDialogs dialogs;
    std::unique_ptr<Chromawell> app;

    QAction* action(const QString& name) { return app->form1().Form2()->PopupMenu2->findChild<QAction*>(name); }

private slots:
    void initTestCase() {
        qputenv("XDG_CACHE_HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
        recordAgreementAccepted();
    }
    void init() {
        app = std::make_unique<Chromawell>(
            ChromawellOptions{.services = {nullptr, &dialogs, [] { return QSize(1280, 1024); }}, .splash = false});
        QSignalSpy started(&app->form1(), &TForm1::started);
        app->form1().show();
        QVERIFY(started.wait(5000));
        app->form1().loadPath(cwtest::testdata("photos/camera.jpg"));
        QVERIFY(app->form1().Form2());
    }
    void cleanup() { app.reset(); }

    void menuFollowsTheCatalogue() {
        QMenu* menu = app->form1().Form2()->PopupMenu2;
        QTRY_VERIFY(menu->isVisible());  // the set-up offers a first choice
        QCOMPARE(menu->pos(), QPoint(256, 256));
        menu->hide();
        const auto submenus = paletteSubmenus();
        const QList<QAction*> top = menu->actions();
        int topItems = 0, checked = 0;
        for (const PaletteSubmenu& sub : submenus) {
            if (sub.caption.empty()) {
                for (const PaletteMenuItem& item : sub.items) {
                    QCOMPARE(top.at(topItems)->text(), QString::fromUtf8(item.caption.data(), item.caption.size()));
                    ++topItems;
                    ++checked;
                }
                continue;
            }
            QAction* entry = top.at(topItems++);
            QCOMPARE(entry->text(), QString::fromUtf8(sub.caption.data(), sub.caption.size()));
            QVERIFY(entry->menu());
            const QList<QAction*> items = entry->menu()->actions();
            QCOMPARE(items.size(), qsizetype(sub.items.size()));
            for (size_t i = 0; i < sub.items.size(); ++i) {
                QCOMPARE(items[i]->text(), QString::fromUtf8(sub.items[i].caption.data(), sub.items[i].caption.size()));
                QCOMPARE(items[i]->font().bold(), sub.items[i].isDefault);
                ++checked;
            }
        }
        QCOMPARE(topItems, top.size());
        QCOMPARE(checked, qsizetype(paletteMenu().size()));
    }

    void itemsSetTheSelectionAndTheCaption() {
        QVERIFY(action("SkyBlue1"));
        action("SkyBlue1")->trigger();
        const Session& s = app->form1().session();
        QCOMPARE(s.palette.paletteCode, 6);
        QCOMPARE(s.palette.markerColour, 0x808000);
        QCOMPARE(app->form1().Label24->text(), QString("Sky: Blue"));

        // A cancelled colour dialog changes nothing; a confirmed one selects Custom.
        dialogs.colour.reset();
        action("PickColour1")->trigger();
        QCOMPARE(dialogs.colourAsked, 1);
        QCOMPARE(s.palette.paletteCode, 6);
        QCOMPARE(app->form1().Label24->text(), QString("Sky: Blue"));
        dialogs.colour = 0x123456;
        action("PickColour1")->trigger();
        QCOMPARE(s.palette.paletteCode, 88);
        QCOMPARE(s.palette.markerColour, 0x123456);
        QCOMPARE(app->form1().Label24->text(), QString("Custom"));
    }

    void clearIsOfferedOnlyWithTheObjectPanel() {
        TForm2* image = app->form1().Form2();
        QMenu* menu = image->PopupMenu2;
        QTRY_VERIFY(menu->isVisible());
        QVERIFY(!image->Clear2->isVisible());
        menu->hide();
        image->PopupMenu1->actions().front()->trigger();
        QVERIFY(image->Panel3->isVisible());
        image->popupPaletteMenu(QPoint(10, 10));
        QVERIFY(image->Clear2->isVisible());
        QVERIFY2(image->Image1->toolTip().isEmpty(), "the hint goes once the menu has opened");
        menu->hide();
        image->PopupMenu1->actions().front()->trigger();
        image->popupPaletteMenu(QPoint(10, 10));
        QVERIFY(!image->Clear2->isVisible());
        menu->hide();
    }
};

QTEST_MAIN(TestPaletteMenu)
#include "test_palette_menu.moc"
