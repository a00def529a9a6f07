#include "picture_control/number_edits.h"

#include "picture_control/upce_util.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace upce {

namespace {

// One side: pixels, or percent of `whole` when it ends with "%".
std::optional<double> parseSide(QString text, int whole) {
    text = text.trimmed();
    const bool percent = text.endsWith(u'%');
    if (percent)
        text.chop(1);
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v <= 0)
        return std::nullopt;
    return percent ? v * whole / 100.0 : v;
}

int side(double v) { return std::max(1, roundEven(v)); }

}  // namespace

int proportionalHeight(QSize picture, double width) {
    return picture.width() > 0 ? side(width * picture.height() / picture.width()) : 1;
}

int proportionalWidth(QSize picture, double height) {
    return picture.height() > 0 ? side(height * picture.width() / picture.height()) : 1;
}

std::optional<QSize> parseResize(const QString& text, QSize picture) {
    if (picture.isEmpty())
        return std::nullopt;
    const QStringList parts = text.split(u',');
    if (parts.size() == 1) {
        const bool percent = parts[0].trimmed().endsWith(u'%');
        const auto w = parseSide(parts[0], picture.width());
        if (!w)
            return std::nullopt;
        if (percent) {
            const auto h = parseSide(parts[0], picture.height());
            return QSize(side(*w), side(*h));
        }
        return QSize(side(*w), proportionalHeight(picture, *w));
    }
    if (parts.size() != 2)
        return std::nullopt;
    const auto w = parseSide(parts[0], picture.width());
    const auto h = parseSide(parts[1], picture.height());
    if (!w || !h)
        return std::nullopt;
    return QSize(side(*w), side(*h));
}

std::optional<TurnRequest> parseTurn(const QString& text) {
    const QStringList parts = text.split(u',');
    if (parts.isEmpty() || parts.size() > 2)
        return std::nullopt;
    bool ok = false;
    TurnRequest r;
    r.degrees = parts[0].trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(r.degrees))
        return std::nullopt;
    if (parts.size() == 2) {
        const QString colour = parts[1].trimmed();
        if (colour.size() != 7 || !colour.startsWith(u'#') || !QColor::isValidColorName(colour))
            return std::nullopt;
        r.background = QColor::fromString(colour);
    }
    return r;
}

}  // namespace upce
