// The scanner's device list and scan dialog, driven as a user would while
// an acquisition from SANE's virtual test devices runs underneath.
#include <QtTest>
#include <QtWidgets>

#include "platform/sane_api.h"
#include "platform/scanner.h"
#include "test_support.h"
#include "ui/scan_dialog.h"

using namespace cw;

namespace {

// Runs `act` on the modal dialog of type D once it is up.
template <typename D> void whenShown(std::function<void(D&)> act, int tries = 200) {
    QTimer::singleShot(0, [act, tries] {
        if (auto* d = dynamic_cast<D*>(QApplication::activeModalWidget())) act(*d);
        else if (tries > 0) whenShown<D>(act, tries - 1);
        else QFAIL("the dialog did not come up");
    });
}

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
        ::setenv("SANE_CONFIG_DIR", cwtest::testdata("../platform/sane").c_str(), 1);
        setSaneLibraryName(kSaneLibrary);
        QVERIFY2(saneApi(), "libsane1 is needed for this test");
    }

    // The device list keeps the choice; the scan dialog scans with what the
    // user set, and a switched device shows its own settings.
    void sourceListAndScanDialog() {
        Scanner scanner;
        QtScanUi ui(nullptr);
        whenShown<SourceListDialog>([](SourceListDialog& d) {
            QVERIFY(d.list->count() == 2 && d.list->currentRow() == 0);
            QCOMPARE(d.list->item(1)->text(), QString("Noname frontend-tester (test:1)"));
            d.list->setCurrentRow(1);
            QTest::mouseClick(d.selectButton, Qt::LeftButton);
        });
        QVERIFY(scanner.selectSource(ui) && scanner.selectedDevice() == "test:1");
        whenShown<SourceListDialog>([](SourceListDialog& d) {
            QCOMPARE(d.list->currentRow(), 1);  // the earlier choice is preselected
            d.list->setCurrentRow(0);
            QTest::mouseClick(d.cancelButton, Qt::LeftButton);
        });
        QVERIFY(!scanner.selectSource(ui) && scanner.selectedDevice() == "test:1");
        whenShown<ScanDialog>([](ScanDialog& d) {
            QVERIFY(d.deviceBox->count() == 2 && d.modeBox->currentText() == "Gray");
            QCOMPARE(items(d.modeBox), QStringList({"Gray", "Color"}));
            QVERIFY(d.resolutionSpin->isVisibleTo(&d) && !d.resolutionList->isVisibleTo(&d));
            QCOMPARE((QList<int>{d.resolutionSpin->minimum(), d.resolutionSpin->maximum(), d.resolutionSpin->value()}), (QList<int>{1, 1200, 20}));
            QVERIFY(d.sourceBox->isVisibleTo(&d) && items(d.sourceBox) == QStringList({"Flatbed", "Automatic Document Feeder"}));
            d.modeBox->setCurrentText("Color");
            d.resolutionSpin->setValue(15);
            QTest::mouseClick(d.scanButton, Qt::LeftButton);
        });
        QVERIFY(scanner.acquire(ui) && scanner.imageCount() == 1);
        const Bitmap& b = scanner.image(0);
        QCOMPARE(QSize(b.width(), b.height()), QSize(15 * 80 / 25.4, 15 * 100 / 25.4));  // a page of 80 x 100 mm
        QVERIFY2(std::any_of(b.data(), b.data() + b.pixelCount(), [](uint32_t c) { return redOf(c) != greenOf(c) || greenOf(c) != blueOf(c); }),
                 "a colour scan came back gray");
        std::string device;  // Cancel scans nothing
        whenShown<ScanDialog>([&device](ScanDialog& d) {
            d.modeBox->setCurrentText("Color");
            d.deviceBox->setCurrentIndex(1);
            QVERIFY(d.deviceBox->currentIndex() == 1 && d.statusLabel->text().isEmpty() && d.modeBox->currentText() == "Gray");
            device = d.settings().device;
            QTest::mouseClick(d.cancelButton, Qt::LeftButton);
        });
        Scanner other;
        QVERIFY(!other.acquire(ui) && other.imageCount() == 0 && device == "test:1");
        QVERIFY(other.fault() == ScanFault::None && other.state() == ScanState::PreSession);
    }

    void listedResolutionsAndNoSourcesShowTheirOwnWidgets() {
        ScanDialogRequest r;
        r.devices = {{"cam:0", "Acme", "Snap", "camera"}, {"cam:1", "", "", ""}};
        r.device = 0;
        r.offer.modes = {"Lineart", "Color"}, r.offer.mode = "Color";
        r.offer.resolution.settable = true, r.offer.resolution.values = {75, 150, 300}, r.offer.resolution.current = 140;
        int switches = 0;
        r.switchDevice = [&switches](size_t) -> std::optional<DeviceOffer> { return ++switches, std::nullopt; };
        ScanDialog d(r);
        d.show();
        QVERIFY(d.resolutionList->isVisible() && !d.resolutionSpin->isVisible() && !d.sourceBox->isVisible() && !d.sourceLabel->isVisible());
        QCOMPARE(d.resolutionList->currentText(), QString("150 dpi"));  // the nearest to 140
        QCOMPARE(items(d.deviceBox), QStringList({"Acme Snap (cam:0)", "cam:1"}));
        d.resolutionList->setCurrentIndex(2);
        const ScanSettings s = d.settings();
        QVERIFY(s.device == "cam:0" && s.mode == "Color" && s.resolution == 300.0 && s.source.empty());
        // A device that will not open leaves the open one chosen.
        d.deviceBox->setCurrentIndex(1);
        QVERIFY(switches == 1 && d.deviceBox->currentIndex() == 0 && d.settings().device == "cam:0");
        QVERIFY(!d.statusLabel->text().isEmpty());
        // Without a settable resolution the device keeps its own.
        r.offer.resolution = {};
        ScanDialog plain(r);
        QVERIFY(plain.settings().resolution == 0.0 && !plain.resolutionSpin->isEnabled());
    }
};

QTEST_MAIN(TestScanDialog)
#include "test_scan_dialog.moc"
