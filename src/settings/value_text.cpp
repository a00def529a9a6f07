#include "settings/value_text.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

#include <charconv>
#include <cmath>
#include <string>

namespace settings {

bool holdsTagOf(const QString& text, const QStringList& names) {
    for (const QString& name : names)
        if (text.contains(QChar('<') + name + QChar('>')) || text.contains(QStringLiteral("</") + name + QChar('>')))
            return true;
    return false;
}

QString valueText(const QVariant& value) {
    switch (value.metaType().id()) {
    case QMetaType::UnknownType:
        return QString();
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime:
        return value.toDateTime().toString(Qt::ISODate);
    default:
        return value.toString();
    }
}

double leadingNumber(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == QChar(' ') || text[i] == QChar('\t') || text[i] == QChar('\r') ||
                     text[i] == QChar('\n')))
        ++i;
    auto isDigit = [&](qsizetype k) { return k < n && text[k] >= QChar('0') && text[k] <= QChar('9'); };
    std::string number;
    if (i < n && (text[i] == QChar('+') || text[i] == QChar('-'))) {
        if (text[i] == QChar('-'))
            number += '-';
        ++i;
    }
    bool digits = false;
    for (; isDigit(i); ++i, digits = true)
        number += char(text[i].unicode());
    if (i < n && text[i] == QChar('.')) {
        number += '.';
        for (++i; isDigit(i); ++i, digits = true)
            number += char(text[i].unicode());
    }
    if (!digits)
        return 0.0;
    // An exponent counts only when at least one digit follows it.
    if (i < n && (text[i] == QChar('e') || text[i] == QChar('E'))) {
        qsizetype k = i + 1;
        std::string exponent = "e";
        if (k < n && (text[k] == QChar('+') || text[k] == QChar('-')))
            exponent += char(text[k++].unicode());
        if (isDigit(k)) {
            for (; isDigit(k); ++k)
                exponent += char(text[k].unicode());
            number += exponent;
        }
    }
    double result = 0.0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), result);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // Too small rounds to zero; too large has no value to give.
        return 0.0;
    }
    if (ec != std::errc() || !std::isfinite(result))
        return 0.0;
    return result;
}

QVariant booleanValue(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double d = QLocale::c().toDouble(t, &ok);
    if (ok)
        return d != 0.0;
    return QVariant();
}

}  // namespace settings
