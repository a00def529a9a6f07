// The stamp bitmap shipped in apData: a red "済" seal, 64 x 64, 24-bit BMP.
// Run with TOLVANE_WRITE_STAMP=1 to draw it again (needs a Japanese font,
// fonts-noto-cjk) and write it through our own BMP encoder.
#include "engine/codecs/codecs.h"

#include <QFile>
#include <QFontDatabase>
#include <QPainter>
#include <gtest/gtest.h>

using namespace engine;

namespace {

const QString kStampPath = QStringLiteral(TOLVANE_SOURCE_DIR "/assets/apData/Stamp.bmp");
const QRgb kSealRed = qRgb(204, 20, 28);
const QRgb kWhite = qRgb(255, 255, 255);

QString japaneseFamily() {
    const QStringList families = QFontDatabase::families(QFontDatabase::Japanese);
    for (const QString& want : {QStringLiteral("Noto Serif CJK JP"), QStringLiteral("Noto Sans CJK JP")})
        if (families.contains(want))
            return want;
    return QString();
}

// Drawn smooth at four times the size, then cut to two colours: the stamp's
// white is its transparent colour, so no half-white edge pixels may remain.
Picture drawSeal(const QString& family) {
    const int side = 64, k = 4;
    QImage big(side * k, side * k, QImage::Format_RGB32);
    big.fill(Qt::white);
    {
        QPainter p(&big);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setPen(QPen(QColor(kSealRed), 4.5 * k));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(3.5 * k, 3.5 * k, (side - 7) * k, (side - 7) * k));
        QFont font(family);
        font.setPixelSize(38 * k);
        font.setWeight(QFont::Black);
        p.setFont(font);
        p.setPen(QColor(kSealRed));
        p.drawText(QRect(0, -1 * k, side * k, side * k), Qt::AlignCenter, QStringLiteral("済"));
    }
    const QImage small = big.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage out(side, side, QImage::Format_BGR888);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            out.setPixel(x, y, qGreen(small.pixel(x, y)) < 150 ? kSealRed : kWhite);
    Picture pic;
    pic.image = out;
    pic.bits = 24;
    return pic;
}

}  // namespace

TEST(StampAsset, RegenerateWhenAsked) {
    if (qEnvironmentVariableIsEmpty("TOLVANE_WRITE_STAMP"))
        GTEST_SKIP() << "set TOLVANE_WRITE_STAMP=1 to draw assets/apData/Stamp.bmp again";
    const QString family = japaneseFamily();
    if (family.isEmpty())
        GTEST_SKIP() << "no Japanese font (fonts-noto-cjk) to draw the seal with";
    QByteArray bytes;
    Error err = Error::None;
    ASSERT_TRUE(codecs::encodeBmp(drawSeal(family), codecs::EncodeOptions(), bytes, err)) << int(err);
    QFile f(kStampPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

TEST(StampAsset, ShippedStampIsARedSealOnWhite) {
    codecs::Decoded d;
    Error err = Error::None;
    ASSERT_TRUE(codecs::decodeFile(kStampPath, d, err)) << int(err);
    const Picture& s = d.picture;
    EXPECT_EQ(s.image.size(), QSize(64, 64));
    EXPECT_EQ(s.bits, 24);
    int red = 0, white = 0, ring = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const QRgb c = s.image.pixel(x, y) & 0xffffff;
            red += c == (kSealRed & 0xffffff);
            white += c == (kWhite & 0xffffff);
        }
    EXPECT_EQ(red + white, 64 * 64);  // two colours only: white is the transparent colour
    EXPECT_GT(red, 600);               // the ring and the character
    EXPECT_GT(white, 64 * 64 / 2);
    // The ring crosses the middle of each side; the corners stay white.
    for (QPoint p : {QPoint(32, 4), QPoint(32, 59), QPoint(4, 32), QPoint(59, 32)})
        ring += (s.image.pixel(p) & 0xffffff) == (kSealRed & 0xffffff);
    EXPECT_EQ(ring, 4);
    EXPECT_EQ(s.image.pixel(0, 0) & 0xffffff, kWhite & 0xffffff);
    EXPECT_EQ(s.image.pixel(63, 63) & 0xffffff, kWhite & 0xffffff);
}
