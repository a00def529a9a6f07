#pragma once
// Small pieces the codecs share: picture allocation under the engine's
// limits, palette finishing and checking, comment text, and turning a picture
// upright by an EXIF/TIFF orientation value.
#include "engine/errors.h"
#include "engine/picture.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

namespace engine::codecs::support {

// Allocates the pixel store for a picture of the given depth, checking the
// engine's limits first. TooLarge when the size is over the limits,
// OutOfMemory when the allocation fails.
bool allocate(QImage& image, int width, int height, int bits, Error& err);

// Completes a palette picture decoded into Format_Indexed8 (one index a byte):
// pads the table with black up to the highest index used, so every pixel has
// a colour, and picks the store: 1 bit becomes Format_Mono, 4 bit stays
// Indexed8 with bits 4 unless the table grew past 16 entries.
Picture finishPalette(QImage indexed, QList<QRgb> table, int bits);

// A comment read from a file: UTF-8 when the bytes are valid UTF-8, Latin-1
// otherwise; trailing NULs dropped.
QString decodeComment(const QByteArray& bytes);

// The UTF-8 bytes of a comment with NULs removed, cut to at most maxBytes on
// a character boundary.
QByteArray encodeComment(const QString& text, int maxBytes);

// Whether the text can be written as Latin-1 without loss.
bool isLatin1(const QString& text);

// Turns and mirrors the picture so that one stored with the given EXIF/TIFF
// orientation (2..8) shows upright. 1 and unknown values leave it unchanged.
bool applyOrientation(Picture& pic, int orientation, Error& err);

// The table of a grey ramp in the given direction (for min-is-white files).
QList<QRgb> grayRamp(int n, bool whiteIsZero);

// Exactly a grey ramp of n entries, black first (or white first when asked).
bool isGrayRamp(const QList<QRgb>& table, int n, bool whiteIsZero = false);

// Brings a direct-colour image (16, 24 or 32 bits) into the store format of
// that depth, converting only when it is not already there. False when the
// conversion could not allocate.
bool toStoreFormat(QImage& image, int bits);

// Whether every pixel of an Indexed8 picture is below limit (a colour of the
// table), so the file cannot point past its palette.
bool indexesFit(const QImage& img, int limit);

// What the encoders of grey, RGB and RGB-with-alpha samples take: the
// pixels in their store format, and for a grey picture (8 bits, grey table)
// the grey level of each index (the table need not be the identity ramp;
// indexes past it are black).
struct SampleSource {
    QImage image;
    int bits = 0;  // 8 (grey), 24 or 32
    std::array<uchar, 256> levels{};
};

// Fills src from the picture. Unsupported for any other depth, and for grey
// when the format takes colour only; OutOfMemory when the store conversion
// fails.
bool sampleSource(const Picture& pic, bool greyAllowed, SampleSource& src, Error& err);

// Scales a 16-bit sample to 8 bits with rounding.
inline uchar scale16(unsigned v) { return uchar((v * 255u + 32767u) / 65535u); }

}  // namespace engine::codecs::support
