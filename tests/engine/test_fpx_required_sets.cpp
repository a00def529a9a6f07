// Our FlashPix files carry every storage, stream and property set that the
// format requires (checked by fpx_required_sets.py through olefile, which
// knows nothing of our code), and the check itself notices each one missing.
// Skipped where Debian's python3-olefile is not installed.
#include "engine/codecs/fpx_format.h"
#include "engine/codecs/fpx_property_set.h"
#include "engine/codecs/fpx_write.h"
#include "fpx_test_util.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace engine;
using namespace engine::codecs;

namespace {

const char* kPython = "/usr/bin/python3";
const QString kChecker = QStringLiteral(TOLVANE_SOURCE_DIR "/tests/engine/fpx_required_sets.py");

bool olefileAvailable() {
    QProcess p;
    p.start(QString::fromLatin1(kPython), {QStringLiteral("-c"), QStringLiteral("import olefile")});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The checker's faults, one a line; "crashed" when it did not run to the end.
QString faultsOf(const QByteArray& file, const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("checked.fpx"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(file) != file.size())
        return QStringLiteral("could not write the file");
    f.close();
    QProcess p;
    p.start(QString::fromLatin1(kPython), {kChecker, path});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() > 1)
        return QStringLiteral("crashed: ") + QString::fromLocal8Bit(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QByteArray encode(const Picture& pic, const fpx::TileLayout& layout, const QString& comment = {}) {
    EncodeOptions opt;
    opt.jpegQuality = 85;
    opt.comment = comment;
    QByteArray out;
    Error err = Error::None;
    EXPECT_TRUE(fpx::encodeWithLayout(pic, opt, layout, out, err)) << int(err);
    return out;
}

class FpxRequiredSets : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists(QString::fromLatin1(kPython)) || !olefileAvailable())
            GTEST_SKIP() << "python3-olefile is not installed: no independent reader of the file structure";
        ASSERT_TRUE(dir_.isValid());
    }
    QTemporaryDir dir_;
};

}  // namespace

TEST_F(FpxRequiredSets, EveryLayoutWeWriteIsComplete) {
    struct Case {
        int w, h;
        bool gray;
        fpx::TileLayout layout;
        const char* comment;
    };
    const Case cases[] = {
        {300, 200, false, {}, "日本語のコメント"},           // several levels, shared tables, UTF-8 comment
        {64, 64, true, {}, nullptr},                         // one level, grey
        {130, 65, false, {false, false}, "plain comment"},   // tables in every tile, full chroma
        {1, 1, true, {true, false}, nullptr},
    };
    for (const Case& c : cases) {
        const QByteArray file = encode(fpxtest::smoothPicture(c.w, c.h, c.gray), c.layout,
                                       c.comment ? QString::fromUtf8(c.comment) : QString());
        EXPECT_EQ(faultsOf(file, dir_), QString()) << c.w << "x" << c.h << (c.gray ? " grey" : " colour");
    }
}

TEST_F(FpxRequiredSets, SamePictureSameDataObjectId) {
    // Two saves of one picture are the same file; another picture gets another id.
    const Picture a = fpxtest::smoothPicture(96, 80, false);
    Picture b = a;
    b.image = a.image.copy();
    b.image.setPixel(5, 5, qRgb(0, 0, 0));
    EXPECT_EQ(encode(a, {}), encode(a, {}));
    const QByteArray fa = encode(a, {}), fb = encode(b, {});
    const auto idOf = [](const QByteArray& file) {
        fpx::OleReader ole(file);
        QByteArray stream;
        ole.readStream({fpx::dataObjectName(1)}, 1 << 16, stream);
        return stream;
    };
    EXPECT_FALSE(idOf(fa).isEmpty());
    EXPECT_NE(idOf(fa), idOf(fb));
}

TEST_F(FpxRequiredSets, CheckerNoticesEachMissingPart) {
    // Guards the check above: a file with one required part removed or wrong fails.
    const QByteArray good = encode(fpxtest::smoothPicture(200, 100, false), {});
    ASSERT_EQ(faultsOf(good, dir_), QString());
    struct Cut {
        QStringList path;
        const char* expected;
    };
    const Cut cuts[] = {
        {{fpx::dataObjectName(1)}, "Data Object 000001: missing"},
        {fpxtest::objectPath(fpx::propertyStreamName("SummaryInformation")),
         "Data Object Store 000001/\\005SummaryInformation: missing"},
        {{fpx::propertyStreamName("Global Info")}, "Global Info: missing"},
        {{fpx::compObjName()}, "CompObj: missing"},
    };
    for (const Cut& cut : cuts) {
        const QByteArray damaged = fpxtest::rewriteStream(good, cut.path, [](QByteArray&) { return false; });
        const QString faults = faultsOf(damaged, dir_);
        EXPECT_TRUE(faults.contains(QLatin1String(cut.expected))) << cut.expected << ": " << qPrintable(faults);
    }
    // A description that says the picture was made by a transform is no source image.
    const QByteArray made = fpxtest::rewriteStream(good, {fpx::dataObjectName(1)}, [](QByteArray& s) {
        fpx::PropertySet set;
        if (!fpx::parsePropertySet(s, set))
            return false;
        set.props[fpx::kPidCreator] = fpx::PropValue::ui4(1);
        s = fpx::buildPropertySet(fpx::dataObjectFmtid(), fpx::dataObjectFmtid(), set.props);
        return true;
    });
    EXPECT_TRUE(faultsOf(made, dir_).contains(QLatin1String("creator"))) << qPrintable(faultsOf(made, dir_));
}
