#pragma once
// Resizing and turning by numbers: the command texts that carry the numbers
// ("ｻｲｽﾞ変更" with "640,480" or "50%", "角度回転" with "12.5" or
// "-30,#000000"), and the proportional size the resize dialog keeps.
#include <QColor>
#include <QSize>
#include <QString>
#include <optional>

namespace upce {

// The new size a resize text asks of a picture: "W,H" with each side in
// pixels or in percent of the picture ("640,480", "50%,25%", "800,50%"), or
// one value for both sides ("50%" scales both; "640" sets the width and keeps
// the proportions). Sides round to whole pixels, halves to even, and are at
// least 1. nullopt for text that is none of these, zero or negative sides.
std::optional<QSize> parseResize(const QString& text, QSize picture);

// A turn: degrees clockwise and the colour of the corners the turn uncovers
// (white unless "#RRGGBB" follows after a comma). nullopt for other text or an
// angle that is not a finite number.
struct TurnRequest {
    double degrees = 0;
    QColor background = Qt::white;
};
std::optional<TurnRequest> parseTurn(const QString& text);

// The side that keeps the picture's proportions when the other one is given.
int proportionalHeight(QSize picture, double width);
int proportionalWidth(QSize picture, double height);

}  // namespace upce
