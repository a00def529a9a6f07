#pragma once
// The floating window of the drawing toolbar: tool buttons, colour swatches and
// the pen width. It only shows and changes the DrawTool's choices; the
// DrawTool owns the state and does the drawing.
#include <QWidget>

class QButtonGroup;
class QSpinBox;
class QToolButton;

namespace engine {

class DrawTool;

class DrawToolbarWindow : public QWidget {
    Q_OBJECT
public:
    DrawToolbarWindow(DrawTool& tool, QWidget* owner);

    void applySettings(const QString& caption, bool stayOnTop);
    // Shows the DrawTool's current choices.
    void sync();
    // Hides the window without reporting a close by the user.
    void hideByProgram();

    QToolButton* toolButton(int tool) const;
    QToolButton* swatch(int index) const;
    int swatchCount() const;
    QSpinBox* widthBox() const { return width_; }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    DrawTool& tool_;
    QButtonGroup* tools_ = nullptr;
    QButtonGroup* colours_ = nullptr;
    QList<QColor> swatchColours_;
    QSpinBox* width_ = nullptr;
    bool syncing_ = false;
    bool programHide_ = false;

    void fillSwatches();
};

}  // namespace engine
