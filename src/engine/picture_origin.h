#pragma once
// What a picture keeps of the file it came from besides its pixels: the file's
// metadata (written again when the picture is saved in a format that holds
// it), and the moves its pixels made since they were decoded (so that a JPEG
// that was only turned, flipped or trimmed can be saved by moving its
// compressed blocks instead of compressing it again).
#include <QByteArray>
#include <QList>
#include <QRect>

namespace engine {

struct Metadata {
    QByteArray exif;  // the EXIF block in TIFF layout, from its "II"/"MM" mark
    QByteArray xmp;   // the XMP packet (UTF-8 XML)
    QByteArray icc;   // the ICC colour profile
    bool isEmpty() const { return exif.isEmpty() && xmp.isEmpty() && icc.isEmpty(); }
};

// A move that keeps every pixel: an optional left-right mirror, then a number
// of quarter turns clockwise. The eight moves of a rectangle, composable.
struct PixelMove {
    bool mirror = false;
    int quarterTurns = 0;  // 0..3, clockwise

    bool isIdentity() const { return !mirror && quarterTurns == 0; }
    bool swapsSides() const { return (quarterTurns & 1) != 0; }
    // This move followed by next.
    PixelMove then(const PixelMove& next) const;
    bool operator==(const PixelMove&) const = default;

    static PixelMove turnRight() { return {false, 1}; }
    static PixelMove turnLeft() { return {false, 3}; }
    static PixelMove mirrorLeftRight() { return {true, 0}; }
    static PixelMove mirrorTopBottom() { return {true, 2}; }
    // The move that brings a picture stored with an EXIF/TIFF orientation
    // (1..8) upright; the identity for 1 and unknown values.
    static PixelMove fromOrientation(int orientation);
};

// One step of a picture's history that moved pixels without changing any:
// the move first, then (when not null) a cut to the rectangle, given in the
// moved picture's coordinates.
struct GeometryStep {
    PixelMove move;
    QRect crop;
};

// How the pixels came from the file they were decoded from.
struct Lineage {
    QByteArray jpegFile;        // the JPEG file itself; empty for other sources
    QList<GeometryStep> steps;  // every move since decoding (the orientation applied on load first)
    bool reworked = false;      // an edit since decoding changed pixel values
    qint64 pixelsKey = 0;       // QImage::cacheKey of the pixels the record describes

    // Adds a step, merging it with the last one when that had no cut.
    void add(const GeometryStep& step);
    // Nothing happened to the pixels since they were decoded (not even a turn).
    bool isPristine() const { return steps.isEmpty() && !reworked; }
};

// Metadata and lineage together, as the picture control keeps them with its
// history (its undo files hold pixels only).
struct Origin {
    Metadata metadata;
    Lineage lineage;
};

}  // namespace engine
