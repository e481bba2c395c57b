// The progress meter window: Abort by click, Enter and Esc; no closing from
// its frame; locking.
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QtTest>

#include "ui/tform7.h"

using cw::TForm7;

class TestTForm7 : public QObject {
    Q_OBJECT
private slots:
    void abortByClickEnterAndEsc_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("click") << 0;
        QTest::newRow("enter") << 1;
        QTest::newRow("esc") << 2;
    }
    void abortByClickEnterAndEsc() {
        QFETCH(int, how);
        TForm7 meter;
        meter.begin("marking Key Anchors-points....");
        QVERIFY(meter.isVisible());
        QVERIFY(!meter.poll());
        if (how == 0) QTest::mouseClick(meter.Button1, Qt::LeftButton);
        if (how == 1) QTest::keyClick(&meter, Qt::Key_Return);
        if (how == 2) QTest::keyClick(&meter, Qt::Key_Escape);
        QCOMPARE(meter.modalResult(), cw::kModalAbort);
        QVERIFY2(meter.isVisible(), "Esc must not close the meter");
        QVERIFY(meter.poll());
        meter.end();
        QVERIFY(!meter.isVisible());
        meter.begin("next");
        QVERIFY(!meter.poll());
    }

    void cannotBeClosedFromItsFrame() {
        TForm7 meter;
        meter.begin("Working....");
        meter.close();
        QVERIFY(meter.isVisible());
        QVERIFY(!(meter.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(meter.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(meter.windowTitle(), QString("Progress Meter"));
        QCOMPARE(meter.size(), QSize(165, 77));
        meter.end();
        QVERIFY(!meter.isVisible());
    }

    void showsPhaseGaugeAndHidesWhatBeginHid() {
        TForm7 meter;
        QCOMPARE(meter.BlinkLabel1->text(), QString("Working...."));
        QCOMPARE(meter.Button1->text(), QString("&Abort"));
        meter.begin("Saving Image to disk....", {.hideGauge = true, .hideAbort = true});
        QCOMPARE(meter.BlinkLabel1->text(), QString("Saving Image to disk...."));
        QVERIFY(!meter.Label1->isVisible());
        QVERIFY(!meter.Button1->isVisible());
        meter.end();
        meter.begin("pre-processing....");
        QVERIFY(meter.Label1->isVisible());
        QVERIFY(meter.Button1->isVisible());
        meter.report(42);
        QCOMPARE(meter.Label1->value, 42);
        meter.report(420);
        QCOMPARE(meter.Label1->value, 100);
        // The gauge really draws its percentage.
        const QImage before = meter.Label1->grab().toImage();
        meter.report(7);
        QVERIFY(meter.Label1->grab().toImage() != before);
        meter.end();
    }

    void lockDisablesTheWindowsAndPollStillAnswers() {
        QWidget mainWindow, imageWindow;
        mainWindow.show();
        imageWindow.show();
        TForm7 meter;
        meter.setLockTargets(&mainWindow, [&]() -> QWidget* { return &imageWindow; });
        meter.lock();
        meter.begin("processing selection....");
        QVERIFY(!mainWindow.isEnabled());
        QVERIFY(!imageWindow.isEnabled());
        QVERIFY(meter.isEnabled());
        // A click queued on Abort is delivered by the poll's event processing.
        QMetaObject::invokeMethod(meter.Button1, "click", Qt::QueuedConnection);
        bool aborted = false;
        for (int i = 0; i < 1000 && !aborted; ++i) {
            QThread::msleep(1);  // only the poll processes events here
            aborted = meter.poll();
        }
        QVERIFY(aborted);
        meter.end();
        meter.unlock();
        QVERIFY(mainWindow.isEnabled());
        QVERIFY(imageWindow.isEnabled());
    }
};

QTEST_MAIN(TestTForm7)
#include "test_tform7.moc"
