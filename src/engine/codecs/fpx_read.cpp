// Reading FlashPix pictures: the highest resolution of the first image object.
#include "engine/codecs/fpx_read.h"

#include "engine/codecs/fpx_color.h"
#include "engine/codecs/fpx_format.h"
#include "engine/codecs/fpx_ole.h"
#include "engine/codecs/fpx_property_set.h"
#include "engine/codecs/fpx_tiles.h"

#include <algorithm>

namespace engine::codecs::fpx {

namespace {

constexpr qint64 kMaxPropertyStream = 16 << 20;  // property sets are a few KiB in practice
constexpr int kMaxResolutions = 32;               // 65,535 px halves to one tile in 11 steps
constexpr int kMaxTileSide = 1024;

uint32_t u32(const QByteArray& b, qint64 off) {
    const auto* p = reinterpret_cast<const uchar*>(b.constData()) + off;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

struct SubimageHeader {
    int width = 0;
    int height = 0;
    int tileWidth = 0;
    int tileHeight = 0;
    int tilesAcross = 0;
    int tilesDown = 0;
    int channels = 0;
    qint64 tableStart = 0;  // absolute position of the first tile entry in the stream
    qint64 entryLength = 0;
    QByteArray stream;
};

// How the stored channels map to the picture.
struct ChannelLayout {
    int channels = 0;
    bool gray = false;
    uint32_t space = kMonochrome;
    int position[3] = {0, 0, 0};  // stored index of grey, or of R/G/B (Y/C1/C2)
};

// Every check of a subimage header; err tells what is wrong.
bool parseHeader(const QByteArray& s, SubimageHeader& h, Error& err) {
    err = Error::Damaged;
    if (s.size() < kStreamPrefix + kHeaderFields)
        return false;
    const qint64 base = kStreamPrefix;
    const qint64 headerLength = u32(s, base);
    const qint64 width = u32(s, base + 4);
    const qint64 height = u32(s, base + 8);
    const qint64 tiles = u32(s, base + 12);
    const qint64 tileWidth = u32(s, base + 16);
    const qint64 tileHeight = u32(s, base + 20);
    const qint64 channels = u32(s, base + 24);
    const qint64 tableOffset = u32(s, base + 28);
    const qint64 entryLength = u32(s, base + 32);
    if (headerLength < kHeaderFields || width < 1 || height < 1)
        return false;
    if (width > kMaxSide || height > kMaxSide) {
        err = Error::TooLarge;
        return false;
    }
    if (tileWidth < 1 || tileHeight < 1 || tileWidth > kMaxTileSide || tileHeight > kMaxTileSide)
        return false;
    if (channels < 1)
        return false;
    if (channels > 4) {
        err = Error::Unsupported;
        return false;
    }
    const qint64 across = (width + tileWidth - 1) / tileWidth;
    const qint64 down = (height + tileHeight - 1) / tileHeight;
    if (tiles != across * down || entryLength < kTileEntry)
        return false;
    const qint64 tableStart = base + tableOffset;
    if (tableStart > s.size() || tiles > (s.size() - tableStart) / entryLength)
        return false;
    h.width = int(width);
    h.height = int(height);
    h.tileWidth = int(tileWidth);
    h.tileHeight = int(tileHeight);
    h.tilesAcross = int(across);
    h.tilesDown = int(down);
    h.channels = int(channels);
    h.tableStart = tableStart;
    h.entryLength = entryLength;
    h.stream = s;
    err = Error::None;
    return true;
}

class FpxFile {
public:
    explicit FpxFile(const QByteArray& data) : ole_(data), fileSize_(data.size()) {}

    bool open(Error& err);
    int resolutionCount() const { return resolutions_; }
    bool header(int index, SubimageHeader& h, Error& err) const;
    int highestResolution(Error& err) const;
    bool decode(int index, Picture& pic, Error& err) const;
    QString comment() const;
    // Whether the picture has the full size the image contents declare (when they do).
    bool matchesDeclaredSize(const Picture& pic) const {
        int64_t w = 0, h = 0;
        if (!contents_.integer(kPidHighestWidth, w) || !contents_.integer(kPidHighestHeight, h))
            return true;
        return w == pic.width() && h == pic.height();
    }

private:
    bool layout(int index, const SubimageHeader& h, ChannelLayout& lay, Error& err) const;
    bool decodeTiles(const SubimageHeader& h, const ChannelLayout& lay, const QByteArray& data, QImage& img,
                     Error& err) const;

    OleReader ole_;
    qint64 fileSize_;
    QStringList object_;
    PropertySet contents_;
    int resolutions_ = 0;
};

bool FpxFile::open(Error& err) {
    if (!ole_.isValid()) {
        err = Error::Damaged;  // compound file magic, but no readable container
        return false;
    }
    Guid root{};
    ole_.classId({}, root);
    const bool flashPixRoot = root == viewClsid() || root == imageObjectClsid();

    // The first image object is the lowest-numbered storage that holds image contents.
    QStringList candidates;
    for (const QString& name : ole_.children({}))
        if (name.startsWith(QLatin1String("Data Object Store ")) && ole_.isStorage({name}))
            candidates << name;
    std::sort(candidates.begin(), candidates.end());
    if (root == imageObjectClsid() && candidates.isEmpty())
        object_ = QStringList();  // the image object may be the root itself
    else if (!candidates.isEmpty())
        object_ = QStringList{candidates.first()};
    else {
        err = flashPixRoot ? Error::Damaged : Error::UnknownFormat;
        return false;
    }

    QByteArray stream;
    const auto r = ole_.readStream(object_ + QStringList{propertyStreamName("Image Contents")}, kMaxPropertyStream, stream);
    if (r != OleReader::Read::Ok) {
        // Some other kind of compound document, unless it called itself FlashPix.
        err = r == OleReader::Read::Missing && !flashPixRoot ? Error::UnknownFormat : Error::Damaged;
        return false;
    }
    if (!parsePropertySet(stream, contents_) || contents_.fmtid != imageContentsFmtid()) {
        err = Error::Damaged;
        return false;
    }
    int64_t n = 0;
    if (!contents_.integer(kPidNumResolutions, n) || n < 1 || n > kMaxResolutions) {
        err = Error::Damaged;
        return false;
    }
    resolutions_ = int(n);
    return true;
}

bool FpxFile::header(int index, SubimageHeader& h, Error& err) const {
    QByteArray s;
    const QStringList path = object_ + QStringList{resolutionName(index), QLatin1String(kSubimageHeader)};
    if (ole_.readStream(path, fileSize_, s) != OleReader::Read::Ok) {
        err = Error::Damaged;
        return false;
    }
    return parseHeader(s, h, err);
}

// The level with the most pixels. Writers number the levels from the smallest
// up, but only the sizes in the headers say so, so the sizes decide.
int FpxFile::highestResolution(Error& err) const {
    int best = -1;
    qint64 bestArea = 0;
    for (int i = 0; i < resolutions_; ++i) {
        QByteArray s;
        const QStringList path = object_ + QStringList{resolutionName(i), QLatin1String(kSubimageHeader)};
        if (ole_.readStream(path, fileSize_, s) != OleReader::Read::Ok || s.size() < kStreamPrefix + kHeaderFields)
            continue;  // the chosen level's header gets every check when it is decoded
        const qint64 area = qint64(u32(s, kStreamPrefix + 4)) * u32(s, kStreamPrefix + 8);
        if (area > bestArea) {
            bestArea = area;
            best = i;
        }
    }
    if (best < 0)
        err = Error::Damaged;
    return best;
}

bool FpxFile::layout(int index, const SubimageHeader& h, ChannelLayout& lay, Error& err) const {
    err = Error::Damaged;
    lay.channels = h.channels;
    QList<uint32_t> codes;
    if (const PropValue* v = contents_.find(subimagePid(index, kSubColor))) {
        // count of colour descriptions (1), channel count, one code per channel
        if (v->type != VT_BLOB || v->bytes.size() < 8)
            return false;
        const qint64 n = u32(v->bytes, 4);
        if (n != h.channels || v->bytes.size() < 8 + 4 * n)
            return false;  // a colour description that disagrees with the tiles
        for (qint64 i = 0; i < n; ++i)
            codes << u32(v->bytes, 8 + 4 * i);
    } else if (h.channels == 1) {
        codes << colorCode(kMonochrome, 0);
    } else if (h.channels == 3) {
        codes << colorCode(kNifRgb, 0) << colorCode(kNifRgb, 1) << colorCode(kNifRgb, 2);
    } else {
        return false;
    }
    if (const PropValue* v = contents_.find(subimagePid(index, kSubFormat))) {
        if (v->type == (VT_VECTOR | VT_UI4)) {
            for (uint32_t f : v->vector)
                if (f != VT_UI1) {
                    err = Error::Unsupported;  // 16-bit or floating point samples
                    return false;
                }
        }
    }
    int opacity = 0;
    QList<int> colourAt;
    for (int i = 0; i < codes.size(); ++i) {
        if (codeChannel(codes[i]) == kChannelOpacity)
            ++opacity;
        else
            colourAt << i;
    }
    if (opacity > 1) {
        err = Error::Unsupported;
        return false;
    }
    if (colourAt.isEmpty()) {
        err = Error::Unsupported;  // an opacity mask alone
        return false;
    }
    lay.space = codeSpace(codes[colourAt[0]]);
    for (int i : colourAt)
        if (codeSpace(codes[i]) != lay.space) {
            err = Error::Unsupported;
            return false;
        }
    if (colourAt.size() == 1 && (lay.space == kMonochrome || lay.space == kColorless)) {
        lay.gray = true;
        lay.position[0] = colourAt[0];
        err = Error::None;
        return true;
    }
    if (colourAt.size() == 3 && (lay.space == kNifRgb || lay.space == kPhotoYcc)) {
        bool seen[3] = {false, false, false};
        for (int i : colourAt) {
            const uint32_t c = codeChannel(codes[i]);
            if (c > 2 || seen[c])
                return false;
            seen[c] = true;
            lay.position[c] = i;
        }
        err = Error::None;
        return true;
    }
    err = Error::Unsupported;
    return false;
}

bool FpxFile::decodeTiles(const SubimageHeader& h, const ChannelLayout& lay, const QByteArray& data, QImage& img,
                          Error& err) const {
    const int nch = h.channels;
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    TileBuffer tile;
    std::vector<uint8_t> filled;
    for (int ty = 0; ty < h.tilesDown; ++ty) {
        for (int tx = 0; tx < h.tilesAcross; ++tx) {
            const qint64 entry = h.tableStart + h.entryLength * (qint64(ty) * h.tilesAcross + tx);
            const qint64 offset = u32(h.stream, entry);
            const qint64 size = u32(h.stream, entry + 4);
            const uint32_t type = u32(h.stream, entry + 8);
            const uint32_t subtype = u32(h.stream, entry + 12);
            const int x0 = tx * h.tileWidth;
            const int y0 = ty * h.tileHeight;
            const int cw = std::min(h.tileWidth, h.width - x0);
            const int ch = std::min(h.tileHeight, h.height - y0);

            const uint8_t* samples = nullptr;
            qint64 stride = 0;  // bytes from one row of samples to the next
            if (type == kSingleColor) {
                // One byte per channel, the first channel in the highest byte.
                filled.assign(size_t(nch), 0);
                for (int c = 0; c < nch; ++c)
                    filled[size_t(c)] = uint8_t(subtype >> (8 * (3 - c)));
                samples = filled.data();
                stride = 0;
            } else {
                const qint64 start = kStreamPrefix + offset;
                if (size < 1 || start > data.size() || size > data.size() - start) {
                    err = Error::Damaged;  // a tile outside its stream
                    return false;
                }
                if (type == kUncompressed) {
                    // Whole tiles as a rule; a writer that clips edge tiles is accepted too.
                    if (size >= qint64(h.tileWidth) * h.tileHeight * nch)
                        stride = qint64(h.tileWidth) * nch;
                    else if (size >= qint64(cw) * ch * nch)
                        stride = qint64(cw) * nch;
                    else {
                        err = Error::Damaged;
                        return false;
                    }
                    samples = bytes + start;
                } else if (type == kJpeg) {
                    const int selector = int(subtype >> 24);
                    QByteArray tables;
                    if (selector != 0) {
                        const PropValue* t = contents_.find(jpegTablePid(selector));
                        if (!t || t->type != VT_BLOB) {
                            err = Error::Damaged;
                            return false;
                        }
                        tables = t->bytes;
                    }
                    if (!decodeJpegTile(bytes + start, size_t(size), tables, nch, h.tileWidth, h.tileHeight, tile)
                        || tile.width < cw || tile.height < ch) {
                        err = Error::Damaged;
                        return false;
                    }
                    if ((subtype >> 16) & 0xFF && !lay.gray)
                        ycbcrToRgb(tile.data.data(), size_t(tile.width) * tile.height, nch, lay.position);
                    samples = tile.data.data();
                    stride = qint64(tile.width) * nch;
                } else {
                    err = Error::Unsupported;
                    return false;
                }
            }

            for (int y = 0; y < ch; ++y) {
                const uint8_t* src = samples + stride * y;
                uchar* dst = img.scanLine(y0 + y);
                const int step = stride == 0 ? 0 : nch;
                if (lay.gray) {
                    for (int x = 0; x < cw; ++x)
                        dst[x0 + x] = src[step * x + lay.position[0]];
                } else {
                    uchar* d = dst + 3 * x0;
                    for (int x = 0; x < cw; ++x, d += 3) {
                        const uint8_t* p = src + step * x;
                        uint8_t r = p[lay.position[0]], g = p[lay.position[1]], b = p[lay.position[2]];
                        if (lay.space == kPhotoYcc)
                            photoYccToRgb(r, g, b);
                        d[0] = b;  // Format_BGR888 keeps blue first in memory
                        d[1] = g;
                        d[2] = r;
                    }
                }
            }
        }
    }
    return true;
}

bool FpxFile::decode(int index, Picture& pic, Error& err) const {
    SubimageHeader h;
    if (!header(index, h, err))
        return false;
    ChannelLayout lay;
    if (!layout(index, h, lay, err))
        return false;
    const int bits = lay.gray ? 8 : 24;
    if (!sizeAllowed(h.width, h.height, bits)) {
        err = Error::TooLarge;
        return false;
    }
    QByteArray data;
    const QStringList path = object_ + QStringList{resolutionName(index), QLatin1String(kSubimageData)};
    if (ole_.readStream(path, fileSize_, data) != OleReader::Read::Ok) {
        err = Error::Damaged;
        return false;
    }
    QImage img(h.width, h.height, lay.gray ? QImage::Format_Indexed8 : QImage::Format_BGR888);
    if (img.isNull()) {
        err = Error::OutOfMemory;
        return false;
    }
    if (lay.gray)
        img.setColorTable(grayTable(256));
    if (!decodeTiles(h, lay, data, img, err))
        return false;
    pic.image = img;
    pic.bits = 8 * (lay.gray ? 1 : 3);
    return true;
}

QString FpxFile::comment() const {
    for (const QStringList& where : {QStringList(), object_}) {
        QByteArray stream;
        PropertySet set;
        QString text;
        if (ole_.readStream(where + QStringList{propertyStreamName("SummaryInformation")}, kMaxPropertyStream, stream)
                == OleReader::Read::Ok
            && parsePropertySet(stream, set) && set.text(kPidComments, text) && !text.isEmpty())
            return text;
        if (where.isEmpty() && object_.isEmpty())
            break;
    }
    return QString();
}

}  // namespace

bool readLevels(const QByteArray& data, QList<LevelInfo>& levels, Error& err) {
    levels.clear();
    err = Error::None;
    FpxFile file(data);
    if (!file.open(err))
        return false;
    for (int i = 0; i < file.resolutionCount(); ++i) {
        SubimageHeader h;
        if (!file.header(i, h, err))
            return false;
        levels << LevelInfo{i, h.width, h.height, h.channels};
    }
    return true;
}

bool decodeLevel(const QByteArray& data, int index, Decoded& out, Error& err) {
    out = Decoded();
    err = Error::None;
    FpxFile file(data);
    if (!file.open(err))
        return false;
    if (index < 0 || index >= file.resolutionCount()) {
        err = Error::BadArgument;
        return false;
    }
    if (!file.decode(index, out.picture, err)) {
        out = Decoded();
        return false;
    }
    out.comment = file.comment();
    return true;
}

}  // namespace engine::codecs::fpx

namespace engine::codecs {

bool decodeFpx(const QByteArray& data, Decoded& out, Error& err) {
    out = Decoded();
    err = Error::None;
    fpx::FpxFile file(data);
    if (!file.open(err))
        return false;
    const int index = file.highestResolution(err);
    if (index < 0)
        return false;
    if (!file.decode(index, out.picture, err)) {
        out = Decoded();
        return false;
    }
    if (!file.matchesDeclaredSize(out.picture)) {
        out = Decoded();
        err = Error::Damaged;
        return false;
    }
    out.comment = file.comment();
    return true;
}

}  // namespace engine::codecs
