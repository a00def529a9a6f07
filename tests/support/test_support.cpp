#include "test_support.h"

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QRandomGenerator>
#include <QWidget>

namespace testsupport {

void destroyTopLevelWindows() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Deleting one window can delete others of the list (a menu window owns
    // its popup menus), so each is held by a guarded pointer.
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (!w->parentWidget())
            windows << w;
    for (const QPointer<QWidget>& w : windows)
        delete w.data();
}

QString corpusDir() {
    const QString dir = QStringLiteral(TOLVANE_CORPUS_DIR);
    return QDir(dir).exists() ? QDir(dir).absolutePath() : QString();
}

engine::Picture makeTestPicture(int width, int height, int depthCode, unsigned seed) {
    QRandomGenerator rng(seed);
    const bool gray = depthCode == 40 || depthCode == 80;
    const int bits = gray ? depthCode / 10 : depthCode;
    engine::Picture pic;
    pic.bits = bits;
    if (bits <= 8) {
        const int n = bits == 1 ? 2 : (bits == 4 ? 16 : 256);
        QImage img(width, height, engine::formatForBits(bits));
        QList<QRgb> table;
        if (gray) {
            table = engine::grayTable(n);
        } else {
            for (int i = 0; i < n; ++i)
                table << qRgb(int(rng.bounded(256)), int(rng.bounded(256)), int(rng.bounded(256)));
        }
        img.setColorTable(table);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                img.setPixel(x, y, uint((x * 7 + y * 13 + int(rng.bounded(n))) % n));
        pic.image = img;
    } else {
        QImage img(width, height, engine::formatForBits(bits));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                img.setPixel(x, y, qRgb((x * 37 + y) & 255, (y * 11 + int(rng.bounded(256))) & 255, (x ^ y) & 255));
        pic.image = img;
    }
    return pic;
}

bool samePixels(const engine::Picture& a, const engine::Picture& b, QString* mismatch) {
    auto fail = [&](const QString& why) {
        if (mismatch)
            *mismatch = why;
        return false;
    };
    if (a.bits != b.bits)
        return fail(QStringLiteral("bits %1 vs %2").arg(a.bits).arg(b.bits));
    if (a.image.size() != b.image.size())
        return fail(QStringLiteral("size differs"));
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.image.pixel(x, y) != b.image.pixel(x, y))
                return fail(QStringLiteral("pixel (%1,%2) %3 vs %4").arg(x).arg(y)
                                .arg(a.image.pixel(x, y), 8, 16).arg(b.image.pixel(x, y), 8, 16));
    if (a.bits <= 8) {
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (a.image.pixelIndex(x, y) != b.image.pixelIndex(x, y))
                    return fail(QStringLiteral("index at (%1,%2)").arg(x).arg(y));
    }
    return true;
}

int maxChannelDiff(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return 256;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

}  // namespace testsupport
