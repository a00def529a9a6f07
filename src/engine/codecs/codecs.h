#pragma once
// Picture file formats: detection by content, decoding from memory, encoding to
// memory, and writing a file safely. Every decoder treats its input as hostile:
// it checks every size, offset and count before use and refuses pictures over
// the limits of picture.h with Error::TooLarge.
#include "engine/errors.h"
#include "engine/picture.h"

#include <QByteArray>
#include <functional>
#include <QString>

namespace engine::codecs {

// Format codes as the File object's SaveFile takes them.
enum Format : int {
    Bmp = 0,
    Jpeg = 2,
    Gif = 4,
    Tiff = 5,
    Png = 12,
    Fpx = 13,
    Pcx = 16,
    Jp2 = 17,   // JPEG 2000 in its JP2 file (.jp2)
    J2k = 18,   // a bare JPEG 2000 codestream (.j2k, .jpc)
    WebP = 19,
    Avif = 20,
    Heif = 21,  // HEIC: HEVC pictures in a HEIF file
    Jxl = 22,
    UnknownFormat = -1,
};

// How many leading bytes detectFormat may look at (the brands of an ISO base
// media file sit past the first 16).
constexpr int kDetectBytes = 64;


struct Decoded {
    Picture picture;
    Format format = UnknownFormat;  // the format the picture was read from
    QString comment;  // the file's text comment, empty when it has none
    // Only part of the picture could be read (the file ends early); what was
    // not read is left black or white.
    bool partial = false;
};

struct EncodeOptions {
    QString comment;       // written where the format has a place for it
    int jpegQuality = 75;  // 1..100, JPEG and FPX tiles, and the lossy WebP, AVIF, HEIC and JPEG XL
};

// The format of a file from its first bytes (up to kDetectBytes are looked at
// when present); UnknownFormat when no decoder recognises it.
Format detectFormat(const QByteArray& head);

// Decodes any known format, chosen by content.
bool decode(const QByteArray& data, Decoded& out, Error& err);

// Reads a file and decodes it. Only a regular file is read, and one larger
// than kMaxFileBytes is refused (Error::TooLarge) before it is read.
bool decodeFile(const QString& path, Decoded& out, Error& err);

// Reads only what the file says about its size and depth (width, height, bits
// in out.picture.image left null; bits and size filled in info).
struct FileInfo {
    Format format = UnknownFormat;
    int width = 0;
    int height = 0;
    int bits = 0;
};
bool readFileInfo(const QString& path, FileInfo& info, Error& err);

// Encodes the picture in the given format. A depth the format cannot hold is
// refused with Error::Unsupported (the caller converts first); BMP and TIFF
// hold every depth.
bool encode(Format format, const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err);

// How saveFile writes: Replace puts the picture over the file (or creates it)
// through platform::replaceFile, keeping the old file's identity; NewPrivate
// creates a new file only the user can read and refuses a name already taken
// (platform::createPrivateFile), for undo files.
enum class FileWrite { Replace, NewPrivate };

// Encodes, then writes the file through the checked writer: every failure
// (a full disk included) is reported as Error::WriteFailed and never damages
// an existing file.
bool saveFile(const QString& path, Format format, const Picture& pic, const EncodeOptions& opt, Error& err,
              FileWrite mode = FileWrite::Replace);

// Per-format entry points (one source file each).
bool decodeBmp(const QByteArray& data, Decoded& out, Error& err);
bool encodeBmp(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err);
// The same file handed to sink in pieces of about a megabyte, in order, so
// that it is never whole in memory. False with err set when the picture cannot
// be written, or WriteFailed as soon as sink returns false.
bool encodeBmpTo(const Picture& pic, const std::function<bool(const char* data, qint64 size)>& sink, Error& err);
bool decodePcx(const QByteArray& data, Decoded& out, Error& err);
bool encodePcx(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err);
bool decodeJpeg(const QByteArray& data, Decoded& out, Error& err);
bool encodeJpeg(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err);
bool decodePng(const QByteArray& data, Decoded& out, Error& err);
bool encodePng(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err);
bool decodeGif(const QByteArray& data, Decoded& out, Error& err);
bool encodeGif(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err);
bool decodeTiff(const QByteArray& data, Decoded& out, Error& err);
bool encodeTiff(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err);
bool decodeFpx(const QByteArray& data, Decoded& out, Error& err);
bool encodeFpx(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err);
bool decodeWebp(const QByteArray& data, Decoded& out, Error& err);
bool encodeWebp(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err);
bool decodeAvif(const QByteArray& data, Decoded& out, Error& err);
bool encodeAvif(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err);
bool decodeHeif(const QByteArray& data, Decoded& out, Error& err);
bool encodeHeif(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err);
bool decodeJxl(const QByteArray& data, Decoded& out, Error& err);
bool encodeJxl(const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err);
// JPEG 2000, either a JP2 file or a bare codestream (the encoder writes the
// one format asks for).
bool decodeJpeg2000(const QByteArray& data, Decoded& out, Error& err);
bool encodeJpeg2000(Format format, const Picture& pic, const EncodeOptions& opt, QByteArray& out, Error& err);

}  // namespace engine::codecs
