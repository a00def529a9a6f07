// TIFF through libtiff, from and to memory; the first directory is the picture.
//
// Grey (min-is-black and min-is-white), palette and RGB files of the usual
// sample sizes are read sample by sample so the picture keeps the file's
// depth: 1 bit, 2 and 4 bits as 4-bit pictures, 8 bits, 16-bit samples scaled
// to 8. Everything else libtiff understands (CMYK, YCbCr, old-style JPEG,
// LogLuv, odd sample sizes, planar tiles) goes through TIFFRGBAImage and
// becomes 24-bit, or 32-bit when the file has an alpha channel; so do the
// samples TIFFRGBAImage cannot read (floating point, 32-bit integers, 16-bit
// palette and CMYK, 4-bit grey with alpha), reduced by tiff_wide_samples.
// CIELab files of 8 or 16 bits are converted to sRGB through lcms2 (libtiff's
// own conversion leaves the D50 white of CIELab yellowish). The Orientation
// tag is applied so the picture loads upright.
//
// Saving writes every depth with LZW compression: 1, 4 and 8 bits as grey when
// the table is a plain grey ramp (either direction) and as palette otherwise,
// 24 bits as RGB, 32 bits as RGB with an opaque alpha channel, and 16-bit
// pictures as RGB with 5 bits a sample (uncompressed bit-packed samples, which
// is what a 5-5-5 picture is; libtiff reads it back sample for sample, though
// readers that only convert through TIFFRGBAImage cannot show it).
#include "engine/codecs/codec_support.h"
#include "engine/codecs/codecs.h"
#include "engine/codecs/tiff_wide_samples.h"
#include "engine/colour_management.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

#include <tiffio.h>

namespace engine::codecs {

namespace {

struct Stream {
    const uchar* data = nullptr;  // reading
    QByteArray* out = nullptr;    // writing
    qint64 size = 0;
    qint64 pos = 0;
    QByteArray firstError;
};

extern "C" tmsize_t streamRead(thandle_t h, void* buf, tmsize_t n) {
    auto* s = static_cast<Stream*>(h);
    if (!s->data || n <= 0 || s->pos >= s->size)
        return 0;
    const qint64 count = qMin<qint64>(n, s->size - s->pos);
    memcpy(buf, s->data + s->pos, size_t(count));
    s->pos += count;
    return tmsize_t(count);
}

extern "C" tmsize_t streamWrite(thandle_t h, void* buf, tmsize_t n) {
    auto* s = static_cast<Stream*>(h);
    if (!s->out || n < 0)
        return -1;
    const qint64 end = s->pos + n;
    if (end > s->out->size())
        s->out->resize(qsizetype(end), '\0');
    memcpy(s->out->data() + s->pos, buf, size_t(n));
    s->pos = end;
    s->size = qMax(s->size, end);
    return n;
}

extern "C" toff_t streamSeek(thandle_t h, toff_t off, int whence) {
    auto* s = static_cast<Stream*>(h);
    qint64 base = 0;
    if (whence == SEEK_CUR)
        base = s->pos;
    else if (whence == SEEK_END)
        base = s->size;
    const qint64 target = base + qint64(off);
    if (off > toff_t(std::numeric_limits<qint64>::max() / 2) || target < 0)
        return toff_t(-1);
    s->pos = target;
    return toff_t(target);
}

extern "C" int streamClose(thandle_t) { return 0; }
extern "C" toff_t streamSize(thandle_t h) { return toff_t(static_cast<Stream*>(h)->size); }
extern "C" int streamMap(thandle_t, void**, toff_t*) { return 0; }
extern "C" void streamUnmap(thandle_t, void*, toff_t) {}

extern "C" int onTiffError(TIFF*, void* user, const char*, const char* fmt, va_list ap) {
    auto* s = static_cast<Stream*>(user);
    if (s && s->firstError.isEmpty()) {
        char text[256];
        vsnprintf(text, sizeof text, fmt, ap);
        s->firstError = text;
    }
    return 1;  // handled: nothing reaches stderr
}

extern "C" int onTiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

TIFF* openStream(Stream& s, const char* mode) {
    // Messages that libtiff reports without a handle go to the process-wide
    // handlers; silence those once.
    static std::once_flag quiet;
    std::call_once(quiet, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    if (!opts)
        return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(opts, onTiffError, &s);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, onTiffWarning, &s);
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts, tmsize_t(kMaxPixelBytes + (kMaxPixelBytes >> 2)));
    TIFF* tif = TIFFClientOpenExt("memory", mode, &s, streamRead, streamWrite, streamSeek, streamClose,
                                  streamSize, streamMap, streamUnmap, opts);
    TIFFOpenOptionsFree(opts);
    return tif;
}

struct Layout {
    uint32_t width = 0, height = 0;
    uint16_t bps = 1, spp = 1, photometric = PHOTOMETRIC_MINISBLACK, planar = PLANARCONFIG_CONTIG;
    uint16_t sampleFormat = SAMPLEFORMAT_UINT, orientation = ORIENTATION_TOPLEFT;
    bool tiled = false;
};

// One raw row of the file (contiguous samples, or one buffer per plane) into
// one row of the picture.
using RowConverter = std::function<void(const Layout&, const uchar* const* planes, uchar* out)>;

void copyBytes(const Layout& l, const uchar* const* p, uchar* out) {
    memcpy(out, p[0], size_t((uint64_t(l.width) * l.bps + 7) / 8));
}

void unpack2(const Layout& l, const uchar* const* p, uchar* out) {
    for (uint32_t x = 0; x < l.width; ++x)
        out[x] = (p[0][x >> 2] >> (6 - 2 * (x & 3))) & 3;
}

void unpack4(const Layout& l, const uchar* const* p, uchar* out) {
    for (uint32_t x = 0; x < l.width; ++x)
        out[x] = (p[0][x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
}

void grey16(const Layout& l, const uchar* const* p, uchar* out) {
    const auto* s = reinterpret_cast<const uint16_t*>(p[0]);
    for (uint32_t x = 0; x < l.width; ++x)
        out[x] = support::scale16(s[x]);
}

// RGB samples (8 or 16 bits, contiguous or planar) to BGR888 or RGB32.
template <typename T, bool Planar, bool Alpha>
void rgb(const Layout& l, const uchar* const* p, uchar* out) {
    auto value = [](T v) -> uchar {
        if constexpr (sizeof(T) == 2)
            return support::scale16(v);
        else
            return uchar(v);
    };
    const T* r = reinterpret_cast<const T*>(p[0]);
    const T* g = Planar ? reinterpret_cast<const T*>(p[1]) : r + 1;
    const T* b = Planar ? reinterpret_cast<const T*>(p[2]) : r + 2;
    const size_t step = Planar ? 1 : l.spp;
    for (uint32_t x = 0; x < l.width; ++x) {
        const size_t i = size_t(x) * step;
        if constexpr (Alpha) {
            reinterpret_cast<QRgb*>(out)[x] = qRgb(value(r[i]), value(g[i]), value(b[i]));
        } else {
            out[3 * x] = value(b[i]);
            out[3 * x + 1] = value(g[i]);
            out[3 * x + 2] = value(r[i]);
        }
    }
}

// Bit-packed 5-bit R, G, B samples to RGB555.
void rgb555(const Layout& l, const uchar* const* p, uchar* out) {
    auto* d = reinterpret_cast<quint16*>(out);
    const uchar* s = p[0];
    for (uint32_t x = 0; x < l.width; ++x) {
        const uint64_t bit = uint64_t(x) * 15;
        // 15 bits starting at 'bit', read through a 24-bit window.
        const size_t byte = size_t(bit >> 3);
        const uint32_t window = uint32_t(s[byte]) << 16 | uint32_t(s[byte + 1]) << 8 |
                                (byte + 2 < size_t((uint64_t(l.width) * 15 + 7) / 8) ? s[byte + 2] : 0u);
        const uint32_t v = (window >> (9 - (bit & 7))) & 0x7FFF;
        d[x] = quint16(v);
    }
}

// CIELab samples (L* unsigned, a* and b* signed) to the bytes lcms2 reads as
// 8-bit Lab: L* scaled to 0..255, a* and b* offset by 128.
template <typename T, bool Planar>
void lab(const Layout& l, const uchar* const* p, uchar* out) {
    const T* L = reinterpret_cast<const T*>(p[0]);
    const T* a = Planar ? reinterpret_cast<const T*>(p[1]) : L + 1;
    const T* b = Planar ? reinterpret_cast<const T*>(p[2]) : L + 2;
    const size_t step = Planar ? 1 : l.spp;
    auto chroma = [](T v) -> uchar {
        if constexpr (sizeof(T) == 2)
            return uchar(std::clamp((int(int16_t(v)) + 32768 + 128) >> 8, 0, 255));
        else
            return uchar(v ^ 0x80);
    };
    for (uint32_t x = 0; x < l.width; ++x, out += 3) {
        const size_t i = size_t(x) * step;
        if constexpr (sizeof(T) == 2)
            out[0] = support::scale16(L[i]);
        else
            out[0] = L[i];
        out[1] = chroma(a[i]);
        out[2] = chroma(b[i]);
    }
}

RowConverter labConverter(bool sixteen, bool planar) {
    if (sixteen)
        return planar ? lab<uint16_t, true> : lab<uint16_t, false>;
    return planar ? lab<uchar, true> : lab<uchar, false>;
}

RowConverter rgbConverter(bool sixteen, bool planar, bool alpha) {
    if (sixteen)
        return planar ? (alpha ? rgb<uint16_t, true, true> : rgb<uint16_t, true, false>)
                      : (alpha ? rgb<uint16_t, false, true> : rgb<uint16_t, false, false>);
    return planar ? (alpha ? rgb<uchar, true, true> : rgb<uchar, true, false>)
                  : (alpha ? rgb<uchar, false, true> : rgb<uchar, false, false>);
}

QList<QRgb> colourMap(TIFF* tif, int n) {
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    QList<QRgb> t;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b) || !r || !g || !b)
        return t;
    // Some old writers stored 8-bit values in the 16-bit map.
    bool eightBit = true;
    for (int i = 0; i < n && eightBit; ++i)
        eightBit = r[i] < 256 && g[i] < 256 && b[i] < 256;
    auto v = [&](uint16_t c) { return eightBit ? int(c) : int(support::scale16(c)); };
    for (int i = 0; i < n; ++i)
        t.append(qRgb(v(r[i]), v(g[i]), v(b[i])));
    return t;
}

// Reads every row of the first directory through conv. Stripped contiguous
// files go scanline by scanline; planar strips a band of strips at a time;
// contiguous tiles a row of tiles at a time.
bool readRows(TIFF* tif, const Layout& l, RowConverter conv, QImage& image, Error& err) {
    const bool planar = l.planar == PLANARCONFIG_SEPARATE && l.spp > 1;
    const int planes = planar ? l.spp : 1;
    const tmsize_t rowBytes = TIFFScanlineSize(tif);
    if (rowBytes <= 0) {
        err = Error::Damaged;
        return false;
    }
    const uint64_t needBytes = planar ? (uint64_t(l.width) * l.bps + 7) / 8
                                      : (uint64_t(l.width) * l.bps * l.spp + 7) / 8;
    if (uint64_t(rowBytes) < needBytes) {
        err = Error::Damaged;
        return false;
    }
    if (!l.tiled && !planar) {
        std::vector<uchar> row(static_cast<size_t>(rowBytes));
        const uchar* p[1] = {row.data()};
        for (uint32_t y = 0; y < l.height; ++y) {
            if (TIFFReadScanline(tif, row.data(), y, 0) < 0) {
                err = Error::Damaged;
                return false;
            }
            conv(l, p, image.scanLine(int(y)));
        }
        return true;
    }
    if (!l.tiled) {
        uint32_t rps = l.height;
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rps);
        rps = qBound<uint32_t>(1, rps, l.height);
        const uint32_t stripsPerPlane = (l.height + rps - 1) / rps;
        if (TIFFNumberOfStrips(tif) < stripsPerPlane * uint32_t(planes)) {
            err = Error::Damaged;
            return false;
        }
        const uint64_t bandBytes = uint64_t(rps) * uint64_t(rowBytes);
        if (bandBytes * uint64_t(planes) > uint64_t(kMaxPixelBytes)) {
            err = Error::TooLarge;
            return false;
        }
        std::vector<std::vector<uchar>> band(static_cast<size_t>(planes), std::vector<uchar>(static_cast<size_t>(bandBytes)));
        for (uint32_t s = 0; s < stripsPerPlane; ++s) {
            const uint32_t rows = qMin(rps, l.height - s * rps);
            for (int p = 0; p < planes; ++p) {
                const tmsize_t want = tmsize_t(rows) * rowBytes;
                if (TIFFReadEncodedStrip(tif, uint32_t(p) * stripsPerPlane + s, band[size_t(p)].data(), want) < want) {
                    err = Error::Damaged;
                    return false;
                }
            }
            for (uint32_t r = 0; r < rows; ++r) {
                const uchar* p[8] = {};
                for (int i = 0; i < planes && i < 8; ++i)
                    p[i] = band[size_t(i)].data() + size_t(r) * size_t(rowBytes);
                conv(l, p, image.scanLine(int(s * rps + r)));
            }
        }
        return true;
    }
    // Contiguous tiles.
    uint32_t tw = 0, th = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
    const tmsize_t tileBytes = TIFFTileSize(tif);
    const tmsize_t tileRowBytes = TIFFTileRowSize(tif);
    if (tw == 0 || th == 0 || tw % 16 || tileBytes <= 0 || tileRowBytes <= 0 ||
        uint64_t(tileRowBytes) * th > uint64_t(tileBytes) || th > 65536) {
        err = Error::Damaged;
        return false;
    }
    std::vector<uchar> tile(static_cast<size_t>(tileBytes));
    std::vector<uchar> band(size_t(th) * size_t(rowBytes));
    const uint32_t bitsPerPixel = uint32_t(l.bps) * l.spp;
    for (uint32_t ty = 0; ty < l.height; ty += th) {
        for (uint32_t tx = 0; tx < l.width; tx += tw) {
            if (TIFFReadTile(tif, tile.data(), tx, ty, 0, 0) < 0) {
                err = Error::Damaged;
                return false;
            }
            const size_t offset = size_t(uint64_t(tx) * bitsPerPixel / 8);  // tile widths are multiples of 16
            const size_t n = qMin(size_t(tileRowBytes), size_t(rowBytes) - offset);
            for (uint32_t r = 0; r < th; ++r)
                memcpy(band.data() + size_t(r) * size_t(rowBytes) + offset, tile.data() + size_t(r) * size_t(tileRowBytes), n);
        }
        const uint32_t rows = qMin(th, l.height - ty);
        for (uint32_t r = 0; r < rows; ++r) {
            const uchar* p[1] = {band.data() + size_t(r) * size_t(rowBytes)};
            conv(l, p, image.scanLine(int(ty + r)));
        }
    }
    return true;
}

// The general route: libtiff converts to RGBA in the file's own row order.
bool readRgba(TIFF* tif, const Layout& l, Picture& pic, Error& err) {
    char message[1024] = {};
    if (!TIFFRGBAImageOK(tif, message)) {
        err = Error::Unsupported;
        return false;
    }
    QImage raster;
    if (!support::allocate(raster, int(l.width), int(l.height), 32, err))
        return false;
    TIFFRGBAImage img;
    if (!TIFFRGBAImageBegin(&img, tif, 1, message)) {
        err = Error::Unsupported;
        return false;
    }
    img.req_orientation = img.orientation;  // no flipping: orientation is applied afterwards
    const bool ok = TIFFRGBAImageGet(&img, reinterpret_cast<uint32_t*>(raster.bits()), l.width, l.height) != 0;
    const bool alpha = img.alpha != 0;
    TIFFRGBAImageEnd(&img);
    if (!ok) {
        err = Error::Damaged;
        return false;
    }
    // TIFFRGBAImage packs A B G R from high to low byte; the store wants 0xFFRRGGBB.
    for (int y = 0; y < raster.height(); ++y) {
        auto* p = reinterpret_cast<uint32_t*>(raster.scanLine(y));
        for (int x = 0; x < raster.width(); ++x)
            p[x] = qRgb(int(TIFFGetR(p[x])), int(TIFFGetG(p[x])), int(TIFFGetB(p[x])));
    }
    if (alpha) {
        pic.image = raster;
        pic.bits = 32;
    } else {
        pic = makePicture(raster, 24);
        if (pic.isNull()) {
            err = Error::OutOfMemory;
            return false;
        }
    }
    return true;
}

bool readDirect(TIFF* tif, const Layout& l, Picture& pic, Error& err) {
    const bool grey = l.photometric == PHOTOMETRIC_MINISBLACK || l.photometric == PHOTOMETRIC_MINISWHITE;
    const bool whiteIsZero = l.photometric == PHOTOMETRIC_MINISWHITE;
    if (grey || l.photometric == PHOTOMETRIC_PALETTE) {
        const int n = 1 << qMin<int>(l.bps, 8);
        QList<QRgb> table = grey ? support::grayRamp(qMin(n, 256), whiteIsZero) : colourMap(tif, n);
        if (table.isEmpty()) {
            err = Error::Damaged;
            return false;
        }
        const int bits = l.bps == 1 ? 1 : (l.bps <= 4 ? 4 : 8);
        QImage image;
        if (!support::allocate(image, int(l.width), int(l.height), bits == 1 ? 1 : 8, err))
            return false;
        RowConverter conv = l.bps == 1 ? copyBytes : l.bps == 2 ? unpack2 : l.bps == 4 ? unpack4
                          : l.bps == 8 ? copyBytes : grey16;
        if (!readRows(tif, l, conv, image, err))
            return false;
        if (bits == 1) {
            image.setColorTable(table);
            pic.image = image;
            pic.bits = 1;
        } else {
            pic = support::finishPalette(image, table, bits);
        }
        return !pic.isNull() || (err = Error::OutOfMemory, false);
    }
    if (l.bps == 5) {
        if (!support::allocate(pic.image, int(l.width), int(l.height), 16, err))
            return false;
        pic.bits = 16;
        return readRows(tif, l, rgb555, pic.image, err);
    }
    if (l.photometric == PHOTOMETRIC_CIELAB) {
        // Through lcms2, which adapts the D50 white of CIELab to sRGB's.
        if (!support::allocate(pic.image, int(l.width), int(l.height), 24, err))
            return false;
        pic.bits = 24;
        if (!readRows(tif, l, labConverter(l.bps == 16, l.planar == PLANARCONFIG_SEPARATE), pic.image, err))
            return false;
        return colour::labToSrgb(pic.image) || (err = Error::OutOfMemory, false);
    }
    // RGB, 8 or 16 bits, with or without extra samples.
    const bool alpha = l.spp > 3;
    const bool planar = l.planar == PLANARCONFIG_SEPARATE;
    if (!support::allocate(pic.image, int(l.width), int(l.height), alpha ? 32 : 24, err))
        return false;
    pic.bits = alpha ? 32 : 24;
    return readRows(tif, l, rgbConverter(l.bps == 16, planar, alpha), pic.image, err);
}

// The layout as the wide-sample reader sees it; its palette is read only for
// 16-bit palette files.
tiffwide::SampleLayout wideLayout(TIFF* tif, const Layout& l) {
    tiffwide::SampleLayout w;
    w.width = l.width;
    w.bps = l.bps;
    w.spp = l.spp;
    w.sampleFormat = l.sampleFormat;
    w.photometric = l.photometric;
    w.planar = l.planar == PLANARCONFIG_SEPARATE && l.spp > 1;
    uint16_t inks = INKSET_CMYK;
    TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inks);
    if (l.photometric == PHOTOMETRIC_SEPARATED && inks != INKSET_CMYK)
        w.photometric = -1;  // other inks: not ours to mix
    if (l.photometric == PHOTOMETRIC_PALETTE && l.bps == 16)
        w.palette = colourMap(tif, 65536);
    return w;
}

bool readWide(TIFF* tif, const Layout& l, const tiffwide::SampleLayout& w, Picture& pic, Error& err) {
    const int bits = tiffwide::bitsFor(w);
    if (!support::allocate(pic.image, int(l.width), int(l.height), bits, err))
        return false;
    pic.bits = bits;
    const auto conv = [&w](const Layout&, const uchar* const* planes, uchar* out) { tiffwide::convertRow(w, planes, out); };
    return readRows(tif, l, conv, pic.image, err);
}

bool readLayout(TIFF* tif, Layout& l) {
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height))
        return false;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bps);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &l.sampleFormat);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &l.orientation);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric))
        l.photometric = l.spp >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    l.tiled = TIFFIsTiled(tif) != 0;
    return true;
}

// Whether the file's samples can be read straight into a picture of its own depth.
bool direct(const Layout& l) {
    if (l.sampleFormat != SAMPLEFORMAT_UINT)
        return false;
    switch (l.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
        return l.spp == 1 && (l.bps == 1 || l.bps == 2 || l.bps == 4 || l.bps == 8 || l.bps == 16);
    case PHOTOMETRIC_PALETTE:
        return l.spp == 1 && (l.bps == 1 || l.bps == 2 || l.bps == 4 || l.bps == 8);
    case PHOTOMETRIC_CIELAB:
        return l.spp == 3 && (l.bps == 8 || l.bps == 16) && !(l.tiled && l.planar == PLANARCONFIG_SEPARATE);
    case PHOTOMETRIC_RGB:
        if (l.bps == 5)
            return l.spp == 3 && !l.tiled && l.planar == PLANARCONFIG_CONTIG;
        if (l.spp < 3 || l.spp > 8 || (l.bps != 8 && l.bps != 16))
            return false;
        return !(l.tiled && l.planar == PLANARCONFIG_SEPARATE);
    default:
        return false;
    }
}

// The most bytes of pixels one byte of data can give under a compression,
// with a margin: PackBits repeats a byte at most 128 times for two, LZW's
// 12-bit codes stand for at most 4096 bytes, deflate gives at most 1032 for
// one. Fax codes, JPEG and the rest can describe a white row in a bit or
// two, but no row of at most 65,535 pixels in less.
qint64 maxExpansion(uint16_t compression) {
    switch (compression) {
    case COMPRESSION_NONE: return 1;
    case COMPRESSION_PACKBITS: return 65;
    case COMPRESSION_LZW: return 4096;
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE: return 1100;
    default: return 65536;
    }
}

// Whether the strips or tiles present in the file can hold the picture they
// describe: every byte counted must lie inside the file, and the bytes there
// must be enough for the pixels under the compression used. Checked before
// the picture is allocated, so a small file cannot claim gigabytes.
bool dataPlausible(TIFF* tif, const Layout& l, qint64 fileSize) {
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (compression == COMPRESSION_OJPEG)
        return true;  // old-style JPEG keeps its data where its own tags say
    const uint32_t count = l.tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    qint64 present = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t offset = TIFFGetStrileOffset(tif, i);
        const uint64_t bytes = TIFFGetStrileByteCount(tif, i);
        if (offset < uint64_t(fileSize))
            present += qint64(qMin<uint64_t>(bytes, uint64_t(fileSize) - offset));
    }
    const int planes = l.planar == PLANARCONFIG_SEPARATE ? l.spp : 1;
    const qint64 raw = l.tiled ? qint64(TIFFTileSize64(tif)) * count
                               : qint64(TIFFVStripSize64(tif, l.height)) * planes;
    if (raw <= 0)
        return true;  // libtiff refuses such a layout itself
    // An uncompressed file may lack a little padding at its very end.
    if (compression == COMPRESSION_NONE)
        return raw - raw / 64 <= present;
    return raw / maxExpansion(compression) <= present;
}

void resolutionFrom(TIFF* tif, QImage& image) {
    float x = 0, y = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) || !TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y))
        return;
    const double f = unit == RESUNIT_INCH ? 100.0 / 2.54 : (unit == RESUNIT_CENTIMETER ? 100.0 : 0.0);
    if (f > 0 && x > 0 && y > 0 && x < 1e6 && y < 1e6) {
        image.setDotsPerMeterX(qRound(x * f));
        image.setDotsPerMeterY(qRound(y * f));
    }
}

}  // namespace

bool decodeTiff(const QByteArray& data, Decoded& out, Error& err) {
    Stream s;
    s.data = reinterpret_cast<const uchar*>(data.constData());
    s.size = data.size();
    TIFF* tif = openStream(s, "rm");
    if (!tif) {
        err = Error::Damaged;
        return false;
    }
    Layout l;
    Picture pic;
    bool ok = readLayout(tif, l);
    if (!ok) {
        err = Error::Damaged;
    } else if (l.width == 0 || l.height == 0) {
        err = Error::Damaged;
        ok = false;
    } else if (!sizeAllowed(qint64(l.width), qint64(l.height), 1) ||
               (l.bps > 1 && !sizeAllowed(qint64(l.width), qint64(l.height), 8))) {
        err = Error::TooLarge;
        ok = false;
    } else if (!dataPlausible(tif, l, s.size)) {
        err = Error::Damaged;
        ok = false;
    } else {
        const tiffwide::SampleLayout wide = direct(l) ? tiffwide::SampleLayout() : wideLayout(tif, l);
        if (direct(l))
            ok = readDirect(tif, l, pic, err);
        else if (tiffwide::handles(wide) && !(l.tiled && wide.planar))
            ok = readWide(tif, l, wide, pic, err);
        else
            ok = readRgba(tif, l, pic, err);
    }
    if (ok) {
        const char* description = nullptr;
        if (TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &description) && description)
            out.comment = support::decodeComment(QByteArray(description));
        resolutionFrom(tif, pic.image);
    }
    TIFFClose(tif);
    if (!ok)
        return false;
    if (!support::applyOrientation(pic, l.orientation, err))
        return false;
    out.picture = pic;
    return true;
}

bool encodeTiff(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err) {
    const int bits = pic.bits;
    QImage image = pic.image;
    QList<QRgb> table;
    uint16_t photometric = PHOTOMETRIC_RGB;
    uint16_t bps = 8, spp = 3;
    switch (bits) {
    case 1:
    case 4:
    case 8: {
        const QImage::Format want = bits == 1 ? QImage::Format_Mono : QImage::Format_Indexed8;
        table = image.colorTable();
        if (image.format() != want || table.isEmpty() || table.size() > (1 << bits)) {
            err = Error::BadArgument;
            return false;
        }
        const int n = 1 << bits;
        bps = uint16_t(bits);
        spp = 1;
        if (support::isGrayRamp(table, n, false))
            photometric = PHOTOMETRIC_MINISBLACK;
        else if (support::isGrayRamp(table, n, true))
            photometric = PHOTOMETRIC_MINISWHITE;
        else
            photometric = PHOTOMETRIC_PALETTE;
        while (table.size() < n)
            table.append(qRgb(0, 0, 0));  // a TIFF colour map has 2^bits entries
        break;
    }
    case 16:
    case 24:
    case 32:
        support::toStoreFormat(image, bits);
        bps = bits == 16 ? 5 : 8;
        spp = bits == 32 ? 4 : 3;
        break;
    default:
        err = Error::Unsupported;
        return false;
    }
    if (image.isNull()) {
        err = Error::OutOfMemory;
        return false;
    }
    const int w = image.width(), h = image.height();
    out.clear();
    Stream s;
    s.out = &out;
    TIFF* tif = openStream(s, "w");
    if (!tif) {
        err = Error::WriteFailed;
        return false;
    }
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(w));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(h));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bps);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spp);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    if (bits >= 16 || photometric != PHOTOMETRIC_PALETTE)
        if (bps == 8)
            TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (spp == 4) {
        const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    std::vector<uint16_t> r, g, b;
    if (photometric == PHOTOMETRIC_PALETTE) {
        for (QRgb c : table) {
            r.push_back(uint16_t(qRed(c) * 257));
            g.push_back(uint16_t(qGreen(c) * 257));
            b.push_back(uint16_t(qBlue(c) * 257));
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
    }
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(image.dotsPerMeterX() * 0.0254));
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(image.dotsPerMeterY() * 0.0254));
    }
    const QByteArray description = support::encodeComment(opt.comment, 1 << 20);
    if (!description.isEmpty())
        TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, description.constData());
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    const tmsize_t rowBytes = TIFFScanlineSize(tif);
    std::vector<uchar> row(size_t(qMax<tmsize_t>(rowBytes, 1)) + 4);
    bool ok = rowBytes > 0;
    for (int y = 0; ok && y < h; ++y) {
        const uchar* line = image.constScanLine(y);
        uchar* d = row.data();
        if (bits == 1 || bits == 8) {
            memcpy(d, line, size_t(rowBytes));
        } else if (bits == 4) {
            for (int x = 0; x + 1 < w; x += 2)
                *d++ = uchar((line[x] & 15) << 4 | (line[x + 1] & 15));
            if (w & 1)
                *d = uchar((line[w - 1] & 15) << 4);
        } else if (bits == 16) {
            // 15 bits a pixel, most significant first, as one bit stream.
            memset(d, 0, size_t(rowBytes));
            const auto* px = reinterpret_cast<const quint16*>(line);
            uint64_t bit = 0;
            for (int x = 0; x < w; ++x, bit += 15) {
                const uint32_t v = uint32_t(px[x] & 0x7FFF) << (9 - (bit & 7));
                const size_t byte = size_t(bit >> 3);
                d[byte] |= uchar(v >> 16);
                d[byte + 1] |= uchar(v >> 8);
                if (byte + 2 < size_t(rowBytes))
                    d[byte + 2] |= uchar(v);
            }
        } else if (spp == 3) {
            for (int x = 0; x < w; ++x, d += 3, line += 3) {
                d[0] = line[2];
                d[1] = line[1];
                d[2] = line[0];
            }
        } else {
            const auto* px = reinterpret_cast<const QRgb*>(line);
            for (int x = 0; x < w; ++x, d += 4) {
                d[0] = uchar(qRed(px[x]));
                d[1] = uchar(qGreen(px[x]));
                d[2] = uchar(qBlue(px[x]));
                d[3] = 0xFF;  // the store's fourth byte is padding: write opaque
            }
        }
        ok = TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) >= 0;
    }
    ok = ok && TIFFWriteDirectory(tif) != 0;
    TIFFClose(tif);
    if (!ok || !s.firstError.isEmpty()) {
        out.clear();
        err = Error::WriteFailed;
        return false;
    }
    out.truncate(qsizetype(s.size));
    return true;
}

}  // namespace engine::codecs
