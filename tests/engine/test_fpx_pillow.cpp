// An independent FlashPix reader (Pillow, through olefile) opens what we write
// with the same size and pixels within JPEG tolerance. Skipped where Debian's
// python3-pil is not installed (scripts/setup.sh installs it).
//
// Pillow 9.4 reads JPEG tiles only where they lie wholly inside the picture: on
// partial edge tiles it corrupts its heap, for the FlashPix toolkit's own files
// as much as ours. The pictures here therefore have sides that are multiples
// of 64; the hierarchy's smaller levels are not what Pillow reads.
#include "engine/codecs/codecs.h"
#include "fpx_test_util.h"
#include "support/test_support.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace engine;
using namespace engine::codecs;

namespace {

const char* kPython = "/usr/bin/python3";

// Runs Pillow on the file; raw RGB rows go to rawPath. Empty on failure.
QString pillowRead(const QString& fpxPath, const QString& rawPath, QString& failure) {
    QProcess p;
    const QString script = QStringLiteral(
        "import sys\n"
        "from PIL import Image\n"
        "im = Image.open(sys.argv[1]); im.load()\n"
        "open(sys.argv[2], 'wb').write(im.convert('RGB').tobytes())\n"
        "print(im.format, im.mode, im.size[0], im.size[1])\n");
    p.start(QString::fromLatin1(kPython), {QStringLiteral("-c"), script, fpxPath, rawPath});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        failure = QString::fromLocal8Bit(p.readAllStandardError());
        return QString();
    }
    return QString::fromLatin1(p.readAllStandardOutput()).trimmed();
}

bool pillowAvailable() {
    QProcess p;
    p.start(QString::fromLatin1(kPython), {QStringLiteral("-c"), QStringLiteral("import PIL.FpxImagePlugin")});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

}  // namespace

TEST(FpxIndependentReader, PillowOpensOurFiles) {
    if (!QFile::exists(QString::fromLatin1(kPython)) || !pillowAvailable())
        GTEST_SKIP() << "python3-pil is not installed: no independent FlashPix reader to check against";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        int w, h;
        bool gray;
    };
    for (const Case& c : {Case{512, 384, false}, Case{512, 384, true}, Case{128, 64, false}, Case{64, 192, true}}) {
        const Picture pic = fpxtest::smoothPicture(c.w, c.h, c.gray);
        const QString path = dir.filePath(QStringLiteral("photo_%1x%2_%3.fpx").arg(c.w).arg(c.h).arg(c.gray));
        EncodeOptions opt;
        opt.jpegQuality = 85;
        opt.comment = QStringLiteral("checked by another reader");
        Error err = Error::None;
        ASSERT_TRUE(saveFile(path, Fpx, pic, opt, err)) << int(err);

        QString failure;
        const QString raw = dir.filePath(QStringLiteral("pixels.rgb"));
        const QString info = pillowRead(path, raw, failure);
        ASSERT_FALSE(info.isEmpty()) << qPrintable(failure);
        EXPECT_EQ(info, QStringLiteral("FPX %1 %2 %3").arg(c.gray ? "L" : "RGB").arg(c.w).arg(c.h));

        QFile f(raw);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        ASSERT_EQ(bytes.size(), qsizetype(c.w) * c.h * 3);
        const QImage theirs(reinterpret_cast<const uchar*>(bytes.constData()), c.w, c.h, c.w * 3,
                            QImage::Format_RGB888);
        EXPECT_LE(testsupport::maxChannelDiff(theirs, pic.image), 16) << c.w << "x" << c.h;
        // And our reader agrees with theirs.
        Decoded ours;
        ASSERT_TRUE(decodeFile(path, ours, err));
        EXPECT_LE(testsupport::maxChannelDiff(theirs, ours.picture.image), 12) << c.w << "x" << c.h;
    }
}
