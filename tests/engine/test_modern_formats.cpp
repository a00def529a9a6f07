// WebP, AVIF, HEIC, JPEG XL and JPEG 2000: our decoders against the command
// line tools of the same libraries, our files read back by ours and by those
// tools, and damaged or oversized files refused. Each case is skipped where
// Debian's tool package is missing (scripts/setup.sh installs them).
#include "engine/codecs/codecs.h"
#include "engine/codecs/exif_orientation.h"
#include "support/cli_codec_support.h"
#include "support/lib_codec_test_support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace engine;
using namespace engine::codecs;
using testsupport::Kind;

namespace {

struct FormatCase {
    const char* name;
    Format format;
    const char* ext;
    QString encoder;  // the library's own tool, PNG in
    std::function<QStringList(const QString& in, const QString& out, Kind kind, QSize size)> encodeArgs;
    QString decoder;  // the library's own tool, PNG out
    std::function<QStringList(const QString& in, const QString& out)> decodeArgs;
    bool greyDepth;       // grey files load as 8-bit grey (else 24-bit)
    bool opaqueAlphaKept; // our (opaque) 32-bit pictures load back as 32-bit
    bool lossless;        // our encoder keeps the pixels exactly
    int tolerance;        // against the reference decoder
};

// opj_compress makes six resolution levels unless told: a small picture has fewer.
QStringList opjArgs(const QString& in, const QString& out, Kind, QSize size) {
    int levels = 1;
    while (levels < 6 && (qMin(size.width(), size.height()) >> levels) > 0)
        ++levels;
    return {"-i", in, "-o", out, "-n", QString::number(levels)};
}

QList<FormatCase> formatCases() {
    return {
        {"WebP", WebP, "webp", "cwebp",
         [](const QString& in, const QString& out, Kind, QSize) { return QStringList{"-quiet", "-q", "90", in, "-o", out}; },
         "dwebp", [](const QString& in, const QString& out) { return QStringList{"-quiet", in, "-o", out}; },
         false, true, false, 0},
        {"AVIF", Avif, "avif", "avifenc",
         [](const QString& in, const QString& out, Kind kind, QSize) {
             QStringList a{"-s", "10", "--min", "10", "--max", "10"};
             if (kind == Kind::Grey)
                 a << "--yuv" << "400";
             return a << in << out;
         },
         "avifdec", [](const QString& in, const QString& out) { return QStringList{in, out}; }, true, false, false, 0},
        {"HEIC", Heif, "heic", "heif-enc",
         [](const QString& in, const QString& out, Kind, QSize) { return QStringList{"-q", "90", in, "-o", out}; },
         "heif-convert", [](const QString& in, const QString& out) { return QStringList{in, out}; }, false, true, false,
         0},
        {"JPEG XL", Jxl, "jxl", "cjxl",
         [](const QString& in, const QString& out, Kind, QSize) { return QStringList{in, out, "-d", "1", "--quiet"}; },
         "djxl", [](const QString& in, const QString& out) { return QStringList{in, out, "--quiet"}; }, true, true, false,
         1},
        {"JPEG 2000 (JP2)", Jp2, "jp2", "opj_compress",
         opjArgs,
         "opj_decompress", [](const QString& in, const QString& out) { return QStringList{"-quiet", "-i", in, "-o", out}; },
         true, true, true, 0},
        {"JPEG 2000 (codestream)", J2k, "j2k", "opj_compress",
         opjArgs,
         "opj_decompress", [](const QString& in, const QString& out) { return QStringList{"-quiet", "-i", in, "-o", out}; },
         true, true, true, 0},
    };
}

bool toolsPresent(const FormatCase& f) {
    return testsupport::haveTool(f.encoder) && testsupport::haveTool(f.decoder);
}

const char* kindName(Kind k) {
    return k == Kind::Grey ? "grey" : (k == Kind::Colour ? "colour" : "colour+alpha");
}

// The engine picture of a source image at the depth a file of it keeps.
Picture pictureOf(const QImage& source, Kind kind) {
    if (kind == Kind::Grey) {
        QImage indexed = source.convertToFormat(QImage::Format_Indexed8, grayTable(256));
        return makePicture(indexed, 8);
    }
    return makePicture(source.convertToFormat(QImage::Format_RGB32), kind == Kind::ColourAlpha ? 32 : 24);
}

int expectedBits(const FormatCase& f, Kind kind) {
    if (kind == Kind::Grey)
        return f.greyDepth ? 8 : 24;
    return kind == Kind::ColourAlpha ? 32 : 24;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A file of the format made by our encoder (33 x 17, colour).
QByteArray ourFile(const FormatCase& f) {
    QByteArray bytes;
    Error err = Error::None;
    EncodeOptions opt;
    opt.jpegQuality = 85;
    encode(f.format, pictureOf(testsupport::makeSource(33, 17, Kind::Colour), Kind::Colour), opt, bytes, err);
    return bytes;
}

}  // namespace

// Files written by each library's own encoder, at odd sizes and every depth
// the format holds, decode to the pixels its own decoder gives.
TEST(ModernFormats, DecodeAsTheLibraryToolsDo) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const FormatCase& f : formatCases()) {
        if (!toolsPresent(f)) {
            ADD_FAILURE() << f.name << ": " << f.encoder.toStdString() << " or " << f.decoder.toStdString()
                          << " missing (scripts/setup.sh installs them)";
            continue;
        }
        for (Kind kind : {Kind::Grey, Kind::Colour, Kind::ColourAlpha}) {
            for (QSize size : {QSize(1, 1), QSize(7, 3), QSize(33, 17)}) {
                const QString tag = QStringLiteral("%1 %2 %3x%4").arg(QLatin1String(f.name), QLatin1String(kindName(kind)))
                                        .arg(size.width()).arg(size.height());
                const QString png = dir.filePath(QStringLiteral("in.png"));
                const QString file = dir.filePath(QStringLiteral("made.") + QLatin1String(f.ext));
                const QString ref = dir.filePath(QStringLiteral("ref.png"));
                QFile::remove(file);
                QFile::remove(ref);
                ASSERT_TRUE(testsupport::makeSource(size.width(), size.height(), kind).save(png));
                QString why;
                ASSERT_TRUE(testsupport::runTool(f.encoder, f.encodeArgs(png, file, kind, size), &why)) << why.toStdString();
                ASSERT_TRUE(testsupport::runTool(f.decoder, f.decodeArgs(file, ref), &why)) << why.toStdString();
                Decoded d;
                Error err = Error::None;
                ASSERT_TRUE(decode(readFile(file), d, err)) << tag.toStdString() << " error " << int(err);
                EXPECT_EQ(d.picture.bits, expectedBits(f, kind)) << tag.toStdString();
                if (kind == Kind::Grey && f.greyDepth)
                    EXPECT_TRUE(isGray(d.picture)) << tag.toStdString();
                EXPECT_TRUE(testsupport::sameRgb(testsupport::asRgb32(d.picture), testsupport::readReference(ref), &why,
                                                 f.tolerance))
                    << tag.toStdString() << ": " << why.toStdString();
            }
        }
    }
}

// Our files at every depth the format holds: they read back at that depth
// (lossless formats exactly, lossy ones close), and the library's own tool
// reads the same pixels from them.
TEST(ModernFormats, OurFilesReadBackAndByTheLibraryTools) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const FormatCase& f : formatCases()) {
        for (Kind kind : {Kind::Grey, Kind::Colour, Kind::ColourAlpha}) {
            if (kind == Kind::Grey && !f.greyDepth)
                continue;  // the save table converts grey to 24 bits first
            for (QSize size : {QSize(1, 1), QSize(9, 5), QSize(65, 33)}) {
                const QString tag = QStringLiteral("%1 %2 %3x%4").arg(QLatin1String(f.name), QLatin1String(kindName(kind)))
                                        .arg(size.width()).arg(size.height());
                const Picture pic = pictureOf(testsupport::makeSource(size.width(), size.height(), kind), kind);
                EncodeOptions opt;
                opt.jpegQuality = 85;
                QByteArray bytes;
                Error err = Error::None;
                ASSERT_TRUE(encode(f.format, pic, opt, bytes, err)) << tag.toStdString() << " error " << int(err);
                EXPECT_EQ(detectFormat(bytes.left(kDetectBytes)), f.format) << tag.toStdString();
                Decoded back;
                ASSERT_TRUE(decode(bytes, back, err)) << tag.toStdString() << " error " << int(err);
                const bool opaqueDropped = kind == Kind::ColourAlpha && !f.opaqueAlphaKept;
                EXPECT_EQ(back.picture.bits, opaqueDropped ? 24 : expectedBits(f, kind)) << tag.toStdString();
                const QImage original = testsupport::asRgb32(pic), again = testsupport::asRgb32(back.picture);
                if (f.lossless) {
                    QString why;
                    EXPECT_TRUE(testsupport::sameRgb(again, original, &why)) << tag.toStdString() << ": " << why.toStdString();
                } else if (size.width() > 32) {
                    // Lossy at quality 85: close on a smooth picture (tiny ones are all edges).
                    EXPECT_LT(testsupport::meanChannelDiff(again, original), 4.0) << tag.toStdString();
                }
                if (!testsupport::haveTool(f.decoder))
                    continue;
                const QString file = dir.filePath(QStringLiteral("ours.") + QLatin1String(f.ext));
                const QString ref = dir.filePath(QStringLiteral("ref.png"));
                QFile::remove(ref);
                ASSERT_TRUE(writeFile(file, bytes));
                QString why;
                ASSERT_TRUE(testsupport::runTool(f.decoder, f.decodeArgs(file, ref), &why)) << why.toStdString();
                EXPECT_TRUE(testsupport::sameRgb(again, testsupport::readReference(ref), &why, f.tolerance))
                    << tag.toStdString() << ": " << why.toStdString();
            }
        }
    }
}

// A minimal EXIF block: one IFD holding the Orientation.
static QByteArray exifWithOrientation(int orientation) {
    QByteArray b("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x01\0\0\0\0\0\0\0", 26);
    b[18] = char(orientation);
    return b;
}

// Each encoder on its own, called as encode() calls it.
static bool encodeOnly(Format format, const Picture& pic, QByteArray& out, Error& err) {
    EncodeOptions opt;
    opt.jpegQuality = 100;
    switch (format) {
    case WebP: return encodeWebp(pic, opt, out, err);
    case Avif: return encodeAvif(pic, opt, out, err);
    case Heif: return encodeHeif(pic, opt, out, err);
    case Jxl: return encodeJxl(pic, opt, out, err);
    default: return encodeJpeg2000(format, pic, opt, out, err);
    }
}

// The metadata blocks given to an encoder come back from the decoder, byte
// for byte (JPEG 2000 keeps none: OpenJPEG 2.5.0 cannot write a profile).
TEST(ModernFormats, MetadataBlocksTravelThroughTheFile) {
    const QByteArray xmp = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"/></x:xmpmeta>";
    const QByteArray icc = readFile(QStringLiteral("/usr/share/color/icc/colord/sRGB.icc"));
    for (const FormatCase& f : formatCases()) {
        Picture pic = pictureOf(testsupport::makeSource(9, 5, Kind::Colour), Kind::Colour);
        pic.metadata.exif = exifWithOrientation(1);
        pic.metadata.xmp = xmp;
        pic.metadata.icc = icc;
        QByteArray bytes;
        Error err = Error::None;
        ASSERT_TRUE(encodeOnly(f.format, pic, bytes, err)) << f.name;
        Decoded d;
        ASSERT_TRUE(decode(bytes, d, err)) << f.name << " error " << int(err);
        const Metadata& m = d.picture.metadata;
        if (f.format == J2k || f.format == Jp2) {
            EXPECT_TRUE(m.isEmpty()) << f.name;
            continue;
        }
        if (!icc.isEmpty() && f.format != Jxl)  // libjxl hands out the profile it encodes, not the bytes given
            EXPECT_EQ(m.icc, icc) << f.name;
        EXPECT_EQ(m.exif, pic.metadata.exif) << f.name;
        EXPECT_EQ(m.xmp, xmp) << f.name;
    }
}

// Saved through encode(), a picture that came with its EXIF orientation 6
// (and was turned upright on load) keeps its metadata, with orientation 1:
// exiftool, reading the files on its own, agrees.
TEST(ModernFormats, SavedMetadataSaysUpright) {
    QTemporaryDir dir;
    for (const FormatCase& f : formatCases()) {
        if (f.format == Jp2 || f.format == J2k)
            continue;
        Picture pic = pictureOf(testsupport::makeSource(9, 5, Kind::Colour), Kind::Colour);
        pic.metadata.exif = exifWithOrientation(6);
        QByteArray bytes;
        Error err = Error::None;
        ASSERT_TRUE(encode(f.format, pic, EncodeOptions(), bytes, err)) << f.name;
        Decoded d;
        ASSERT_TRUE(decode(bytes, d, err)) << f.name;
        EXPECT_EQ(d.picture.image.size(), QSize(9, 5)) << f.name;  // not turned again
        const QByteArray& exif = d.picture.metadata.exif;
        EXPECT_EQ(exifOrientation(reinterpret_cast<const uint8_t*>(exif.constData()), size_t(exif.size())), 1) << f.name;
        if (!testsupport::haveTool(QStringLiteral("exiftool")))
            continue;
        const QString file = dir.filePath(QStringLiteral("m.") + QLatin1String(f.ext));
        ASSERT_TRUE(writeFile(file, bytes));
        QProcess p;
        p.start(QStringLiteral("exiftool"), {QStringLiteral("-s3"), QStringLiteral("-n"), QStringLiteral("-EXIF:Orientation"), file});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.readAllStandardOutput().trimmed(), QByteArray("1")) << f.name;
    }
}

// Orientation: an EXIF orientation in a WebP and the HEIF turn and mirror
// properties of an AVIF turn the picture upright on load.
TEST(ModernFormats, FilesLoadUpright) {
    const Picture pic = pictureOf(testsupport::makeSource(65, 33, Kind::Colour), Kind::Colour);
    const QImage upright = testsupport::asRgb32(pic).transformed(QTransform().rotate(90));
    {
        // Orientation 6: the stored picture is to be turned clockwise.
        Picture stored = pic;
        stored.metadata.exif = exifWithOrientation(6);
        QByteArray bytes;
        Error err = Error::None;
        ASSERT_TRUE(encodeOnly(WebP, stored, bytes, err));
        Decoded d;
        ASSERT_TRUE(decode(bytes, d, err));
        EXPECT_EQ(d.picture.image.size(), QSize(33, 65));
        EXPECT_LT(testsupport::meanChannelDiff(testsupport::asRgb32(d.picture), upright), 4.0);
    }
    if (!testsupport::haveTool(QStringLiteral("avifenc")))
        return;
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("in.png")), avif = dir.filePath(QStringLiteral("t.avif"));
    ASSERT_TRUE(testsupport::asRgb32(pic).save(png));
    struct Case {
        int irot, imir;
        QTransform shown;  // what the stored picture must undergo
    };
    const QList<Case> cases{{3, -1, QTransform().rotate(90)},
                            {1, -1, QTransform().rotate(-90)},
                            {0, 1, QTransform().scale(-1, 1)},
                            {1, 0, QTransform().rotate(-90) * QTransform().scale(1, -1)}};
    for (const Case& c : cases) {
        QStringList args{"-s", "10", "--min", "0", "--max", "0", "--irot", QString::number(c.irot)};
        if (c.imir >= 0)
            args << "--imir" << QString::number(c.imir);
        QFile::remove(avif);
        QString why;
        ASSERT_TRUE(testsupport::runTool(QStringLiteral("avifenc"), args << png << avif, &why)) << why.toStdString();
        Decoded d;
        Error err = Error::None;
        ASSERT_TRUE(decode(readFile(avif), d, err));
        EXPECT_LT(testsupport::meanChannelDiff(testsupport::asRgb32(d.picture), testsupport::asRgb32(pic).transformed(c.shown)),
                  2.0)
            << "irot " << c.irot << " imir " << c.imir;
    }
}

// A JPEG 2000 comment (the codestream's COM marker) is read and written;
// OpenJPEG's own writer mark is no comment of the picture.
TEST(ModernFormats, Jpeg2000KeepsTheComment) {
    for (Format format : {Jp2, J2k}) {
        Decoded d;
        const QString comment = QStringLiteral("走査 2026\r");
        ASSERT_EQ(testsupport::roundTrip(format, pictureOf(testsupport::makeSource(7, 3, Kind::Colour), Kind::Colour), d,
                                         comment),
                  Error::None);
        EXPECT_EQ(d.comment, comment);
        ASSERT_EQ(testsupport::roundTrip(format, pictureOf(testsupport::makeSource(7, 3, Kind::Grey), Kind::Grey), d),
                  Error::None);
        EXPECT_TRUE(d.comment.isEmpty()) << d.comment.toStdString();
    }
}

// Damaged files: cut short anywhere, or with their header overwritten, they
// are refused with an error and nothing else happens.
TEST(ModernFormats, DamagedFilesAreRefused) {
    for (const FormatCase& f : formatCases()) {
        const QByteArray valid = ourFile(f);
        ASSERT_FALSE(valid.isEmpty()) << f.name;
        const int n = int(valid.size());
        for (const auto& copy : testsupport::truncations(valid, {6, 16, 40, n / 2, n - 3})) {
            Decoded d;
            Error err = Error::None;
            EXPECT_FALSE(decode(copy.bytes, d, err)) << f.name << " " << copy.name.toStdString();
            EXPECT_NE(err, Error::None) << f.name;
            EXPECT_TRUE(d.picture.isNull());
        }
        QByteArray scrambled = valid;
        for (int i = 16; i < qMin(n, 48); ++i)
            scrambled[i] = char(0xA5 ^ i);
        Decoded d;
        Error err = Error::None;
        // Refused, or read as some picture: never a crash, never half an answer.
        const bool ok = decode(scrambled, d, err);
        EXPECT_EQ(ok, !d.picture.isNull()) << f.name;
        EXPECT_EQ(ok, err == Error::None) << f.name;
    }
}

// Files declaring a picture over the engine's limits are refused as too large
// from their headers, before any pixel is decoded.
TEST(ModernFormats, OversizedPicturesAreRefused) {
    auto patch32 = [](QByteArray& b, qsizetype at, quint32 v) { b.replace(at, 4, testsupport::be32(v)); };
    // JPEG 2000: the codestream's SIZ marker holds the picture's size right
    // after the SOC and SIZ markers, its length and capabilities.
    for (const FormatCase& f : formatCases()) {
        QByteArray b = ourFile(f);
        ASSERT_FALSE(b.isEmpty());
        if (f.format == Jp2 || f.format == J2k) {
            const qsizetype soc = b.indexOf("\xFF\x4F\xFF\x51");
            ASSERT_GE(soc, 0);
            for (int field : {8, 12, 24, 28})  // the picture's size and its (one) tile's
                patch32(b, soc + field, 70000);
            if (const qsizetype ihdr = b.indexOf("ihdr"); f.format == Jp2 && ihdr > 0) {
                patch32(b, ihdr + 4, 70000);  // the JP2 header repeats the size
                patch32(b, ihdr + 8, 70000);
            }
        } else if (f.format == Avif || f.format == Heif) {
            // The "ispe" property: version and flags, then width and height.
            qsizetype at = b.indexOf("ispe");
            ASSERT_GE(at, 0) << f.name;
            for (; at >= 0; at = b.indexOf("ispe", at + 4)) {
                patch32(b, at + 8, 70000);
                patch32(b, at + 12, 70000);
            }
        } else {
            continue;  // WebP cannot declare more than 16,383 pixels a side; JPEG XL below
        }
        Decoded d;
        Error err = Error::None;
        EXPECT_FALSE(decode(b, d, err)) << f.name;
        EXPECT_EQ(err, Error::TooLarge) << f.name;
    }
    if (!testsupport::haveTool(QStringLiteral("cjxl")))
        return;
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("wide.png")), jxl = dir.filePath(QStringLiteral("wide.jxl"));
    QImage wide(70000, 1, QImage::Format_Grayscale8);
    wide.fill(0);
    ASSERT_TRUE(wide.save(png));
    QString why;
    ASSERT_TRUE(testsupport::runTool(QStringLiteral("cjxl"), {png, jxl, QStringLiteral("--quiet")}, &why)) << why.toStdString();
    Decoded d;
    Error err = Error::None;
    EXPECT_FALSE(decode(readFile(jxl), d, err));
    EXPECT_EQ(err, Error::TooLarge);
}
