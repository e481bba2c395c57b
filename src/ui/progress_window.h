#pragma once
// The progress meter window: gauge, phase text and Abort.
#include <QDialog>
#include <QPointer>
#include <functional>

#include "core/progress.h"
#include "ui/pie_gauge.h"

class QLabel;
class QPushButton;

namespace cw {

class ProgressWindow : public QDialog, public Progress {
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* parent = nullptr);

    // The windows an operation locks: the main window and the image window.
    void setLockTargets(QWidget* mainWindow, std::function<QWidget*()> imageWindow);

    // Each control keeps its designed name as its object name.
    PieGauge* gauge;
    QLabel* phaseLabel;
    QPushButton* abortButton;

protected:
    void showMeter() override;
    void hideMeter() override;
    void drawGauge() override;
    void drawPhase() override;
    void drawControls() override;
    void processEvents() override;
    void lockWindows(bool locked) override;

    void reject() override;  // Esc presses Abort, it does not close the meter
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    QPointer<QWidget> mainWindow_;
    std::function<QWidget*()> imageWindow_;
    bool hiding_ = false;
};

} // namespace cw
