// HEIC (HEVC pictures in a HEIF file) through libheif, from and to memory. The
// primary picture is read, in libheif's own colour conversion: one with an
// alpha channel is a 32-bit picture (the alpha itself is not kept: the store
// has none), any other 24-bit. (Telling a monochrome file from a colour one
// would cost a second decode of every picture; HEIC files are colour in
// practice, grey ones open as 24-bit.) libheif applies the file's turn, mirror
// and crop itself. HEIF has no comment; its ICC profile, EXIF and XMP are read
// and written. Writing uses libheif's HEVC encoder (x265 in Debian).
#include "engine/codecs/c_deleter.h"
#include "engine/codecs/codec_support.h"
#include "engine/codecs/codecs.h"
#include "engine/codecs/exif_orientation.h"
#include "engine/codecs/pixel_rows.h"

#include <cstring>
#include <memory>

#include <libheif/heif.h>

namespace engine::codecs {

namespace {

using ContextDeleter = CDeleter<heif_context_free>;
using HandleDeleter = CDeleter<heif_image_handle_release>;
using ImageDeleter = CDeleter<heif_image_release>;
using EncoderDeleter = CDeleter<heif_encoder_release>;
using OptionsDeleter = CDeleter<heif_decoding_options_free>;

Error errorOf(const heif_error& e) {
    if (e.code == heif_error_Memory_allocation_error)
        return e.subcode == heif_suberror_Security_limit_exceeded ? Error::TooLarge : Error::OutOfMemory;
    if (e.subcode == heif_suberror_Security_limit_exceeded)
        return Error::TooLarge;
    if (e.code == heif_error_Unsupported_feature || e.code == heif_error_Unsupported_filetype)
        return Error::Unsupported;
    return Error::Damaged;
}

// The first metadata block of a type ("Exif", or "mime" with the XMP content type).
QByteArray metadataBlock(const heif_image_handle* h, const char* type, const char* contentType = nullptr) {
    heif_item_id ids[16];
    const int n = heif_image_handle_get_list_of_metadata_block_IDs(h, type, ids, 16);
    for (int i = 0; i < n; ++i) {
        if (contentType && strcmp(heif_image_handle_get_metadata_content_type(h, ids[i]), contentType) != 0)
            continue;
        const size_t size = heif_image_handle_get_metadata_size(h, ids[i]);
        if (size == 0 || size > size_t(64) << 20)
            continue;
        QByteArray bytes(qsizetype(size), Qt::Uninitialized);
        if (heif_image_handle_get_metadata(h, ids[i], bytes.data()).code == heif_error_Ok)
            return bytes;
    }
    return QByteArray();
}

QByteArray iccProfile(const heif_image_handle* h) {
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(h);
    if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC)
        return QByteArray();
    const size_t size = heif_image_handle_get_raw_color_profile_size(h);
    if (size == 0 || size > size_t(64) << 20)
        return QByteArray();
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    return heif_image_handle_get_raw_color_profile(h, bytes.data()).code == heif_error_Ok ? bytes : QByteArray();
}

const char kXmpType[] = "application/rdf+xml";

extern "C" heif_error writeToArray(heif_context*, const void* data, size_t size, void* userdata) {
    static_cast<QByteArray*>(userdata)->append(static_cast<const char*>(data), qsizetype(size));
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

}  // namespace

bool decodeHeif(const QByteArray& data, Decoded& out, Error& err) {
    std::unique_ptr<heif_context, ContextDeleter> ctx(heif_context_alloc());
    if (!ctx) {
        err = Error::OutOfMemory;
        return false;
    }
    heif_context_set_maximum_image_size_limit(ctx.get(), kMaxSide);
    heif_error e = heif_context_read_from_memory_without_copy(ctx.get(), data.constData(), size_t(data.size()), nullptr);
    heif_image_handle* rawHandle = nullptr;
    if (e.code == heif_error_Ok)
        e = heif_context_get_primary_image_handle(ctx.get(), &rawHandle);
    std::unique_ptr<heif_image_handle, HandleDeleter> handle(rawHandle);
    if (e.code != heif_error_Ok || !handle) {
        err = errorOf(e);
        return false;
    }
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
    // A turn swaps the sides; the limits do not care which side is which.
    if (width <= 0 || height <= 0 || !sizeAllowed(width, height, alpha ? 32 : 24)) {
        err = width <= 0 || height <= 0 ? Error::Damaged : Error::TooLarge;
        return false;
    }
    std::unique_ptr<heif_decoding_options, OptionsDeleter> options(heif_decoding_options_alloc());
    options->convert_hdr_to_8bit = 1;
    heif_image* rawImage = nullptr;
    e = heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
    std::unique_ptr<heif_image, ImageDeleter> image(rawImage);
    if (e.code != heif_error_Ok || !image) {
        err = errorOf(e);
        return false;
    }
    const heif_image* src = image.get();
    const heif_channel channel = heif_channel_interleaved;
    const int bits = alpha ? 32 : 24;
    const int w = heif_image_get_width(src, channel), h = heif_image_get_height(src, channel);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(src, channel, &stride);
    Picture pic;
    if (!plane || heif_image_get_bits_per_pixel_range(src, channel) != 8) {
        err = Error::Unsupported;
        return false;
    }
    if (!support::allocate(pic.image, w, h, bits, err))
        return false;
    pic.bits = bits;
    const int bytesPerPixel = bits / 8;
    for (int y = 0; y < h; ++y) {
        uchar* d = pic.image.scanLine(y);
        memcpy(d, plane + qsizetype(y) * stride, size_t(w) * size_t(bytesPerPixel));
        rows::swapRedBlue(d, w, bytesPerPixel);
    }
    if (bits == 32)
        rows::makeOpaque(pic.image);
    pic.metadata.icc = iccProfile(handle.get());
    pic.metadata.exif = exifTiffPart(metadataBlock(handle.get(), "Exif"));
    pic.metadata.xmp = metadataBlock(handle.get(), "mime", kXmpType);
    out.picture = pic;
    return true;
}

bool encodeHeif(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err) {
    support::SampleSource src;
    if (!support::sampleSource(pic, false, src, err))
        return false;
    const QImage& image = src.image;
    const int w = image.width(), h = image.height();
    std::unique_ptr<heif_context, ContextDeleter> ctx(heif_context_alloc());
    heif_encoder* rawEncoder = nullptr;
    if (!ctx || heif_context_get_encoder_for_format(ctx.get(), heif_compression_HEVC, &rawEncoder).code != heif_error_Ok) {
        err = Error::Unsupported;  // no HEVC encoder in this libheif
        return false;
    }
    std::unique_ptr<heif_encoder, EncoderDeleter> encoder(rawEncoder);
    heif_encoder_set_lossy_quality(encoder.get(), qBound(1, opt.jpegQuality, 100));
    heif_encoder_set_parameter_string(encoder.get(), "preset", "fast");
    heif_image* rawImage = nullptr;
    const heif_channel channel = heif_channel_interleaved;
    heif_error e = heif_image_create(w, h, heif_colorspace_RGB,
                                     pic.bits == 32 ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &rawImage);
    std::unique_ptr<heif_image, ImageDeleter> img(rawImage);
    if (e.code == heif_error_Ok)
        e = heif_image_add_plane(img.get(), channel, w, h, 8);
    int stride = 0;
    uint8_t* plane = e.code == heif_error_Ok ? heif_image_get_plane(img.get(), channel, &stride) : nullptr;
    if (!plane) {
        err = Error::OutOfMemory;
        return false;
    }
    const int bytesPerPixel = pic.bits / 8;
    for (int y = 0; y < h; ++y) {
        uint8_t* d = plane + qsizetype(y) * stride;
        memcpy(d, image.constScanLine(y), size_t(w) * size_t(bytesPerPixel));  // the store's fourth byte is 0xFF: opaque
        rows::swapRedBlue(d, w, bytesPerPixel);
    }
    const Metadata& meta = pic.metadata;
    if (!meta.icc.isEmpty())
        heif_image_set_raw_color_profile(img.get(), "prof", meta.icc.constData(), size_t(meta.icc.size()));
    heif_image_handle* rawHandle = nullptr;
    e = heif_context_encode_image(ctx.get(), img.get(), encoder.get(), nullptr, &rawHandle);
    std::unique_ptr<heif_image_handle, HandleDeleter> handle(rawHandle);
    if (e.code != heif_error_Ok) {
        err = Error::WriteFailed;
        return false;
    }
    if (!meta.exif.isEmpty())
        heif_context_add_exif_metadata(ctx.get(), handle.get(), meta.exif.constData(), int(meta.exif.size()));
    if (!meta.xmp.isEmpty())
        heif_context_add_XMP_metadata(ctx.get(), handle.get(), meta.xmp.constData(), int(meta.xmp.size()));
    heif_writer writer{1, writeToArray};
    out.clear();
    if (heif_context_write(ctx.get(), &writer, &out).code != heif_error_Ok) {
        out.clear();
        err = Error::WriteFailed;
        return false;
    }
    return true;
}

}  // namespace engine::codecs
