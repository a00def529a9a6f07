// GIF through giflib, from and to memory.
//
// A file's picture is its logical screen after every frame has been drawn in
// order, each frame's disposal applied before the next one: a multi-image file
// whose frames are tiles of one picture loads whole, an animation loads as its
// last frame. The first frame keeps its transparent index (the picture is a
// palette picture and that index has a colour); in later frames transparent
// pixels show what lies beneath. When frames bring colour maps of their own,
// the screen is composed in colour and turned back into a palette picture
// when it shows at most 256 colours; only beyond that is it 24-bit.
//
// Depth follows the colour map: 2 entries 1 bit, up to 16 entries 4 bits,
// else 8 bits. Saving writes 1-, 4- and 8-bit pictures as one frame.
//
// A file whose data ends inside a frame loads with the rows decoded so far
// (the rest of the screen as it was) and is marked partial.
#include "engine/codecs/codec_support.h"
#include "engine/codecs/codecs.h"

#include <QHash>

#include <cstring>
#include <vector>

#include <gif_lib.h>

namespace engine::codecs {

namespace {

// Frames beyond this many, or more decoded pixels than this, are a decoding
// bomb rather than a picture (a 12-bit LZW code can stand for 4096 pixels).
constexpr int kMaxFrames = 10000;
constexpr qint64 kMaxDecodedPixels = qint64(1) << 31;

// The most pixels one byte of LZW data can give: a 12-bit code stands for at
// most 4096 pixels. A screen or frame larger than the rest of the file could
// ever paint is no picture, and is refused before anything is allocated for
// it; below kAlwaysPlausible pixels (16 MiB of screen) no check is needed.
constexpr qint64 kPixelsPerLzwByte = 4096 * 8 / 12 + 1;
constexpr qint64 kAlwaysPlausible = qint64(1) << 24;

bool plausible(qint64 pixels, qint64 bytesLeft) {
    return pixels <= kAlwaysPlausible || pixels / kPixelsPerLzwByte <= bytesLeft;
}

struct Source {
    const uchar* data;
    size_t size;
    size_t pos;
};

extern "C" int readGif(GifFileType* gif, GifByteType* out, int length) {
    auto* src = static_cast<Source*>(gif->UserData);
    if (length <= 0)
        return 0;
    const size_t n = qMin(size_t(length), src->size - src->pos);
    memcpy(out, src->data + src->pos, n);
    src->pos += n;
    return int(n);
}

extern "C" int writeGif(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<QByteArray*>(gif->UserData);
    if (length > 0)
        out->append(reinterpret_cast<const char*>(data), length);
    return length;
}

Error errorFromGif(int code) {
    switch (code) {
    case D_GIF_ERR_NOT_ENOUGH_MEM: return Error::OutOfMemory;
    case D_GIF_ERR_NOT_GIF_FILE: return Error::UnknownFormat;
    default: return Error::Damaged;
    }
}

QList<QRgb> tableOf(const ColorMapObject* map) {
    QList<QRgb> t;
    if (!map || !map->Colors)
        return t;
    for (int i = 0; i < map->ColorCount && i < 256; ++i)
        t.append(qRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue));
    return t;
}

// The logical screen being composed: one index of the file's first colour map
// a pixel while every frame uses that map, BGR as soon as one brings another.
class Screen {
public:
    bool init(int w, int h, const QList<QRgb>& firstMap, int background, Error& err) {
        if (!support::allocate(indices_, w, h, 8, err))
            return false;
        palette_ = firstMap;
        background_ = background >= 0 && background < palette_.size() ? background : 0;
        indices_.fill(uint(background_));
        return true;
    }
    int width() const { return indices_.isNull() ? rgb_.width() : indices_.width(); }
    int height() const { return indices_.isNull() ? rgb_.height() : indices_.height(); }

    bool prepareFrame(const QList<QRgb>& map, Error& err) {
        frameMap_ = map;
        if (!maps_.contains(map))
            maps_.append(map);
        if (rgb_.isNull() && map != palette_)
            return toRgb(err);
        return true;
    }

    // A run of opaque pixels of one frame row, in index mode a plain copy.
    void putRow(int x, int y, const GifPixelType* src, int n, int transparent) {
        if (rgb_.isNull() && transparent < 0) {
            memcpy(indices_.scanLine(y) + x, src, size_t(n));
            return;
        }
        for (int i = 0; i < n; ++i)
            if (src[i] != transparent)
                put(x + i, y, src[i]);
    }

    void put(int x, int y, int index) {
        if (rgb_.isNull())
            indices_.scanLine(y)[x] = uchar(index);
        else
            putRgb(x, y, index < frameMap_.size() ? frameMap_[index] : qRgb(0, 0, 0));
    }

    void fillBackground(const QRect& r) {
        const QRect area = r.intersected(QRect(0, 0, width(), height()));
        const QRgb c = background_ < palette_.size() ? palette_[background_] : qRgb(0, 0, 0);
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                if (rgb_.isNull())
                    indices_.scanLine(y)[x] = uchar(background_);
                else
                    putRgb(x, y, c);
            }
    }

    // A copy of the area, for disposal "restore previous".
    QImage save(const QRect& r) const { return (rgb_.isNull() ? indices_ : rgb_).copy(r); }
    void restore(QImage saved, const QRect& r) {
        if (saved.isNull())
            return;
        if (saved.format() == QImage::Format_Indexed8 && !rgb_.isNull()) {
            saved.setColorTable(palette_);
            saved = saved.convertToFormat(QImage::Format_BGR888);
        }
        QImage& target = rgb_.isNull() ? indices_ : rgb_;
        const int bpp = rgb_.isNull() ? 1 : 3;
        for (int y = 0; y < saved.height(); ++y)
            memcpy(target.scanLine(r.top() + y) + qsizetype(r.left()) * bpp, saved.constScanLine(y),
                   size_t(saved.width()) * size_t(bpp));
    }

    Picture picture(int fileBits) {
        if (rgb_.isNull())
            return support::finishPalette(indices_, palette_, fileBits);
        return palettized();
    }

private:
    // Frames with maps of their own often still show at most 256 colours in
    // the end (each frame replacing the last): then the picture is a palette
    // picture again, with the file's own map when one holds every colour.
    Picture palettized() {
        QHash<QRgb, int> seen;
        QList<QRgb> order;
        for (int y = 0; y < rgb_.height(); ++y) {
            const uchar* p = rgb_.constScanLine(y);
            for (int x = 0; x < rgb_.width(); ++x, p += 3) {
                const QRgb c = qRgb(p[2], p[1], p[0]);
                if (!seen.contains(c)) {
                    if (order.size() == 256)
                        return makePicture(rgb_, 24);
                    seen.insert(c, int(order.size()));
                    order.append(c);
                }
            }
        }
        QList<QRgb> table = order;
        for (int m = int(maps_.size()) - 1; m >= 0; --m) {
            bool all = true;
            for (QRgb c : order)
                all = all && maps_[m].contains(c);
            if (all) {
                table = maps_[m];
                break;
            }
        }
        QHash<QRgb, int> indexOf;
        for (int i = int(table.size()) - 1; i >= 0; --i)
            indexOf.insert(table[i], i);  // the first entry of a colour wins
        QImage out(rgb_.size(), QImage::Format_Indexed8);
        if (out.isNull())
            return Picture();
        for (int y = 0; y < rgb_.height(); ++y) {
            const uchar* p = rgb_.constScanLine(y);
            uchar* d = out.scanLine(y);
            for (int x = 0; x < rgb_.width(); ++x, p += 3)
                d[x] = uchar(indexOf.value(qRgb(p[2], p[1], p[0])));
        }
        const int n = int(table.size());
        return support::finishPalette(out, table, n <= 2 && table != order ? 1 : (n <= 16 ? 4 : 8));
    }

    void putRgb(int x, int y, QRgb c) {
        uchar* p = rgb_.scanLine(y) + qsizetype(x) * 3;
        p[0] = uchar(qBlue(c));
        p[1] = uchar(qGreen(c));
        p[2] = uchar(qRed(c));
    }
    // Converted row by row from the index store: giving the index store a
    // colour table first would detach it into a second full-size copy.
    bool toRgb(Error& err) {
        const int w = indices_.width(), h = indices_.height();
        if (!sizeAllowed(w, h, 24)) {
            err = Error::TooLarge;
            return false;
        }
        if (!support::allocate(rgb_, w, h, 24, err))
            return false;
        QRgb colours[256];
        for (int i = 0; i < 256; ++i)
            colours[i] = i < palette_.size() ? palette_[i] : qRgb(0, 0, 0);
        for (int y = 0; y < h; ++y) {
            const uchar* s = indices_.constScanLine(y);
            uchar* d = rgb_.scanLine(y);
            for (int x = 0; x < w; ++x, d += 3) {
                const QRgb c = colours[s[x]];
                d[0] = uchar(qBlue(c));
                d[1] = uchar(qGreen(c));
                d[2] = uchar(qRed(c));
            }
        }
        indices_ = QImage();
        return true;
    }

    QImage indices_;
    QImage rgb_;
    QList<QRgb> palette_;
    QList<QRgb> frameMap_;
    QList<QList<QRgb>> maps_;
    int background_ = 0;
};

int bitsForMapSize(int n) {
    return n <= 2 ? 1 : (n <= 16 ? 4 : 8);
}

struct Reader {
    GifFileType* gif = nullptr;
    const Source* src = nullptr;
    Screen screen;
    GraphicsControlBlock gcb{};
    bool haveGcb = false;
    int frames = 0;
    bool partial = false;  // the data ended inside a frame
    qint64 decodedPixels = 0;
    int fileBits = 8;
    QByteArray comment;
    std::vector<GifPixelType> line;
    // The previous frame's disposal, applied before the next frame is drawn.
    int pendingDisposal = DISPOSAL_UNSPECIFIED;
    QRect pendingRect;
    QImage pendingSaved;

    bool readExtension(Error& err) {
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
            err = errorFromGif(gif->Error);
            return false;
        }
        bool first = true;
        while (block) {
            const int len = block[0];
            if (code == GRAPHICS_EXT_FUNC_CODE && first && len >= 4) {
                haveGcb = DGifExtensionToGCB(size_t(len), block + 1, &gcb) == GIF_OK;
            } else if (code == COMMENT_EXT_FUNC_CODE) {
                if (first && !comment.isEmpty())
                    comment.append('\n');
                comment.append(reinterpret_cast<const char*>(block + 1), len);
            }
            first = false;
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
                err = errorFromGif(gif->Error);
                return false;
            }
        }
        return true;
    }

    bool readFrame(Error& err) {
        if (DGifGetImageDesc(gif) == GIF_ERROR) {
            err = errorFromGif(gif->Error);
            return false;
        }
        if (++frames > kMaxFrames) {
            err = Error::TooLarge;
            return false;
        }
        const GifImageDesc& d = gif->Image;
        if (d.Width <= 0 || d.Height <= 0 || d.Left < 0 || d.Top < 0) {
            err = Error::Damaged;
            return false;
        }
        decodedPixels += qint64(d.Width) * d.Height;
        if (decodedPixels > kMaxDecodedPixels) {
            err = Error::TooLarge;
            return false;
        }
        const qint64 bytesLeft = qint64(src->size - src->pos);
        if (!plausible(qint64(d.Width) * d.Height, bytesLeft)) {
            err = Error::Damaged;  // far too little data for the frame
            return false;
        }
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        if (!map || map->ColorCount <= 0) {
            err = Error::Damaged;  // no colours to show the pixels with
            return false;
        }
        const QList<QRgb> table = tableOf(map);
        if (frames == 1) {
            int w = gif->SWidth, h = gif->SHeight;
            if (w <= 0 || h <= 0) {  // some writers leave the screen size 0
                w = d.Left + d.Width;
                h = d.Top + d.Height;
            }
            if (!plausible(qint64(w) * h, bytesLeft)) {
                err = Error::Damaged;  // a screen no frame of the file could fill
                return false;
            }
            fileBits = bitsForMapSize(int(table.size()));
            const QList<QRgb> first = gif->SColorMap ? tableOf(gif->SColorMap) : table;
            if (!screen.init(w, h, first, gif->SColorMap ? gif->SBackGroundColor : 0, err))
                return false;
        } else {
            applyDisposal();
        }
        if (!screen.prepareFrame(table, err))
            return false;
        const QRect frameRect(d.Left, d.Top, d.Width, d.Height);
        const QRect visible = frameRect.intersected(QRect(0, 0, screen.width(), screen.height()));
        const int disposal = haveGcb ? gcb.DisposalMode : DISPOSAL_UNSPECIFIED;
        const int transparent = (haveGcb && frames > 1) ? gcb.TransparentColor : NO_TRANSPARENT_COLOR;
        if (disposal == DISPOSE_PREVIOUS && !visible.isEmpty())
            pendingSaved = screen.save(visible);
        else
            pendingSaved = QImage();
        pendingDisposal = disposal;
        pendingRect = visible;
        haveGcb = false;

        line.assign(size_t(d.Width), 0);
        static const int offsets[4] = {0, 4, 2, 1};
        static const int steps[4] = {8, 8, 4, 2};
        const int passes = d.Interlace ? 4 : 1;
        int rowsDone = 0;
        for (int pass = 0; pass < passes; ++pass) {
            const int start = d.Interlace ? offsets[pass] : 0;
            const int step = d.Interlace ? steps[pass] : 1;
            for (int row = start; row < d.Height; row += step) {
                if (DGifGetLine(gif, line.data(), d.Width) == GIF_ERROR) {
                    const bool cut = gif->Error == D_GIF_ERR_READ_FAILED || gif->Error == D_GIF_ERR_EOF_TOO_SOON;
                    if (cut && (frames > 1 || rowsDone > 0)) {
                        partial = true;  // cut short: the rows so far are the picture
                        return true;
                    }
                    err = errorFromGif(gif->Error);
                    return false;
                }
                ++rowsDone;
                const int y = d.Top + row;
                if (y < visible.top() || y > visible.bottom())
                    continue;
                screen.putRow(visible.left(), y, line.data() + (visible.left() - d.Left), visible.width(), transparent);
            }
        }
        return true;
    }

    void applyDisposal() {
        if (pendingRect.isEmpty())
            return;
        if (pendingDisposal == DISPOSE_BACKGROUND)
            screen.fillBackground(pendingRect);
        else if (pendingDisposal == DISPOSE_PREVIOUS)
            screen.restore(pendingSaved, pendingRect);
        pendingSaved = QImage();
    }

    bool run(Error& err) {
        for (;;) {
            GifRecordType type = UNDEFINED_RECORD_TYPE;
            if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
                // Many writers stop without the trailer; a file cut after
                // complete frames still holds its picture.
                if (frames > 0 && gif->Error == D_GIF_ERR_READ_FAILED)
                    return true;
                err = errorFromGif(gif->Error);
                return false;
            }
            switch (type) {
            case IMAGE_DESC_RECORD_TYPE:
                if (!readFrame(err))
                    return false;
                if (partial)
                    return true;
                break;
            case EXTENSION_RECORD_TYPE:
                if (!readExtension(err))
                    return false;
                break;
            case TERMINATE_RECORD_TYPE:
                return frames > 0 || (err = Error::Damaged, false);
            default:
                err = Error::Damaged;
                return false;
            }
        }
    }
};

}  // namespace

bool decodeGif(const QByteArray& data, Decoded& out, Error& err) {
    Source src{reinterpret_cast<const uchar*>(data.constData()), size_t(data.size()), 0};
    int code = 0;
    Reader r;
    r.src = &src;
    r.gif = DGifOpen(&src, readGif, &code);
    if (!r.gif) {
        err = errorFromGif(code);
        return false;
    }
    // The screen must fit the limits even before any frame asks for it.
    if (r.gif->SWidth > 0 && r.gif->SHeight > 0 && !sizeAllowed(r.gif->SWidth, r.gif->SHeight, 8)) {
        DGifCloseFile(r.gif, &code);
        err = Error::TooLarge;
        return false;
    }
    const bool ok = r.run(err);
    DGifCloseFile(r.gif, &code);
    if (!ok) {
        if (err == Error::None)
            err = Error::Damaged;
        return false;
    }
    out.picture = r.screen.picture(r.fileBits);
    if (out.picture.isNull()) {
        err = Error::OutOfMemory;
        return false;
    }
    out.comment = support::decodeComment(r.comment);
    out.partial = r.partial;
    return true;
}

bool encodeGif(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err) {
    if (pic.bits != 1 && pic.bits != 4 && pic.bits != 8) {
        err = Error::Unsupported;
        return false;
    }
    const QImage& img = pic.image;
    const QImage::Format want = pic.bits == 1 ? QImage::Format_Mono : QImage::Format_Indexed8;
    QList<QRgb> table = img.colorTable();
    if (img.format() != want || table.isEmpty() || table.size() > (1 << pic.bits)) {
        err = Error::BadArgument;
        return false;
    }
    const int w = img.width(), h = img.height();
    int maxIndex = 1;
    if (pic.bits != 1) {
        for (int y = 0; y < h; ++y) {
            const uchar* s = img.constScanLine(y);
            for (int x = 0; x < w; ++x)
                maxIndex = qMax(maxIndex, int(s[x]));
        }
    }
    if (maxIndex >= (1 << pic.bits)) {
        err = Error::BadArgument;
        return false;
    }
    // GIF colour maps have 2^n entries. The map is padded with black to the
    // smallest size that still reads back at the picture's depth: 2 entries
    // for 1 bit, at least 4 for 4 bits, at least 32 for 8 bits.
    int mapSize = pic.bits == 1 ? 2 : (pic.bits == 4 ? 4 : 32);
    while (mapSize < table.size() || mapSize <= maxIndex)
        mapSize *= 2;
    std::vector<GifColorType> colours(size_t(mapSize), GifColorType{0, 0, 0});
    for (int i = 0; i < table.size(); ++i)
        colours[size_t(i)] = GifColorType{GifByteType(qRed(table[i])), GifByteType(qGreen(table[i])),
                                          GifByteType(qBlue(table[i]))};
    ColorMapObject* map = GifMakeMapObject(mapSize, colours.data());
    if (!map) {
        err = Error::OutOfMemory;
        return false;
    }
    out.clear();
    int code = 0;
    GifFileType* gif = EGifOpen(&out, writeGif, &code);
    if (!gif) {
        GifFreeMapObject(map);
        err = Error::WriteFailed;
        return false;
    }
    const QByteArray comment = support::encodeComment(opt.comment, 1 << 20);
    if (!comment.isEmpty())
        EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, w, h, GifBitSize(mapSize), 0, map) == GIF_OK;
    if (ok && !comment.isEmpty())
        ok = EGifPutComment(gif, comment.constData()) == GIF_OK;
    ok = ok && EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
    std::vector<GifPixelType> line(static_cast<size_t>(w));
    for (int y = 0; ok && y < h; ++y) {
        const uchar* s = img.constScanLine(y);
        if (pic.bits == 1) {
            for (int x = 0; x < w; ++x)
                line[size_t(x)] = GifPixelType((s[x >> 3] >> (7 - (x & 7))) & 1);
        } else {
            memcpy(line.data(), s, size_t(w));
        }
        ok = EGifPutLine(gif, line.data(), w) == GIF_OK;
    }
    if (EGifCloseFile(gif, &code) == GIF_ERROR)
        ok = false;
    GifFreeMapObject(map);
    if (!ok) {
        out.clear();
        err = Error::WriteFailed;
        return false;
    }
    return true;
}

}  // namespace engine::codecs
