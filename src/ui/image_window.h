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

    QFrame* Panel1;        // the bottom bar
    QCheckBox* CheckBox1;  // Un-do Enabled
    QPushButton* Button4;  // Un-do
    QPushButton* Button1;  // Zoom
    QSpinBox* SpinEdit7;   // zoom factor
    QPushButton* Button2;  // Zero-set / Crop
    QPushButton* Button3;  // Scale
    QSpinBox* SpinEdit1;   // scale factor
    QSpinBox* SpinEdit2;   // pressure
    QLabel* Label1;        // pointer position
    QLabel* Label3;        // colour under the pointer
    QFrame* Panel2;        // its swatch
    QToolButton* ZoomOutButton;
    QLabel* ScaleLabel;    // the view's scale
    QToolButton* ZoomInButton;
    QToolButton* FitButton;
    QToolButton* ActualSizeButton;
    PictureView* ScrollBox1;  // the picture at its scale
    QWidget* Image1;          // its viewport, where the pointer works
    QMenu* PopupMenu2;   // the palettes
    QAction* Clear2 = nullptr;
    QMenu* PopupMenu1;   // shows and hides the object side panel
    QFrame* Panel3;      // the object side panel
    QPushButton* Button5;
    QPushButton* Button6;
    QPushButton* Button7;

    void PopupMenu2Popup();
    void ShowHideObjectPanelClick();
    // Opens the palette menu at a screen position.
    void popupPaletteMenu(const QPoint& globalPos);
    // Opens it over picture point (x, y) as the view shows it.
    void popupPaletteMenuAt(int x, int y);

    void FormShow();
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
