#pragma once
// The about window: the start-up splash, and at full size the information
// window with the help link and the agreement.
#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

namespace cw {

class AgreementWindow;

inline constexpr int kSplashWidth = 312, kSplashHeight = 82;
inline constexpr int kAboutWidth = 576, kAboutHeight = 355;
inline constexpr int kSplashMilliseconds = 2000;

class AboutWindow : public QDialog {
    Q_OBJECT
public:
    AboutWindow(AgreementWindow* agreement, QWidget* parent = nullptr);
    ~AboutWindow() override;

    // Whether an about window is showing; the help button waits for it.
    static bool showing();

    // Each control keeps its designed name as its object name.
    QLabel* versionLabel;
    QLabel* helpLink;
    QPushButton* readAgreementButton;
    QPushButton* closeButton;
    QTimer* splashTimer;  // ends the splash; the full window stops it

    // A window is counted once however often it is shown, and uncounted
    // however it goes.
    void countShowing();
    void uncount();
    void showAgreement();
    void openHelp();

protected:
    void showEvent(QShowEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    AgreementWindow* agreement_;
    bool counted_ = false;  // this window is counted as showing
};

} // namespace cw
