// Damaged and lying FlashPix files are refused with an engine error, never a
// crash, an abort or a huge allocation.
// GLib before Qt: its headers must not see Qt's keyword macros.
#include <glib.h>

#include "engine/codecs/codecs.h"
#include "engine/codecs/fpx_format.h"
#include "engine/codecs/fpx_ole.h"
#include "engine/codecs/fpx_property_set.h"
#include "fpx_test_util.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace engine;
using namespace engine::codecs;
using namespace engine::codecs::fpx;
using fpxtest::get32;
using fpxtest::set32;

namespace {

// 120 x 70: two levels, 2 x 2 tiles at full size with partial edge tiles.
QByteArray sampleFile(bool gray = false) {
    QByteArray bytes;
    Error err = Error::None;
    EncodeOptions opt;
    opt.comment = QStringLiteral("sample");
    EXPECT_TRUE(encode(Fpx, fpxtest::smoothPicture(120, 70, gray), opt, bytes, err));
    return bytes;
}

Error decodeError(const QByteArray& bytes) {
    Decoded d;
    Error err = Error::None;
    const bool ok = decode(bytes, d, err);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(d.picture.isNull());
    return ok ? Error::None : err;
}

// Edits one property of the image contents and rebuilds the file.
QByteArray withContents(const QByteArray& file, const std::function<void(PropertySet&)>& edit) {
    return fpxtest::rewriteStream(file, fpxtest::objectPath(propertyStreamName("Image Contents")),
                                  [&](QByteArray& s) {
                                      PropertySet set;
                                      if (!parsePropertySet(s, set))
                                          return true;
                                      edit(set);
                                      s = buildPropertySet(set.fmtid, set.fmtid, set.props);
                                      return true;
                                  });
}

constexpr int kFullLevel = 1;  // "Resolution 0001" holds 120 x 70
constexpr qsizetype kFields = kStreamPrefix;
constexpr qsizetype kTable = kStreamPrefix + kHeaderFields;

}  // namespace

TEST(FpxHostile, UntouchedCopyStillDecodes) {
    // The rewriting helper itself keeps a file valid: the checks below fail for
    // the edit, not for the copy.
    const QByteArray copy = fpxtest::rewriteStream(sampleFile(), {}, [](QByteArray&) { return true; });
    Decoded d;
    Error err = Error::None;
    ASSERT_TRUE(decode(copy, d, err)) << int(err);
    EXPECT_EQ(d.picture.image.size(), QSize(120, 70));
    EXPECT_EQ(d.comment, QStringLiteral("sample"));
}

TEST(FpxHostile, OtherCompoundDocumentsAreUnknown) {
    OleWriter ole;
    ole.setRootClassId(makeGuid(0x00020906, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}));  // a word processor's
    ole.addStream({}, QStringLiteral("WordDocument"), QByteArray(600, 'x'));
    ole.addStream({}, propertyStreamName("SummaryInformation"), QByteArray(100, '\0'));
    QByteArray bytes;
    ASSERT_TRUE(ole.finish(bytes));
    EXPECT_EQ(detectFormat(bytes), Fpx);
    EXPECT_EQ(decodeError(bytes), Error::UnknownFormat);
    // Only the compound file magic, nothing behind it.
    EXPECT_EQ(decodeError(bytes.left(8)), Error::Damaged);
}

TEST(FpxHostile, TileTableOutsideItsStream) {
    const QByteArray file = sampleFile();
    // A tile entry pointing past the end of the data stream.
    QByteArray bad = fpxtest::rewriteStream(file, fpxtest::levelPath(kFullLevel, kSubimageHeader), [](QByteArray& h) {
        set32(h, kTable + 2 * kTileEntry, 0x7FFFFFF0);
        return true;
    });
    EXPECT_EQ(decodeError(bad), Error::Damaged);
    // A tile whose size runs past the end.
    bad = fpxtest::rewriteStream(file, fpxtest::levelPath(kFullLevel, kSubimageHeader), [](QByteArray& h) {
        set32(h, kTable + 4, 0xFFFFFFFF);
        return true;
    });
    EXPECT_EQ(decodeError(bad), Error::Damaged);
    // The tile table itself past the end of the header stream.
    bad = fpxtest::rewriteStream(file, fpxtest::levelPath(kFullLevel, kSubimageHeader), [](QByteArray& h) {
        set32(h, kFields + 28, 0x10000);
        return true;
    });
    EXPECT_EQ(decodeError(bad), Error::Damaged);
    // A header cut short.
    bad = fpxtest::rewriteStream(file, fpxtest::levelPath(kFullLevel, kSubimageHeader), [](QByteArray& h) {
        h.truncate(kTable + kTileEntry);
        return true;
    });
    EXPECT_EQ(decodeError(bad), Error::Damaged);
}

TEST(FpxHostile, ImpossibleSizesAndTileCounts) {
    const QByteArray file = sampleFile();
    auto header = [&](qsizetype field, quint32 value) {
        return fpxtest::rewriteStream(file, fpxtest::levelPath(kFullLevel, kSubimageHeader), [&](QByteArray& h) {
            set32(h, kFields + field, value);
            return true;
        });
    };
    EXPECT_EQ(decodeError(header(4, 0)), Error::Damaged);           // width 0
    EXPECT_EQ(decodeError(header(4, 70000)), Error::TooLarge);      // wider than 65,535
    EXPECT_EQ(decodeError(header(8, 0xFFFFFFFF)), Error::TooLarge);  // height
    EXPECT_EQ(decodeError(header(12, 0x40000000)), Error::Damaged); // tile count disagrees with the size
    EXPECT_EQ(decodeError(header(16, 0)), Error::Damaged);          // tile width 0
    EXPECT_EQ(decodeError(header(20, 1 << 20)), Error::Damaged);    // tile height absurd
    EXPECT_EQ(decodeError(header(32, 4)), Error::Damaged);          // tile entries too short

    // A header that claims 60,000 x 60,000 with a matching tile count but no table.
    QByteArray big = fpxtest::rewriteStream(file, fpxtest::levelPath(kFullLevel, kSubimageHeader), [](QByteArray& h) {
        set32(h, kFields + 4, 60000);
        set32(h, kFields + 8, 60000);
        set32(h, kFields + 12, 938 * 938);
        return true;
    });
    const Error e = decodeError(big);
    EXPECT_TRUE(e == Error::Damaged || e == Error::TooLarge) << int(e);

    // Too many resolutions, and none at all.
    EXPECT_EQ(decodeError(withContents(file, [](PropertySet& s) { s.props[kPidNumResolutions] = PropValue::ui4(100000); })),
              Error::Damaged);
    EXPECT_EQ(decodeError(withContents(file, [](PropertySet& s) { s.props[kPidNumResolutions] = PropValue::ui4(0); })),
              Error::Damaged);
    // The declared full size disagrees with the largest level.
    EXPECT_EQ(decodeError(withContents(file, [](PropertySet& s) { s.props[kPidHighestWidth] = PropValue::ui4(121); })),
              Error::Damaged);
}

TEST(FpxHostile, WrongBandCounts) {
    const QByteArray file = sampleFile();
    // The colour description names five channels, the tiles hold three.
    QByteArray bad = withContents(file, [](PropertySet& s) {
        QByteArray blob = s.props[subimagePid(kFullLevel, kSubColor)].bytes;
        set32(blob, 4, 5);
        s.props[subimagePid(kFullLevel, kSubColor)] = PropValue::blob(blob);
    });
    EXPECT_EQ(decodeError(bad), Error::Damaged);
    // Header and colour description agree on five channels: not a picture we can show.
    bad = fpxtest::rewriteStream(file, fpxtest::levelPath(kFullLevel, kSubimageHeader), [](QByteArray& h) {
        set32(h, kFields + 24, 5);
        return true;
    });
    Error e = decodeError(bad);
    EXPECT_TRUE(e == Error::Damaged || e == Error::Unsupported) << int(e);
    // The header says one channel, the JPEG tiles hold three.
    bad = fpxtest::rewriteStream(file, fpxtest::levelPath(kFullLevel, kSubimageHeader), [](QByteArray& h) {
        set32(h, kFields + 24, 1);
        return true;
    });
    e = decodeError(withContents(bad, [](PropertySet& s) { s.props.erase(subimagePid(kFullLevel, kSubColor)); }));
    EXPECT_EQ(e, Error::Damaged);
    // 16-bit samples are not ours to read.
    bad = withContents(file, [](PropertySet& s) {
        s.props[subimagePid(kFullLevel, kSubFormat)] = PropValue::ui4Vector({0x12});
    });
    EXPECT_EQ(decodeError(bad), Error::Unsupported);
}

TEST(FpxHostile, DamagedTilesAndTables) {
    const QByteArray file = sampleFile();
    // Shared JPEG tables gone.
    EXPECT_EQ(decodeError(withContents(file, [](PropertySet& s) { s.props.erase(jpegTablePid(1)); })), Error::Damaged);
    // Tile data overwritten with noise.
    QByteArray bad = fpxtest::rewriteStream(file, fpxtest::levelPath(kFullLevel, kSubimageData), [](QByteArray& d) {
        for (qsizetype i = kStreamPrefix; i < d.size(); ++i)
            d[i] = char(i * 37);
        return true;
    });
    EXPECT_EQ(decodeError(bad), Error::Damaged);
    // The data stream missing altogether, and the image contents.
    EXPECT_EQ(decodeError(fpxtest::rewriteStream(file, fpxtest::levelPath(kFullLevel, kSubimageData),
                                                 [](QByteArray&) { return false; })),
              Error::Damaged);
    EXPECT_EQ(decodeError(fpxtest::rewriteStream(file, fpxtest::objectPath(propertyStreamName("Image Contents")),
                                                 [](QByteArray& s) {
                                                     s = QByteArray(40, '\x7f');
                                                     return true;
                                                 })),
              Error::Damaged);
    // An unknown tile compression.
    bad = fpxtest::rewriteStream(file, fpxtest::levelPath(kFullLevel, kSubimageHeader), [](QByteArray& h) {
        set32(h, kTable + 8, 7);
        return true;
    });
    EXPECT_EQ(decodeError(bad), Error::Unsupported);
}

TEST(FpxHostile, TruncatedFilesAndFlippedBytesNeverCrash) {
    for (bool gray : {false, true}) {
        const QByteArray file = sampleFile(gray);
        for (qsizetype len = 0; len < file.size(); len += 97) {
            Decoded d;
            Error err = Error::None;
            if (!decode(file.left(len), d, err))
                EXPECT_NE(err, Error::None);
        }
        QRandomGenerator rng(gray ? 7 : 11);
        for (int round = 0; round < 300; ++round) {
            QByteArray bad = file;
            const int flips = 1 + int(rng.bounded(8));
            for (int i = 0; i < flips; ++i)
                bad[qsizetype(rng.bounded(quint32(bad.size())))] = char(rng.bounded(256));
            Decoded d;
            Error err = Error::None;
            if (decode(bad, d, err)) {
                EXPECT_FALSE(d.picture.isNull());
                EXPECT_LE(qint64(d.picture.width()) * d.picture.height(), 120 * 70 * 4);
            } else {
                EXPECT_NE(err, Error::None);
            }
        }
    }
}

// libgsf warns through GLib about damaged containers; even with warnings made
// fatal (G_DEBUG=fatal-warnings does this) decoding reports an error instead of
// aborting.
TEST(FpxHostile, GLibWarningsNeverAbort) {
    const QByteArray file = sampleFile();
    // Point the directory entry of a stream at a sector far beyond the file:
    // libgsf warns when the stream is opened.
    const QString name = propertyStreamName("Image Contents");
    const QByteArray utf16(reinterpret_cast<const char*>(name.utf16()), name.size() * 2);
    const qsizetype entry = file.indexOf(utf16);
    ASSERT_GT(entry, 0);
    QByteArray bad = file;
    set32(bad, entry + 0x74, 0x00FFFFF0);  // first sector
    g_log_set_always_fatal(GLogLevelFlags(G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING));
    for (const QByteArray& damaged : {bad, file.left(600), file.left(file.size() / 2)}) {
        Decoded d;
        Error err = Error::None;
        EXPECT_FALSE(decode(damaged, d, err));
        EXPECT_NE(err, Error::None);
    }
    g_log_set_always_fatal(GLogLevelFlags(G_LOG_LEVEL_ERROR));
}
