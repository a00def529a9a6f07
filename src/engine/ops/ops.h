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
// white), 4 and 8 (adaptive palette; dither switches Floyd-Steinberg on),
// 40 and 80 (grey by luminance), 16 (5-5-5), 24, 32. Any other code: false.
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
// picture must have 16 bits or more, otherwise false.
bool invertChannels(Picture& pic, bool wholePicture, const QPolygon& polygon, bool red, bool green, bool blue);

// New size: area averaging when shrinking, smooth when enlarging, depth kept.
bool resize(Picture& pic, int width, int height);

// angle in hundredths of a degree, counter-clockwise positive. Multiples of 9000
// and the mirrors move pixels exactly at any depth; other angles fill the
// uncovered corners with the background colour.
bool rotate(Picture& pic, int angle, bool mirrorLeftRight, bool mirrorTopBottom, bool smooth, QColor background);

// Draws src onto dst with its top-left corner at (W/2 - 1 - posX, H/2 - 1 - posY),
// W and H being dst's size; fractional positions land exactly (the result is
// rounded once, halves to even). The destination keeps its size and depth.
bool pasteImage(Picture& dst, const Picture& src, double posX, double posY);

}  // namespace engine::ops
