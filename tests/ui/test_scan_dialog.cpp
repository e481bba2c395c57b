// The scanner's device list and scan dialog, driven as a user would while
// an acquisition from SANE's virtual test devices runs underneath.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include <cstdlib>
#include <functional>

#include "platform/sane_api.h"
#include "platform/scanner.h"
#include "test_support.h"
#include "ui/tform_scan_qt.h"

using namespace cw;

namespace {

// Runs `act` on the modal dialog of type D once it is up.
template <typename D>
void whenShown(std::function<void(D&)> act, int tries = 200) {
    QTimer::singleShot(0, [act, tries] {
        if (auto* d = dynamic_cast<D*>(QApplication::activeModalWidget())) {
            act(*d);
        } else if (tries > 0) {
            whenShown<D>(act, tries - 1);
        } else {
            QFAIL("the dialog did not come up");
        }
    });
}

int32_t pixelsFor(double dpi, double mm) { return int32_t(dpi * mm / 25.4); }

QStringList items(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
    return out;
}

} // namespace

class TestScanDialog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        const std::string dir = cwtest::testdata("../platform/sane");
        ::setenv("SANE_CONFIG_DIR", dir.c_str(), 1);
        setSaneLibraryName(kSaneLibrary);
        QVERIFY2(saneApi(), "libsane1 is needed for this test");
    }

    void sourceListOffersTheDevicesAndKeepsTheChoice() {
        Scanner scanner;
        QtScanUi ui(nullptr);
        whenShown<SourceListDialog>([](SourceListDialog& d) {
            QCOMPARE(d.windowTitle(), QString("Select Source"));
            QCOMPARE(d.list->count(), 2);
            QCOMPARE(d.list->item(1)->text(), QString("Noname frontend-tester (test:1)"));
            QCOMPARE(d.list->currentRow(), 0);
            d.list->setCurrentRow(1);
            QTest::mouseClick(d.selectButton, Qt::LeftButton);
        });
        QVERIFY(scanner.selectSource(ui));
        QCOMPARE(scanner.selectedDevice(), std::string("test:1"));

        whenShown<SourceListDialog>([](SourceListDialog& d) {
            QCOMPARE(d.list->currentRow(), 1);  // the earlier choice is preselected
            d.list->setCurrentRow(0);
            QTest::mouseClick(d.cancelButton, Qt::LeftButton);
        });
        QVERIFY(!scanner.selectSource(ui));
        QCOMPARE(scanner.selectedDevice(), std::string("test:1"));
    }

    void scanDialogScansWithWhatTheUserSet() {
        Scanner scanner;
        QtScanUi ui(nullptr);
        whenShown<ScanDialog>([](ScanDialog& d) {
            QCOMPARE(d.windowTitle(), QString("Scan Image"));
            QCOMPARE(items(d.deviceBox).size(), 2);
            QCOMPARE(items(d.modeBox), QStringList({"Gray", "Color"}));
            QCOMPARE(d.modeBox->currentText(), QString("Gray"));
            QVERIFY(d.resolutionSpin->isVisibleTo(&d));
            QVERIFY(!d.resolutionList->isVisibleTo(&d));
            QCOMPARE(d.resolutionSpin->minimum(), 1);
            QCOMPARE(d.resolutionSpin->maximum(), 1200);
            QCOMPARE(d.resolutionSpin->value(), 20);
            QVERIFY(d.sourceBox->isVisibleTo(&d));
            QCOMPARE(items(d.sourceBox), QStringList({"Flatbed", "Automatic Document Feeder"}));
            d.modeBox->setCurrentText("Color");
            d.resolutionSpin->setValue(15);
            QTest::mouseClick(d.scanButton, Qt::LeftButton);
        });
        QVERIFY(scanner.acquire(ui));
        QCOMPARE(scanner.imageCount(), size_t(1));
        const Bitmap& b = scanner.image(0);
        QCOMPARE(b.width(), pixelsFor(15, 80));
        QCOMPARE(b.height(), pixelsFor(15, 100));
        bool colour = false;
        for (size_t i = 0; i < b.pixelCount() && !colour; ++i)
            colour = redOf(b.data()[i]) != greenOf(b.data()[i]) || greenOf(b.data()[i]) != blueOf(b.data()[i]);
        QVERIFY2(colour, "a colour scan came back gray");
    }

    void switchingDeviceReopensItAndCancelScansNothing() {
        Scanner scanner;
        QtScanUi ui(nullptr);
        std::string device;
        whenShown<ScanDialog>([&device](ScanDialog& d) {
            QCOMPARE(d.deviceBox->currentIndex(), 0);
            d.modeBox->setCurrentText("Color");
            d.deviceBox->setCurrentIndex(1);
            QCOMPARE(d.deviceBox->currentIndex(), 1);
            QVERIFY(d.statusLabel->text().isEmpty());
            // The newly opened device shows its own settings afresh.
            QCOMPARE(d.modeBox->currentText(), QString("Gray"));
            device = d.settings().device;
            QTest::mouseClick(d.cancelButton, Qt::LeftButton);
        });
        QVERIFY(!scanner.acquire(ui));
        QCOMPARE(device, std::string("test:1"));
        QCOMPARE(scanner.imageCount(), size_t(0));
        QVERIFY(scanner.fault() == ScanFault::None);
        QVERIFY(scanner.state() == ScanState::PreSession);
    }

    void listedResolutionsAndNoSourcesShowTheirOwnWidgets() {
        ScanDialogRequest r;
        r.devices = {{"cam:0", "Acme", "Snap", "camera"}, {"cam:1", "", "", ""}};
        r.device = 0;
        r.offer.modes = {"Lineart", "Color"};
        r.offer.mode = "Color";
        r.offer.resolution.settable = true;
        r.offer.resolution.values = {75, 150, 300};
        r.offer.resolution.current = 140;
        int switches = 0;
        r.switchDevice = [&switches](size_t) -> std::optional<DeviceOffer> {
            ++switches;
            return std::nullopt;
        };
        ScanDialog d(r);
        d.show();
        QVERIFY(d.resolutionList->isVisible());
        QVERIFY(!d.resolutionSpin->isVisible());
        QVERIFY(!d.sourceBox->isVisible());
        QVERIFY(!d.sourceLabel->isVisible());
        QCOMPARE(d.resolutionList->currentText(), QString("150 dpi"));  // the nearest to 140
        QCOMPARE(d.deviceBox->itemText(0), QString("Acme Snap (cam:0)"));
        QCOMPARE(d.deviceBox->itemText(1), QString("cam:1"));
        d.resolutionList->setCurrentIndex(2);
        ScanSettings s = d.settings();
        QCOMPARE(s.device, std::string("cam:0"));
        QCOMPARE(s.mode, std::string("Color"));
        QCOMPARE(s.resolution, 300.0);
        QVERIFY(s.source.empty());

        // A device that will not open leaves the open one chosen.
        d.deviceBox->setCurrentIndex(1);
        QCOMPARE(switches, 1);
        QCOMPARE(d.deviceBox->currentIndex(), 0);
        QVERIFY(!d.statusLabel->text().isEmpty());
        QCOMPARE(d.settings().device, std::string("cam:0"));

        // Without a settable resolution the device keeps its own.
        r.offer.resolution = {};
        ScanDialog plain(r);
        QCOMPARE(plain.settings().resolution, 0.0);
        QVERIFY(!plain.resolutionSpin->isEnabled());
    }
};

QTEST_MAIN(TestScanDialog)
#include "test_scan_dialog.moc"
