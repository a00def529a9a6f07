#pragma once
// A quick look at a big JPEG: decoded at the smallest DCT scale (1/8, 1/4 or
// 1/2) that still covers a wanted size, upright, for a first paint while the
// whole picture is decoded. Nothing but the view ever sees it.
#include <QByteArray>
#include <QImage>
#include <QSize>

namespace engine::codecs {

// The reduced picture (Format_BGR888, grey files too) and, in
// fullSize, the size of the whole picture once upright. A null image when the
// data is not a sequential colour or grey JPEG, when no reduction covers
// atLeast, or on any error: the caller then waits for the full decode.
QImage decodeJpegReduced(const QByteArray& data, QSize atLeast, QSize& fullSize);

}  // namespace engine::codecs
