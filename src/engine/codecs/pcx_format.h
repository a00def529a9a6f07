#pragma once
// The PCX file layout shared by the PCX reader and writer.
#include <QtGlobal>

namespace engine::codecs::pcx {

constexpr int kHeaderSize = 128;
constexpr uchar kManufacturer = 0x0A;
constexpr uchar kVersion = 5;             // 3.0 with palette information
constexpr uchar kRle = 1;
constexpr uchar kPaletteMarker = 0x0C;    // before the 256-colour table at the end
constexpr int kTrailingPaletteSize = 1 + 256 * 3;
constexpr int kMaxRun = 63;

// Offsets of the header fields.
enum Field : int {
    Manufacturer = 0,
    Version = 1,
    Encoding = 2,
    BitsPerPixel = 3,
    XMin = 4,
    YMin = 6,
    XMax = 8,
    YMax = 10,
    HorizontalDpi = 12,
    VerticalDpi = 14,
    HeaderPalette = 16,  // 16 entries of R, G, B
    Planes = 65,
    BytesPerLine = 66,
    PaletteInfo = 68,    // 1 colour, 2 grey
};

}  // namespace engine::codecs::pcx
