// Writing FlashPix pictures: one image object with the whole resolution
// hierarchy in JPEG-compressed 64 x 64 tiles.
#include "engine/codecs/fpx_write.h"

#include "engine/codecs/fpx_format.h"
#include "engine/codecs/fpx_ole.h"
#include "engine/codecs/fpx_property_set.h"
#include "engine/codecs/fpx_tiles.h"

#include <QCryptographicHash>

#include <algorithm>
#include <vector>

namespace engine::codecs::fpx {

namespace {

struct Level {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> samples;  // width x height x channels, rows packed
};

void put32(QByteArray& b, uint32_t v) {
    const char bytes[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    b.append(bytes, 4);
}

// The 28 bytes that open each subimage stream.
QByteArray streamPrefix(const Guid& classId) {
    QByteArray b;
    b.append(char(0xFE)).append(char(0xFF)).append(2, '\0');
    put32(b, 0x00020005);
    b.append(reinterpret_cast<const char*>(classId.data()), 16);
    put32(b, 1);
    return b;
}

// The "\001CompObj" stream: the class id and the object's user type, with no
// clipboard format and no programme id.
QByteArray compObj(const Guid& classId, const char* userType) {
    QByteArray b;
    b.append(char(1)).append('\0').append(char(0xFE)).append(char(0xFF));
    put32(b, 0x00000A03);
    put32(b, 0xFFFFFFFF);
    b.append(reinterpret_cast<const char*>(classId.data()), 16);
    const QByteArray type = QByteArray(userType) + '\0';
    put32(b, uint32_t(type.size()));
    b.append(type);
    put32(b, 0);           // no clipboard format
    put32(b, 0);           // no programme id
    put32(b, 0x71B239F4);  // the Unicode strings follow, all three empty
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    return b;
}

// A name-based id for the image data (the layout of a version 5 UUID), so the
// same picture always gives the same file.
Guid dataObjectId(int width, int height, int channels, const std::vector<uint8_t>& samples) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const int32_t shape[3] = {width, height, channels};
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(shape), sizeof shape));
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(samples.data()), qsizetype(samples.size())));
    const QByteArray digest = hash.result();
    Guid id{};
    std::copy_n(reinterpret_cast<const uint8_t*>(digest.constData()), 16, id.begin());
    id[7] = uint8_t((id[7] & 0x0F) | 0x50);  // Data3's high nibble (stored little-endian)
    id[8] = uint8_t((id[8] & 0x3F) | 0x80);
    return id;
}

// The picture's samples as grey or RGB bytes.
bool firstLevel(const Picture& pic, int channels, Level& level) {
    level.width = pic.width();
    level.height = pic.height();
    level.samples.resize(size_t(level.width) * size_t(level.height) * size_t(channels));
    uint8_t* dst = level.samples.data();
    if (channels == 1) {
        const QImage img = pic.image.format() == QImage::Format_Indexed8
                               ? pic.image
                               : pic.image.convertToFormat(QImage::Format_Indexed8);
        const QList<QRgb> table = img.colorTable();
        uint8_t grey[256];
        for (int i = 0; i < 256; ++i)
            grey[i] = i < table.size() ? uint8_t(qRed(table[i])) : 0;
        for (int y = 0; y < level.height; ++y) {
            const uchar* src = img.constScanLine(y);
            for (int x = 0; x < level.width; ++x)
                *dst++ = grey[src[x]];
        }
        return true;
    }
    const QImage img = pic.image.convertToFormat(QImage::Format_RGB888);
    if (img.isNull())
        return false;
    const size_t row = size_t(level.width) * 3;
    for (int y = 0; y < level.height; ++y, dst += row)
        std::copy_n(img.constScanLine(y), row, dst);
    return true;
}

// Half the size, rounded up: each sample the mean of a 2 x 2 block (the last
// row or column of an odd side averaged with itself).
Level halve(const Level& src, int channels) {
    Level dst;
    dst.width = (src.width + 1) / 2;
    dst.height = (src.height + 1) / 2;
    dst.samples.resize(size_t(dst.width) * size_t(dst.height) * size_t(channels));
    const size_t srcRow = size_t(src.width) * size_t(channels);
    uint8_t* out = dst.samples.data();
    for (int y = 0; y < dst.height; ++y) {
        const uint8_t* r0 = src.samples.data() + srcRow * size_t(2 * y);
        const uint8_t* r1 = src.samples.data() + srcRow * size_t(std::min(2 * y + 1, src.height - 1));
        for (int x = 0; x < dst.width; ++x) {
            const size_t a = size_t(2 * x) * size_t(channels);
            const size_t b = size_t(std::min(2 * x + 1, src.width - 1)) * size_t(channels);
            for (int c = 0; c < channels; ++c)
                *out++ = uint8_t((r0[a + c] + r0[b + c] + r1[a + c] + r1[b + c] + 2) / 4);
        }
    }
    return dst;
}

// One resolution: the header stream (tile table) and the data stream (tiles).
bool encodeLevel(const Level& level, int channels, uint32_t subtype, JpegTileEncoder& jpeg, QByteArray& header,
                 QByteArray& data) {
    const int across = (level.width + kTileSide - 1) / kTileSide;
    const int down = (level.height + kTileSide - 1) / kTileSide;
    const int tiles = across * down;
    header = streamPrefix(subimageHeaderClsid());
    put32(header, kHeaderFields);
    put32(header, uint32_t(level.width));
    put32(header, uint32_t(level.height));
    put32(header, uint32_t(tiles));
    put32(header, kTileSide);
    put32(header, kTileSide);
    put32(header, uint32_t(channels));
    put32(header, kHeaderFields);  // the tile table follows the fields
    put32(header, kTileEntry);
    data = streamPrefix(subimageDataClsid());

    std::vector<uint8_t> tile(size_t(kTileSide) * kTileSide * size_t(channels));
    QByteArray coded;
    const size_t srcRow = size_t(level.width) * size_t(channels);
    for (int ty = 0; ty < down; ++ty) {
        for (int tx = 0; tx < across; ++tx) {
            // Edge tiles are whole tiles: the last row and column repeat, which
            // keeps the JPEG blocks at the picture's edge free of ringing.
            uint8_t* dst = tile.data();
            for (int y = 0; y < kTileSide; ++y) {
                const int sy = std::min(ty * kTileSide + y, level.height - 1);
                const uint8_t* row = level.samples.data() + srcRow * size_t(sy);
                for (int x = 0; x < kTileSide; ++x) {
                    const int sx = std::min(tx * kTileSide + x, level.width - 1);
                    for (int c = 0; c < channels; ++c)
                        *dst++ = row[size_t(sx) * size_t(channels) + size_t(c)];
                }
            }
            if (!jpeg.encode(tile.data(), coded))
                return false;
            put32(header, uint32_t(data.size() - kStreamPrefix));
            put32(header, uint32_t(coded.size()));
            put32(header, kJpeg);
            put32(header, subtype);
            data.append(coded);
        }
    }
    return true;
}

QByteArray colorBlob(int channels) {
    QByteArray b;
    put32(b, 1);
    put32(b, uint32_t(channels));
    if (channels == 1) {
        put32(b, kUncalibrated | colorCode(kMonochrome, 0));
    } else {
        for (uint32_t c = 0; c < 3; ++c)
            put32(b, kUncalibrated | colorCode(kNifRgb, c));
    }
    return b;
}

// The comment as the summary information stores it: Windows-1252 when every
// character fits (Latin-1 minus the C1 controls), otherwise UTF-8.
void commentBytes(const QString& text, QByteArray& bytes, int& codePage) {
    bool latin = true;
    for (QChar ch : text)
        if (ch.unicode() > 0xFF || (ch.unicode() >= 0x80 && ch.unicode() < 0xA0))
            latin = false;
    codePage = latin ? 1252 : 65001;
    bytes = latin ? text.toLatin1() : text.toUtf8();
}

}  // namespace

bool encodeWithLayout(const Picture& pic, const EncodeOptions& opt, const TileLayout& layout, QByteArray& out,
                      Error& err) {
    out.clear();
    err = Error::None;
    if (pic.isNull()) {
        err = Error::NoPicture;
        return false;
    }
    int channels = 0;
    if (pic.bits == 8 && isGray(pic))
        channels = 1;
    else if (pic.bits == 24)
        channels = 3;
    else {
        err = Error::Unsupported;  // the caller converts to 8-bit grey or 24 bits first
        return false;
    }
    if (pic.width() < 1 || pic.height() < 1 || pic.width() > kMaxSide || pic.height() > kMaxSide) {
        err = Error::TooLarge;
        return false;
    }

    std::vector<Level> levels(1);
    if (!firstLevel(pic, channels, levels[0])) {
        err = Error::OutOfMemory;
        return false;
    }
    while (levels.back().width > kTileSide || levels.back().height > kTileSide)
        levels.push_back(halve(levels.back(), channels));
    const int count = int(levels.size());

    JpegTileEncoder jpeg(channels, opt.jpegQuality, layout.subsampleChroma && channels == 3, layout.sharedTables);
    if (!jpeg.isValid()) {
        err = Error::WriteFailed;
        return false;
    }
    const uint32_t subsampling = channels == 3 && layout.subsampleChroma ? 0x22 : 0x11;
    const uint32_t subtype = jpegSubtype(subsampling, channels == 3, layout.sharedTables ? 1 : 0);

    OleWriter ole;
    ole.setRootClassId(viewClsid());
    ole.addStream({}, compObjName(), compObj(viewClsid(), "FlashPix Image View"));

    // Summary information: the comment, the code page its text is in, and us.
    {
        std::map<uint32_t, PropValue> props;
        int codePage = 1252;
        QByteArray comment;
        if (!opt.comment.isEmpty()) {
            commentBytes(opt.comment, comment, codePage);
            props[kPidComments] = PropValue::lpstr(comment);
        }
        props[kPidCodePage] = PropValue::i2(codePage);
        props[kPidAppName] = PropValue::lpstr("Tolvane");
        ole.addStream({}, propertyStreamName("SummaryInformation"), buildPropertySet(Guid{}, summaryFmtid(), props));
    }
    {
        std::map<uint32_t, PropValue> props;
        props[kPidCodePage] = PropValue::i2(1252);
        props[kPidVisibleOutputs] = PropValue::ui4Vector({1});  // "Data Object 000001" is shown
        props[kPidMaxImageIndex] = PropValue::ui4(1);
        props[kPidMaxTransformIndex] = PropValue::ui4(0);
        props[kPidMaxOperationIndex] = PropValue::ui4(0);
        ole.addStream({}, propertyStreamName("Global Info"),
                      buildPropertySet(globalInfoFmtid(), globalInfoFmtid(), props));
    }

    // The description of data object 1: a source image (made by no transform,
    // read by none) with its full size.
    {
        std::map<uint32_t, PropValue> props;
        props[kPidCodePage] = PropValue::i2(1252);
        props[kPidDataObjectId] =
            PropValue::clsid(dataObjectId(levels[0].width, levels[0].height, channels, levels[0].samples));
        props[kPidObjectStatus] = PropValue::ui4(kObjectExistsKept);
        props[kPidCreator] = PropValue::ui4(0);
        props[kPidUsers] = PropValue::ui4Vector({});
        props[kPidCachedHeight] = PropValue::ui4(uint32_t(pic.height()));
        props[kPidCachedWidth] = PropValue::ui4(uint32_t(pic.width()));
        ole.addStream({}, dataObjectName(1), buildPropertySet(dataObjectFmtid(), dataObjectFmtid(), props));
    }

    const QStringList object = ole.addStorage({}, imageObjectName(1), imageObjectClsid());
    ole.addStream(object, compObjName(), compObj(imageObjectClsid(), "FlashPix Image Object"));
    {
        std::map<uint32_t, PropValue> props;
        props[kPidCodePage] = PropValue::i2(1252);
        props[kPidAppName] = PropValue::lpstr("Tolvane");
        ole.addStream(object, propertyStreamName("SummaryInformation"), buildPropertySet(Guid{}, summaryFmtid(), props));
    }
    std::map<uint32_t, PropValue> contents;
    contents[kPidCodePage] = PropValue::i2(1252);
    contents[kPidNumResolutions] = PropValue::ui4(uint32_t(count));
    contents[kPidHighestWidth] = PropValue::ui4(uint32_t(pic.width()));
    contents[kPidHighestHeight] = PropValue::ui4(uint32_t(pic.height()));
    // "Resolution 0000" is the smallest level, the last one the full picture.
    for (int index = 0; index < count; ++index) {
        const Level& level = levels[size_t(count - 1 - index)];
        contents[subimagePid(index, kSubWidth)] = PropValue::ui4(uint32_t(level.width));
        contents[subimagePid(index, kSubHeight)] = PropValue::ui4(uint32_t(level.height));
        contents[subimagePid(index, kSubColor)] = PropValue::blob(colorBlob(channels));
        contents[subimagePid(index, kSubFormat)] = PropValue::ui4Vector({VT_UI1});
        contents[subimagePid(index, kSubDecimation)] = PropValue::i4(index == count - 1 ? 0 : 4);
        QByteArray header, data;
        if (!encodeLevel(level, channels, subtype, jpeg, header, data)) {
            err = Error::WriteFailed;
            return false;
        }
        const QStringList res = ole.addStorage(object, resolutionName(index), resolutionClsid());
        ole.addStream(res, QLatin1String(kSubimageHeader), header);
        ole.addStream(res, QLatin1String(kSubimageData), data);
    }
    if (layout.sharedTables) {
        contents[jpegTablePid(1)] = PropValue::blob(jpeg.tables());
        contents[kPidMaxJpegTable] = PropValue::ui4(1);
    }
    ole.addStream(object, propertyStreamName("Image Contents"),
                  buildPropertySet(imageContentsFmtid(), imageContentsFmtid(), contents));
    levels.clear();

    if (!ole.finish(out)) {
        out.clear();
        err = Error::WriteFailed;
        return false;
    }
    return true;
}

}  // namespace engine::codecs::fpx

namespace engine::codecs {

bool encodeFpx(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err) {
    return fpx::encodeWithLayout(pic, opt, fpx::TileLayout(), out, err);
}

}  // namespace engine::codecs
