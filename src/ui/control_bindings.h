#pragma once
// Ties a window's controls to rows of the setting and action tables: a
// control's change and a button's click go through its row, and readBack()
// writes every control from the document, so that no control keeps a value
// the document no longer holds.
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

class QAbstractButton;
class QAction;
class QCheckBox;
class QRadioButton;
class QSlider;
class QSpinBox;
class QWidget;

namespace cw {

struct Action;
struct Session;
struct Setting;

class ControlBindings {
public:
    // Controls built before the session exists do nothing until attach().
    explicit ControlBindings(QObject* owner) : owner_(owner) {}
    void attach(Session& s) { session_ = &s; }

    // A spin box or slider takes the row's range.
    void bind(QCheckBox* box, std::string_view setting);
    void bind(QSpinBox* spin, std::string_view setting);
    void bind(QSlider* slider, std::string_view setting);
    void bind(QRadioButton* radio, std::string_view setting, int32_t value);

    // The button shows the row's caption, unless it has a caption of its
    // own (several buttons may give one row), and its tip names the row's key.
    enum class Caption { FromRow, Own };
    void bindAction(QAbstractButton* button, std::string_view action, std::string named = {},
                    Caption caption = Caption::FromRow);
    void bindAction(QAction* item, std::string_view action, std::string named = {});

    // Every row that has keys gets an action on `window` that gives it, so
    // that its keys work wherever the focus is in that window, in the
    // image window it holds as well. Other windows may add the actions too.
    void bindKeys(QWidget* window);

    // Writes every bound control from the document without running its
    // change handler.
    void readBack() const;

private:
    struct Binding {
        QWidget* control;
        const Setting* setting;
        int32_t value;  // a radio button's choice
    };
    void onChange(const Setting& setting, long value);
    void trigger(const Action& action, const std::string& named);

    QObject* owner_;
    Session* session_ = nullptr;
    std::vector<Binding> bindings_;
};

// The rows a window names; a name without a row is a programming error.
const Setting& settingNamed(std::string_view name);
const Action& actionNamed(std::string_view name);

// The keys a row has on this desktop: the desktop's own for a standard
// command (the row's key first where the desktop has it too), otherwise
// the row's key.
QList<QKeySequence> keysOf(const Action& a);
// "Load Image (Ctrl+O)": a tip followed by the first key of each row, or
// the tip alone when no row has a key.
QString withKeys(const QString& tip, std::initializer_list<const Action*> rows);

} // namespace cw
