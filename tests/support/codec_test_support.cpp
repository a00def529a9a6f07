#include "codec_test_support.h"

#include <QFile>

#include <algorithm>
#include <cstring>

namespace testsupport {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<QPair<QString, QStringList>> readRefMap(const QString& path) {
    QList<QPair<QString, QStringList>> rows;
    const QList<QByteArray> lines = readAll(path).split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype tab = line.indexOf('\t');
        const QString file = tab < 0 ? line : line.left(tab);
        const QStringList refs = tab < 0 ? QStringList() : line.mid(tab + 1).split(' ', Qt::SkipEmptyParts);
        rows.append({file, refs});
    }
    return rows;
}

static QRgb rgbAt(const QImage& img, const QImage& rgb32, int x, int y) {
    if (img.format() == QImage::Format_RGB555) {
        const quint16 v = reinterpret_cast<const quint16*>(img.constScanLine(y))[x];
        auto scale = [](int c) { return (c * 255 + 15) / 31; };
        return qRgb(scale((v >> 10) & 31), scale((v >> 5) & 31), scale(v & 31));
    }
    return reinterpret_cast<const QRgb*>(rgb32.constScanLine(y))[x];
}

bool sameRgb(const QImage& decoded, const QImage& reference, QString* mismatch, int tolerance) {
    auto fail = [&](const QString& why) {
        if (mismatch)
            *mismatch = why;
        return false;
    };
    const QImage& a = decoded;
    const QImage& b = reference;
    if (a.isNull() || b.isNull())
        return fail(QStringLiteral("null image"));
    if (a.size() != b.size())
        return fail(QStringLiteral("size %1x%2 vs %3x%4").arg(a.width()).arg(a.height()).arg(b.width()).arg(b.height()));
    const QImage ra = a.convertToFormat(QImage::Format_RGB32);
    const QImage rb = b.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* pb = reinterpret_cast<const QRgb*>(rb.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (qAlpha(pb[x]) == 0)
                continue;
            const QRgb p = rgbAt(a, ra, x, y), q = pb[x];
            const int diff = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                       std::abs(qBlue(p) - qBlue(q))});
            if (diff > tolerance)
                return fail(QStringLiteral("pixel (%1,%2) %3 vs %4").arg(x).arg(y)
                                .arg(p & 0xFFFFFF, 6, 16, QChar('0')).arg(q & 0xFFFFFF, 6, 16, QChar('0')));
        }
    }
    return true;
}

QImage readPpm(const QString& path) {
    const QByteArray d = readAll(path);
    // Header: "P6", width, height, maxval, each separated by white space (comments allowed).
    qsizetype i = 0;
    auto skipSpace = [&] {
        while (i < d.size()) {
            if (d[i] == '#') {
                while (i < d.size() && d[i] != '\n')
                    ++i;
            } else if (d[i] == ' ' || d[i] == '\n' || d[i] == '\r' || d[i] == '\t') {
                ++i;
            } else {
                break;
            }
        }
    };
    auto number = [&] {
        skipSpace();
        long v = 0;
        bool any = false;
        while (i < d.size() && d[i] >= '0' && d[i] <= '9' && v < 1000000) {
            v = v * 10 + (d[i++] - '0');
            any = true;
        }
        return any ? v : -1;
    };
    if (!d.startsWith("P6"))
        return QImage();
    i = 2;
    const long w = number(), h = number(), maxval = number();
    if (w <= 0 || h <= 0 || maxval != 255 || i >= d.size())
        return QImage();
    ++i;  // the single white-space byte before the pixels
    if (d.size() - i < qsizetype(w * h * 3))
        return QImage();
    QImage img(int(w), int(h), QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        memcpy(img.scanLine(y), d.constData() + i + qsizetype(y) * w * 3, size_t(w * 3));
    return img;
}

}  // namespace testsupport
