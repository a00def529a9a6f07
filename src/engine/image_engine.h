#pragma once
// The image engine: one instance holds one current picture (by handle in the
// process-wide store), shows it in one of five view modes, keeps the selection
// rectangle in picture pixels, and offers the File and Edit objects through
// which pictures are loaded, saved and changed.
//
// Ownership: an instance owns the picture whose handle it holds. Setting a new
// handle, loading, pasting and destroying the instance release it; CopyImage
// hands out a new picture that belongs to whoever takes it (usually another
// instance through SetImageHandle) until FreeImage.
//
// ErrorNumber: every call that reports success sets it, to 0 on success and to
// the reason (errors.h) on failure.
#include "engine/errors.h"
#include "engine/picture.h"
#include "engine/view_mapping.h"
#include "engine/view_rendition.h"
#include "platform/busy_wait.h"

#include <QPolygon>
#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

class QScrollBar;

namespace engine {

class ImageEngine;
class DrawTool;

// Loading and saving (format codes: 0 BMP, 2 JPEG, 4 GIF, 5 TIFF, 12 PNG, 13 FPX, 16 PCX).
class EngineFile {
public:
    explicit EngineFile(ImageEngine& engine) : engine_(engine) {}

    QString FileName;
    QString Comment;      // read by LoadFile/LoadFileInfo, written by SaveFile where the format has room
    int JpegQuality = 75; // 1..100 (clamped)
    QString SaveFilter;   // extensions offered by ShowSaveDialog, "BMP;JPG;..."

    // What LoadFile or LoadFileInfo read: size, depth and format code of FileName.
    int InfoWidth = 0, InfoHeight = 0, InfoBits = 0, InfoFormat = -1;
    // The last LoadFile could read only part of the picture (the file ends
    // early); what it read is the current picture.
    bool Partial = false;

    // Decodes FileName and makes it the current picture (the one held before is
    // released). On failure the current picture stays and ErrorNumber says why.
    bool LoadFile(int reserved = 0);
    // Reads what FileName says about itself (Info* and Comment); true when it is
    // a readable picture. Right after LoadFile of the same file this costs nothing.
    bool LoadFileInfo();
    // Writes the picture (handle 0: the current one) to FileName through a
    // temporary file: a failure never damages an existing file.
    bool SaveFile(int formatCode, quint32 handle = 0);
    // Asks for a file name through the prompt layer, starting from FileName;
    // true and FileName set when the user chose one (false, Cancelled otherwise).
    bool ShowSaveDialog();

private:
    ImageEngine& engine_;
    // What the last successful LoadFile read, so LoadFileInfo does not decode twice.
    QString loadedPath_;
    qint64 loadedSize_ = -1;
    qint64 loadedTime_ = 0;
    QString loadedComment_;
};

// Edits of the current picture. Each one goes through ImageEngine::applyEdit:
// the picture before it is kept for UndoLastEdit.
class EngineEdit {
public:
    explicit EngineEdit(ImageEngine& engine) : engine_(engine) {}

    int RegionMode = 1;  // 1 whole picture, 2 the polygon given to the call
    int EditOption = 1;  // kept for the callers; no edit depends on it
    int TrimLeft = 0, TrimTop = 0, TrimRight = 0, TrimBottom = 0;

    // Keeps columns TrimLeft..TrimRight-1 and rows TrimTop..TrimBottom-1.
    bool Trim();
    // Crops to the bounding box of the polygon (its right and bottom included).
    bool RegionTrim(const QList<int>& xs, const QList<int>& ys, int n, int r = 255, int g = 255, int b = 255);
    // Inverts each flagged channel: of the whole picture (RegionMode 1) or
    // inside the polygon (RegionMode 2, pictures of 16 bits and more).
    bool InvertChannels(const QList<int>& xs, const QList<int>& ys, int n, bool red, bool green, bool blue);
    // depthCode 1, 4, 40, 8, 80, 16, 24 or 32; flag: dithering; threshold: 1-bit cut (0..255).
    bool ConvertDepth(int depthCode, int reserved, bool flag, int threshold);
    // The colour-depth panel's conversion to depthCode (codes as ConvertDepth):
    // never dithered, threshold for 1 bit only.
    bool PreviewDepth(int depthCode, int threshold);
    // Inverts every colour channel of the whole picture.
    bool InvertAll();
    // The colour-depth panel's commit as one edit: PreviewDepth, then InvertAll
    // when invert is set (the preview shows a picture of the same conversion).
    bool PanelDepth(int depthCode, int threshold, bool invert);
    bool Resize(int width, int height, bool flag = true);
    // angle in 1/100 degree, counter-clockwise positive; flag: smooth.
    bool Rotate(int angle, bool mirrorLeftRight, bool mirrorTopBottom, bool flag, int r = 255, int g = 255,
                int b = 255, int reserved = 0);
    // Puts the picture handle with its top-left at (W/2-1-posX, H/2-1-posY).
    bool PasteImage(quint32 handle, double posX, double posY);

private:
    ImageEngine& engine_;
    bool polygon(const QList<int>& xs, const QList<int>& ys, int n, QPolygon& out) const;
};

class ImageEngine : public QWidget {
    Q_OBJECT
public:
    explicit ImageEngine(QWidget* parent = nullptr);
    ~ImageEngine() override;

    // The current picture. Setting a new handle releases the picture held before.
    quint32 ImageHandle() const { return handle_; }
    void SetImageHandle(quint32 handle);
    // A new handle holding a copy of handle's picture (0 and BadHandle if unknown).
    quint32 CopyImage(quint32 handle);
    // Releases a picture; when it is the current one, the instance holds none.
    bool FreeImage(quint32 handle);

    // View modes 1 scale, 2 stretch, 3 actual size, 4 fit width, 5 fit height
    // (view_mapping.h). An unknown mode keeps the current one and fails.
    // Applying a mode ends any zoom.
    bool ApplyDispMode(int mode);
    int DispMode() const { return dispMode_; }

    // Zoom: view pixels per picture pixel, overriding the view mode until the
    // next ApplyDispMode; 0 = the mode decides. The picture point under anchor
    // (widget coordinates) stays where it is. False (nothing changes) without
    // a picture or for a factor outside 1/16 .. 16.
    bool SetZoom(double zoom, QPointF anchor);
    // One zoom step in (direction > 0) or out, about anchor or, without one,
    // about the centre of the view.
    bool ZoomStep(int direction, std::optional<QPointF> anchor = std::nullopt);
    double Zoom() const { return zoom_; }
    // The factor the picture is shown at now, zoomed or by its mode (0 without a picture).
    double ShownZoom() const;
    // Shows the current picture and selection as they are now. Also closes the
    // window in which UndoLastEdit can take back the last edit (see there).
    void Refresh();

    bool ReadImageInfo();
    int ImageWidth() const { return infoWidth_; }
    int ImageHeight() const { return infoHeight_; }
    int BitCount() const { return infoBits_; }
    qint64 ImageSize() const { return infoSize_; }
    bool IsGray() const { return infoGray_; }
    int ImageType() const { return infoType_; }

    // The selection in picture pixels: it covers SelLeft..SelRight-1 and
    // SelTop..SelBottom-1; all 0 = none. The view draws it.
    int SelLeft() const { return sel_.left; }
    int SelTop() const { return sel_.top; }
    int SelRight() const { return sel_.right; }
    int SelBottom() const { return sel_.bottom; }
    void SetSelLeft(int v);
    void SetSelTop(int v);
    void SetSelRight(int v);
    void SetSelBottom(int v);
    SelectionEdges selection() const { return sel_; }

    // Makes the clipboard's picture the current one (32 bits when it has an
    // alpha channel, otherwise 24).
    bool PasteClipboard();
    // Puts the current picture on the clipboard (palette and 16-bit pictures as
    // 24-bit colour, 32-bit pictures with an opaque alpha channel).
    bool ClipboardCopy();
    // Takes back the last edit, provided nothing has committed it since: Refresh
    // (the host's redisplay after it accepted an edit), closing the drawing
    // toolbar and any change of the current picture commit it. So ClipboardCopy
    // then UndoLastEdit leaves the picture alone when no cut came before.
    bool UndoLastEdit();
    bool canUndoLastEdit() const { return hasUndo_; }

    int ErrorNumber() const { return int(error_); }
    Error lastError() const { return error_; }
    // 14 (or 11, 13) busy, 0 normal.
    void SetMousePointer(int code);
    int MousePointer() const { return mousePointer_; }

    EngineFile& File() { return file_; }
    EngineEdit& Edit() { return edit_; }
    // Makes the current picture 24 bits per pixel (the only depth offered).
    bool ConvertBits(int bits, int a = 0, int b = 0, int c = 0, int d = 0);
    DrawTool& drawTool();

    // For the engine's own objects: the current picture (nullptr when none).
    Picture* current();
    const Picture* current() const;
    // Runs op on a copy of the current picture as one edit: long-operation
    // events around it; on success the result becomes the current picture, the
    // picture before is kept for UndoLastEdit and the view is redrawn. An
    // exception or a null result counts as failure; the picture is then
    // untouched. Sets ErrorNumber (failure when op does not say otherwise).
    // geometry: the edit only moves pixels (a quarter turn, a mirror, a cut),
    // as that step; the picture's lineage records it. Any other edit marks
    // the pixels as changed from the file's.
    bool applyEdit(const std::function<bool(Picture&)>& op, Error failure = Error::BadArgument,
                   const std::optional<GeometryStep>& geometry = std::nullopt);
    // The current picture's metadata and lineage (empty without a picture).
    Origin origin() const;
    // Gives the current picture the metadata and lineage it had at an earlier
    // state, for a caller that brought those pixels back from a file that
    // keeps pixels only (an undo file). False without a picture.
    bool restoreOrigin(const Origin& origin);
    // Tests: the nth edit from now (1 = the next, of any instance) runs out of
    // memory as an allocation inside it would; 0 switches this off.
    static void failEditForTesting(int nth);
    // Replaces the current picture by a new one (load, paste from clipboard).
    void replaceCurrent(Picture pic);
    void setError(Error e) { error_ = e; }
    // Long-operation events, for the engine's own objects. File work (reading,
    // writing, the clipboard) is marked: how long it takes depends on the disk
    // or the other program, not on the picture.
    void beginLongOperation(bool fileWork = false);
    void endLongOperation();

    // The view's layout now (mapping in tests and the drawing toolbar).
    const ViewGeometry& viewGeometry() const { return geom_; }
    QRect pictureRectInView() const;  // the picture's place in widget coordinates
    QPoint scrollPosition() const;
    void setScrollPosition(QPoint p);
    // The picture pixel under a widget position (clamped to the picture).
    QPoint pixelAt(QPointF widgetPos) const;
    // How often the scaled rendition was built (tests and benchmarks).
    int renditionBuilds() const { return renditionBuilds_; }
    // A stand-in for a picture still being decoded: image is painted, scaled to
    // the picture's size fullSize, until the current picture changes (the
    // decoded one replaces it, or the load failed and the old one stays).
    // Only the view sees it; every edit, save and conversion works on the
    // current picture. Paints at once.
    void showStandIn(const QImage& image, QSize fullSize);
    bool showsStandIn() const { return !standIn_.isNull(); }
    void dropStandIn();
    // A step applied to what the view shows (the part of the picture on
    // screen, at the size it is shown, in Format_RGB32) before it is painted;
    // it returns the image to paint, of the same size. Setting one (or none)
    // rebuilds the rendition at the next paint. The picture is not touched.
    using RenditionFilter = std::function<QImage(const QImage&)>;
    void setRenditionFilter(RenditionFilter filter);

signals:
    // button: 1 left, 2 right, 4 middle; shift: 1 Shift, 2 Ctrl, 4 Alt;
    // x, y: the picture pixel under the pointer (0, 0 without a picture).
    void mouseButton(int button, int shift, int x, int y);
    // The local path of the first file dropped on the view.
    void fileDropped(const QString& path, int reserved);
    // 1 the drawing toolbar opened, 0 the user closed it.
    void drawToolState(int state);
    void longOperationStarted(bool fileWork);
    void longOperationFinished();
    // The drawing toolbar changed the picture (one finished stroke or stamp).
    void drawingApplied();
    // The user dragged a new selection (or cleared it with a click).
    void selectionChanged();
    // The pointer moved over the view: the picture pixel under it, and whether
    // it lies on the picture at all. Also sent when it leaves the view (inside false).
    void pointerMoved(QPoint pixel, bool inside);
    // The zoom changed (a zoom step, Ctrl+wheel, or a view mode ending it).
    void zoomChanged();
    // The view has painted (benchmarks time the way to the screen with it).
    void painted();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    friend class DrawTool;
    enum class Drag { None, Select, Draw, Pan };

    quint32 handle_ = 0;
    int dispMode_ = 1;
    double zoom_ = 0;
    int infoWidth_ = 0, infoHeight_ = 0, infoBits_ = 0, infoType_ = 0;
    qint64 infoSize_ = 0;
    bool infoGray_ = false;
    SelectionEdges sel_;
    Error error_ = Error::None;
    int mousePointer_ = 0;
    // A busy pointer code shows on the view only once it has been set for a
    // while: quick work does not flicker.
    platform::BusyWait busyWait_{[this] { updateCursor(); }};
    Picture beforeLastEdit_;
    bool hasUndo_ = false;
    int longDepth_ = 0;
    EngineFile file_;
    EngineEdit edit_;
    DrawTool* drawTool_ = nullptr;

    // View state.
    ViewGeometry geom_;
    QScrollBar* hbar_ = nullptr;
    QScrollBar* vbar_ = nullptr;
    Rendition cache_;
    RenditionFilter filter_;
    QImage standIn_;
    QSize standInSize_;
    qint64 cacheKey_ = 0;
    int renditionBuilds_ = 0;
    QSize cacheDisplay_;
    Drag drag_ = Drag::None;
    bool dragMoved_ = false;
    QPoint pressPixel_;
    QPointF pressPos_;
    QPoint panStart_;
    QPoint panScroll_;
    QSize layoutPicture_;        // the picture size geom_ was computed for
    int layoutMode_ = 0;
    QSize layoutWidget_;
    double layoutZoom_ = 0;
    double reportedZoom_ = 0;    // the shown zoom last announced by zoomChanged
    int wheelZoomDelta_ = 0;     // Ctrl+wheel turns not yet a whole notch

    void pictureChanged();       // the current picture was replaced or edited
    QSize shownSize() const;     // the size of what is shown (picture or stand-in)
    void dropUndo();
    void relayout();
    void ensureRendition(const QRect& visible);
    void paintPicture();
    QRect visibleDisplayArea() const;
    void autoScrollTowards(QPointF widgetPos);
    void updateCursor();
    void reportPointer(QPointF widgetPos);
};

}  // namespace engine
