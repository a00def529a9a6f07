// JPEG 2000 through OpenJPEG, from and to memory: JP2 files and bare
// codestreams (.j2k, .jpc). One component is an 8-bit grey picture, grey with
// alpha and RGB with alpha 32-bit (the alpha itself is not kept: the store has
// none), RGB 24-bit; samples of other precisions are scaled to 8 bits. The
// comment is the codestream's COM marker, written as UTF-8 (read by our own
// parser: OpenJPEG does not hand it out). Pictures are written lossless (the
// reversible 5/3 wavelet), without a colour profile (OpenJPEG 2.5.0 cannot
// write one); a JP2 file's profile is read.
#include "engine/codecs/c_deleter.h"
#include "engine/codecs/codec_support.h"
#include "engine/codecs/codecs.h"

#include <QThread>

#include <cstring>
#include <memory>

#include <openjpeg.h>

namespace engine::codecs {

namespace {

// OpenJPEG keeps every decoded sample as a 32-bit integer, four times our
// store for 8-bit samples: its working memory is bounded too, before it
// allocates.
constexpr qint64 kMaxLibraryBytes = 2 * kMaxPixelBytes;

// The comment OpenJPEG writes into every codestream it makes when given none:
// a mark of the writer, not a comment of the picture.
const char kWriterMark[] = "Created by OpenJPEG version";

using CodecDeleter = CDeleter<opj_destroy_codec>;
using StreamDeleter = CDeleter<opj_stream_destroy>;
using ImageDeleter = CDeleter<opj_image_destroy>;

struct Memory {
    const uchar* data = nullptr;  // reading
    QByteArray* out = nullptr;    // writing
    qint64 size = 0;
    qint64 pos = 0;
};

extern "C" OPJ_SIZE_T readMemory(void* buffer, OPJ_SIZE_T n, void* user) {
    auto* m = static_cast<Memory*>(user);
    const qint64 left = m->size - m->pos;
    if (left <= 0)
        return OPJ_SIZE_T(-1);
    const qint64 count = qMin<qint64>(left, qint64(n));
    memcpy(buffer, m->data + m->pos, size_t(count));
    m->pos += count;
    return OPJ_SIZE_T(count);
}

extern "C" OPJ_SIZE_T writeMemory(void* buffer, OPJ_SIZE_T n, void* user) {
    auto* m = static_cast<Memory*>(user);
    if (m->pos + qint64(n) > m->out->size())
        m->out->resize(m->pos + qint64(n));
    memcpy(m->out->data() + m->pos, buffer, n);
    m->pos += qint64(n);
    m->size = m->out->size();
    return n;
}

extern "C" OPJ_OFF_T skipMemory(OPJ_OFF_T n, void* user) {
    auto* m = static_cast<Memory*>(user);
    if (m->out) {
        m->pos += n;
        return n;
    }
    const qint64 target = qBound<qint64>(0, m->pos + n, m->size);
    const OPJ_OFF_T moved = target - m->pos;
    m->pos = target;
    return moved == n ? n : -1;
}

extern "C" OPJ_BOOL seekMemory(OPJ_OFF_T n, void* user) {
    auto* m = static_cast<Memory*>(user);
    if (n < 0 || (!m->out && n > m->size))
        return OPJ_FALSE;
    m->pos = n;
    return OPJ_TRUE;
}

extern "C" void quiet(const char*, void*) {}

std::unique_ptr<opj_stream_t, StreamDeleter> memoryStream(Memory& m, bool input) {
    std::unique_ptr<opj_stream_t, StreamDeleter> s(opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, input ? OPJ_TRUE : OPJ_FALSE));
    if (!s)
        return s;
    opj_stream_set_user_data(s.get(), &m, nullptr);
    if (input) {
        opj_stream_set_user_data_length(s.get(), OPJ_UINT64(m.size));
        opj_stream_set_read_function(s.get(), readMemory);
    } else {
        opj_stream_set_write_function(s.get(), writeMemory);
    }
    opj_stream_set_skip_function(s.get(), skipMemory);
    opj_stream_set_seek_function(s.get(), seekMemory);
    return s;
}

void silence(opj_codec_t* codec) {
    opj_set_info_handler(codec, quiet, nullptr);
    opj_set_warning_handler(codec, quiet, nullptr);
    opj_set_error_handler(codec, quiet, nullptr);
}

quint32 be32(const uchar* p) { return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3]; }

// Where the codestream starts: at 0 for a bare one, inside the "jp2c" box of a
// JP2 file; -1 when there is none.
qint64 codestreamStart(const QByteArray& data) {
    if (data.startsWith("\xFF\x4F"))
        return 0;
    const auto* d = reinterpret_cast<const uchar*>(data.constData());
    for (qint64 pos = 0; pos + 8 <= data.size();) {
        qint64 length = be32(d + pos);
        qint64 header = 8;
        if (length == 1) {  // a 64-bit length follows the type
            if (pos + 16 > data.size())
                return -1;
            length = qint64(be32(d + pos + 8)) << 32 | be32(d + pos + 12);
            header = 16;
        } else if (length == 0) {
            length = data.size() - pos;  // the last box runs to the end
        }
        if (memcmp(d + pos + 4, "jp2c", 4) == 0)
            return pos + header;
        if (length < header || length > data.size() - pos)
            return -1;
        pos += length;
    }
    return -1;
}

// The text of the first COM marker in the main header (before the first
// tile), when it holds text (registration value 1: Latin-1 by the standard,
// UTF-8 by many writers, ours included; decodeComment takes either).
QByteArray codestreamComment(const QByteArray& data) {
    const qint64 start = codestreamStart(data);
    if (start < 0)
        return QByteArray();
    const auto* d = reinterpret_cast<const uchar*>(data.constData());
    const qint64 size = data.size();
    for (qint64 pos = start + 2; pos + 4 <= size;) {
        if (d[pos] != 0xFF)
            return QByteArray();
        const int marker = d[pos + 1];
        if (marker == 0x90 || marker == 0x93 || marker == 0xD9)  // SOT, SOD, EOC: the main header is over
            return QByteArray();
        const qint64 length = qint64(d[pos + 2]) << 8 | d[pos + 3];
        if (length < 2 || length > size - pos - 2)
            return QByteArray();
        if (marker == 0x64 && length >= 4 && (d[pos + 4] << 8 | d[pos + 5]) == 1)
            return QByteArray(reinterpret_cast<const char*>(d + pos + 6), qsizetype(length - 4));
        pos += 2 + length;
    }
    return QByteArray();
}

// One component's sample as 8 bits.
inline uchar sample8(int v, int precision, bool isSigned) {
    if (isSigned)
        v += 1 << (precision - 1);
    const int maxValue = (1 << precision) - 1;
    v = qBound(0, v, maxValue);
    if (precision == 8)
        return uchar(v);
    return uchar((qint64(v) * 255 + maxValue / 2) / maxValue);
}

}  // namespace

bool decodeJpeg2000(const QByteArray& data, Decoded& out, Error& err) {
    const bool jp2 = !data.startsWith("\xFF\x4F");
    std::unique_ptr<opj_codec_t, CodecDeleter> codec(opj_create_decompress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
    Memory m{reinterpret_cast<const uchar*>(data.constData()), nullptr, data.size(), 0};
    auto stream = memoryStream(m, true);
    if (!codec || !stream) {
        err = Error::OutOfMemory;
        return false;
    }
    silence(codec.get());
    opj_dparameters_t params;
    opj_set_default_decoder_parameters(&params);
    opj_image_t* raw = nullptr;
    // Strict: a codestream that ends early is refused, not decoded in part.
    const bool headerRead = opj_setup_decoder(codec.get(), &params) && opj_decoder_set_strict_mode(codec.get(), OPJ_TRUE) &&
                            opj_read_header(stream.get(), codec.get(), &raw);
    std::unique_ptr<opj_image_t, ImageDeleter> image(raw);
    if (!headerRead || !image) {
        err = Error::Damaged;
        return false;
    }
    const qint64 w = qint64(image->x1) - image->x0, h = qint64(image->y1) - image->y0;
    const int n = int(image->numcomps);
    if (w <= 0 || h <= 0 || n < 1) {
        err = Error::Damaged;
        return false;
    }
    if (n > 4 || image->color_space == OPJ_CLRSPC_SYCC || image->color_space == OPJ_CLRSPC_EYCC ||
        image->color_space == OPJ_CLRSPC_CMYK) {
        err = Error::Unsupported;
        return false;
    }
    for (int c = 0; c < n; ++c) {
        const opj_image_comp_t& comp = image->comps[c];
        if (comp.dx != 1 || comp.dy != 1 || comp.prec < 1 || comp.prec > 16) {
            err = Error::Unsupported;  // subsampled components, or samples deeper than 16 bits
            return false;
        }
    }
    const int bits = n == 1 ? 8 : (n == 3 ? 24 : 32);
    if (!sizeAllowed(w, h, bits) || w * h * n * qint64(sizeof(OPJ_INT32)) > kMaxLibraryBytes) {
        err = Error::TooLarge;
        return false;
    }
    opj_codec_set_threads(codec.get(), qBound(1, QThread::idealThreadCount(), 8));
    if (!opj_decode(codec.get(), stream.get(), image.get()) || !opj_end_decompress(codec.get(), stream.get())) {
        err = Error::Damaged;
        return false;
    }
    for (int c = 0; c < n; ++c) {
        const opj_image_comp_t& comp = image->comps[c];
        if (!comp.data || comp.w != OPJ_UINT32(w) || comp.h != OPJ_UINT32(h)) {
            err = Error::Damaged;
            return false;
        }
    }
    Picture pic;
    if (!support::allocate(pic.image, int(w), int(h), bits, err))
        return false;
    pic.bits = bits;
    const opj_image_comp_t* comps = image->comps;
    const bool colour = n >= 3;
    for (int y = 0; y < int(h); ++y) {
        uchar* d = pic.image.scanLine(y);
        const qint64 row = qint64(y) * w;
        for (int x = 0; x < int(w); ++x) {
            const qint64 i = row + x;
            const uchar r = sample8(comps[0].data[i], int(comps[0].prec), comps[0].sgnd);
            if (bits == 8) {
                d[x] = r;
                continue;
            }
            const uchar g = colour ? sample8(comps[1].data[i], int(comps[1].prec), comps[1].sgnd) : r;
            const uchar b = colour ? sample8(comps[2].data[i], int(comps[2].prec), comps[2].sgnd) : r;
            uchar* p = d + x * (bits / 8);
            p[0] = b;
            p[1] = g;
            p[2] = r;
            if (bits == 32)
                p[3] = 0xFF;
        }
    }
    if (bits == 8)
        pic.image.setColorTable(grayTable(256));
    if (image->icc_profile_buf && image->icc_profile_len > 0)
        pic.metadata.icc = QByteArray(reinterpret_cast<const char*>(image->icc_profile_buf), qsizetype(image->icc_profile_len));
    const QByteArray comment = codestreamComment(data);
    if (!comment.startsWith(kWriterMark))
        out.comment = support::decodeComment(comment);
    out.picture = pic;
    return true;
}

bool encodeJpeg2000(Format format, const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err) {
    support::SampleSource src;
    if (!support::sampleSource(pic, true, src, err))
        return false;
    const QImage& image = src.image;
    const bool grey = src.bits == 8;
    const int w = image.width(), h = image.height();
    const int n = src.bits / 8;
    opj_image_cmptparm_t parms[4];
    memset(parms, 0, sizeof parms);
    for (int c = 0; c < n; ++c) {
        parms[c].dx = parms[c].dy = 1;
        parms[c].w = OPJ_UINT32(w);
        parms[c].h = OPJ_UINT32(h);
        parms[c].prec = 8;
    }
    std::unique_ptr<opj_image_t, ImageDeleter> img(
        opj_image_create(OPJ_UINT32(n), parms, grey ? OPJ_CLRSPC_GRAY : OPJ_CLRSPC_SRGB));
    if (!img) {
        err = Error::OutOfMemory;
        return false;
    }
    img->x1 = OPJ_UINT32(w);
    img->y1 = OPJ_UINT32(h);
    if (n == 4)
        img->comps[3].alpha = 1;
    for (int y = 0; y < h; ++y) {
        const uchar* s = image.constScanLine(y);
        const qint64 row = qint64(y) * w;
        for (int x = 0; x < w; ++x) {
            if (grey) {
                img->comps[0].data[row + x] = src.levels[s[x]];
                continue;
            }
            const uchar* p = s + x * n;
            img->comps[0].data[row + x] = p[2];
            img->comps[1].data[row + x] = p[1];
            img->comps[2].data[row + x] = p[0];
            if (n == 4)
                img->comps[3].data[row + x] = 0xFF;  // the store has no alpha: opaque
        }
    }
    // No ICC profile is written: OpenJPEG 2.5.0 aborts (an assertion in
    // opj_jp2_write_colr) when given one.
    opj_cparameters_t params;
    opj_set_default_encoder_parameters(&params);
    params.tcp_numlayers = 1;
    params.tcp_rates[0] = 0;  // lossless
    params.cp_disto_alloc = 1;
    params.irreversible = 0;
    params.tcp_mct = n >= 3 ? 1 : 0;
    // Every resolution level halves the picture: a small one has fewer.
    int levels = 1;
    while (levels < 6 && (qMin(w, h) >> levels) > 0)
        ++levels;
    params.numresolution = levels;
    QByteArray comment = support::encodeComment(opt.comment, 65531);
    if (!comment.isEmpty())
        params.cp_comment = comment.data();
    std::unique_ptr<opj_codec_t, CodecDeleter> codec(opj_create_compress(format == Jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
    out.clear();
    Memory m{nullptr, &out, 0, 0};
    auto stream = memoryStream(m, false);
    if (!codec || !stream) {
        err = Error::OutOfMemory;
        return false;
    }
    silence(codec.get());
    opj_codec_set_threads(codec.get(), qBound(1, QThread::idealThreadCount(), 8));
    const bool ok = opj_setup_encoder(codec.get(), &params, img.get()) &&
                    opj_start_compress(codec.get(), img.get(), stream.get()) && opj_encode(codec.get(), stream.get()) &&
                    opj_end_compress(codec.get(), stream.get());
    if (!ok) {
        out.clear();
        err = Error::WriteFailed;
        return false;
    }
    return true;
}

}  // namespace engine::codecs
