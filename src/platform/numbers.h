#pragma once
// The two numeric conversions the whole program shares with its settings file
// and its layout constants: rounding with halves to the even neighbour, and the
// number at the start of a text.
#include <QString>

namespace platform {

// Rounds to the nearest integer, a half going to the even neighbour; NaN and
// infinities give 0, values beyond +-9e18 are clamped there.
long long roundEven(double v);
// The same, clamped to the range of int.
int roundEvenInt(double v);

// The number at the start of a text: leading blanks (space, tab, line breaks,
// the ideographic space) skipped, an optional sign, digits with one optional
// "." (".5" and "5." count), then an exponent when at least one digit follows
// its "e". Reading stops at the first character that cannot continue the
// number. No number, or one too large for a double, gives 0.
double leadingNumber(const QString& text);

}  // namespace platform
