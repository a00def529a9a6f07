#pragma once
// The text forms of settings values: how a value is written between its tags
// and how stored text is read back as a number or a truth value.
#include <QString>
#include <QStringList>
#include <QVariant>

#include "platform/numbers.h"

namespace settings {

// A value as written in the settings file: integers in decimal ("-12"),
// doubles in their shortest exact form with a "." ("0.5", "1e+20"), truth
// values as "True"/"False", dates in ISO form, strings unchanged, an empty
// variant as the empty text.
QString valueText(const QVariant& value);

// Whether a value text holds the opening or closing tag of one of the names:
// written unescaped (as values are), that tag would break the file's layout.
bool holdsTagOf(const QString& text, const QStringList& names);

// The leading number of a text as a double (platform/numbers.h).
using platform::leadingNumber;

// "true"/"false" in any case, or a number (non-zero is true), blanks around
// ignored. Any other text gives an invalid QVariant.
QVariant booleanValue(const QString& text);

}  // namespace settings
