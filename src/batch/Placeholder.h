#pragma once

#include <QByteArray>
#include <QImage>

namespace tessera {

// The picture that stands in for an empty cell: 400 × 300, grey, "我是r-c" in white.
QImage drawPlaceholder(int row, int column);
// The same as JPEG bytes.
QByteArray placeholderJpeg(const QImage& placeholder);

}  // namespace tessera
