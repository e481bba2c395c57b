#pragma once
// The tools in Qt's terms: their pictures, their pointer shapes, and the
// mouse buttons the gestures know.
#include <QIcon>

#include "tools/interaction.h"
#include "tools/tool.h"

namespace cw {

QIcon toolIcon(ToolGlyph glyph);
Qt::CursorShape toolCursorShape(ToolCursor cursor);
// Any button but the right and the middle one counts as the left.
MouseButton mouseButtonOf(Qt::MouseButton b);

} // namespace cw
