#pragma once
// The image engine: one instance holds one current picture (by handle in the
// process-wide store), shows it in one of five view modes, keeps the selection
// rectangle in picture pixels, and offers the File and Edit objects through
// which pictures are loaded, saved and changed.
#include "engine/errors.h"
#include "engine/picture.h"

#include <QPixmap>
#include <QPolygon>
#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>

namespace engine {

class ImageEngine;
class DrawTool;

// Loading and saving (format codes: 0 BMP, 2 JPEG, 4 GIF, 5 TIFF, 12 PNG, 13 FPX, 16 PCX).
class EngineFile {
public:
    explicit EngineFile(ImageEngine& engine) : engine_(engine) {}

    QString FileName;
    QString Comment;
    int JpegQuality = 75;
    QString SaveFilter;  // extensions offered by ShowSaveDialog, "BMP;JPG;..."

    // Loads FileName as the current picture (the old current picture is released).
    bool LoadFile(int reserved = 0);
    // Re-reads what FileName says about itself; true when it is a readable picture.
    bool LoadFileInfo();
    // Writes the picture (handle 0: the current one) to FileName.
    bool SaveFile(int formatCode, quint32 handle = 0);
    // Asks for a file name through the prompt layer, starting from FileName;
    // true and FileName set when the user chose one.
    bool ShowSaveDialog();

private:
    ImageEngine& engine_;
};

// Edits of the current picture. Each successful edit keeps the picture as it
// was before, for UndoLastEdit.
class EngineEdit {
public:
    explicit EngineEdit(ImageEngine& engine) : engine_(engine) {}

    int RegionMode = 1;  // 1 whole picture, 2 polygon
    int EditOption = 1;
    int TrimLeft = 0, TrimTop = 0, TrimRight = 0, TrimBottom = 0;

    bool Trim();
    bool RegionTrim(const QList<int>& xs, const QList<int>& ys, int n, int r = 255, int g = 255, int b = 255);
    bool InvertChannels(const QList<int>& xs, const QList<int>& ys, int n, bool red, bool green, bool blue);
    bool ConvertDepth(int depthCode, int reserved, bool flag, int threshold);
    bool Resize(int width, int height, bool flag = true);
    bool Rotate(int angle, bool mirrorLeftRight, bool mirrorTopBottom, bool flag, int r = 255, int g = 255, int b = 255, int reserved = 0);
    bool PasteImage(quint32 handle, double posX, double posY);

private:
    ImageEngine& engine_;
    QPolygon polygon(const QList<int>& xs, const QList<int>& ys, int n) const;
};

class ImageEngine : public QWidget {
    Q_OBJECT
public:
    explicit ImageEngine(QWidget* parent = nullptr);
    ~ImageEngine() override;

    // The current picture. Setting a new handle releases the picture held before
    // (when it is a different one).
    quint32 ImageHandle() const { return handle_; }
    void SetImageHandle(quint32 handle);
    quint32 CopyImage(quint32 handle);
    bool FreeImage(quint32 handle);

    // View modes 1 scale, 2 stretch, 3 actual size, 4 fit width, 5 fit height.
    bool ApplyDispMode(int mode);
    int DispMode() const { return dispMode_; }
    void Refresh();

    bool ReadImageInfo();
    int ImageWidth() const { return infoWidth_; }
    int ImageHeight() const { return infoHeight_; }
    int BitCount() const { return infoBits_; }
    qint64 ImageSize() const { return infoSize_; }
    bool IsGray() const { return infoGray_; }
    int ImageType() const { return infoType_; }

    // The selection in picture pixels; all 0 = none.
    int SelLeft() const { return sel_.left; }
    int SelTop() const { return sel_.top; }
    int SelRight() const { return sel_.right; }
    int SelBottom() const { return sel_.bottom; }
    void SetSelLeft(int v) { sel_.left = v; }
    void SetSelTop(int v) { sel_.top = v; }
    void SetSelRight(int v) { sel_.right = v; }
    void SetSelBottom(int v) { sel_.bottom = v; }

    bool PasteClipboard();
    bool ClipboardCopy();
    bool UndoLastEdit();

    int ErrorNumber() const { return int(error_); }
    Error lastError() const { return error_; }
    void SetMousePointer(int code);
    int MousePointer() const { return mousePointer_; }

    EngineFile& File() { return file_; }
    EngineEdit& Edit() { return edit_; }
    bool ConvertBits(int bits, int a = 0, int b = 0, int c = 0, int d = 0);
    DrawTool& drawTool();

    // For the engine's own objects: the current picture (nullptr when none).
    Picture* current();
    // Runs op on the current picture as one edit: long-operation events around
    // it; on success the picture before the edit is kept for UndoLastEdit and the
    // view is refreshed. Sets ErrorNumber.
    bool applyEdit(const std::function<bool(Picture&)>& op, Error failure = Error::BadArgument);
    // Replaces the current picture by a new one (load, paste from clipboard).
    void replaceCurrent(Picture pic);
    void setError(Error e) { error_ = e; }

signals:
    // button: 1 left, 2 right, 4 middle; x, y in picture pixels.
    void mouseButton(int button, int shift, int x, int y);
    void fileDropped(const QString& path, int reserved);
    void drawToolState(int state);
    void longOperationStarted();
    void longOperationFinished();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    struct Sel { int left = 0, top = 0, right = 0, bottom = 0; };
    quint32 handle_ = 0;
    int dispMode_ = 1;
    int infoWidth_ = 0, infoHeight_ = 0, infoBits_ = 0, infoType_ = 0;
    qint64 infoSize_ = 0;
    bool infoGray_ = false;
    Sel sel_;
    Error error_ = Error::None;
    int mousePointer_ = 0;
    Picture beforeLastEdit_;
    bool hasUndo_ = false;
    EngineFile file_;
    EngineEdit edit_;
    DrawTool* drawTool_ = nullptr;
    // View state
    QPixmap cache_;
    QRect cacheTarget_;
    bool dragging_ = false;
    QPoint dragStart_;
    void invalidateCache();
};

}  // namespace engine
