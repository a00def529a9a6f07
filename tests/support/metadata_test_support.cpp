#include "metadata_test_support.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <csetjmp>
#include <cstdio>
#include <exiv2/exiv2.hpp>
#include <jpeglib.h>
#include <lcms2.h>
#include <turbojpeg.h>

namespace testsupport {

QByteArray turboJpeg(int width, int height, int quality, bool grey) {
    std::vector<unsigned char> rgb(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
            p[0] = uchar((x * 255) / qMax(1, width - 1));
            p[1] = uchar((y * 255) / qMax(1, height - 1));
            p[2] = uchar(((x + y) * 255) / qMax(1, width + height - 2));
        }
    tjhandle h = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    tjCompress2(h, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, grey ? TJSAMP_GRAY : TJSAMP_420, quality,
                0);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    tjFree(out);
    tjDestroy(h);
    return bytes;
}

QByteArray withSegments(QByteArray jpeg, const QList<QByteArray>& segments) {
    qsizetype at = 2;
    if (jpeg.size() > 6 && uchar(jpeg[2]) == 0xFF && uchar(jpeg[3]) == 0xE0)
        at = 4 + ((uchar(jpeg[4]) << 8) | uchar(jpeg[5]));
    for (const QByteArray& s : segments) {
        jpeg.insert(at, s);
        at += s.size();
    }
    return jpeg;
}

static QByteArray segment(int marker, const QByteArray& payload) {
    const int length = int(payload.size()) + 2;
    QByteArray s;
    s.append(char(0xFF)).append(char(marker)).append(char(length >> 8)).append(char(length & 0xFF));
    return s + payload;
}

QByteArray exifSegment(int orientation, int width, int height, bool thumbnail) {
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "TolvaneCam";
    exif["Exif.Image.Model"] = "T1";
    exif["Exif.Image.Orientation"] = uint16_t(orientation);
    exif["Exif.Photo.DateTimeOriginal"] = "2024:05:06 07:08:09";
    exif["Exif.Photo.PixelXDimension"] = uint32_t(width);
    exif["Exif.Photo.PixelYDimension"] = uint32_t(height);
    if (thumbnail) {
        const QByteArray small = turboJpeg(16, 12, 80);
        Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(small.constData()),
                                                long(small.size()));
    }
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
    return segment(0xE1, QByteArray("Exif\0\0", 6) +
                             QByteArray(reinterpret_cast<const char*>(blob.data()), qsizetype(blob.size())));
}

QByteArray xmpSegment(int orientation) {
    const QByteArray packet =
        "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
        "<rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" "
        "xmlns:tiff=\"http://ns.adobe.com/tiff/1.0/\" xmp:CreatorTool=\"TolvaneTest\" tiff:Orientation=\"" +
        QByteArray::number(orientation) +
        "\"/></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>";
    return segment(0xE1, QByteArray("http://ns.adobe.com/xap/1.0/\0", 29) + packet);
}

QByteArray iccSegment(const QByteArray& profile) {
    return segment(0xE2, QByteArray("ICC_PROFILE\0", 12) + QByteArray("\x01\x01", 2) + profile);
}

QByteArray testProfile() {
    // Made once: the header holds the time it was made.
    static const QByteArray made = [] {
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {{0.7347, 0.2653, 1.0}, {0.1152, 0.8264, 1.0}, {0.1566, 0.0177, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 1.8);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsMLU* desc = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(desc, "en", "US", "Tolvane test RGB");
    cmsWriteTag(p, cmsSigProfileDescriptionTag, desc);
    cmsMLUfree(desc);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(p, nullptr, &size);
    QByteArray bytes(qsizetype(size), '\0');
    cmsSaveProfileToMem(p, bytes.data(), &size);
    cmsCloseProfile(p);
    cmsFreeToneCurve(gamma);
    return bytes;
    }();
    return made;
}

bool haveTool(const QString& program) { return !QStandardPaths::findExecutable(program).isEmpty(); }

QMap<QString, QString> exiftool(const QString& path) {
    QMap<QString, QString> tags;
    if (!haveTool(QStringLiteral("exiftool")))
        return tags;
    QProcess p;
    p.start(QStringLiteral("exiftool"), {QStringLiteral("-j"), QStringLiteral("-n"), QStringLiteral("-G1"),
                                         QStringLiteral("-a"), path});
    p.waitForFinished(60000);
    const QJsonArray all = QJsonDocument::fromJson(p.readAllStandardOutput()).array();
    if (all.isEmpty())
        return tags;
    const QJsonObject o = all.first().toObject();
    for (auto it = o.begin(); it != o.end(); ++it)
        tags.insert(it.key(), it.value().toVariant().toString());
    return tags;
}

namespace {
struct JumpError {
    jpeg_error_mgr pub;
    jmp_buf jump;
};
extern "C" void jumpOut(j_common_ptr c) { longjmp(reinterpret_cast<JumpError*>(c->err)->jump, 1); }
}  // namespace

std::vector<std::vector<short>> dctCoefficients(const QByteArray& jpeg) {
    std::vector<std::vector<short>> all;
    jpeg_decompress_struct d;
    JumpError e;
    d.err = jpeg_std_error(&e.pub);
    e.pub.error_exit = jumpOut;
    if (setjmp(e.jump)) {
        jpeg_destroy_decompress(&d);
        return {};
    }
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(jpeg.constData()), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&d, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&d);
    for (int c = 0; c < d.num_components; ++c) {
        const jpeg_component_info& info = d.comp_info[c];
        std::vector<short> v;
        for (JDIMENSION row = 0; row < info.height_in_blocks; ++row) {
            JBLOCKARRAY blocks = d.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&d), arrays[c], row, 1, FALSE);
            for (JDIMENSION b = 0; b < info.width_in_blocks; ++b)
                v.insert(v.end(), blocks[0][b], blocks[0][b] + DCTSIZE2);
        }
        all.push_back(std::move(v));
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return all;
}

std::vector<int> firstQuantTable(const QByteArray& d) {
    for (qsizetype i = 2; i + 4 < d.size();) {
        if (uchar(d[i]) != 0xFF)
            return {};
        const int marker = uchar(d[i + 1]);
        const int len = (uchar(d[i + 2]) << 8) | uchar(d[i + 3]);
        if (marker == 0xDB && i + 5 + 64 <= d.size() && (uchar(d[i + 4]) >> 4) == 0) {
            std::vector<int> t;
            for (int k = 0; k < 64; ++k)
                t.push_back(uchar(d[i + 5 + k]));
            return t;
        }
        if (marker == 0xDA)
            return {};
        i += 2 + len;
    }
    return {};
}

}  // namespace testsupport
