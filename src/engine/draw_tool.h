#pragma once
// The floating drawing toolbar of an engine instance.
#include <QColor>
#include <QString>

namespace engine {

class ImageEngine;

class DrawTool {
public:
    explicit DrawTool(ImageEngine& engine) : engine_(engine) {}
    virtual ~DrawTool() = default;

    // The settings, in the order the host sets them.
    bool OptionA = false;      // first on/off option
    int Top = 0;               // toolbar window top, pixels
    int Left = 0;              // toolbar window left, pixels
    bool OptionB = false;      // second on/off option
    QString Caption;
    int SettingA = 0;
    int SettingB = 0;
    QColor BackColor = Qt::white;
    QColor PenColor = Qt::black;  // built from the three colour components
    QString StampFile;

    virtual bool Show(int mode);
    virtual bool CloseDrawTool();
    bool isOpen() const { return open_; }

protected:
    ImageEngine& engine_;
    bool open_ = false;
};

}  // namespace engine
