// JPEG XL through libjxl, from and to memory. A grey file without alpha is an
// 8-bit grey picture, a file with alpha a 32-bit one (the alpha itself is not
// kept: the store has none), any other 24-bit; deeper samples arrive scaled to
// 8 bits. libjxl turns the picture upright by the file's orientation; an
// animation shows its first frame. JPEG XL has no comment; its ICC profile
// and its "Exif" and "xml " boxes are read and written.
#include "engine/codecs/c_deleter.h"
#include "engine/codecs/codec_support.h"
#include "engine/codecs/codecs.h"
#include "engine/codecs/exif_orientation.h"
#include "engine/codecs/pixel_rows.h"

#include <QThread>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include <jxl/decode.h>
#include <jxl/encode.h>
#include <jxl/thread_parallel_runner.h>

namespace engine::codecs {

namespace {

using DecoderDeleter = CDeleter<JxlDecoderDestroy>;
using EncoderDeleter = CDeleter<JxlEncoderDestroy>;
using RunnerDeleter = CDeleter<JxlThreadParallelRunnerDestroy>;
using Runner = std::unique_ptr<void, RunnerDeleter>;

Runner makeRunner() {
    return Runner(JxlThreadParallelRunnerCreate(nullptr, size_t(qBound(1, QThread::idealThreadCount(), 8))));
}

// Metadata boxes are small; a box claiming more is not kept.
constexpr size_t kMaxBox = size_t(64) << 20;

// Collects the content of the box being read, growing its buffer on demand.
struct BoxReader {
    QByteArray* target = nullptr;
    std::vector<uint8_t> buffer;
    size_t used = 0;

    void finish(JxlDecoder* dec) {
        if (!target)
            return;
        const size_t left = JxlDecoderReleaseBoxBuffer(dec);
        *target = QByteArray(reinterpret_cast<const char*>(buffer.data()), qsizetype(buffer.size() - left));
        target = nullptr;
    }
    bool start(JxlDecoder* dec, QByteArray* into) {
        target = into;
        buffer.assign(65536, 0);
        return JxlDecoderSetBoxBuffer(dec, buffer.data(), buffer.size()) == JXL_DEC_SUCCESS;
    }
    bool grow(JxlDecoder* dec) {
        const size_t left = JxlDecoderReleaseBoxBuffer(dec);
        const size_t filled = buffer.size() - left;
        if (buffer.size() * 2 > kMaxBox)
            return false;
        buffer.resize(buffer.size() * 2);
        return JxlDecoderSetBoxBuffer(dec, buffer.data() + filled, buffer.size() - filled) == JXL_DEC_SUCCESS;
    }
};

}  // namespace

bool decodeJxl(const QByteArray& data, Decoded& out, Error& err) {
    std::unique_ptr<JxlDecoder, DecoderDeleter> dec(JxlDecoderCreate(nullptr));
    Runner runner = makeRunner();
    if (!dec || !runner) {
        err = Error::OutOfMemory;
        return false;
    }
    if (JxlDecoderSubscribeEvents(dec.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE |
                                                 JXL_DEC_BOX) != JXL_DEC_SUCCESS ||
        JxlDecoderSetParallelRunner(dec.get(), JxlThreadParallelRunner, runner.get()) != JXL_DEC_SUCCESS ||
        JxlDecoderSetDecompressBoxes(dec.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(dec.get(), reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size())) !=
            JXL_DEC_SUCCESS) {
        err = Error::Damaged;
        return false;
    }
    JxlDecoderCloseInput(dec.get());
    Picture pic;
    JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 4};  // rows aligned as QImage's
    BoxReader box;
    bool haveImage = false, animated = false;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(dec.get());
        if (status == JXL_DEC_ERROR || status == JXL_DEC_NEED_MORE_INPUT) {
            // NEED_MORE_INPUT after the input was closed: the file ends early.
            err = Error::Damaged;
            return false;
        }
        if (status == JXL_DEC_SUCCESS)
            break;
        if (status == JXL_DEC_BASIC_INFO) {
            JxlBasicInfo info;
            if (JxlDecoderGetBasicInfo(dec.get(), &info) != JXL_DEC_SUCCESS) {
                err = Error::Damaged;
                return false;
            }
            const bool grey = info.num_color_channels == 1 && info.alpha_bits == 0;
            const bool alpha = info.alpha_bits > 0;
            const int bits = grey ? 8 : (alpha ? 32 : 24);
            format.num_channels = grey ? 1 : (alpha ? 4 : 3);
            animated = info.have_animation;
            // libjxl turns the picture upright: orientations 5 to 8 swap the sides.
            const bool swapped = info.orientation >= JXL_ORIENT_TRANSPOSE;
            const quint32 w = swapped ? info.ysize : info.xsize, h = swapped ? info.xsize : info.ysize;
            if (!support::allocate(pic.image, int(qMin<quint32>(w, 0x7FFFFFFF)), int(qMin<quint32>(h, 0x7FFFFFFF)), bits,
                                   err))
                return false;
            pic.bits = bits;
            if (grey)
                pic.image.setColorTable(grayTable(256));
        } else if (status == JXL_DEC_COLOR_ENCODING) {
            // libjxl makes up a profile for files that only name their colour
            // space; plain sRGB needs none.
            JxlColorEncoding named;
            if (JxlDecoderGetColorAsEncodedProfile(dec.get(), nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL, &named) ==
                    JXL_DEC_SUCCESS &&
                named.white_point == JXL_WHITE_POINT_D65 &&
                (named.color_space == JXL_COLOR_SPACE_GRAY || named.primaries == JXL_PRIMARIES_SRGB) &&
                named.transfer_function == JXL_TRANSFER_FUNCTION_SRGB)
                continue;
            size_t size = 0;
            if (JxlDecoderGetICCProfileSize(dec.get(), nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL, &size) ==
                    JXL_DEC_SUCCESS &&
                size > 0 && size <= kMaxBox) {
                QByteArray icc(qsizetype(size), Qt::Uninitialized);
                if (JxlDecoderGetColorAsICCProfile(dec.get(), nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL,
                                                   reinterpret_cast<uint8_t*>(icc.data()), size) == JXL_DEC_SUCCESS)
                    pic.metadata.icc = icc;
            }
        } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            size_t size = 0;
            if (pic.isNull() || JxlDecoderImageOutBufferSize(dec.get(), &format, &size) != JXL_DEC_SUCCESS ||
                size > size_t(pic.image.sizeInBytes()) ||
                JxlDecoderSetImageOutBuffer(dec.get(), &format, pic.image.bits(), size) != JXL_DEC_SUCCESS) {
                err = Error::Damaged;
                return false;
            }
        } else if (status == JXL_DEC_FULL_IMAGE) {
            haveImage = true;
            if (animated)
                break;  // the first frame is the picture; later boxes are not waited for
        } else if (status == JXL_DEC_BOX) {
            box.finish(dec.get());
            JxlBoxType type;
            if (JxlDecoderGetBoxType(dec.get(), type, JXL_TRUE) != JXL_DEC_SUCCESS)
                continue;
            QByteArray* into = memcmp(type, "Exif", 4) == 0 ? &pic.metadata.exif
                               : memcmp(type, "xml ", 4) == 0 ? &pic.metadata.xmp
                                                                : nullptr;
            if (into && into->isEmpty() && !box.start(dec.get(), into)) {
                err = Error::Damaged;
                return false;
            }
        } else if (status == JXL_DEC_BOX_NEED_MORE_OUTPUT) {
            if (!box.grow(dec.get())) {
                err = Error::Damaged;
                return false;
            }
        }
    }
    box.finish(dec.get());
    if (!haveImage) {
        err = Error::Damaged;
        return false;
    }
    // libjxl writes R, G, B(, A); the store wants B, G, R(, X).
    if (pic.bits >= 24) {
        for (int y = 0; y < pic.height(); ++y)
            rows::swapRedBlue(pic.image.scanLine(y), pic.width(), pic.bits / 8);
    }
    if (pic.bits == 32)
        rows::makeOpaque(pic.image);
    pic.metadata.exif = exifTiffPart(pic.metadata.exif);
    out.picture = pic;
    return true;
}

// The distance (0 lossless, 1 visually lossless) libjxl's own tools give a
// JPEG-style quality.
static float distanceFor(int quality) {
    return quality >= 30 ? 0.1f + float(100 - quality) * 0.09f : 6.4f + std::pow(2.5f, float(30 - quality) / 5.0f) / 6.25f;
}

bool encodeJxl(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err) {
    support::SampleSource src;
    if (!support::sampleSource(pic, true, src, err))
        return false;
    const QImage& image = src.image;
    const bool grey = src.bits == 8;
    const int w = image.width(), h = image.height();
    const int channels = src.bits / 8;
    // libjxl takes R, G, B(, A) samples: one copy of the picture in that order.
    const size_t stride = (size_t(w) * size_t(channels) + 3) & ~size_t(3);
    std::vector<uint8_t> samples;
    try {
        samples.resize(stride * size_t(h));
    } catch (const std::bad_alloc&) {
        err = Error::OutOfMemory;
        return false;
    }
    for (int y = 0; y < h; ++y) {
        const uchar* s = image.constScanLine(y);
        uint8_t* d = samples.data() + size_t(y) * stride;
        if (grey) {
            for (int x = 0; x < w; ++x)
                d[x] = src.levels[s[x]];
        } else {
            memcpy(d, s, size_t(w) * size_t(channels));  // the store's fourth byte is 0xFF: opaque
            rows::swapRedBlue(d, w, channels);
        }
    }
    std::unique_ptr<JxlEncoder, EncoderDeleter> enc(JxlEncoderCreate(nullptr));
    Runner runner = makeRunner();
    if (!enc || !runner) {
        err = Error::OutOfMemory;
        return false;
    }
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = uint32_t(w);
    info.ysize = uint32_t(h);
    info.bits_per_sample = 8;
    info.num_color_channels = grey ? 1 : 3;
    info.alpha_bits = src.bits == 32 ? 8 : 0;
    info.num_extra_channels = src.bits == 32 ? 1 : 0;
    info.uses_original_profile = JXL_FALSE;
    const Metadata& meta = pic.metadata;
    bool ok = JxlEncoderSetParallelRunner(enc.get(), JxlThreadParallelRunner, runner.get()) == JXL_ENC_SUCCESS &&
              JxlEncoderSetBasicInfo(enc.get(), &info) == JXL_ENC_SUCCESS;
    if (ok && !meta.icc.isEmpty()) {
        ok = JxlEncoderSetICCProfile(enc.get(), reinterpret_cast<const uint8_t*>(meta.icc.constData()),
                                     size_t(meta.icc.size())) == JXL_ENC_SUCCESS;
    } else if (ok) {
        JxlColorEncoding colour;
        JxlColorEncodingSetToSRGB(&colour, grey ? JXL_TRUE : JXL_FALSE);
        ok = JxlEncoderSetColorEncoding(enc.get(), &colour) == JXL_ENC_SUCCESS;
    }
    if (ok && (!meta.exif.isEmpty() || !meta.xmp.isEmpty())) {
        ok = JxlEncoderUseContainer(enc.get(), JXL_TRUE) == JXL_ENC_SUCCESS &&
             JxlEncoderUseBoxes(enc.get()) == JXL_ENC_SUCCESS;
        if (ok && !meta.exif.isEmpty()) {
            // The "Exif" box starts with the offset of the TIFF header inside it.
            const QByteArray exif = QByteArray(4, '\0') + meta.exif;
            ok = JxlEncoderAddBox(enc.get(), "Exif", reinterpret_cast<const uint8_t*>(exif.constData()),
                                  size_t(exif.size()), JXL_FALSE) == JXL_ENC_SUCCESS;
        }
        if (ok && !meta.xmp.isEmpty())
            ok = JxlEncoderAddBox(enc.get(), "xml ", reinterpret_cast<const uint8_t*>(meta.xmp.constData()),
                                  size_t(meta.xmp.size()), JXL_FALSE) == JXL_ENC_SUCCESS;
    }
    JxlEncoderFrameSettings* settings = ok ? JxlEncoderFrameSettingsCreate(enc.get(), nullptr) : nullptr;
    const JxlPixelFormat format{uint32_t(channels), JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 4};
    ok = settings && JxlEncoderSetFrameDistance(settings, distanceFor(qBound(1, opt.jpegQuality, 100))) == JXL_ENC_SUCCESS &&
         JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT, 5) == JXL_ENC_SUCCESS &&
         JxlEncoderAddImageFrame(settings, &format, samples.data(), samples.size()) == JXL_ENC_SUCCESS;
    if (!ok) {
        err = Error::WriteFailed;
        return false;
    }
    JxlEncoderCloseInput(enc.get());
    samples = std::vector<uint8_t>();
    std::vector<uint8_t> buffer(65536);
    size_t used = 0;
    for (;;) {
        uint8_t* next = buffer.data() + used;
        size_t avail = buffer.size() - used;
        const JxlEncoderStatus status = JxlEncoderProcessOutput(enc.get(), &next, &avail);
        used = size_t(next - buffer.data());
        if (status == JXL_ENC_SUCCESS)
            break;
        if (status != JXL_ENC_NEED_MORE_OUTPUT) {
            err = Error::WriteFailed;
            return false;
        }
        buffer.resize(buffer.size() * 2);
    }
    out = QByteArray(reinterpret_cast<const char*>(buffer.data()), qsizetype(used));
    return true;
}

}  // namespace engine::codecs
