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

long long roundEven(double v) {
    if (!std::isfinite(v))
        return 0;
    const double r = std::nearbyint(v);  // the default rounding mode: to nearest, ties to even
    if (r > 9.0e18)
        return 9000000000000000000LL;
    if (r < -9.0e18)
        return -9000000000000000000LL;
    return (long long)r;
}

double leadingNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\u3000'))
        ++i;
    QString num;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        num += text[i++];
    bool digits = false, point = false;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            digits = true;
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            break;
        }
        num += c;
        ++i;
    }
    if (!digits)
        return 0;
    // An exponent counts only when digits follow it.
    if (i + 1 < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        QString ex = QStringLiteral("e");
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-'))
            ex += text[j++];
        const qsizetype startDigits = j;
        while (j < text.size() && text[j] >= u'0' && text[j] <= u'9')
            ex += text[j++];
        if (j > startDigits)
            num += ex;
    }
    bool ok = false;
    const double v = num.toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0;
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
