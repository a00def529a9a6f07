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
