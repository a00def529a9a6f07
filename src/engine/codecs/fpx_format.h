#pragma once
// Names, class ids and property ids of the FlashPix file layout.
//
// A file is a compound file whose root is an image view (class id kViewClsid).
// It holds the summary information, the global info property set (whose
// visible outputs name the data objects shown), one description property set
// per data object ("Data Object 000001" and up) and the image objects
// themselves, "Data Object Store 000001" and up. An image object holds its own
// summary information, the image contents property set (sizes, colours, JPEG
// tables) and one storage
// per resolution, "Resolution 0000" (the smallest) up to the full size, each
// with a "Subimage 0000 Header" stream (the tile table) and a
// "Subimage 0000 Data" stream (the tiles). Both streams start with a 28-byte
// prefix shaped like a property set header; offsets inside them count from the
// end of that prefix.
#include "engine/codecs/fpx_ole.h"

#include <QString>

namespace engine::codecs::fpx {

inline Guid fpxGuid(uint32_t d1) {
    return makeGuid(d1, 0xC154, 0x11CE, {0x85, 0x53, 0x00, 0xAA, 0x00, 0xA1, 0xF9, 0x5B});
}
inline Guid viewClsid() { return fpxGuid(0x56616700); }
inline Guid imageObjectClsid() { return fpxGuid(0x56616000); }
inline Guid resolutionClsid() { return fpxGuid(0x56616100); }
inline Guid imageContentsFmtid() { return fpxGuid(0x56616400); }
inline Guid globalInfoFmtid() { return fpxGuid(0x56616F00); }
inline Guid dataObjectFmtid() { return fpxGuid(0x56616080); }
inline Guid subimageHeaderClsid() { return fpxGuid(0x00010000); }
inline Guid subimageDataClsid() { return fpxGuid(0x00010100); }
inline Guid summaryFmtid() {
    return makeGuid(0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9});
}

inline QString propertyStreamName(const char* name) { return QString(QChar(5)) + QLatin1String(name); }
inline QString compObjName() { return QString(QChar(1)) + QLatin1String("CompObj"); }
inline QString imageObjectName(int n) { return QStringLiteral("Data Object Store %1").arg(n, 6, 10, QChar('0')); }
inline QString dataObjectName(int n) {
    return QString(QChar(5)) + QStringLiteral("Data Object %1").arg(n, 6, 10, QChar('0'));
}
inline QString resolutionName(int n) { return QStringLiteral("Resolution %1").arg(n, 4, 10, QChar('0')); }
inline const char* kSubimageHeader = "Subimage 0000 Header";
inline const char* kSubimageData = "Subimage 0000 Data";

// Summary information.
constexpr uint32_t kPidCodePage = 1;
constexpr uint32_t kPidComments = 6;
constexpr uint32_t kPidAppName = 18;

// Image contents.
constexpr uint32_t kPidNumResolutions = 0x01000000;
constexpr uint32_t kPidHighestWidth = 0x01000002;
constexpr uint32_t kPidHighestHeight = 0x01000003;
constexpr uint32_t kPidDisplayHeight = 0x01000004;
constexpr uint32_t kPidDisplayWidth = 0x01000005;
constexpr uint32_t kPidDisplayUnits = 0x01000006;
enum SubimageField : uint32_t { kSubWidth = 0, kSubHeight = 1, kSubColor = 2, kSubFormat = 3, kSubDecimation = 4 };
constexpr uint32_t subimagePid(int index, SubimageField f) { return 0x02000000u | uint32_t(index) << 16 | f; }
constexpr uint32_t jpegTablePid(int index) { return 0x03000001u | uint32_t(index) << 16; }
constexpr uint32_t kPidMaxJpegTable = 0x03000002;

// Global info.
constexpr uint32_t kPidVisibleOutputs = 0x00010100;
constexpr uint32_t kPidMaxImageIndex = 0x00010101;
constexpr uint32_t kPidMaxTransformIndex = 0x00010102;
constexpr uint32_t kPidMaxOperationIndex = 0x00010103;

// Data object description (one per image object).
constexpr uint32_t kPidDataObjectId = 0x00010000;
constexpr uint32_t kPidObjectStatus = 0x00010100;
constexpr uint32_t kPidCreator = 0x00010101;  // 0: a source image, else the transform that made it
constexpr uint32_t kPidUsers = 0x00010102;    // the transforms that read it
constexpr uint32_t kPidCachedHeight = 0x10000000;
constexpr uint32_t kPidCachedWidth = 0x10000001;
// Status: the data exists (low half), and it may not be purged (high half):
// a source image cannot be made again from anything else.
constexpr uint32_t kObjectExistsKept = 0x00010001;

// Channel descriptions in the subimage colour property: colour space in bits
// 16-30, the channel's colour in bits 0-14, bit 31 set for uncalibrated data
// and bit 15 when the colours are premultiplied by an opacity channel.
enum ColorSpace : uint32_t { kColorless = 0, kMonochrome = 1, kPhotoYcc = 2, kNifRgb = 3 };
constexpr uint32_t kChannelOpacity = 0x7FFE;
constexpr uint32_t kUncalibrated = 0x80000000u;
constexpr uint32_t colorCode(uint32_t space, uint32_t channel) { return space << 16 | channel; }
constexpr uint32_t codeSpace(uint32_t code) { return (code >> 16) & 0x7FFF; }
constexpr uint32_t codeChannel(uint32_t code) { return code & 0x7FFF; }

// Tile compression types and the JPEG subtype's bytes (lowest first):
// interleaving, chroma subsampling, internal colour conversion, table selector.
enum Compression : uint32_t { kUncompressed = 0, kSingleColor = 1, kJpeg = 2 };
constexpr uint32_t jpegSubtype(uint32_t subsampling, bool ycc, uint32_t table) {
    return subsampling << 8 | (ycc ? 1u : 0u) << 16 | table << 24;
}

constexpr int kTileSide = 64;
constexpr int kStreamPrefix = 28;  // property-set-like header of subimage streams
constexpr int kHeaderFields = 36;  // header length field up to the tile entry length
constexpr int kTileEntry = 16;     // offset, size, compression, subtype

}  // namespace engine::codecs::fpx
