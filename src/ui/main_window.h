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
#include "platform/autosave.h"
#include "ui/control_bindings.h"
#include "ui/dialogs_proxy.h"
#include "ui/image_window.h"
#include "ui/main_window_bars.h"
#include "ui/zoom_window.h"

class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;

namespace cw {

// The main window's own grey, and its bars'.
inline const QColor kSilver(192, 192, 192);

class PrintWindow;
class ProgressWindow;
class AgreementWindow;
class QtMessages;
class QtDialogs;

inline constexpr const char* kDisplayTooSmall =
    "Chromawell requires that your display size be set to 800 X 600 or higher, and Colours to be set to "
    "16/ 24/ 32 bit; please adjust the display and restart Chromawell.";
inline constexpr const char* kFirstRunHelpQuestion =
    "Since this is the first time you are running Chromawell, you should read at least sections \"2.1\" && "
    "\"2.2\" of the on-line help. Would you like to do this now? (You may access help at anytime by executing "
    "the \"Help/ Info.\" button from \"Operations Bar\") ";

// The services a test may replace; empty ones are the real thing.
// Where the autosave interval is kept between runs, in seconds.
inline constexpr const char* kAutosaveSecondsKey = "autosave/seconds";

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
    ProgressWindow* progressWindow() { return progressWindow_; }
    ImageWindow* imageWindow() { return imageWindow_; }
    ZoomWindow* zoomWindow() { return zoomWindow_; }
    bool terminateRequested() const { return terminateRequested_; }

    // Loads a picture named on the command line, as Load Image would.
    void loadPath(const std::string& path);

    // The work is written to `folder` every `seconds` while it has unsaved
    // changes (0: never), and what a crashed program left there is offered
    // at start-up. Without it, nothing is autosaved.
    void enableAutosave(const std::string& folder, int seconds);
    void setAutosaveSeconds(int seconds);
    int autosaveSeconds() const { return autosaveSeconds_; }
    // One round of the autosave timer; true when a write was started.
    bool autosaveRound();
    Autosave* autosave() { return autosave_.get(); }

    // The first show's checks and start-up settings.
    void startUp();
    // Top 0, right edge against the screen's: where the window goes when it
    // is restored from maximised.
    void placeRestored();
    void showAbout();
    // The extra controls: the effects bar, the paint mode and the rest.
    void toggleExtraControls();

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
    void historyChanged() override;
    void printPicture() override;
    void scanImage() override;
    void status(const std::string& text) override;
    void showHelp() override { showAbout(); }
    void quitProgram() override { close(); }

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
    // Shown and hidden together from the window's menu.
    std::array<QWidget*, 4> extraControls() const;
    // Load Image while no picture is open, Clear Image while one is.
    const Action& loadOrClear() const;

    Services services_;
    ProgressWindow* progressWindow_ = nullptr;
    PrintWindow* printWindow_ = nullptr;
    AgreementWindow* agreement_ = nullptr;
    std::unique_ptr<QtMessages> qtMessages_;
    std::unique_ptr<QtDialogs> qtDialogs_;
    DialogsProxy dialogs_;
    std::unique_ptr<Session> session_;
    QPointer<ImageWindow> imageWindow_;
    QPointer<QMdiSubWindow> subWindow_;
    QPointer<ZoomWindow> zoomWindow_;
    QMdiArea* mdiArea_ = nullptr;
    QMenu* extrasMenu_ = nullptr;  // the window's own right-click menu
    OperationsBar operations_;
    ProcessingBar processing_;
    ToolsBar tools_;
    EffectsBar effects_;
    SelectionsPanel selections_;
    QuickBrushPanel quickBrushes_;
    BottomStrip bottom_;
    ControlBindings controls_{this};
    int32_t shownTool_ = 0;  // the tool the "Tool" picture shows
    bool shownOnce_ = false;
    bool terminateRequested_ = false;
    bool closingImage_ = false;  // the program, not the user, closes the image window
    // Asks about the work a crashed program left; true when one was opened.
    bool offerLeftWork();
    void chooseAutosaveInterval();
    std::unique_ptr<Autosave> autosave_;
    QTimer* autosaveTimer_ = nullptr;
    int autosaveSeconds_ = 0;
};

} // namespace cw
