// WebP through libwebp, from and to memory. A file with an alpha channel is a
// 32-bit picture (the alpha itself is not kept: the store has none), any other
// a 24-bit one, and 32-bit pictures are written as files with alpha; an
// animation shows its first frame. The EXIF orientation is
// applied on load. WebP has no comment; its ICC, EXIF and XMP chunks are read
// and written through libwebp's mux.
#include "engine/codecs/c_deleter.h"
#include "engine/codecs/codec_support.h"
#include "engine/codecs/codecs.h"
#include "engine/codecs/exif_orientation.h"
#include "engine/codecs/pixel_rows.h"

#include <cstring>
#include <memory>

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

namespace engine::codecs {

namespace {

using DemuxDeleter = CDeleter<WebPDemuxDelete>;
using AnimDeleter = CDeleter<WebPAnimDecoderDelete>;
using MuxDeleter = CDeleter<WebPMuxDelete>;

QByteArray chunk(const WebPDemuxer* demux, const char fourcc[4]) {
    WebPChunkIterator it;
    QByteArray bytes;
    if (WebPDemuxGetChunk(demux, fourcc, 1, &it))
        bytes = QByteArray(reinterpret_cast<const char*>(it.chunk.bytes), qsizetype(it.chunk.size));
    WebPDemuxReleaseChunkIterator(&it);
    return bytes;
}

// The first frame of an animation, composed on its canvas by libwebp.
bool decodeFirstFrame(const WebPData& data, QImage& image, Error& err) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) {
        err = Error::Unsupported;
        return false;
    }
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    std::unique_ptr<WebPAnimDecoder, AnimDeleter> dec(WebPAnimDecoderNew(&data, &options));
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!dec || !WebPAnimDecoderGetNext(dec.get(), &canvas, &timestamp) || !canvas) {
        err = Error::Damaged;
        return false;
    }
    const qsizetype rowBytes = qsizetype(image.width()) * 4;
    for (int y = 0; y < image.height(); ++y) {
        const uint8_t* s = canvas + y * rowBytes;
        uchar* d = image.scanLine(y);
        if (image.depth() == 32) {
            memcpy(d, s, size_t(rowBytes));
        } else {
            for (int x = 0; x < image.width(); ++x, s += 4, d += 3)
                memcpy(d, s, 3);
        }
    }
    return true;
}

}  // namespace

bool decodeWebp(const QByteArray& data, Decoded& out, Error& err) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(bytes, size_t(data.size()), &features) != VP8_STATUS_OK) {
        err = Error::Damaged;
        return false;
    }
    // The demuxer takes only a complete file: a truncated one is refused here,
    // before any pixel is allocated.
    const WebPData whole{bytes, size_t(data.size())};
    std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&whole));
    if (!demux) {
        err = Error::Damaged;
        return false;
    }
    const int width = int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH));
    const int height = int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT));
    const bool alpha = features.has_alpha || (WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & ALPHA_FLAG);
    const int bits = alpha ? 32 : 24;
    Picture pic;
    if (!support::allocate(pic.image, width, height, bits, err))
        return false;
    pic.bits = bits;
    if (features.has_animation) {
        if (!decodeFirstFrame(whole, pic.image, err))
            return false;
    } else {
        uint8_t* buffer = pic.image.bits();
        const size_t size = size_t(pic.image.sizeInBytes());
        const int stride = int(pic.image.bytesPerLine());
        const uint8_t* done = alpha ? WebPDecodeBGRAInto(bytes, size_t(data.size()), buffer, size, stride)
                                    : WebPDecodeBGRInto(bytes, size_t(data.size()), buffer, size, stride);
        if (!done || features.width != width || features.height != height) {
            err = Error::Damaged;
            return false;
        }
    }
    if (alpha)
        rows::makeOpaque(pic.image);
    pic.metadata.icc = chunk(demux.get(), "ICCP");
    pic.metadata.exif = exifTiffPart(chunk(demux.get(), "EXIF"));
    pic.metadata.xmp = chunk(demux.get(), "XMP ");
    const int orientation = exifOrientation(reinterpret_cast<const uint8_t*>(pic.metadata.exif.constData()),
                                            size_t(pic.metadata.exif.size()));
    if (!support::applyOrientation(pic, orientation, err))
        return false;
    out.picture = pic;
    return true;
}

// Puts the metadata chunks beside an encoded picture; the bitstream alone
// when there are none.
static bool addMetadata(const Metadata& meta, QByteArray& file) {
    if (meta.icc.isEmpty() && meta.exif.isEmpty() && meta.xmp.isEmpty())
        return true;
    const WebPData image{reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size())};
    std::unique_ptr<WebPMux, MuxDeleter> mux(WebPMuxCreate(&image, 1));
    if (!mux)
        return false;
    const std::pair<const char*, const QByteArray*> chunks[] = {
        {"ICCP", &meta.icc}, {"EXIF", &meta.exif}, {"XMP ", &meta.xmp}};
    for (const auto& [fourcc, bytes] : chunks) {
        if (bytes->isEmpty())
            continue;
        const WebPData d{reinterpret_cast<const uint8_t*>(bytes->constData()), size_t(bytes->size())};
        if (WebPMuxSetChunk(mux.get(), fourcc, &d, 1) != WEBP_MUX_OK)
            return false;
    }
    WebPData assembled;
    WebPDataInit(&assembled);
    if (WebPMuxAssemble(mux.get(), &assembled) != WEBP_MUX_OK)
        return false;
    file = QByteArray(reinterpret_cast<const char*>(assembled.bytes), qsizetype(assembled.size));
    WebPDataClear(&assembled);
    return true;
}

// Says in the file that it has an alpha channel, so a 32-bit picture loads as
// 32 bits again: libwebp leaves out an alpha channel that is opaque
// throughout, which the store's always is. A simple file (its bitstream chunk
// alone) gets the extended header that holds the flag; readers show the
// missing alpha as opaque.
static void markAlpha(QByteArray& file, int width, int height) {
    constexpr char kAlphaFlag = 0x10;
    if (file.size() < 20 || file.mid(12, 4) != "VP8X") {
        QByteArray header("VP8X", 4);
        header += QByteArray("\x0A\0\0\0", 4);  // chunk size 10
        header += QByteArray(4, '\0');           // flags, reserved
        for (int v : {width - 1, height - 1})
            header += QByteArray(1, char(v & 0xFF)) + char((v >> 8) & 0xFF) + char((v >> 16) & 0xFF);
        file.insert(12, header);
        const quint32 riffSize = quint32(file.size() - 8);
        for (int i = 0; i < 4; ++i)
            file[4 + i] = char((riffSize >> (8 * i)) & 0xFF);
    }
    file[20] = char(file[20] | kAlphaFlag);
}

bool encodeWebp(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err) {
    support::SampleSource src;
    if (!support::sampleSource(pic, false, src, err))
        return false;
    const QImage& image = src.image;
    if (image.width() > WEBP_MAX_DIMENSION || image.height() > WEBP_MAX_DIMENSION) {
        err = Error::TooLarge;  // the format's own limit, 16,383 pixels a side
        return false;
    }
    WebPConfig config;
    WebPPicture wp;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&wp)) {
        err = Error::WriteFailed;
        return false;
    }
    config.quality = float(qBound(1, opt.jpegQuality, 100));
    config.method = 4;
    wp.use_argb = 0;
    wp.width = image.width();
    wp.height = image.height();
    const int stride = int(image.bytesPerLine());
    // The store's fourth byte is padding: both depths are imported opaque.
    const int imported = pic.bits == 32 ? WebPPictureImportBGRX(&wp, image.constBits(), stride)
                                        : WebPPictureImportBGR(&wp, image.constBits(), stride);
    if (!imported) {
        WebPPictureFree(&wp);
        err = Error::OutOfMemory;
        return false;
    }
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    wp.writer = WebPMemoryWrite;
    wp.custom_ptr = &writer;
    const bool ok = WebPEncode(&config, &wp);
    WebPPictureFree(&wp);
    if (ok)
        out = QByteArray(reinterpret_cast<const char*>(writer.mem), qsizetype(writer.size));
    WebPMemoryWriterClear(&writer);
    if (!ok || !addMetadata(pic.metadata, out)) {
        out.clear();
        err = Error::WriteFailed;
        return false;
    }
    if (pic.bits == 32)
        markAlpha(out, image.width(), image.height());
    return true;
}

}  // namespace engine::codecs
