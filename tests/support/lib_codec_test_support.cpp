#include "lib_codec_test_support.h"

#include <QtEndian>

#include "test_support.h"

#include <QDir>
#include <QFile>

namespace testsupport {

using namespace engine;
using namespace engine::codecs;

Error roundTrip(Format format, const Picture& pic, Decoded& out, const QString& comment, int jpegQuality) {
    EncodeOptions opt;
    opt.comment = comment;
    opt.jpegQuality = jpegQuality;
    QByteArray bytes;
    Error err = Error::None;
    if (!encode(format, pic, opt, bytes, err))
        return err;
    if (!decode(bytes, out, err))
        return err == Error::None ? Error::Damaged : err;
    return Error::None;
}

QList<DamagedCopy> truncations(const QByteArray& valid, const QList<int>& cuts) {
    QList<DamagedCopy> list;
    for (int cut : cuts) {
        const int at = cut < 0 ? int(valid.size()) + cut : cut;
        if (at > 0 && at < valid.size())
            list.append({QStringLiteral("cut at %1 of %2").arg(at).arg(valid.size()), valid.left(at)});
    }
    return list;
}

QByteArray be32(quint32 v) {
    QByteArray b(4, '\0');
    qToBigEndian(v, b.data());
    return b;
}

QByteArray pngChunk(const char* type, const QByteArray& body) {
    const QByteArray typed = QByteArray(type, 4) + body;
    quint32 crc = 0xFFFFFFFFu;
    for (char ch : typed) {
        crc ^= uchar(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return be32(quint32(body.size())) + typed + be32(~crc);
}

QString corpusFolder(const QString& sub) {
    const QString root = corpusDir();
    if (root.isEmpty())
        return QString();
    const QString path = QDir(root).filePath(sub);
    return QDir(path).exists() ? path : QString();
}

QImage asRgb32(const Picture& pic) {
    return pic.image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace testsupport
