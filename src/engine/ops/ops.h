#pragma once
// Picture operations: plain functions on pictures, shared by the engine's Edit
// object, the colour-depth preview and the batch tool. Each returns false and
// leaves the picture unchanged when it cannot do its work.
#include "engine/picture.h"

#include <QColor>
#include <QPolygon>

namespace engine::ops {

// Luminance, Rec. 601, rounded to the nearest integer.
inline int luminance(int r, int g, int b) { return (299 * r + 587 * g + 114 * b + 500) / 1000; }

// Colour depth by depth code: 1 (black and white: luminance >= threshold is
// white, so threshold 0 gives all white and 256 all black; table {black, white}),
// 4 and 8 (adaptive palette of at most 16 / 256 colours; dither switches
// Floyd-Steinberg on; a picture with no more colours than that keeps every
// colour exactly, a palette picture whose table fits keeps table and indices),
// 40 and 80 (grey by luminance onto a ramp of 16 / 256 greys, the nearest
// level, never dithered), 16 (5-5-5), 24, 32. Any other code (0 among them):
// false. Works from every depth to every code.
bool convertDepth(Picture& pic, int code, bool dither, int threshold);

// Whole picture to 24 bits.
bool convertTo24(Picture& pic);

// Keeps the columns left .. right-1 and the rows top .. bottom-1, clipped to
// the picture. False when nothing remains.
bool trim(Picture& pic, int left, int top, int right, int bottom);

// Keeps the bounding box of the polygon including its right and bottom
// coordinates, clipped to the picture. False when nothing remains.
bool regionTrim(Picture& pic, const QPolygon& polygon);

// Inverts the chosen channels (red, green, blue). Whole picture: a palette
// picture has its palette inverted and keeps its depth. Polygon area: the
// polygon's bounding box with its right and bottom edges excluded, like the
// selection rectangle (SelLeft .. SelRight - 1), clipped; the picture must have
// 16 bits or more, otherwise false; an area with nothing inside: true, no change.
bool invertChannels(Picture& pic, bool wholePicture, const QPolygon& polygon, bool red, bool green, bool blue);

// New size: area averaging when shrinking, smooth (bilinear) when enlarging,
// each axis on its own; depth kept. Palette pictures are resampled in full
// colour and every new colour takes its nearest entry of the unchanged table.
// Sizes under 1 or beyond the engine's limits: false.
bool resize(Picture& pic, int width, int height);

// angle in hundredths of a degree, counter-clockwise positive. Multiples of 9000
// (any sign) and the mirrors move pixels exactly at any depth, palette pictures
// keeping their table; with both a mirror and an angle the mirror comes first,
// then the turn. Other angles give the bounding box of the turned picture with
// the uncovered corners in the background colour, bilinear when smooth, nearest
// pixel otherwise; palette pictures come out at 24 bits, direct ones keep theirs.
bool rotate(Picture& pic, int angle, bool mirrorLeftRight, bool mirrorTopBottom, bool smooth, QColor background);

// Draws src onto dst with its top-left corner at (W/2 - 1 - posX, H/2 - 1 - posY),
// W and H being dst's size; fractional positions land exactly (the result is
// rounded once, halves to even). The destination keeps its size and depth: the
// source is converted to it (palette destinations: each colour's nearest entry).
// What falls outside is clipped; a source landing wholly outside changes nothing.
bool pasteImage(Picture& dst, const Picture& src, double posX, double posY);

}  // namespace engine::ops
