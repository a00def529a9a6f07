#include "engine/codecs/codecs.h"

#include "engine/codecs/jpeg_lossless.h"
#include "engine/codecs/metadata_io.h"
#include "platform/file_read.h"
#include "platform/file_replace.h"


namespace engine::codecs {

// AVIF and HEIC share the ISO base media file: an "ftyp" box whose major and
// compatible brands say what the file holds.
static Format isoBrandFormat(const QByteArray& head) {
    if (head.size() < 16 || memcmp(head.constData() + 4, "ftyp", 4) != 0)
        return UnknownFormat;
    const auto* d = reinterpret_cast<const uchar*>(head.constData());
    const qint64 boxSize = qint64(d[0]) << 24 | d[1] << 16 | d[2] << 8 | d[3];
    const qint64 end = qMin<qint64>(boxSize, head.size());
    bool heif = false;
    for (qint64 pos = 8; pos + 4 <= end; pos += pos == 8 ? 8 : 4) {  // the minor version follows the major brand
        const QByteArray brand = head.mid(pos, 4);
        if (brand == "avif" || brand == "avis")
            return Avif;
        if (brand == "heic" || brand == "heix" || brand == "heim" || brand == "heis" || brand == "hevc" ||
            brand == "hevx" || brand == "mif1" || brand == "msf1")
            heif = true;  // libheif reads HEVC pictures, and AV1 ones without the AVIF brand
    }
    return heif ? Heif : UnknownFormat;
}

Format detectFormat(const QByteArray& head) {
    auto starts = [&](const char* magic, int n) {
        return head.size() >= n && memcmp(head.constData(), magic, size_t(n)) == 0;
    };
    if (starts("BM", 2))
        return Bmp;
    if (starts("\xFF\xD8\xFF", 3))
        return Jpeg;
    if (starts("GIF87a", 6) || starts("GIF89a", 6))
        return Gif;
    if (starts("II*\0", 4) || starts("MM\0*", 4) || starts("II+\0", 4) || starts("MM\0+", 4))
        return Tiff;  // classic TIFF and BigTIFF, both byte orders
    if (starts("\x89PNG\r\n\x1A\n", 8))
        return Png;
    if (starts("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
        return Fpx;  // an OLE2 compound file; the FPX decoder checks the rest
    if (starts("RIFF", 4) && head.size() >= 12 && memcmp(head.constData() + 8, "WEBP", 4) == 0)
        return WebP;
    if (starts("\0\0\0\x0CjP  \r\n\x87\n", 12))
        return Jp2;
    if (starts("\xFF\x4F\xFF\x51", 4))
        return J2k;
    if (starts("\0\0\0\x0CJXL \r\n\x87\n", 12) || starts("\xFF\x0A", 2))
        return Jxl;
    if (const Format f = isoBrandFormat(head); f != UnknownFormat)
        return f;
    if (head.size() >= 4 && uchar(head[0]) == 0x0A && uchar(head[1]) <= 5 && uchar(head[2]) <= 1)
        return Pcx;
    return UnknownFormat;
}

bool decode(const QByteArray& data, Decoded& out, Error& err) {
    out = Decoded();
    err = Error::None;
    bool ok = false;
    const Format format = detectFormat(data);
    switch (format) {
    case Bmp: ok = decodeBmp(data, out, err); break;
    case Jpeg: ok = decodeJpeg(data, out, err); break;
    case Gif: ok = decodeGif(data, out, err); break;
    case Tiff: ok = decodeTiff(data, out, err); break;
    case Png: ok = decodePng(data, out, err); break;
    case Fpx: ok = decodeFpx(data, out, err); break;
    case Pcx: ok = decodePcx(data, out, err); break;
    case WebP: ok = decodeWebp(data, out, err); break;
    case Avif: ok = decodeAvif(data, out, err); break;
    case Heif: ok = decodeHeif(data, out, err); break;
    case Jxl: ok = decodeJxl(data, out, err); break;
    case Jp2: case J2k: ok = decodeJpeg2000(data, out, err); break;
    default: err = Error::UnknownFormat; return false;
    }
    if (!ok) {
        if (err == Error::None)
            err = Error::Damaged;
        out = Decoded();
        return false;
    }
    if (out.picture.isNull()) {
        err = Error::Damaged;
        return false;
    }
    // JPEG and the newer formats read theirs while decoding.
    if ((format == Png || format == Tiff) && out.picture.metadata.isEmpty())
        out.picture.metadata = readMetadata(data);
    // From here on the pixels are those the lineage describes.
    out.picture.lineage.pixelsKey = out.picture.image.cacheKey();
    out.format = format;
    return true;
}

static bool readWhole(const QString& path, QByteArray& data, Error& err) {
    switch (platform::readRegularFile(path, kMaxFileBytes, data)) {
    case platform::ReadFailure::None: return true;
    case platform::ReadFailure::Missing: err = Error::FileMissing; return false;
    case platform::ReadFailure::TooLarge: err = Error::TooLarge; return false;
    case platform::ReadFailure::NotRegularFile:
    case platform::ReadFailure::Unreadable: err = Error::FileUnreadable; return false;
    }
    err = Error::FileUnreadable;
    return false;
}

bool decodeFile(const QString& path, Decoded& out, Error& err) {
    QByteArray data;
    if (!readWhole(path, data, err))
        return false;
    return decode(data, out, err);
}

bool readFileInfo(const QString& path, FileInfo& info, Error& err) {
    // Decoding the whole file is the one check every format shares; the picture
    // is dropped at once (implicit sharing keeps this a single decode).
    Decoded d;
    info = FileInfo();
    if (!decodeFile(path, d, err))
        return false;
    info.format = d.format;
    info.width = d.picture.width();
    info.height = d.picture.height();
    info.bits = d.picture.bits;
    return true;
}

bool encode(Format format, const Picture& original, const EncodeOptions& opt, QByteArray& out, Error& err) {
    out.clear();
    err = Error::None;
    if (original.isNull()) {
        err = Error::NoPicture;
        return false;
    }
    // The encoders see the metadata as it is to be written: true for the
    // picture as it is now, or none for a format that cannot hold it.
    Picture pic = original;
    pic.metadata = holdsMetadata(format) ? metadataForSave(original) : Metadata();
    bool ok = false;
    switch (format) {
    case Bmp: ok = encodeBmp(pic, opt, out, err); break;
    case Jpeg: ok = encodeJpegLosslessly(pic, opt, out) || encodeJpeg(pic, opt, out, err); break;
    case Gif: ok = encodeGif(pic, opt, out, err); break;
    case Tiff: ok = encodeTiff(pic, opt, out, err); break;
    case Png: ok = encodePng(pic, opt, out, err); break;
    case Fpx: ok = encodeFpx(pic, opt, out, err); break;
    case Pcx: ok = encodePcx(pic, opt, out, err); break;
    case WebP: ok = encodeWebp(pic, opt, out, err); break;
    case Avif: ok = encodeAvif(pic, opt, out, err); break;
    case Heif: ok = encodeHeif(pic, opt, out, err); break;
    case Jxl: ok = encodeJxl(pic, opt, out, err); break;
    case Jp2: case J2k: ok = encodeJpeg2000(format, pic, opt, out, err); break;
    default: err = Error::BadArgument; return false;
    }
    if (!ok && err == Error::None)
        err = Error::WriteFailed;
    // A file that cannot take the metadata is still written, with the
    // pixels, which matter most; the EXIF block is the usual culprit (too
    // large for a JPEG segment), so the rest is tried without it first.
    if (ok && (format == Jpeg || format == Png || format == Tiff) && !embedMetadata(out, pic.metadata)) {
        Metadata rest = pic.metadata;
        rest.exif.clear();
        embedMetadata(out, rest);
    }
    return ok;
}

bool saveFile(const QString& path, Format format, const Picture& pic, const EncodeOptions& opt, Error& err,
              FileWrite mode) {
    QByteArray bytes;
    if (!encode(format, pic, opt, bytes, err))
        return false;
    const platform::WriteResult written =
        mode == FileWrite::NewPrivate ? platform::createPrivateFile(path, bytes) : platform::replaceFile(path, bytes);
    if (!written.ok()) {
        err = Error::WriteFailed;
        return false;
    }
    return true;
}

}  // namespace engine::codecs
