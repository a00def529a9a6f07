// Colour management: CIELab TIFFs become sRGB with their white adapted to
// sRGB's, and a picture with an embedded profile is shown converted to sRGB
// while its pixels and profile stay as the file has them.
#include "engine/codecs/codecs.h"
#include "engine/image_engine.h"
#include "engine/picture_store.h"
#include "support/metadata_test_support.h"

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <tiffio.h>

using namespace engine;

namespace {

// A one-row CIELab TIFF of the given L*, a*, b* triples (8 or 16 bits).
QByteArray labTiff(const QList<std::array<double, 3>>& colours, int bits) {
    QTemporaryDir tmp;
    const QString path = tmp.filePath(QStringLiteral("lab.tif"));
    TIFF* tif = TIFFOpen(path.toLocal8Bit().constData(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(colours.size()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_CIELAB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    std::vector<uchar> row;
    for (const auto& c : colours) {
        if (bits == 8) {
            row.push_back(uchar(std::lround(c[0] * 255 / 100)));
            row.push_back(uchar(int8_t(std::lround(c[1]))));
            row.push_back(uchar(int8_t(std::lround(c[2]))));
        } else {
            const uint16_t v[3] = {uint16_t(std::lround(c[0] * 65535 / 100)), uint16_t(int16_t(std::lround(c[1] * 256))),
                                   uint16_t(int16_t(std::lround(c[2] * 256)))};
            row.insert(row.end(), reinterpret_cast<const uchar*>(v), reinterpret_cast<const uchar*>(v) + 6);
        }
    }
    TIFFWriteScanline(tif, row.data(), 0, 0);
    TIFFClose(tif);
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

TEST(ColourManagement, CieLabWhiteIsWhiteAndNeutralsStayNeutral) {
    for (int bits : {8, 16}) {
        SCOPED_TRACE(bits);
        codecs::Decoded d;
        Error err;
        ASSERT_TRUE(codecs::decode(labTiff({{100, 0, 0}, {50, 0, 0}, {0, 0, 0}, {53.24, 80.09, 67.20}}, bits), d, err))
            << errorText(err).toStdString();
        ASSERT_EQ(d.picture.bits, 24);
        const QImage& img = d.picture.image;
        EXPECT_EQ(img.pixel(0, 0), qRgb(255, 255, 255));
        // L* 50 is sRGB 119 on every channel (within rounding).
        const QColor mid = img.pixelColor(1, 0);
        EXPECT_NEAR(mid.red(), 119, 1);
        EXPECT_EQ(mid.red(), mid.green());
        EXPECT_EQ(mid.green(), mid.blue());
        EXPECT_EQ(img.pixel(2, 0), qRgb(0, 0, 0));
        // sRGB red's Lab (D65 white), seen from D50 through the adaptation,
        // comes out a strong red: far from what no adaptation would give.
        const QColor red = img.pixelColor(3, 0);
        EXPECT_GT(red.red(), 230);
        EXPECT_LT(red.green(), 60);
        EXPECT_LT(red.blue(), 60);
    }
}

TEST(ColourManagement, ProfiledPictureIsShownInSrgbButKeepsItsPixels) {
    ImageEngine view;
    view.resize(200, 200);
    Picture pic;
    pic.image = QImage(64, 64, QImage::Format_BGR888);
    pic.image.fill(QColor(128, 128, 128));
    pic.bits = 24;
    view.SetImageHandle(PictureStore::instance().add(pic));
    view.ApplyDispMode(3);
    const QPoint centre = view.pictureRectInView().center();
    EXPECT_EQ(view.grab().toImage().pixel(centre), qRgb(128, 128, 128));

    // Grey 128 in a gamma 1.8 space is lighter in sRGB: linear 0.2875, sRGB about 146.
    Origin o;
    o.metadata.icc = testsupport::testProfile();
    ASSERT_TRUE(view.restoreOrigin(o));
    view.update();
    const QColor shown = view.grab().toImage().pixelColor(centre);
    EXPECT_NEAR(shown.red(), 146, 3);
    EXPECT_EQ(shown.red(), shown.green());
    EXPECT_EQ(shown.green(), shown.blue());
    EXPECT_EQ(view.current()->image.pixel(0, 0), qRgb(128, 128, 128));

    // A profile lcms2 cannot read changes nothing.
    o.metadata.icc = QByteArray(200, 'x');
    ASSERT_TRUE(view.restoreOrigin(o));
    EXPECT_EQ(view.grab().toImage().pixel(centre), qRgb(128, 128, 128));
}

}  // namespace
