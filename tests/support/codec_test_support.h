#pragma once
// Helpers for the codec tests: corpus files, reference maps, colour comparison.
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace testsupport {

// The whole content of a file (empty when it cannot be read).
QByteArray readAll(const QString& path);

// A tab-separated map "file<TAB>ref ref..." (first line a heading): each file
// with its space-separated reference names (possibly none).
QList<QPair<QString, QStringList>> readRefMap(const QString& path);

// Whether a decoded image has the size and the RGB colours of a reference:
// every channel within `tolerance`, pixels the reference leaves fully
// transparent skipped (their colour means nothing). 5-5-5 pixels are scaled to
// 8 bits by rounding, as reference decoders do. mismatch receives the first
// difference.
bool sameRgb(const QImage& decoded, const QImage& reference, QString* mismatch = nullptr, int tolerance = 0);

// A binary PPM (P6, maxval 255) as an RGB image; null when it is not one.
QImage readPpm(const QString& path);

}  // namespace testsupport
