#pragma once
// The status line beside the picture information: the picture's size in
// pixels, the zoom it is shown at, the picture pixel under the pointer and the
// size of the selection.
#include <QPoint>
#include <QSize>
#include <QString>
#include <optional>

namespace mainwin {

struct StatusFacts {
    QSize picture;                 // empty: no picture, and the line is empty
    double zoom = 0;               // view pixels per picture pixel
    std::optional<QPoint> pointer; // the pixel under the pointer, when it is over the picture
    QSize selection;               // empty: no selection
};

// "640 x 480  100%  (12, 34)  範囲 20 x 10"; the parts without a value are left out.
QString statusText(const StatusFacts& facts);

}  // namespace mainwin
