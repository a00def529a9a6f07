#include "engine/codecs/jpeg_reduced.h"

#include "engine/codecs/codec_support.h"
#include "engine/codecs/exif_orientation.h"
#include "engine/picture.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace engine::codecs {

namespace {

struct Errors {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

extern "C" void reducedErrorExit(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<Errors*>(cinfo->err)->jump, 1);
}
extern "C" void reducedMessage(j_common_ptr, int) {}
extern "C" void reducedOutput(j_common_ptr) {}

// Everything that lives across the setjmp boundary.
struct State {
    jpeg_decompress_struct cinfo;
    Errors err;
    QImage image;
    int orientation = 1;
};

bool decode(const QByteArray& data, QSize atLeast, State& s) {
    jpeg_decompress_struct& cinfo = s.cinfo;
    jpeg_std_error(&s.err.pub);
    s.err.pub.error_exit = reducedErrorExit;
    s.err.pub.emit_message = reducedMessage;
    s.err.pub.output_message = reducedOutput;
    cinfo.err = &s.err.pub;
    if (setjmp(s.err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.constData()), static_cast<unsigned long>(data.size()));
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || cinfo.progressive_mode ||
        !sizeAllowed(cinfo.image_width, cinfo.image_height, 24) ||
        (cinfo.jpeg_color_space != JCS_YCbCr && cinfo.jpeg_color_space != JCS_GRAYSCALE &&
         cinfo.jpeg_color_space != JCS_RGB)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m && s.orientation == 1; m = m->next)
        s.orientation = exifOrientationFromApp1(m->data, m->data_length);
    // The wanted size in the file's own orientation.
    QSize want = atLeast;
    if (s.orientation >= 5)
        want.transpose();
    int denom = 0;
    for (int d : {8, 4, 2})
        if (qint64(cinfo.image_width) >= qint64(want.width()) * d && qint64(cinfo.image_height) >= qint64(want.height()) * d) {
            denom = d;
            break;
        }
    if (denom == 0) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.scale_num = 1;
    cinfo.scale_denom = unsigned(denom);
    cinfo.dct_method = JDCT_IFAST;
    cinfo.do_fancy_upsampling = FALSE;
    cinfo.out_color_space = JCS_EXT_BGR;  // grey files too: the stand-in is only painted
    jpeg_calc_output_dimensions(&cinfo);
    s.image = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_BGR888);
    if (s.image.isNull()) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_width != JDIMENSION(s.image.width()) || cinfo.output_height != JDIMENSION(s.image.height()) ||
        cinfo.output_components != 3) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = s.image.scanLine(int(cinfo.output_scanline));
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1)
            break;  // short data: the rows not reached stay as they are
    }
    jpeg_abort_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

}  // namespace

QImage decodeJpegReduced(const QByteArray& data, QSize atLeast, QSize& fullSize) {
    if (atLeast.isEmpty())
        return QImage();
    State s;
    if (!decode(data, atLeast, s))
        return QImage();
    fullSize = QSize(int(s.cinfo.image_width), int(s.cinfo.image_height));
    if (s.orientation >= 5)
        fullSize.transpose();
    Picture p{s.image, 24};
    Error err = Error::None;
    if (s.orientation != 1 && !support::applyOrientation(p, s.orientation, err))
        return QImage();
    return p.image;
}

}  // namespace engine::codecs
