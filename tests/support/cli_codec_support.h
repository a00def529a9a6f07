#pragma once
// Helpers for checking our decoders against the command-line tools of the
// same libraries (dwebp, avifdec, heif-convert, djxl, opj_decompress) and
// their encoders (cwebp, avifenc, heif-enc, cjxl, opj_compress).
#include <QImage>
#include <QString>
#include <QStringList>

#include "metadata_test_support.h"  // haveTool

namespace testsupport {

// Runs a program to its end; false (and its error output in failure) when it
// could not start, crashed or returned non-zero.
bool runTool(const QString& program, const QStringList& args, QString* failure = nullptr);

// A picture file as the reference decoders write it (PNG), as 0xAARRGGBB.
QImage readReference(const QString& path);

// Test pictures for the encoders' inputs: smooth and varied, so lossy coding
// stays close. Grey (Format_Grayscale8), colour (RGB32) or colour with an
// alpha channel that has fully transparent, partly transparent and opaque
// pixels (ARGB32).
enum class Kind { Grey, Colour, ColourAlpha };
QImage makeSource(int width, int height, Kind kind);

// The mean absolute difference of the colour channels of two images of the
// same size (pixels transparent in b skipped); -1 when the sizes differ.
double meanChannelDiff(const QImage& a, const QImage& b);

}  // namespace testsupport
