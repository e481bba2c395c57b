#pragma once
// The image window's pointer handlers, in image pixel coordinates. The
// window (and the zoomed view) call them in the order press, moves, click,
// release; the click only when the button is released over the picture.
#include <cstdint>

namespace cw {

struct Document;

enum class MouseButton { Left, Right, Middle };

inline constexpr const char* kZeroSetCaption = "Zer&o-set";
inline constexpr const char* kCropCaption = "Cr&op";

void image1MouseDown(Document& s, MouseButton button, bool shift, int32_t x, int32_t y);
void image1MouseMove(Document& s, bool shift, int32_t x, int32_t y);
void image1Click(Document& s);
void image1MouseUp(Document& s, MouseButton button, bool shift, int32_t x, int32_t y);

} // namespace cw
