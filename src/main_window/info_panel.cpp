#include "main_window/info_panel.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QShortcut>

namespace mainwin {

InfoPanel::InfoPanel(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picture_ = new QLabel(this);
    picture_->setPixmap(QPixmap(QStringLiteral(":/icons/picture.xpm")));
    picture_->setFixedSize(16, 16);
    text_ = new QLabel(this);
    text_->setTextFormat(Qt::PlainText);
    status_ = new QLabel(this);
    status_->setTextFormat(Qt::PlainText);
    status_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 0, 2, 0);
    row->setSpacing(3);
    row->addWidget(picture_);
    row->addWidget(text_);
    row->addWidget(status_, 1);
}

void InfoPanel::setCaption(const QString& text) { text_->setText(text); }
QString InfoPanel::caption() const { return text_->text(); }
void InfoPanel::setStatus(const QString& text) { status_->setText(text); }
QString InfoPanel::status() const { return status_->text(); }

CommandLabel::CommandLabel(const QString& caption, QWidget* parent) : QFrame(parent), caption_(caption) {
    text_ = new QLabel(this);
    text_->setTextFormat(Qt::RichText);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // "ﾌｧｲﾙ(&F)" is shown as "ﾌｧｲﾙ(F)" with the F underlined.
    QString shown = caption.toHtmlEscaped();
    const qsizetype amp = shown.indexOf(QStringLiteral("&amp;"));
    if (amp >= 0 && amp + 5 < shown.size())
        shown = shown.left(amp) + QStringLiteral("<u>") + shown.mid(amp + 5, 1) + QStringLiteral("</u>") + shown.mid(amp + 6);
    text_->setText(shown);
    text_->setAttribute(Qt::WA_TransparentForMouseEvents);
    setCursor(Qt::PointingHandCursor);
    const QKeySequence key = QKeySequence::mnemonic(caption);
    if (!key.isEmpty()) {
        auto* sc = new QShortcut(key, this);
        sc->setContext(Qt::WindowShortcut);
        connect(sc, &QShortcut::activated, this, &CommandLabel::keyActivated);
    }
}

void CommandLabel::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        emit clicked();
}

void CommandLabel::resizeEvent(QResizeEvent* e) {
    QFrame::resizeEvent(e);
    text_->setGeometry(rect());
}

}  // namespace mainwin
