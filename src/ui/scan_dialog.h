#pragma once
// The scanner's dialogs: the device list and our own small scan dialog
// (device, mode, resolution, source where the device has a choice).
#include <QDialog>
#include <QPointer>

#include "actions/scanner_port.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace cw {

class SourceListDialog : public QDialog {
public:
    SourceListDialog(const std::vector<ScanDevice>& devices, size_t current, QWidget* parent = nullptr);
    std::optional<size_t> chosen() const;

    QListWidget* list;
    QPushButton* selectButton;
    QPushButton* cancelButton;
};

class ScanDialog : public QDialog {
public:
    explicit ScanDialog(const ScanDialogRequest& request, QWidget* parent = nullptr);
    ScanSettings settings() const;

    QComboBox* deviceBox;
    QComboBox* modeBox;
    QComboBox* resolutionList;  // shown when the device offers a list
    QSpinBox* resolutionSpin;   // shown when it offers a range
    QLabel* sourceLabel;
    QComboBox* sourceBox;       // shown when the device has sources to choose
    QLabel* statusLabel;
    QPushButton* scanButton;
    QPushButton* cancelButton;

private:
    void showOffer(const DeviceOffer& offer);
    void deviceChosen(int index);

    ScanDialogRequest request_;
    int openDevice_;
    bool hasResolution_ = false;
};

class QtScanUi final : public ScanUi {
public:
    explicit QtScanUi(QWidget* parent) : parent_(parent) {}
    std::optional<size_t> chooseDevice(const std::vector<ScanDevice>& devices, size_t current) override;
    std::optional<ScanSettings> scanDialog(const ScanDialogRequest& request) override;

private:
    QPointer<QWidget> parent_;
};

} // namespace cw
