#pragma once
// Colour conversions through lcms2: pictures with an embedded ICC profile are
// shown converted to sRGB (their pixels stay as the file has them), and
// CIELab samples are brought to sRGB with the white adapted from D50 to D65.
#include <QByteArray>
#include <QImage>

namespace engine::colour {

// Converts a Format_RGB32 image shown on screen from the colours of the ICC
// profile to sRGB, in place. Nothing happens for an empty, unreadable or
// non-RGB profile.
void displayInSrgb(QImage& rgb32, const QByteArray& icc);

// Converts 8-bit CIELab samples stored in a Format_BGR888 image as ICC Lab
// (byte 0 L* 0..255 for 0..100, bytes 1 and 2 a* and b* offset by 128) to
// sRGB, in place, relative to the D50 white of CIELab: L* 100 with a* and b* 0
// becomes white. False when lcms2 could not build the conversion.
bool labToSrgb(QImage& bgr888);

}  // namespace engine::colour
