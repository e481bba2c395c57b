#pragma once
// The pointer's words: the image window's raw notifications, in the order a
// script gives them, and the two gestures made of them.
#include "actions/line_words.h"

namespace cw {

struct ScriptRun;

void pressWord(ScriptRun& r, const Words& w);    // press X Y [left|right|middle] [shift]
void releaseWord(ScriptRun& r, const Words& w);  // release X Y [left|right|middle] [shift]
void moveWord(ScriptRun& r, const Words& w);     // move X Y [shift]
void clickWord(ScriptRun& r, const Words& w);    // click
void tapWord(ScriptRun& r, const Words& w);      // tap X Y [left|right] [shift]
void dragWord(ScriptRun& r, const Words& w);     // drag X1 Y1 X2 Y2 [X3 Y3 ...] [shift]

} // namespace cw
