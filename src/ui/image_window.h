#pragma once
// The image window: shows the displayed picture of the workspace and turns
// pointer events into the core's press, move, click and release.
#include <QWidget>

#include "actions/ports.h"
#include "tools/tool.h"
#include "ui/control_bindings.h"

class QCheckBox;
class QMenu;
class QAction;
class QLabel;
class QSpinBox;
class QPushButton;
class QToolButton;
class QFrame;

namespace cw {

struct Session;
class PictureView;

class ImageWindow : public QWidget {
    Q_OBJECT
public:
    ImageWindow(Session& s, QWidget* parent = nullptr);

    // Each control keeps its designed name as its object name.
    QFrame* bottomBar;
    QCheckBox* undoEnabledBox;
    QPushButton* undoButton;
    QToolButton* historyUndoButton;  // the history's Undo and Redo, beside the one level of Un-do
    QToolButton* historyRedoButton;
    QPushButton* zoomButton;
    QSpinBox* zoomFactorBox;
    QPushButton* resetButton;  // Zero-set, or Crop while a selection waits
    QPushButton* scaleButton;
    QSpinBox* scaleFactorBox;
    QSpinBox* pressureBox;
    QLabel* positionLabel;  // the pointer's, in picture pixels
    QLabel* colourLabel;    // the colour under the pointer
    QFrame* colourSwatch;
    QToolButton* zoomOutButton;
    QLabel* scaleLabel;  // the view's scale
    QToolButton* zoomInButton;
    QToolButton* fitButton;
    QToolButton* actualSizeButton;
    PictureView* view;  // the picture at its scale
    QWidget* canvas;    // the view's viewport, where the pointer works
    QMenu* paletteMenu;
    QAction* clearItem = nullptr;  // the palette menu's Clear
    QMenu* objectPanelMenu;  // shows and hides the object panel
    QFrame* objectPanel;
    QPushButton* viewAllButton;
    QPushButton* viewPendingButton;
    QPushButton* removeButton;

    // The palette menu is about to open.
    void paletteMenuOpening();
    void toggleObjectPanel();
    // Opens the palette menu at a screen position.
    void popupPaletteMenu(const QPoint& globalPos);
    // Opens it over picture point (x, y) as the view shows it.
    void popupPaletteMenuAt(int x, int y);

    // The window's first show, once the picture is in the workspace.
    void showPicture();
    // Writes the bar's controls from the document; the main window runs it
    // with its own.
    void readBack();
    void pictureChanged();
    void displayChanged(const QRect& r);
    void readoutsChanged();
    void resetCaptionChanged();
    void autoScroll(int x, int y);
    void scaleView(ViewScale step);
    void setToolCursor(ToolCursor cursor);

signals:
    // A right click was released over the picture: the palette menu opens here.
    void paletteMenuRequested(const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    void buildPaletteMenu();
    void showScale(double scale);
    Session& session_;
    ControlBindings controls_{this};
    bool closed_ = false;
};

} // namespace cw
