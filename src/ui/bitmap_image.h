#pragma once
// How the windows hand a bitmap to Qt: the bitmap's words are already Qt's
// 0xffRRGGBB, so a QImage can paint straight from them.
#include <QImage>

#include "core/bitmap.h"

namespace cw {

// Shares the bitmap's pixels, not a copy: good only while the bitmap lives
// and keeps its size, which is as long as a paint or a print takes.
inline QImage bitmapImage(const Bitmap& b) {
    return QImage(reinterpret_cast<const uchar*>(b.data()), b.width(), b.height(), qsizetype(b.width()) * 4,
                  QImage::Format_RGB32);
}

} // namespace cw
