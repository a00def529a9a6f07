#pragma once
// The drawing toolbar of an engine instance: a floating tool window with the
// tools freehand pen, straight line, rectangle and ellipse (outline and
// filled) and stamp, a colour choice and a pen width. While a tool is chosen,
// a left-button drag on the view draws instead of selecting; each finished
// stroke (or stamp) is one edit of the engine (UndoLastEdit takes it back,
// ImageEngine::drawingApplied tells the host). The drawing itself is done by
// the pure functions of drawing.h.
#include "engine/errors.h"
#include "engine/picture.h"

#include <QColor>
#include <QList>
#include <QPoint>
#include <QString>
#include <optional>

class QPainter;
class QWidget;

namespace engine {

class ImageEngine;
class DrawToolbarWindow;

class DrawTool {
public:
    enum Tool : int { NoTool = 0, Pen = 1, Line = 2, Rect = 3, FilledRect = 4, Ellipse = 5, FilledEllipse = 6, Stamp = 7 };

    explicit DrawTool(ImageEngine& engine);
    virtual ~DrawTool();

    // The settings, in the order the host sets them; Show takes them over.
    bool OptionA = false;      // the toolbar stays above other windows
    int Top = 0;               // toolbar window top, screen pixels
    int Left = 0;              // toolbar window left, screen pixels
    bool OptionB = false;      // stamp pixels of BackColor are left out (transparent)
    QString Caption;           // window title
    int SettingA = 0;          // largest pen width offered, 1..99 (0: 20)
    int SettingB = 0;          // tool chosen when the toolbar opens (Tool numbers; 0 none)
    QColor BackColor = Qt::white;  // the stamp's transparent colour (with OptionB)
    QColor PenColor = Qt::black;   // the colour chosen when the toolbar opens
    QString StampFile;         // the stamp bitmap; a missing or bad file disables the stamp tool

    // Opens the toolbar (any mode: the window never blocks) at Left, Top, moved
    // only as far as needed to keep it wholly on its screen. True when open.
    virtual bool Show(int mode);
    // Closes the toolbar; false when it was not open.
    virtual bool CloseDrawTool();
    bool isOpen() const { return open_; }

    Tool tool() const { return tool_; }
    void setTool(Tool t);
    QColor colour() const { return colour_; }
    void setColour(QColor c);
    int penWidth() const { return width_; }
    void setPenWidth(int w);
    int maxPenWidth() const;
    // The stamp picture (null when StampFile could not be read) and why not.
    const Picture& stamp() const { return stamp_; }
    Error stampError() const { return stampError_; }
    void setStamp(const Picture& stamp);
    // The toolbar window (nullptr before the first Show).
    QWidget* window() const;

    // Mouse input from the view, in picture pixels.
    bool capturesMouse() const { return open_ && tool_ != NoTool; }
    void press(QPoint pixel);
    void move(QPoint pixel);
    bool release(QPoint pixel);
    // Draws the stroke in progress over the view.
    void paintPreview(QPainter& painter, const QRectF& display, QSize picture) const;

    // A finished stroke on a picture: the pure step behind release().
    static bool applyStroke(Picture& pic, Tool tool, const QList<QPoint>& points, QColor colour, int width,
                            const Picture& stamp, std::optional<QColor> transparent);

    // From the toolbar window.
    void windowClosedByUser();
    void toolbarChanged();

protected:
    ImageEngine& engine_;
    bool open_ = false;

private:
    DrawToolbarWindow* window_ = nullptr;
    Tool tool_ = NoTool;
    QColor colour_ = Qt::black;
    int width_ = 3;
    Picture stamp_;
    Error stampError_ = Error::None;
    QString stampFrom_;
    QList<QPoint> stroke_;
    bool stroking_ = false;

    void loadStamp();
    void placeWindow();
};

}  // namespace engine
