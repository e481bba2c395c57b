// The main window's tool buttons show what each tool says of itself: its
// settings groups, Overwrite and Layered, its hint and picture in the "Tool"
// read-out, and its pointer shape over the picture.
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "test_support.h"
#include "tools/tool_registry.h"
#include "ui/chromawell_qt.h"
#include "ui/help_qt.h"
#include "ui/tform1.h"
#include "ui/tform2.h"
#include "ui/tools_qt.h"

using namespace cw;

Q_DECLARE_METATYPE(const cw::Tool*)

class TestToolBar : public QObject {
    Q_OBJECT
    QTemporaryDir home;
    std::unique_ptr<Chromawell> app;

    TForm1& f() { return app->form1(); }
    Session& session() { return f().session(); }

private slots:
    void initTestCase() {
        qputenv("XDG_CACHE_HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
        recordAgreementAccepted();
        app = std::make_unique<Chromawell>(
            ChromawellOptions{.services = {nullptr, nullptr, [] { return QSize(1280, 1024); }}, .splash = false});
        f().resize(1200, 900);
        QSignalSpy started(&f(), &TForm1::started);
        f().show();
        QVERIFY(started.wait(5000));
        f().loadPath(cwtest::testdata("photos/camera-24.bmp"));
        QVERIFY(f().Form2());
        QMenu* menu = f().Form2()->PopupMenu2;
        QTRY_VERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu->isVisible());
    }
    void cleanupTestCase() { app.reset(); }

    void buttonsFollowTheToolBarOrder() {
        QList<QToolButton*> shown;
        for (QToolButton* b : f().Panel1->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
            if (b->isCheckable()) shown << b;
        std::sort(shown.begin(), shown.end(), [](QToolButton* a, QToolButton* b) { return a->x() < b->x(); });
        QCOMPARE(size_t(shown.size()), toolBar().size());
        for (size_t i = 0; i < toolBar().size(); ++i) {
            QCOMPARE(shown[qsizetype(i)]->objectName(), QString("SpeedButton%1").arg(toolBar()[i]->id()));
            QCOMPARE(shown[qsizetype(i)]->toolTip(), QString(toolBar()[i]->hint()));
        }
    }

    void eachButtonShowsItsTool_data() {
        QTest::addColumn<const Tool*>("tool");
        QTest::addColumn<bool>("overwriteBefore");
        QTest::addColumn<bool>("layeredBefore");
        for (const Tool* tool : toolBar())
            for (int state = 0; state < 4; ++state)
                QTest::addRow("%s, overwrite %d, layered %d", std::string(tool->name()).c_str(), state & 1,
                              (state >> 1) & 1)
                    << tool << bool(state & 1) << bool(state & 2);
    }
    void eachButtonShowsItsTool() {
        QFETCH(const Tool*, tool);
        QFETCH(bool, overwriteBefore);
        QFETCH(bool, layeredBefore);
        // From another tool, not from the state this one left.
        for (const Tool* other : toolBar())
            if (other != tool) {
                f().findChild<QToolButton*>(QString("SpeedButton%1").arg(other->id()))->click();
                break;
            }
        session().tools.overwrite = overwriteBefore;
        session().tools.layered = layeredBefore;

        auto* button = f().findChild<QToolButton*>(QString("SpeedButton%1").arg(tool->id()));
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(button->isChecked());
        QCOMPARE(session().tools.currentTool, tool->id());

        const ToolGroups g = tool->groups();
        QCOMPARE(!f().OverwriteGroup->isHidden(), g.overwriteShown);
        QCOMPARE(f().OverwriteGroup->isEnabled(), g.overwriteShown);
        QCOMPARE(!f().IntegrationGroup->isHidden(), g.integrationShown);
        QCOMPARE(f().IntegrationGroup->isEnabled(), g.integrationShown);
        QCOMPARE(!f().Panel8->isHidden(), g.brushShown);
        QCOMPARE(f().Panel8->isEnabled(), g.brushShown);

        bool overwrite = overwriteBefore, layered = layeredBefore;
        if (tool->switchesOnSelect() != SwitchesOnSelect::Kept)
            overwrite = layered = tool->switchesOnSelect() == SwitchesOnSelect::Checked;
        QCOMPARE(f().CheckBox8->isChecked(), overwrite);
        QCOMPARE(f().CheckBox10->isChecked(), layered);

        QCOMPARE(f().Image1->toolTip(), QString(tool->hint()));
        QCOMPARE(f().Image1->pixmap().toImage(), toolIcon(tool->glyph()).pixmap(24, 24).toImage());
        QCOMPARE(f().Form2()->Image1->cursor().shape(), toolCursorShape(tool->cursor()));
    }
};

QTEST_MAIN(TestToolBar)
#include "test_tool_bar.moc"
