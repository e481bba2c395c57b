#include "ui/control_bindings.h"

#include <QAction>
#include <QCheckBox>
#include <QKeySequence>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStringList>
#include <QWidget>
#include <stdexcept>

#include "actions/action_table.h"
#include "actions/session.h"
#include "actions/setting_table.h"

namespace cw {

namespace {

QString text(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

QKeySequence::StandardKey qtKey(StandardKey k) {
    switch (k) {
    case StandardKey::None: break;
    case StandardKey::Open: return QKeySequence::Open;
    case StandardKey::SaveAs: return QKeySequence::SaveAs;
    case StandardKey::Print: return QKeySequence::Print;
    case StandardKey::Close: return QKeySequence::Close;
    case StandardKey::Quit: return QKeySequence::Quit;
    case StandardKey::Undo: return QKeySequence::Undo;
    case StandardKey::Redo: return QKeySequence::Redo;
    case StandardKey::HelpContents: return QKeySequence::HelpContents;
    case StandardKey::ZoomIn: return QKeySequence::ZoomIn;
    case StandardKey::ZoomOut: return QKeySequence::ZoomOut;
    }
    return QKeySequence::UnknownKey;
}

} // namespace

QList<QKeySequence> keysOf(const Action& a) {
    QList<QKeySequence> keys;
    if (a.shortcut.standard != StandardKey::None) keys = QKeySequence::keyBindings(qtKey(a.shortcut.standard));
    const QKeySequence own(text(a.shortcut.key), QKeySequence::PortableText);
    if (!own.isEmpty() && (keys.isEmpty() || keys.removeAll(own) > 0)) keys.prepend(own);
    const QKeySequence also(text(a.shortcut.also), QKeySequence::PortableText);
    if (!also.isEmpty() && !keys.contains(also)) keys.append(also);
    return keys;
}

QString withKeys(const QString& tip, std::initializer_list<const Action*> rows) {
    QStringList keys;
    for (const Action* a : rows)
        if (const QList<QKeySequence> k = keysOf(*a); !k.isEmpty()) keys << k.front().toString(QKeySequence::NativeText);
    return keys.isEmpty() ? tip : QString("%1 (%2)").arg(tip, keys.join(", "));
}

const Setting& settingNamed(std::string_view name) {
    if (const Setting* s = findSetting(name)) return *s;
    throw std::logic_error("no setting " + std::string(name));
}

const Action& actionNamed(std::string_view name) {
    if (const Action* a = findAction(name)) return *a;
    throw std::logic_error("no action " + std::string(name));
}

void ControlBindings::onChange(const Setting& setting, long value) {
    if (session_) setSetting(*session_, setting, value);
}

void ControlBindings::trigger(const Action& action, const std::string& named) {
    if (session_) triggerAction(*session_, action, named);
}

void ControlBindings::bind(QCheckBox* box, std::string_view name) {
    const Setting& s = settingNamed(name);
    bindings_.push_back({box, &s, 0});
    QObject::connect(box, &QCheckBox::toggled, owner_, [this, &s](bool on) { onChange(s, on); });
}

void ControlBindings::bind(QSpinBox* spin, std::string_view name) {
    const Setting& s = settingNamed(name);
    spin->setRange(s.min, s.max);
    bindings_.push_back({spin, &s, 0});
    QObject::connect(spin, &QSpinBox::valueChanged, owner_, [this, &s](int v) { onChange(s, v); });
}

void ControlBindings::bind(QSlider* slider, std::string_view name) {
    const Setting& s = settingNamed(name);
    slider->setRange(s.min, s.max);
    bindings_.push_back({slider, &s, 0});
    QObject::connect(slider, &QSlider::valueChanged, owner_, [this, &s](int v) { onChange(s, v); });
}

// Clicked, not toggled: a click on the button already checked still runs
// the rule, as it always has (Scope's takes Overwrite off again).
void ControlBindings::bind(QRadioButton* radio, std::string_view name, int32_t value) {
    const Setting& s = settingNamed(name);
    bindings_.push_back({radio, &s, value});
    QObject::connect(radio, &QRadioButton::clicked, owner_, [this, &s, value] { onChange(s, value); });
}

void ControlBindings::bindAction(QAbstractButton* button, std::string_view name, std::string named, Caption caption) {
    const Action& a = actionNamed(name);
    if (caption == Caption::FromRow) button->setText(text(a.caption));
    if (!keysOf(a).isEmpty())
        button->setToolTip(withKeys(button->toolTip().isEmpty() ? text(a.caption).remove('&') : button->toolTip(), {&a}));
    QObject::connect(button, &QAbstractButton::clicked, owner_,
                     [this, &a, named = std::move(named)] { trigger(a, named); });
}

void ControlBindings::bindAction(QAction* item, std::string_view name, std::string named) {
    const Action& a = actionNamed(name);
    QObject::connect(item, &QAction::triggered, owner_, [this, &a, named = std::move(named)] { trigger(a, named); });
}

void ControlBindings::bindKeys(QWidget* window) {
    for (const Action& a : actions()) {
        const QList<QKeySequence> keys = keysOf(a);
        if (keys.isEmpty()) continue;
        auto* item = new QAction(text(a.name), window);
        item->setShortcuts(keys);
        item->setShortcutContext(Qt::WindowShortcut);
        window->addAction(item);
        bindAction(item, a.name);
    }
}

void ControlBindings::readBack() const {
    if (!session_) return;
    for (const Binding& b : bindings_) {
        const int32_t v = b.setting->get(*session_);
        const QSignalBlocker quiet(b.control);
        if (auto* radio = qobject_cast<QRadioButton*>(b.control)) {
            // The other button of the group unchecks itself.
            if (v == b.value && !radio->isChecked()) radio->setChecked(true);
        } else if (auto* box = qobject_cast<QCheckBox*>(b.control)) {
            if (box->isChecked() != (v != 0)) box->setChecked(v != 0);
        } else if (auto* spin = qobject_cast<QSpinBox*>(b.control)) {
            if (spin->value() != v) spin->setValue(v);
        } else if (auto* slider = qobject_cast<QSlider*>(b.control)) {
            if (slider->value() != v) slider->setValue(v);
        }
    }
}

} // namespace cw
