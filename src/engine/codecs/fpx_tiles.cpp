#include "engine/codecs/fpx_tiles.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace engine::codecs::fpx {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void silentMessage(j_common_ptr) {}

void setUpErrors(ErrorManager& em) {
    jpeg_std_error(&em.pub);
    em.pub.error_exit = errorExit;
    em.pub.output_message = silentMessage;
}

}  // namespace

// ---- decoding ----------------------------------------------------------------

// libjpeg's error exit jumps back into this function: nothing with a destructor
// is created between setjmp and the end of the work.
static bool decodeJoined(const uint8_t* bytes, size_t size, int channels, int maxWidth, int maxHeight,
                         TileBuffer& out) {
    jpeg_decompress_struct cinfo;
    ErrorManager em;
    setUpErrors(em);
    cinfo.err = &em.pub;
    if (setjmp(em.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes, static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || cinfo.num_components != channels
        || cinfo.image_width < 1 || cinfo.image_height < 1 || int(cinfo.image_width) > maxWidth
        || int(cinfo.image_height) > maxHeight) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // The FlashPix subtype, not markers inside the tile, says what the samples
    // are: take them unconverted.
    cinfo.jpeg_color_space = JCS_UNKNOWN;
    cinfo.out_color_space = JCS_UNKNOWN;
    // Chroma is upsampled by repeating samples, as the FlashPix reference
    // decoder does: decodes then agree to within rounding.
    cinfo.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != channels) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    out.width = int(cinfo.output_width);
    out.height = int(cinfo.output_height);
    out.channels = channels;
    out.data.assign(size_t(out.width) * size_t(out.height) * size_t(channels), 0);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.data.data() + size_t(cinfo.output_scanline) * size_t(out.width) * size_t(channels);
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1)
            break;
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

bool decodeJpegTile(const uint8_t* data, size_t size, const QByteArray& tables, int channels, int maxWidth,
                    int maxHeight, TileBuffer& out) {
    out = TileBuffer();
    if (!data || size < 4 || channels < 1 || channels > 4)
        return false;
    if (tables.isEmpty())
        return decodeJoined(data, size, channels, maxWidth, maxHeight, out);
    // Shared tables: one stream made of the table segments followed by the
    // tile's own segments (its SOI dropped, the tables' EOI dropped).
    QByteArray head = tables;
    if (head.size() < 4 || uchar(head[0]) != 0xFF || uchar(head[1]) != 0xD8)
        return false;
    if (uchar(head[head.size() - 2]) == 0xFF && uchar(head[head.size() - 1]) == 0xD9)
        head.chop(2);
    size_t skip = (data[0] == 0xFF && data[1] == 0xD8) ? 2 : 0;
    std::vector<uint8_t> joined(size_t(head.size()) + size - skip);
    std::memcpy(joined.data(), head.constData(), size_t(head.size()));
    std::memcpy(joined.data() + head.size(), data + skip, size - skip);
    return decodeJoined(joined.data(), joined.size(), channels, maxWidth, maxHeight, out);
}

// ---- encoding ----------------------------------------------------------------

struct JpegTileEncoder::State {
    jpeg_compress_struct cinfo;
    ErrorManager em;
    bool created = false;
    bool valid = false;
    bool shared = false;
    QByteArray tables;
    unsigned char* buffer = nullptr;
    unsigned long bufferSize = 0;

    ~State() {
        if (created)
            jpeg_destroy_compress(&cinfo);
        std::free(buffer);
    }
    void takeBuffer(QByteArray& out) {
        out = QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(bufferSize));
        std::free(buffer);
        buffer = nullptr;
        bufferSize = 0;
    }
};

static bool setUpCompressor(int channels, int quality, bool subsample, bool shared,
                            jpeg_compress_struct& cinfo, ErrorManager& em, unsigned char** buffer,
                            unsigned long* bufferSize, bool& created) {
    setUpErrors(em);
    cinfo.err = &em.pub;
    if (setjmp(em.jump))
        return false;
    jpeg_create_compress(&cinfo);
    created = true;
    cinfo.image_width = 64;
    cinfo.image_height = 64;
    cinfo.input_components = channels;
    cinfo.in_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.write_JFIF_header = FALSE;
    cinfo.write_Adobe_marker = FALSE;
    cinfo.optimize_coding = FALSE;  // one set of Huffman tables serves every tile
    cinfo.dct_method = JDCT_ISLOW;
    if (channels == 3) {
        const int f = subsample ? 2 : 1;
        cinfo.comp_info[0].h_samp_factor = f;
        cinfo.comp_info[0].v_samp_factor = f;
    }
    if (shared) {
        jpeg_mem_dest(&cinfo, buffer, bufferSize);
        jpeg_write_tables(&cinfo);  // also marks the tables as already written
    }
    return true;
}

JpegTileEncoder::JpegTileEncoder(int channels, int quality, bool subsample, bool sharedTables) : s_(new State) {
    s_->shared = sharedTables;
    if (channels != 1 && channels != 3)
        return;
    quality = std::clamp(quality, 1, 100);
    if (!setUpCompressor(channels, quality, subsample, sharedTables, s_->cinfo, s_->em, &s_->buffer,
                         &s_->bufferSize, s_->created))
        return;
    if (sharedTables)
        s_->takeBuffer(s_->tables);
    s_->valid = true;
}

JpegTileEncoder::~JpegTileEncoder() = default;

bool JpegTileEncoder::isValid() const { return s_->valid; }
const QByteArray& JpegTileEncoder::tables() const { return s_->tables; }

static bool compressTile(jpeg_compress_struct& cinfo, ErrorManager& em, const uint8_t* pixels, bool shared,
                         unsigned char** buffer, unsigned long* bufferSize) {
    if (setjmp(em.jump))
        return false;
    jpeg_mem_dest(&cinfo, buffer, bufferSize);
    jpeg_start_compress(&cinfo, shared ? FALSE : TRUE);
    const size_t stride = size_t(cinfo.image_width) * size_t(cinfo.input_components);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + stride * cinfo.next_scanline);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    return true;
}

bool JpegTileEncoder::encode(const uint8_t* pixels, QByteArray& out) {
    out.clear();
    if (!s_->valid)
        return false;
    if (!compressTile(s_->cinfo, s_->em, pixels, s_->shared, &s_->buffer, &s_->bufferSize)) {
        jpeg_abort_compress(&s_->cinfo);
        s_->valid = false;
        return false;
    }
    s_->takeBuffer(out);
    return !out.isEmpty();
}

}  // namespace engine::codecs::fpx
