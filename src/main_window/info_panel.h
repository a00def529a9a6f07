#pragma once
// The information panel of the command bar: a sunken panel showing a small
// picture before its caption.
#include <QFrame>

class QLabel;

namespace mainwin {

class InfoPanel : public QFrame {
    Q_OBJECT
public:
    explicit InfoPanel(QWidget* parent = nullptr);
    void setCaption(const QString& text);
    QString caption() const;
    // The status line shown right of the caption; it gives way first when
    // the panel is narrow, so the caption stays readable.
    void setStatus(const QString& text);
    QString status() const;

private:
    QLabel* picture_ = nullptr;
    QLabel* text_ = nullptr;
    QLabel* status_ = nullptr;
};

// A label of the command bar that acts as a menu title: it reacts to a click
// and to its access key (Alt and the letter after "&" in the caption), and
// shows the access letter underlined.
class CommandLabel : public QFrame {
    Q_OBJECT
public:
    explicit CommandLabel(const QString& caption, QWidget* parent = nullptr);
    QString caption() const { return caption_; }

signals:
    void clicked();
    // Alt and the access letter were pressed.
    void keyActivated();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QString caption_;
    QLabel* text_ = nullptr;
};

}  // namespace mainwin
