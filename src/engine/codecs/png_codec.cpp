// PNG through libpng, from and to memory. Pictures keep the depth the file
// stores: palette and grey files of 1 bit are 1-bit pictures, of 2 and 4 bits
// 4-bit pictures, of 8 bits 8-bit pictures (grey ones with grey palettes);
// 16-bit samples are scaled to 8 bits; colour files are 24-bit, files with an
// alpha channel 32-bit (the alpha itself is not kept: the store has none).
// A file cut short inside its image data loads with the rows it holds (the
// rest black) and is marked partial; one cut before its image data is refused.
//
// libpng reports fatal errors by longjmp to the setjmp of the calling
// function; the objects that outlive the jump are created before it and
// reached through a pointer.
#include "engine/codecs/codec_support.h"
#include "engine/codecs/codecs.h"

#include <csetjmp>
#include <cstring>

#include <png.h>

namespace engine::codecs {

namespace {

struct ReadSource {
    const uchar* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    bool ended = false;  // libpng asked for bytes past the end
};

extern "C" void readFromMemory(png_structp png, png_bytep out, size_t length) {
    auto* src = static_cast<ReadSource*>(png_get_io_ptr(png));
    if (length > src->size - src->pos) {
        src->ended = true;
        png_error(png, "truncated");
    }
    memcpy(out, src->data + src->pos, length);
    src->pos += length;
}

extern "C" void writeToMemory(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<QByteArray*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

extern "C" void flushMemory(png_structp) {}

extern "C" void onError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

extern "C" void onWarning(png_structp, png_const_charp) {}

// The compressed image data the file holds: the lengths of its IDAT chunks
// added up; -1 when a chunk before IEND claims more bytes than the file has
// left. libpng reads every such chunk whole, and for a text chunk allocates
// its declared length first: a few hundred bytes claiming a chunk of a
// gigabyte must be stopped before libpng sees them. The exception is a file
// cut inside or after its image data: libpng reads image data piecewise, and
// what the file holds is counted (cut set).
qint64 imageDataBytes(const QByteArray& data, bool& cut) {
    cut = false;
    const auto* d = reinterpret_cast<const uchar*>(data.constData());
    const qint64 size = data.size();
    qint64 total = 0;
    for (qint64 pos = 8; pos + 8 <= size;) {
        const qint64 length = qint64(d[pos]) << 24 | qint64(d[pos + 1]) << 16 | qint64(d[pos + 2]) << 8 | d[pos + 3];
        if (length > size - pos - 12) {
            const bool imageData = memcmp(d + pos + 4, "IDAT", 4) == 0;
            if ((!imageData && total == 0) || length > 0x7FFFFFFF)
                return -1;  // cut before any image data, or a length no file has
            cut = true;
            return total + (imageData ? qMax<qint64>(0, size - pos - 8) : 0);
        }
        if (memcmp(d + pos + 4, "IEND", 4) == 0)
            break;
        if (memcmp(d + pos + 4, "IDAT", 4) == 0)
            total += length;
        pos += 12 + length;
    }
    return total;
}

// Deflate gives at most 1032 bytes for one byte of compressed data.
constexpr qint64 kMaxDeflateRatio = 1032;

struct DecodeState {
    ReadSource src;
    QImage image;
    QList<QRgb> table;
    int bits = 0;
    bool palette = false;  // the image is Indexed8 with table, finished by finishPalette
    QString comment;
    std::vector<png_bytep> rows;
    // Read after libpng's longjmp, so kept in memory (volatile) as they change.
    volatile png_uint_32 rowsRead = 0;  // rows complete (all of them once an interlaced file is read)
    volatile bool interlaced = false;
    bool partial = false;
    Error err = Error::None;
};

// After the data ended inside the image: keeps what was read. Rows of a
// plain file not reached are made black; an interlaced file was cleared
// before reading, so its unreached pixels are black already.
bool keepPartial(DecodeState& s) {
    if (!s.src.ended || s.image.isNull() || (!s.interlaced && s.rowsRead == 0))
        return false;
    if (s.rowsRead == png_uint_32(s.image.height()))
        return true;  // only what follows the image is missing
    if (!s.interlaced) {
        for (int y = int(s.rowsRead); y < s.image.height(); ++y)
            memset(s.image.scanLine(y), 0, size_t(s.image.bytesPerLine()));
    }
    s.partial = true;
    return true;
}

QString commentFrom(png_structp png, png_infop info) {
    png_textp text = nullptr;
    int count = 0;
    png_get_text(png, info, &text, &count);
    for (int i = 0; i < count; ++i) {
        if (!text[i].key || strcmp(text[i].key, "Comment") != 0 || !text[i].text)
            continue;
        const bool international = text[i].compression == PNG_ITXT_COMPRESSION_NONE ||
                                   text[i].compression == PNG_ITXT_COMPRESSION_zTXt;
        const size_t length = international ? text[i].itxt_length : text[i].text_length;
        const QByteArray bytes(text[i].text, qsizetype(length));
        return international ? support::decodeComment(bytes) : QString::fromLatin1(bytes);
    }
    return QString();
}

void resolutionFrom(png_structp png, png_infop info, QImage& image) {
    png_uint_32 x = 0, y = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &x, &y, &unit) && unit == PNG_RESOLUTION_METER && x > 0 && y > 0 &&
        x <= 0x7FFFFFFF && y <= 0x7FFFFFFF) {
        image.setDotsPerMeterX(int(x));
        image.setDotsPerMeterY(int(y));
    }
}

// Sets up libpng's transformations so each row arrives in the picture's own
// store format, and picks that format.
bool chooseLayout(png_structp png, png_infop info, DecodeState& s, int& storeBits) {
    const int colorType = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    if (depth == 16)
        png_set_scale_16(png);
    switch (colorType) {
    case PNG_COLOR_TYPE_PALETTE: {
        png_colorp palette = nullptr;
        int n = 0;
        if (!png_get_PLTE(png, info, &palette, &n) || n <= 0)
            return false;
        for (int i = 0; i < n && i < 256; ++i)
            s.table.append(qRgb(palette[i].red, palette[i].green, palette[i].blue));
        s.palette = true;
        s.bits = depth == 1 ? 1 : (depth <= 4 ? 4 : 8);
        if (depth > 1 && depth < 8)
            png_set_packing(png);  // one index a byte
        storeBits = depth == 1 ? 1 : 8;  // 1-bit rows are Format_Mono rows already
        return true;
    }
    case PNG_COLOR_TYPE_GRAY:
        s.palette = true;
        if (depth < 8) {
            s.table = grayTable(1 << depth);
            s.bits = depth == 1 ? 1 : 4;
            if (depth > 1)
                png_set_packing(png);
        } else {
            s.table = grayTable(256);
            s.bits = 8;
        }
        storeBits = depth == 1 ? 1 : 8;
        return true;
    case PNG_COLOR_TYPE_RGB:
        png_set_bgr(png);
        s.bits = 24;
        storeBits = 24;
        return true;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
    case PNG_COLOR_TYPE_RGB_ALPHA:
        if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
            png_set_gray_to_rgb(png);
        // Format_RGB32 is a native 0xFFRRGGBB word: on little-endian machines
        // the bytes are B, G, R, 0xFF.
        png_set_strip_alpha(png);
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        png_set_bgr(png);
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
#else
        png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
#endif
        s.bits = 32;
        storeBits = 32;
        return true;
    default:
        return false;
    }
}

bool decodeInto(const QByteArray& data, DecodeState& s) {
    s.src.data = reinterpret_cast<const uchar*>(data.constData());
    s.src.size = size_t(data.size());
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!png) {
        s.err = Error::OutOfMemory;
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        s.err = Error::OutOfMemory;
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        if (s.err == Error::None && keepPartial(s))
            return true;
        if (s.err == Error::None)
            s.err = Error::Damaged;
        return false;
    }
    bool cut = false;
    const qint64 compressedBytes = imageDataBytes(data, cut);
    if (compressedBytes < 0) {
        png_destroy_read_struct(&png, &info, nullptr);
        s.err = Error::Damaged;
        return false;
    }
    png_set_read_fn(png, &s.src, readFromMemory);
    // libpng reads image data 8 KiB at a time, and a read past the end gives
    // nothing: a cut file is read in small pieces, so little of it is lost.
    if (cut)
        png_set_compression_buffer_size(png, 256);
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_set_chunk_cache_max(png, 1000);            // a flood of ancillary chunks
    png_set_chunk_malloc_max(png, 16 * 1024 * 1024); // and huge compressed ones
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    int storeBits = 0;
    if (!chooseLayout(png, info, s, storeBits)) {
        png_destroy_read_struct(&png, &info, nullptr);
        s.err = Error::Damaged;
        return false;
    }
    // Over the limits is TooLarge whatever the data; within them, a file
    // declaring a big picture with far too little image data for it is
    // refused before the picture is allocated.
    const qint64 rawBytes = qint64(height) * (qint64(png_get_rowbytes(png, info)) + 1);
    if (sizeAllowed(width, height, storeBits) && rawBytes / kMaxDeflateRatio > compressedBytes) {
        png_destroy_read_struct(&png, &info, nullptr);
        s.err = Error::Damaged;
        return false;
    }
    if (!support::allocate(s.image, int(qMin<png_uint_32>(width, 0x7FFFFFFF)),
                           int(qMin<png_uint_32>(height, 0x7FFFFFFF)), storeBits, s.err)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    const int passes = png_set_interlace_handling(png);
    s.interlaced = passes > 1;
    if (s.interlaced && cut)
        s.image.fill(0);  // each pass fills some pixels of every row: the rest must be defined
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    if (rowBytes > size_t(s.image.bytesPerLine())) {
        png_destroy_read_struct(&png, &info, nullptr);
        s.err = Error::Damaged;
        return false;
    }
    s.rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        s.rows[y] = s.image.scanLine(int(y));
    if (s.interlaced) {
        png_read_image(png, s.rows.data());
    } else {
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, s.rows[y], nullptr);
            s.rowsRead = y + 1;
        }
    }
    s.rowsRead = height;
    png_read_end(png, info);  // text chunks may follow the image data
    s.comment = commentFrom(png, info);
    resolutionFrom(png, info, s.image);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

struct EncodeState {
    const QImage* image = nullptr;
    int bits = 0;
    QList<QRgb> table;
    bool gray = false;
    QByteArray* out = nullptr;
    std::vector<uchar> row;
    QString comment;
    QByteArray commentKey = "Comment";
    QByteArray commentBytes;
};

// Packs one row of one-byte indices into 4-bit pairs (high nibble first).
void packNibbles(const uchar* in, uchar* out, int width) {
    for (int x = 0; x + 1 < width; x += 2)
        *out++ = uchar((in[x] & 15) << 4 | (in[x + 1] & 15));
    if (width & 1)
        *out = uchar((in[width - 1] & 15) << 4);
}

bool encodeInto(EncodeState& s) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, s.out, writeToMemory, flushMemory);
    // zlib level 3 writes a 6-megapixel photo three times faster than the
    // default 6 for about 1% more bytes (screenshots come out the same size).
    // Full-colour rows go further, to level 1: a fifth less time again on a
    // 3000 x 2000 photo (390 to 317 ms) for 0.5% more bytes (2.5% on a
    // screenshot). They use the "up" filter alone: trying every filter on
    // every row costs a third of the write for about 3% smaller photos.
    // Palette and grey rows keep level 3 and libpng's own choice (no filter).
    png_set_compression_level(png, s.bits > 8 ? 1 : 3);
    if (s.bits > 8)
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    const QImage& img = *s.image;
    const int w = img.width(), h = img.height();
    int colorType = PNG_COLOR_TYPE_RGB;
    int depth = 8;
    if (s.bits <= 8) {
        depth = s.bits;
        colorType = s.gray ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE;
    } else if (s.bits == 32) {
        colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    }
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), depth, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        for (QRgb c : s.table)
            palette.push_back(png_color{png_byte(qRed(c)), png_byte(qGreen(c)), png_byte(qBlue(c))});
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
    }
    if (img.dotsPerMeterX() > 0 && img.dotsPerMeterY() > 0)
        png_set_pHYs(png, info, png_uint_32(img.dotsPerMeterX()), png_uint_32(img.dotsPerMeterY()),
                     PNG_RESOLUTION_METER);
    png_text text;
    memset(&text, 0, sizeof text);
    if (!s.comment.isEmpty()) {
        // tEXt holds Latin-1 only; anything else goes into an iTXt chunk as UTF-8.
        const bool latin1 = support::isLatin1(s.comment);
        s.commentBytes = latin1 ? s.comment.toLatin1() : s.comment.toUtf8();
        s.commentBytes.replace('\0', QByteArray());
        text.compression = latin1 ? PNG_TEXT_COMPRESSION_NONE : PNG_ITXT_COMPRESSION_NONE;
        text.key = s.commentKey.data();
        text.text = s.commentBytes.data();
        if (latin1)
            text.text_length = size_t(s.commentBytes.size());
        else
            text.itxt_length = size_t(s.commentBytes.size());
        png_set_text(png, info, &text, 1);
    }
    png_write_info(png, info);
    if (s.bits == 24 || s.bits == 32)
        png_set_bgr(png);
    if (s.bits == 4 || s.bits == 32)
        s.row.resize(size_t(w) * 4 + 4);
    for (int y = 0; y < h; ++y) {
        const uchar* line = img.constScanLine(y);
        if (s.bits == 4) {
            packNibbles(line, s.row.data(), w);
            line = s.row.data();
        } else if (s.bits == 32) {
            // The store's fourth byte is padding, not alpha: write opaque.
            const quint32* px = reinterpret_cast<const quint32*>(line);
            uchar* d = s.row.data();
            for (int x = 0; x < w; ++x, d += 4) {
                const QRgb c = px[x];
                d[0] = uchar(qBlue(c));
                d[1] = uchar(qGreen(c));
                d[2] = uchar(qRed(c));
                d[3] = 0xFF;
            }
            line = s.row.data();
        }
        png_write_row(png, line);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool decodePng(const QByteArray& data, Decoded& out, Error& err) {
    DecodeState s;
    if (!decodeInto(data, s)) {
        err = s.err == Error::None ? Error::Damaged : s.err;
        return false;
    }
    if (s.palette && s.image.format() == QImage::Format_Mono) {
        while (s.table.size() < 2)
            s.table.append(qRgb(0, 0, 0));
        s.table.resize(2);
        s.image.setColorTable(s.table);
        out.picture.image = s.image;
        out.picture.bits = 1;
    } else if (s.palette) {
        const int dpmX = s.image.dotsPerMeterX(), dpmY = s.image.dotsPerMeterY();
        out.picture = support::finishPalette(s.image, s.table, s.bits);
        out.picture.image.setDotsPerMeterX(dpmX);
        out.picture.image.setDotsPerMeterY(dpmY);
    } else {
        out.picture.image = s.image;
        out.picture.bits = s.bits;
    }
    if (out.picture.isNull()) {
        err = Error::OutOfMemory;
        return false;
    }
    out.comment = s.comment;
    out.partial = s.partial;
    return true;
}

bool encodePng(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err) {
    EncodeState s;
    QImage image = pic.image;
    s.bits = pic.bits;
    switch (pic.bits) {
    case 1:
    case 4:
    case 8: {
        const QImage::Format want = pic.bits == 1 ? QImage::Format_Mono : QImage::Format_Indexed8;
        if (image.format() != want || image.colorCount() == 0 || image.colorCount() > (1 << pic.bits)) {
            err = Error::BadArgument;
            return false;
        }
        s.table = image.colorTable();
        if (pic.bits == 1) {
            while (s.table.size() < 2)
                s.table.append(qRgb(0, 0, 0));
        } else {
            // Every index needs an entry, or readers disagree about its colour.
            int maxIndex = 0;
            for (int y = 0; y < image.height() && maxIndex < 255; ++y) {
                const uchar* line = image.constScanLine(y);
                for (int x = 0; x < image.width(); ++x)
                    maxIndex = qMax(maxIndex, int(line[x]));
            }
            if (maxIndex >= (1 << pic.bits)) {
                err = Error::BadArgument;
                return false;
            }
            while (s.table.size() <= maxIndex)
                s.table.append(qRgb(0, 0, 0));
        }
        // An exact black-to-white ramp is written as a grey file; any other
        // table, grey or not, as a palette that reads back the same.
        s.gray = support::isGrayRamp(s.table, 1 << pic.bits);
        break;
    }
    case 24:
    case 32:
        support::toStoreFormat(image, pic.bits);
        break;
    default:
        err = Error::Unsupported;
        return false;
    }
    if (image.isNull()) {
        err = Error::OutOfMemory;
        return false;
    }
    s.image = &image;
    s.comment = opt.comment;
    s.out = &out;
    out.clear();
    if (!encodeInto(s)) {
        out.clear();
        err = Error::WriteFailed;
        return false;
    }
    return true;
}

}  // namespace engine::codecs
