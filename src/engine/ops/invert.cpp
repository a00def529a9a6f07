// Channel inversion of the whole picture or of a rectangle.
#include "engine/ops/ops.h"
#include "engine/ops/pixels.h"

namespace engine::ops {

using namespace detail;

namespace {

// Inverts the chosen channels of the columns [x0, x1) in the rows [y0, y1) of a
// direct-colour image in place. Every inversion is an exclusive-or, so doing
// it twice gives back the very same bits (also the 5-bit channels of 16 bits).
void invertDirect(QImage& img, int x0, int y0, int x1, int y1, bool red, bool green, bool blue) {
    uchar* const base = img.bits();
    const qsizetype bpl = img.bytesPerLine();
    const QImage::Format f = img.format();
    parallelFor(y1 - y0, 64, [&](int a, int b) {
        for (int y = y0 + a; y < y0 + b; ++y) {
            uchar* row = base + y * bpl;
            if (f == QImage::Format_RGB555) {
                const quint16 mask = quint16((red ? 0x7C00 : 0) | (green ? 0x03E0 : 0) | (blue ? 0x001F : 0));
                auto* p = reinterpret_cast<quint16*>(row);
                for (int x = x0; x < x1; ++x)
                    p[x] ^= mask;
            } else if (f == QImage::Format_BGR888) {  // bytes blue, green, red
                uchar* p = row + qsizetype(x0) * 3;
                const uchar mb = blue ? 0xFF : 0, mg = green ? 0xFF : 0, mr = red ? 0xFF : 0;
                for (int x = x0; x < x1; ++x, p += 3) {
                    p[0] ^= mb;
                    p[1] ^= mg;
                    p[2] ^= mr;
                }
            } else {  // Format_RGB32
                const quint32 mask = (red ? 0x00FF0000u : 0) | (green ? 0x0000FF00u : 0) | (blue ? 0x000000FFu : 0);
                auto* p = reinterpret_cast<quint32*>(row);
                for (int x = x0; x < x1; ++x)
                    p[x] ^= mask;
            }
        }
    });
}

}  // namespace

bool invertChannels(Picture& pic, bool wholePicture, const QPolygon& polygon, bool red, bool green, bool blue) {
    if (!wellFormed(pic))
        return false;
    if (wholePicture) {
        if (isPaletteDepth(pic.bits)) {
            // The table is inverted; the pixels and the depth stay.
            QImage out = pic.image;
            QList<QRgb> table = out.colorTable();
            for (QRgb& c : table)
                c = qRgb(red ? 255 - qRed(c) : qRed(c), green ? 255 - qGreen(c) : qGreen(c),
                         blue ? 255 - qBlue(c) : qBlue(c));
            out.setColorTable(table);
            pic.image = out;
            return true;
        }
        QImage out = ownPixels(pic.image);
        if (out.isNull())
            return false;
        invertDirect(out, 0, 0, out.width(), out.height(), red, green, blue);
        pic.image = out;
        return true;
    }
    // An area: only direct-colour pictures, since a palette picture cannot
    // hold the new colours; the caller converts to 16 bits or more first.
    if (isPaletteDepth(pic.bits))
        return false;
    if (polygon.isEmpty())
        return true;
    // The polygon's bounding box, right and bottom edges excluded, as for the
    // selection rectangle (which covers SelLeft .. SelRight - 1).
    qint64 minX = polygon[0].x(), maxX = minX, minY = polygon[0].y(), maxY = minY;
    for (const QPoint& p : polygon) {
        minX = std::min<qint64>(minX, p.x());
        maxX = std::max<qint64>(maxX, p.x());
        minY = std::min<qint64>(minY, p.y());
        maxY = std::max<qint64>(maxY, p.y());
    }
    const qint64 x0 = std::max<qint64>(0, minX), y0 = std::max<qint64>(0, minY);
    const qint64 x1 = std::min<qint64>(pic.width(), maxX), y1 = std::min<qint64>(pic.height(), maxY);
    if (x1 <= x0 || y1 <= y0 || !(red || green || blue))
        return true;  // nothing inside: no change
    QImage out = ownPixels(pic.image);
    if (out.isNull())
        return false;
    invertDirect(out, int(x0), int(y0), int(x1), int(y1), red, green, blue);
    pic.image = out;
    return true;
}

}  // namespace engine::ops
