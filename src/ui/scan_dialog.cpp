#include "ui/scan_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <cmath>

namespace cw {

namespace {

constexpr const char* kSourceListTitle = "Select Source";
constexpr const char* kScanDialogTitle = "Scan Image";
constexpr const char* kCannotOpenDevice = "This device cannot be opened.";

QString qs(const std::string& s) { return QString::fromStdString(s); }

int toSpin(double v) { return int(std::clamp(v, 1.0, double(INT_MAX))); }

} // namespace

SourceListDialog::SourceListDialog(const std::vector<ScanDevice>& devices, size_t current, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(kSourceListTitle);
    list = new QListWidget(this);
    list->setObjectName("SourceList");
    for (const ScanDevice& d : devices) list->addItem(qs(deviceLabel(d)));
    if (current < devices.size()) list->setCurrentRow(int(current));

    auto* buttons = new QDialogButtonBox(this);
    selectButton = buttons->addButton("&Select", QDialogButtonBox::AcceptRole);
    cancelButton = buttons->addButton(QDialogButtonBox::Cancel);
    selectButton->setDefault(true);
    selectButton->setEnabled(list->currentRow() >= 0);
    connect(list, &QListWidget::currentRowChanged, this, [this](int row) { selectButton->setEnabled(row >= 0); });
    connect(list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Sources:", this));
    layout->addWidget(list);
    layout->addWidget(buttons);
}

std::optional<size_t> SourceListDialog::chosen() const {
    const int row = list->currentRow();
    if (result() != QDialog::Accepted || row < 0) return std::nullopt;
    return size_t(row);
}

ScanDialog::ScanDialog(const ScanDialogRequest& request, QWidget* parent)
    : QDialog(parent), request_(request), openDevice_(int(request.device)) {
    setWindowTitle(kScanDialogTitle);
    deviceBox = new QComboBox(this);
    deviceBox->setObjectName("DeviceBox");
    for (const ScanDevice& d : request_.devices) deviceBox->addItem(qs(deviceLabel(d)));
    deviceBox->setCurrentIndex(openDevice_);
    modeBox = new QComboBox(this);
    modeBox->setObjectName("ModeBox");
    resolutionList = new QComboBox(this);
    resolutionList->setObjectName("ResolutionList");
    resolutionSpin = new QSpinBox(this);
    resolutionSpin->setObjectName("ResolutionSpin");
    resolutionSpin->setSuffix(" dpi");
    sourceBox = new QComboBox(this);
    sourceBox->setObjectName("SourceBox");
    statusLabel = new QLabel(this);

    auto* resolutionRow = new QHBoxLayout;
    resolutionRow->addWidget(resolutionList);
    resolutionRow->addWidget(resolutionSpin);
    auto* form = new QFormLayout;
    form->addRow("&Device:", deviceBox);
    form->addRow("&Mode:", modeBox);
    form->addRow("&Resolution:", resolutionRow);
    sourceLabel = new QLabel("S&ource:", this);
    sourceLabel->setBuddy(sourceBox);
    form->addRow(sourceLabel, sourceBox);

    auto* buttons = new QDialogButtonBox(this);
    scanButton = buttons->addButton("&Scan", QDialogButtonBox::AcceptRole);
    cancelButton = buttons->addButton(QDialogButtonBox::Cancel);
    scanButton->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(statusLabel);
    layout->addWidget(buttons);

    showOffer(request_.offer);
    connect(deviceBox, &QComboBox::currentIndexChanged, this, [this](int i) { deviceChosen(i); });
}

void ScanDialog::showOffer(const DeviceOffer& offer) {
    modeBox->clear();
    for (const std::string& m : offer.modes) modeBox->addItem(qs(m));
    modeBox->setCurrentText(qs(offer.mode));
    modeBox->setEnabled(!offer.modes.empty());

    const ResolutionOffer& r = offer.resolution;
    hasResolution_ = r.settable;
    resolutionList->clear();
    const bool listed = r.settable && !r.values.empty();
    for (double v : r.values) resolutionList->addItem(QString::number(v) + " dpi", v);
    if (listed) {
        // The nearest listed value to the current one.
        int best = 0;
        for (int i = 1; i < int(r.values.size()); ++i)
            if (std::fabs(r.values[size_t(i)] - r.current) < std::fabs(r.values[size_t(best)] - r.current)) best = i;
        resolutionList->setCurrentIndex(best);
    } else if (r.settable) {
        const int lo = toSpin(std::ceil(r.min)), hi = std::max(lo, toSpin(std::floor(r.max)));
        resolutionSpin->setRange(lo, hi);
        resolutionSpin->setSingleStep(std::max(1, int(std::lround(std::min(r.step, double(hi))))));
        resolutionSpin->setValue(toSpin(std::lround(r.current)));
    }
    resolutionList->setVisible(listed);
    resolutionSpin->setVisible(!listed);
    resolutionSpin->setEnabled(r.settable);

    sourceBox->clear();
    for (const std::string& s : offer.sources) sourceBox->addItem(qs(s));
    sourceBox->setCurrentText(qs(offer.source));
    sourceBox->setVisible(!offer.sources.empty());
    sourceLabel->setVisible(!offer.sources.empty());
}

void ScanDialog::deviceChosen(int index) {
    if (index == openDevice_ || index < 0) return;
    std::optional<DeviceOffer> offer;
    if (request_.switchDevice) offer = request_.switchDevice(size_t(index));
    if (!offer) {
        statusLabel->setText(kCannotOpenDevice);
        const QSignalBlocker block(deviceBox);
        deviceBox->setCurrentIndex(openDevice_);
        return;
    }
    statusLabel->clear();
    openDevice_ = index;
    showOffer(*offer);
}

ScanSettings ScanDialog::settings() const {
    ScanSettings s;
    if (openDevice_ >= 0 && size_t(openDevice_) < request_.devices.size())
        s.device = request_.devices[size_t(openDevice_)].name;
    if (modeBox->count() > 0) s.mode = modeBox->currentText().toStdString();
    if (hasResolution_)
        s.resolution = resolutionList->isVisibleTo(this) ? resolutionList->currentData().toDouble()
                                                         : double(resolutionSpin->value());
    if (sourceBox->count() > 0) s.source = sourceBox->currentText().toStdString();
    return s;
}

std::optional<size_t> QtScanUi::chooseDevice(const std::vector<ScanDevice>& devices, size_t current) {
    SourceListDialog dialog(devices, current, parent_);
    dialog.exec();
    return dialog.chosen();
}

std::optional<ScanSettings> QtScanUi::scanDialog(const ScanDialogRequest& request) {
    ScanDialog dialog(request, parent_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.settings();
}

} // namespace cw
