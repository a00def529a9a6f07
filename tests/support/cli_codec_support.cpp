#include "cli_codec_support.h"

#include <QProcess>

#include <cstdlib>

namespace testsupport {

bool runTool(const QString& program, const QStringList& args, QString* failure) {
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(program, args);
    const bool ok = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok && failure)
        *failure = program + QChar(' ') + args.join(QChar(' ')) + QStringLiteral(": ") +
                   QString::fromLocal8Bit(p.readAllStandardError());
    return ok;
}

QImage readReference(const QString& path) {
    return QImage(path).convertToFormat(QImage::Format_ARGB32);
}

QImage makeSource(int width, int height, Kind kind) {
    QImage img(width, height, kind == Kind::Grey ? QImage::Format_Grayscale8
                              : kind == Kind::Colour ? QImage::Format_RGB32
                                                     : QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int r = (x * 255) / qMax(1, width - 1);
            const int g = (y * 255) / qMax(1, height - 1);
            const int b = ((x + y) * 127) / qMax(1, width + height - 2) + 64;
            if (kind == Kind::Grey) {
                img.scanLine(y)[x] = uchar((r + g) / 2);
            } else {
                const int a = kind == Kind::Colour ? 255 : (x % 3 == 0 ? 128 : (x % 3 == 1 ? 255 : 0));
                img.setPixel(x, y, qRgba(r, g, b, a));
            }
        }
    }
    return img;
}

double meanChannelDiff(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return -1;
    const QImage ca = a.convertToFormat(QImage::Format_ARGB32), cb = b.convertToFormat(QImage::Format_ARGB32);
    qint64 sum = 0, count = 0;
    for (int y = 0; y < ca.height(); ++y) {
        for (int x = 0; x < ca.width(); ++x) {
            const QRgb p = ca.pixel(x, y), q = cb.pixel(x, y);
            if (qAlpha(q) == 0)
                continue;
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
            count += 3;
        }
    }
    return count ? double(sum) / double(count) : 0;
}

}  // namespace testsupport
