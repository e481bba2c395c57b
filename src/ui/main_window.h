#pragma once
// The main control window: the frame the image window opens in, and the bars
// of buttons and settings.
#include <QColor>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

#include "actions/ports.h"
#include "actions/session.h"
#include "ui/control_bindings.h"
#include "ui/zoom_window.h"
#include "ui/image_window.h"

class QButtonGroup;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QAction;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QToolButton;

namespace cw {

// The main window's own grey, and its bars'.
inline const QColor kSilver(192, 192, 192);

class PrintWindow;
class ProgressWindow;
class AgreementWindow;
class QtMessages;
class QtDialogs;

// Passes dialogs through, except that the open dialog can be answered once
// with a name given on the command line.
struct DialogsProxy final : Dialogs {
    Dialogs* inner = nullptr;
    std::optional<std::string> nextOpen;
    std::vector<std::string> openFiles(const FileDialogRequest& request) override {
        if (nextOpen) return {*nextOpen};
        return inner->openFiles(request);
    }
    std::optional<std::string> saveFile(const FileDialogRequest& request) override { return inner->saveFile(request); }
    std::optional<int32_t> pickColour() override { return inner->pickColour(); }
};

inline constexpr const char* kDisplayTooSmall =
    "Chromawell requires that your display size be set to 800 X 600 or higher, and Colours to be set to "
    "16/ 24/ 32 bit; please adjust the display and restart Chromawell.";
inline constexpr const char* kFirstRunHelpQuestion =
    "Since this is the first time you are running Chromawell, you should read at least sections \"2.1\" && "
    "\"2.2\" of the on-line help. Would you like to do this now? (You may access help at anytime by executing "
    "the \"Help/ Info.\" button from \"Operations Bar\") ";

// The services a test may replace; empty ones are the real thing.
struct MainWindowServices {
    Messages* messages = nullptr;
    Dialogs* dialogs = nullptr;
    std::function<QSize()> screenSize;  // the primary screen's size
};

class MainWindow : public QMainWindow, public WindowHost {
    Q_OBJECT
public:
    using Services = MainWindowServices;
    explicit MainWindow(Services services = {});
    ~MainWindow() override;

    // The long-lived windows this one works with, created after it: the
    // print options and the meter, then the zoomed view (which works on the
    // session made here), then the agreement. The session keeps its scratch
    // bitmaps in `scratchFolder`.
    void attach(PrintWindow& printOptions, ProgressWindow& progress, const std::string& scratchFolder);
    ZoomWindow& createZoomView();
    void attachAgreement(AgreementWindow& agreement);

    Session& session() { return *session_; }
    ProgressWindow* Form7() { return form7_; }
    ImageWindow* Form2() { return form2_; }
    bool terminateRequested() const { return terminateRequested_; }

    // Loads a picture named on the command line, as Load Image would.
    void loadPath(const std::string& path);

    QMdiArea* MdiArea;
    QMenu* PopupMenu1;
    QAction* ShowHideExtraControls1;

    QFrame* Panel7;                 // operations bar
    QPushButton* ExplorerButton1;   // Load Image / Clear Image
    QPushButton* ExplorerButton14;  // Scan Image
    QPushButton* ExplorerButton5;   // SaveAs
    QPushButton* ExplorerButton3;   // Restore
    QPushButton* ExplorerButton13;  // AutoFinish
    QPushButton* ExplorerButton4;   // Print
    QPushButton* ExplorerButton15;  // help and information
    QFrame* Panel6;
    QCheckBox* CheckBox1;   // Force Gray
    QCheckBox* CheckBox7;   // Auto Mark-up
    QCheckBox* CheckBox2;   // Un-mask Only (extra)
    QCheckBox* EdgeAwareFinish;  // finish-up along the picture's edges

    QFrame* Panel3;                 // processing bar
    QPushButton* ExplorerButton2;   // Mark-up
    QPushButton* ExplorerButton6;   // Process
    QCheckBox* CheckBox11;          // Re-mark
    QPushButton* ExplorerButton7;   // View All
    QPushButton* ExplorerButton8;   // View Pending
    QPushButton* ExplorerButton12;  // Remove
    QSpinBox* SpinEdit5;            // Separation
    QSpinBox* SpinEdit3;            // Objectivity
    QSpinBox* SpinEdit6;            // Scale%

    QFrame* Panel1;  // tools bar
    QToolButton* SpeedButton4;   // rectangular selection
    QToolButton* SpeedButton1;   // Smart Paint-brush
    QToolButton* SpeedButton3;   // Selection-paint
    QToolButton* SpeedButton2;   // Magic Touch-paint
    QToolButton* SpeedButton40;  // original image palette
    QFrame* OverwriteGroup;
    QCheckBox* CheckBox8;   // Overwrite
    QCheckBox* CheckBox10;  // Layered
    QSpinBox* SpinEdit1;  // Complexity
    QFrame* IntegrationGroup;
    QSpinBox* SpinEdit2;  // Integration
    QGroupBox* RadioGroup2;  // Scope
    QRadioButton* ScopeLocal;
    QRadioButton* ScopeGlobal;
    QFrame* Panel8;  // brush group
    QSpinBox* MaskEdit2;  // brush width
    QSpinBox* MaskEdit3;  // brush height
    QCheckBox* CheckBox6;  // Rounded
    QSpinBox* SpinEdit4;   // Selectivity (over-write factor)
    QFrame* Panel88;       // extra, empty

    QFrame* Panel12;  // effects and tuning bar (extra)
    QSlider* TrackBar1;  // Ambient Light
    QCheckBox* RadioButton1;
    QCheckBox* RadioButton2;
    QCheckBox* RadioButton3;
    QCheckBox* RadioButton4;
    QCheckBox* RadioButton5;
    QSlider* TrackBar2;  // Intensity
    QSlider* TrackBar3;  // Saturation
    QGroupBox* RadioGroup1;  // Paint Mode (extra)
    QRadioButton* PaintInteractive;
    QRadioButton* PaintMasked;
    QCheckBox* CheckBox12;   // Invert
    QCheckBox* NaturalLight;  // colours keep the photo's lightness
    QPushButton* Button2;    // Re-set

    QFrame* Panel2;   // current selections
    QLabel* Image1;   // picture of the current tool
    QLabel* Label24;  // palette name
    QFrame* Panel20;  // quick brush selector
    QToolButton* SpeedButton5;
    QToolButton* SpeedButton6;
    QToolButton* SpeedButton7;
    QToolButton* SpeedButton8;
    QToolButton* SpeedButton9;
    QToolButton* SpeedButton10;
    QToolButton* SpeedButton11;
    QToolButton* SpeedButton12;
    QCheckBox* CheckBox13;  // Round
    QFrame* Panel9;   // bottom strip
    QLabel* Label2;   // picture size

    void FormShow();
    // Top 0, right edge against the screen's: where the window goes when it
    // is restored from maximised.
    void placeRestored();
    void ExplorerButton15Click();
    void ShowHideExtraControls1Click();

    // WindowHost
    void createImageWindow() override;
    void showImageWindow() override;
    void closeImageWindow() override;
    void fitImageWindow() override;
    void pictureChanged() override;
    void displayChanged(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
    void readoutsChanged() override;
    void autoScroll(int32_t x, int32_t y) override;
    void resetCaptionChanged() override;
    void zoomViewChanged() override;
    void popupPaletteMenu(int x, int y) override;
    void scaleView(ViewScale step) override;
    void zoomPictureChanged() override;
    void mainWindowChanged() override;
    void printPicture() override;
    void scanImage() override;
    void status(const std::string& text) override;
    void showHelp() override { ExplorerButton15Click(); }
    void quitProgram() override { close(); }
    ZoomWindow* Form10() { return form10_; }

    // The tool bar's handlers.
    // Every control, caption and enabled state shows what the document
    // holds; runs after every action and every change of a setting.
    void readBack();

signals:
    // The first show's checks and start-up settings are done.
    void started();

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    // A BMP or JPEG file dropped on the window loads as Load Image would.
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void buildControls();
    void buildOperationsBar(QWidget* parent);
    void buildProcessingBar(QWidget* parent);
    void buildToolsBar(QWidget* parent);
    void buildEffectsBar(QWidget* parent);
    void buildSidePanels(QWidget* parent);
    // Load Image while no picture is open, Clear Image while one is.
    const Action& loadOrClear() const;

    Services services_;
    ProgressWindow* form7_ = nullptr;
    PrintWindow* form3_ = nullptr;
    AgreementWindow* eula_ = nullptr;
    std::unique_ptr<QtMessages> qtMessages_;
    std::unique_ptr<QtDialogs> qtDialogs_;
    DialogsProxy dialogs_;
    std::unique_ptr<Session> session_;
    QPointer<ImageWindow> form2_;
    QPointer<QMdiSubWindow> subWindow_;
    QPointer<ZoomWindow> form10_;
    QButtonGroup* toolButtons_ = nullptr;
    ControlBindings controls_{this};
    int32_t shownTool_ = 0;  // the tool the "Tool" picture shows
    bool shownOnce_ = false;
    bool terminateRequested_ = false;
    bool closingImage_ = false;  // the program, not the user, closes the image window
};

} // namespace cw
