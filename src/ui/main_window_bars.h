#pragma once
// The main window's bars and side panels, each the controls it holds. Every
// control keeps its designed name as its Qt object name ("SpinEdit1" is the
// complexity box), so that either name finds it; code outside the main
// window finds a control by that object name.
#include <array>

class QButtonGroup;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QToolButton;

namespace cw {

struct OperationsBar {
    QFrame* bar;
    QPushButton* loadOrClearButton;
    QPushButton* scanButton;
    QPushButton* saveButton;
    QPushButton* restoreButton;
    QPushButton* autoFinishButton;
    QCheckBox* edgeAwareFinishBox;
    QPushButton* printButton;
    QPushButton* helpButton;
    QFrame* loadSwitches;  // how a picture loads, at the bar's right end
    QCheckBox* forceGrayBox;
    QCheckBox* autoMarkUpBox;
    QCheckBox* unmaskOnlyBox;  // an extra control
};

struct ProcessingBar {
    QFrame* bar;
    QPushButton* markUpButton;
    QPushButton* processButton;
    QCheckBox* reMarkBox;
    QPushButton* viewAllButton;
    QPushButton* viewPendingButton;
    QPushButton* removeButton;
    QSpinBox* separationBox;
    QSpinBox* objectivityBox;
    QSpinBox* scalePercentBox;
};

// The groups that a tool shows or hides are frames of their own.
struct ToolsBar {
    QFrame* bar;
    QButtonGroup* toolButtons;  // numbered by the tools' ids
    QToolButton* originalPaletteButton;
    QFrame* overwriteGroup;
    QCheckBox* overwriteBox;
    QCheckBox* layeredBox;
    QSpinBox* complexityBox;
    QFrame* integrationGroup;
    QSpinBox* integrationBox;
    QGroupBox* scopeGroup;
    QRadioButton* scopeLocalButton;
    QRadioButton* scopeGlobalButton;
    QFrame* brushGroup;
    QSpinBox* brushWidthBox;
    QSpinBox* brushHeightBox;
    QCheckBox* roundedBox;
    QSpinBox* selectivityBox;
    QFrame* extraGroup;  // an extra control, empty
};

// An extra bar, hidden until the extra controls are shown.
struct EffectsBar {
    QFrame* bar;
    QSlider* ambientLightSlider;
    std::array<QCheckBox*, 5> lightSwitches;  // white, yellow, red, green, blue
    QSlider* intensitySlider;
    QSlider* saturationSlider;
    QGroupBox* paintModeGroup;  // an extra control
    QRadioButton* interactivePaintButton;
    QRadioButton* maskedPaintButton;
    QCheckBox* invertBox;
    QCheckBox* naturalLightBox;
    QPushButton* resetButton;
};

// Left of the image window: what is chosen now.
struct SelectionsPanel {
    QFrame* panel;
    QLabel* toolPicture;
    QLabel* paletteLabel;
};

// Right of the image window.
struct QuickBrushPanel {
    QFrame* panel;
    std::array<QToolButton*, 8> brushButtons;
    QCheckBox* roundBox;
};

struct BottomStrip {
    QFrame* strip;
    QLabel* pictureSizeLabel;
};

} // namespace cw
