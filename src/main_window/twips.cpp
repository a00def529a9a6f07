#include "main_window/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>
#include <cstdlib>

namespace mainwin {

double twipsPerPixel() {
    const QScreen* s = QGuiApplication::primaryScreen();
    const double dpi = s ? s->logicalDotsPerInchX() : 96.0;
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

int toPx(double twips) { return int(roundEven(twips / twipsPerPixel())); }

double toTwips(int px) { return px * twipsPerPixel(); }

QRect rectPx(int left, int top, int width, int height) {
    return QRect(toPx(left), toPx(top), toPx(width), toPx(height));
}

QString generalNumber(double v) {
    if (v == 0)
        return QStringLiteral("0");
    return QString::number(v, 'g', 15);
}

QString formatOneDecimal(double v, bool leadingZero) {
    const double tenths = std::round(v * 10.0);  // halves away from zero, as number formats do
    const bool negative = tenths < 0;
    const double a = std::fabs(tenths);
    const long long whole = (long long)(a / 10.0);
    const int dec = int(a - double(whole) * 10.0 + 0.5);
    QString s;
    if (negative && a != 0)
        s += u'-';
    if (whole != 0 || leadingZero)
        s += QString::number(whole);
    s += u'.';
    if (dec != 0)
        s += QString::number(dec);
    return s;
}

}  // namespace mainwin
