#pragma once
// The windows' controls keep their designed names as Qt object names, so
// that tests and the windows' own code find them by either name.
#include <QString>
#include <QWidget>

namespace cw {

template <class Widget>
Widget* designedWidget(QWidget* parent, const char* name, const QString& hint = {}) {
    auto* w = new Widget(parent);
    w->setObjectName(name);
    if (!hint.isEmpty()) w->setToolTip(hint);
    return w;
}

} // namespace cw
