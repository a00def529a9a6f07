#pragma once
// Window geometry is kept in twips (1/1440 inch), as in the settings file and
// the layout constants; widgets want pixels. The factor comes from the
// screen's logical DPI (15 twips per pixel at 96 DPI).
#include <QRect>
#include <QString>

#include "platform/numbers.h"

namespace mainwin {

// Twips per pixel of the primary screen (15 at 96 DPI).
double twipsPerPixel();
int toPx(double twips);          // rounded to the nearest pixel
double toTwips(int px);
QRect rectPx(int left, int top, int width, int height);  // arguments in twips

using platform::leadingNumber;
using platform::roundEven;

// A number as a general number: shortest decimal text, at most 15 significant
// digits (127.5, 130.05, 255).
QString generalNumber(double v);

// A number with at most one decimal. pattern "0.#" keeps a zero before the
// point, "#.#" drops it; an integral value keeps its point ("129.").
QString formatOneDecimal(double v, bool leadingZero);

}  // namespace mainwin
