// AVIF through libavif, from and to memory. A monochrome file without alpha is
// an 8-bit grey picture, a file with an alpha channel a 32-bit one (the alpha
// itself is not kept: the store has none), any other a 24-bit one; samples of
// 10 and 12 bits are scaled to 8. The HEIF turn and mirror properties are
// applied on load. AVIF has no comment; its ICC profile, EXIF and XMP are read
// and written.
#include "engine/codecs/c_deleter.h"
#include "engine/codecs/codec_support.h"
#include "engine/codecs/codecs.h"
#include "engine/codecs/exif_orientation.h"
#include "engine/codecs/pixel_rows.h"

#include <QThread>

#include <memory>

#include <avif/avif.h>

namespace engine::codecs {

namespace {

using DecoderDeleter = CDeleter<avifDecoderDestroy>;
using EncoderDeleter = CDeleter<avifEncoderDestroy>;
using ImageDeleter = CDeleter<avifImageDestroy>;

int threads() { return qBound(1, QThread::idealThreadCount(), 8); }

QByteArray bytesOf(const avifRWData& d) {
    return QByteArray(reinterpret_cast<const char*>(d.data), qsizetype(d.size));
}

// The luma plane as grey levels: limited range expanded, deeper samples scaled.
void greyFromLuma(const avifImage& img, QImage& out) {
    const bool full = img.yuvRange == AVIF_RANGE_FULL;
    const int maxValue = (1 << img.depth) - 1;
    const int black = full ? 0 : 16 << (img.depth - 8);
    const int span = full ? maxValue : 219 << (img.depth - 8);
    for (int y = 0; y < out.height(); ++y) {
        const uint8_t* row = img.yuvPlanes[AVIF_CHAN_Y] + size_t(y) * img.yuvRowBytes[AVIF_CHAN_Y];
        uchar* d = out.scanLine(y);
        for (int x = 0; x < out.width(); ++x) {
            const int v = img.depth > 8 ? reinterpret_cast<const uint16_t*>(row)[x] : row[x];
            d[x] = uchar(qBound(0, ((v - black) * 255 + span / 2) / span, 255));
        }
    }
}

}  // namespace

bool decodeAvif(const QByteArray& data, Decoded& out, Error& err) {
    std::unique_ptr<avifDecoder, DecoderDeleter> dec(avifDecoderCreate());
    if (!dec) {
        err = Error::OutOfMemory;
        return false;
    }
    dec->maxThreads = threads();
    dec->strictFlags = AVIF_STRICT_DISABLED;  // files of older writers, as browsers show them
    dec->imageDimensionLimit = kMaxSide;
    if (avifDecoderSetIOMemory(dec.get(), reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size())) !=
        AVIF_RESULT_OK) {
        err = Error::OutOfMemory;
        return false;
    }
    if (const avifResult r = avifDecoderParse(dec.get()); r != AVIF_RESULT_OK) {
        // libavif refuses pictures over its size limits while parsing.
        const QByteArray why(dec->diag.error);
        err = why.contains("limit") || why.contains("too large") ? Error::TooLarge
              : r == AVIF_RESULT_NOT_IMPLEMENTED                ? Error::Unsupported
                                                                : Error::Damaged;
        return false;
    }
    const avifImage* img = dec->image;
    const bool grey = img->yuvFormat == AVIF_PIXEL_FORMAT_YUV400 && !dec->alphaPresent;
    const int bits = grey ? 8 : (dec->alphaPresent ? 32 : 24);
    Picture pic;
    if (!support::allocate(pic.image, int(qMin<uint32_t>(img->width, 0x7FFFFFFF)),
                           int(qMin<uint32_t>(img->height, 0x7FFFFFFF)), bits, err))
        return false;
    pic.bits = bits;
    if (avifDecoderNextImage(dec.get()) != AVIF_RESULT_OK) {
        err = Error::Damaged;
        return false;
    }
    img = dec->image;  // the decoded frame; its size must be the one parsed
    if (int(img->width) != pic.width() || int(img->height) != pic.height() || img->depth < 8 || img->depth > 16) {
        err = Error::Damaged;
        return false;
    }
    if (grey) {
        if (!img->yuvPlanes[AVIF_CHAN_Y]) {
            err = Error::Damaged;
            return false;
        }
        pic.image.setColorTable(grayTable(256));
        greyFromLuma(*img, pic.image);
    } else {
        avifRGBImage rgb;
        avifRGBImageSetDefaults(&rgb, img);
        rgb.depth = 8;
        rgb.format = bits == 32 ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_BGR;
        rgb.pixels = pic.image.bits();
        rgb.rowBytes = uint32_t(pic.image.bytesPerLine());
        if (avifImageYUVToRGB(img, &rgb) != AVIF_RESULT_OK) {
            err = Error::Damaged;
            return false;
        }
        if (bits == 32)
            rows::makeOpaque(pic.image);
    }
    pic.metadata.icc = bytesOf(img->icc);
    pic.metadata.exif = exifTiffPart(bytesOf(img->exif));
    pic.metadata.xmp = bytesOf(img->xmp);
    const int turns = (img->transformFlags & AVIF_TRANSFORM_IROT) ? img->irot.angle : 0;
    const int mirror = (img->transformFlags & AVIF_TRANSFORM_IMIR) ? img->imir.mode : -1;
    if (!support::applyOrientation(pic, orientationFromTransforms(turns, mirror), err))
        return false;
    out.picture = pic;
    return true;
}

bool encodeAvif(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err) {
    support::SampleSource src;
    if (!support::sampleSource(pic, true, src, err))
        return false;
    const QImage& image = src.image;
    const bool grey = src.bits == 8;
    std::unique_ptr<avifImage, ImageDeleter> img(avifImageCreate(uint32_t(image.width()), uint32_t(image.height()), 8,
                                                                  grey ? AVIF_PIXEL_FORMAT_YUV400
                                                                       : AVIF_PIXEL_FORMAT_YUV444));
    if (!img) {
        err = Error::OutOfMemory;
        return false;
    }
    img->yuvRange = AVIF_RANGE_FULL;
    if (grey) {
        if (avifImageAllocatePlanes(img.get(), AVIF_PLANES_YUV) != AVIF_RESULT_OK) {
            err = Error::OutOfMemory;
            return false;
        }
        for (int y = 0; y < image.height(); ++y) {
            const uchar* s = image.constScanLine(y);
            uint8_t* d = img->yuvPlanes[AVIF_CHAN_Y] + size_t(y) * img->yuvRowBytes[AVIF_CHAN_Y];
            for (int x = 0; x < image.width(); ++x)
                d[x] = src.levels[s[x]];
        }
    } else {
        avifRGBImage rgb;
        avifRGBImageSetDefaults(&rgb, img.get());
        rgb.depth = 8;
        // The store's fourth byte is padding: libavif writes no alpha plane
        // that is opaque throughout, so the save table makes such pictures
        // 24-bit first and a 32-bit one is written as its colours.
        rgb.format = src.bits == 32 ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_BGR;
        rgb.ignoreAlpha = AVIF_TRUE;
        rgb.pixels = const_cast<uint8_t*>(image.constBits());
        rgb.rowBytes = uint32_t(image.bytesPerLine());
        if (avifImageRGBToYUV(img.get(), &rgb) != AVIF_RESULT_OK) {
            err = Error::OutOfMemory;
            return false;
        }
    }
    const Metadata& meta = pic.metadata;
    if (!meta.icc.isEmpty())
        avifImageSetProfileICC(img.get(), reinterpret_cast<const uint8_t*>(meta.icc.constData()), size_t(meta.icc.size()));
    if (!meta.exif.isEmpty())
        avifImageSetMetadataExif(img.get(), reinterpret_cast<const uint8_t*>(meta.exif.constData()),
                                 size_t(meta.exif.size()));
    if (!meta.xmp.isEmpty())
        avifImageSetMetadataXMP(img.get(), reinterpret_cast<const uint8_t*>(meta.xmp.constData()), size_t(meta.xmp.size()));
    std::unique_ptr<avifEncoder, EncoderDeleter> enc(avifEncoderCreate());
    if (!enc) {
        err = Error::OutOfMemory;
        return false;
    }
    // Quality 1..100 onto the AV1 quantizer 63..0 (as avifenc maps it); the
    // alpha plane lossless.
    const int quantizer = ((100 - qBound(1, opt.jpegQuality, 100)) * 63 + 50) / 100;
    enc->minQuantizer = enc->maxQuantizer = quantizer;
    enc->minQuantizerAlpha = enc->maxQuantizerAlpha = AVIF_QUANTIZER_LOSSLESS;
    enc->speed = 8;
    enc->maxThreads = threads();
    avifRWData output = AVIF_DATA_EMPTY;
    if (avifEncoderWrite(enc.get(), img.get(), &output) != AVIF_RESULT_OK) {
        avifRWDataFree(&output);
        err = Error::WriteFailed;
        return false;
    }
    out = bytesOf(output);
    avifRWDataFree(&output);
    return true;
}

}  // namespace engine::codecs
