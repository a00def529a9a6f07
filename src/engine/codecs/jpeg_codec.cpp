// JPEG through libjpeg-turbo, from and to memory. Colour pictures decode
// straight into the rows of a Format_BGR888 image (libjpeg-turbo's BGR output
// has that byte order), grey ones into an 8-bit grey palette picture; the EXIF
// orientation is applied so the picture loads upright. A file cut short loads
// with what it holds (libjpeg-turbo pads the missing data, which shows grey)
// and is marked partial.
//
// libjpeg reports fatal errors through error_exit, which must not return: it
// longjmps back to the function that called setjmp. Every object that lives
// across the jump is created before setjmp and reached through a pointer, so
// the jump leaves nothing half-built.
#include "engine/codecs/codec_support.h"
#include "engine/codecs/codecs.h"
#include "engine/codecs/exif_orientation.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace engine::codecs {

namespace {

// A progressive file may hold any number of scans, each one a full pass over
// the picture; real files have around ten. Far more is a decoding bomb.
constexpr int kMaxScans = 1000;

// Huffman coding spends at least one bit on every 8 x 8 block of a scan, so a
// byte of a file stands for at most 512 pixels; arithmetic coding can go far
// lower. A file declaring many times more pixels than it could hold (with a
// wide margin) is refused before the picture is allocated.
constexpr qint64 kMaxPixelsPerByte = 4096;
constexpr qint64 kMaxPixelsPerByteArithmetic = 65536;

// The name an APP1 segment holding an XMP packet starts with.
const QByteArray kXmpSignature = QByteArrayLiteral("http://ns.adobe.com/xap/1.0/\0");

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
    bool truncated = false;  // libjpeg hit the end of the data and padded it
    bool tooManyScans = false;
    bool tooBig = false;
    bool unsupported = false;  // a valid file using a feature libjpeg lacks (12-bit samples)
};

extern "C" void onErrorExit(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (e->pub.msg_code == JERR_IMAGE_TOO_BIG || e->pub.msg_code == JERR_NO_BACKING_STORE)
        e->tooBig = true;  // a side over libjpeg's own limit, or working memory over ours
    if (e->pub.msg_code == JERR_BAD_PRECISION || e->pub.msg_code == JERR_NOT_COMPILED)
        e->unsupported = true;
    longjmp(e->jump, 1);
}

extern "C" void onMessage(j_common_ptr cinfo, int level) {
    // Warnings (level -1) are not printed; the one that matters, data ending
    // early, is remembered so the picture is marked partial.
    auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (level < 0 && e->pub.msg_code == JWRN_JPEG_EOF)
        e->truncated = true;
}

extern "C" void onOutputMessage(j_common_ptr) {}

extern "C" void onProgress(j_common_ptr cinfo) {
    if (cinfo->is_decompressor) {
        auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
        if (d->input_scan_number > kMaxScans) {
            reinterpret_cast<ErrorManager*>(cinfo->err)->tooManyScans = true;
            longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
        }
    }
}

void initErrors(ErrorManager& e) {
    jpeg_std_error(&e.pub);
    e.pub.error_exit = onErrorExit;
    e.pub.emit_message = onMessage;
    e.pub.output_message = onOutputMessage;
}

// Everything the decoder keeps across the setjmp boundary.
struct DecodeState {
    QImage image;
    QByteArray comment;
    Metadata metadata;
    int orientation = 1;
    bool gray = false;
    bool cmyk = false;
    bool adobeInverted = false;
    bool partial = false;
    Error err = Error::None;
    std::vector<uchar> cmykRow;
};

void readMarkers(j_decompress_ptr cinfo, DecodeState& s) {
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
        if (m->marker == JPEG_COM) {
            if (!s.comment.isEmpty())
                s.comment.append('\n');
            s.comment.append(reinterpret_cast<const char*>(m->data), qsizetype(m->data_length));
        } else if (m->marker == JPEG_APP0 + 1) {
            const QByteArray payload(reinterpret_cast<const char*>(m->data), qsizetype(m->data_length));
            if (payload.startsWith(QByteArrayLiteral("Exif\0\0")) && s.metadata.exif.isEmpty()) {
                s.orientation = exifOrientationFromApp1(m->data, m->data_length);
                s.metadata.exif = payload.mid(6);
            } else if (payload.startsWith(kXmpSignature) && s.metadata.xmp.isEmpty()) {
                s.metadata.xmp = payload.mid(kXmpSignature.size());
            }
        }
    }
    // A profile too large for one segment is split over several, in order.
    JOCTET* icc = nullptr;
    unsigned int iccSize = 0;
    if (jpeg_read_icc_profile(cinfo, &icc, &iccSize) && icc) {
        s.metadata.icc = QByteArray(reinterpret_cast<const char*>(icc), qsizetype(iccSize));
        free(icc);
    }
}

void resolutionFrom(j_decompress_ptr cinfo, QImage& image) {
    // JFIF density: unit 1 dots per inch, 2 dots per centimetre.
    if (cinfo->X_density == 0 || cinfo->Y_density == 0)
        return;
    double perMetre = 0;
    if (cinfo->density_unit == 1)
        perMetre = 100.0 / 2.54;
    else if (cinfo->density_unit == 2)
        perMetre = 100.0;
    if (perMetre > 0) {
        image.setDotsPerMeterX(qRound(cinfo->X_density * perMetre));
        image.setDotsPerMeterY(qRound(cinfo->Y_density * perMetre));
    }
}

// CMYK (and YCCK, which libjpeg turns into CMYK) to BGR. Adobe's files store
// the inks inverted, which is nearly every CMYK JPEG there is.
void cmykToBgr(const uchar* in, uchar* out, int width, bool inverted) {
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
        int c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c; m = 255 - m; y = 255 - y; k = 255 - k;
        }
        out[0] = uchar((y * k + 127) / 255);
        out[1] = uchar((m * k + 127) / 255);
        out[2] = uchar((c * k + 127) / 255);
    }
}

bool decodeInto(const QByteArray& data, DecodeState& s) {
    jpeg_decompress_struct cinfo;
    ErrorManager jerr;
    jpeg_progress_mgr progress;
    initErrors(jerr);
    cinfo.err = &jerr.pub;
    if (setjmp(jerr.jump)) {
        if (s.err == Error::None)
            s.err = jerr.tooBig ? Error::TooLarge
                    : (jerr.tooManyScans || jerr.unsupported) ? Error::Unsupported : Error::Damaged;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    // A progressive file keeps all its coefficients in memory (two bytes a
    // sample), allocated before any data is read: a small hostile file
    // declaring a huge picture must not get that far.
    cinfo.mem->max_memory_to_use = long(kMaxPixelBytes + kMaxPixelBytes / 2);
    progress.progress_monitor = onProgress;
    cinfo.progress = &progress;
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.constData()), static_cast<unsigned long>(data.size()));
    jpeg_save_markers(&cinfo, JPEG_COM, 0xFFFF);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        s.err = Error::Damaged;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    readMarkers(&cinfo, s);
    switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
        cinfo.out_color_space = JCS_GRAYSCALE;
        s.gray = true;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        cinfo.out_color_space = JCS_CMYK;
        s.cmyk = true;
        s.adobeInverted = cinfo.saw_Adobe_marker;
        break;
    default:
        cinfo.out_color_space = JCS_EXT_BGR;
        break;
    }
    const int bits = s.gray ? 8 : 24;
    // Over the limits is TooLarge whatever the data, and so is a file that
    // keeps all its coefficients (progressive, or one scan per component)
    // when they would need more than libjpeg may use; otherwise a file far
    // too small for the picture it declares is damaged.
    if (!sizeAllowed(cinfo.image_width, cinfo.image_height, bits)) {
        s.err = Error::TooLarge;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (cinfo.progressive_mode || cinfo.comps_in_scan < cinfo.num_components) {
        qint64 coefficientBytes = 0;
        for (int i = 0; i < cinfo.num_components; ++i)
            coefficientBytes += qint64(cinfo.comp_info[i].width_in_blocks) * cinfo.comp_info[i].height_in_blocks *
                                qint64(sizeof(JBLOCK));
        if (coefficientBytes > cinfo.mem->max_memory_to_use) {
            s.err = Error::TooLarge;
            jpeg_destroy_decompress(&cinfo);
            return false;
        }
    }
    const qint64 pixels = qint64(cinfo.image_width) * qint64(cinfo.image_height);
    const qint64 ratio = cinfo.arith_code ? kMaxPixelsPerByteArithmetic : kMaxPixelsPerByte;
    if (pixels / ratio > data.size()) {
        s.err = Error::Damaged;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (!support::allocate(s.image, int(qMin<JDIMENSION>(cinfo.image_width, 0x7FFFFFFF)),
                           int(qMin<JDIMENSION>(cinfo.image_height, 0x7FFFFFFF)), bits, s.err)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_width != JDIMENSION(s.image.width()) || cinfo.output_height != JDIMENSION(s.image.height()) ||
        cinfo.output_components != (s.gray ? 1 : (s.cmyk ? 4 : 3))) {
        s.err = Error::Damaged;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (s.cmyk)
        s.cmykRow.resize(size_t(cinfo.output_width) * 4);
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = int(cinfo.output_scanline);
        if (s.cmyk) {
            JSAMPROW row = s.cmykRow.data();
            if (jpeg_read_scanlines(&cinfo, &row, 1) != 1)
                break;
            cmykToBgr(s.cmykRow.data(), s.image.scanLine(y), s.image.width(), s.adobeInverted);
            continue;
        }
        // Several rows at a time: libjpeg-turbo then upsamples a whole
        // row group straight into the picture.
        JSAMPROW rows[16];
        const int n = qMin<int>(16, int(cinfo.output_height) - y);
        for (int i = 0; i < n; ++i)
            rows[i] = s.image.scanLine(y + i);
        if (jpeg_read_scanlines(&cinfo, rows, JDIMENSION(n)) == 0)
            break;
    }
    // Data that ended early leaves libjpeg's grey padding in the rest of the
    // picture: what was decoded is kept and the picture marked partial. Rows
    // never reached are made grey the same way. A missing end marker after
    // complete data is nothing to report.
    if (cinfo.output_scanline < cinfo.output_height || jerr.truncated) {
        for (int y = int(cinfo.output_scanline); y < s.image.height(); ++y)
            memset(s.image.scanLine(y), 0x80, size_t(s.image.bytesPerLine()));
        s.partial = true;
        resolutionFrom(&cinfo, s.image);
        jpeg_destroy_decompress(&cinfo);
        return true;
    }
    resolutionFrom(&cinfo, s.image);
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

struct EncodeState {
    const QImage* image = nullptr;
    bool gray = false;
    QList<QRgb> table;
    std::vector<uchar> grayRow;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    QByteArray comment;
    int quality = 75;
};

bool encodeInto(EncodeState& s) {
    jpeg_compress_struct cinfo;
    ErrorManager jerr;
    initErrors(jerr);
    cinfo.err = &jerr.pub;
    if (setjmp(jerr.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &s.buffer, &s.size);
    const QImage& img = *s.image;
    cinfo.image_width = JDIMENSION(img.width());
    cinfo.image_height = JDIMENSION(img.height());
    cinfo.input_components = s.gray ? 1 : 3;
    cinfo.in_color_space = s.gray ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, s.quality, TRUE);
    if (img.dotsPerMeterX() > 0 && img.dotsPerMeterY() > 0) {
        cinfo.density_unit = 1;
        cinfo.X_density = UINT16(qBound(1, qRound(img.dotsPerMeterX() * 0.0254), 65535));
        cinfo.Y_density = UINT16(qBound(1, qRound(img.dotsPerMeterY() * 0.0254), 65535));
    }
    jpeg_start_compress(&cinfo, TRUE);
    if (!s.comment.isEmpty())
        jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(s.comment.constData()),
                          unsigned(s.comment.size()));
    if (s.gray)
        s.grayRow.resize(size_t(img.width()));
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = int(cinfo.next_scanline);
        if (s.gray) {
            // The palette need not be the identity ramp: write each entry's grey.
            const uchar* in = img.constScanLine(y);
            for (int x = 0; x < img.width(); ++x)
                s.grayRow[size_t(x)] = in[x] < s.table.size() ? uchar(qRed(s.table[in[x]])) : 0;
            JSAMPROW row = s.grayRow.data();
            jpeg_write_scanlines(&cinfo, &row, 1);
        } else {
            JSAMPROW rows[16];
            const int n = qMin<int>(16, img.height() - y);
            for (int i = 0; i < n; ++i)
                rows[i] = const_cast<JSAMPROW>(img.constScanLine(y + i));
            jpeg_write_scanlines(&cinfo, rows, JDIMENSION(n));
        }
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

bool decodeJpeg(const QByteArray& data, Decoded& out, Error& err) {
    DecodeState s;
    if (!decodeInto(data, s)) {
        err = s.err == Error::None ? Error::Damaged : s.err;
        return false;
    }
    Picture pic;
    pic.image = s.image;
    pic.bits = s.gray ? 8 : 24;
    if (s.gray)
        pic.image.setColorTable(grayTable(256));
    pic.metadata = s.metadata;
    // Shared, not copied: kept for saving without a new compression (not for
    // a file cut short, whose blocks are not all there).
    if (!s.partial)
        pic.lineage.jpegFile = data;
    if (!support::applyOrientation(pic, s.orientation, err))
        return false;
    out.picture = pic;
    out.comment = support::decodeComment(s.comment);
    out.partial = s.partial;
    return true;
}

bool encodeJpeg(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err) {
    EncodeState s;
    QImage image = pic.image;
    if (pic.bits == 8 && isGray(pic) && image.format() == QImage::Format_Indexed8) {
        s.gray = true;
        s.table = image.colorTable();
    } else if (pic.bits == 24) {
        if (image.format() != QImage::Format_BGR888)
            image = image.convertToFormat(QImage::Format_BGR888);
    } else {
        err = Error::Unsupported;
        return false;
    }
    if (image.isNull()) {
        err = Error::OutOfMemory;
        return false;
    }
    s.image = &image;
    s.quality = qBound(1, opt.jpegQuality, 100);
    s.comment = support::encodeComment(opt.comment, 65533);
    const bool ok = encodeInto(s);
    if (ok)
        out = QByteArray(reinterpret_cast<const char*>(s.buffer), qsizetype(s.size));
    free(s.buffer);
    if (!ok) {
        err = Error::WriteFailed;
        return false;
    }
    return true;
}

}  // namespace engine::codecs
