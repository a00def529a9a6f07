#include "platform/prompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

namespace platform {

namespace {

QString visibleText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    return text;
}

// Qt filter "画像ﾌｧｲﾙ (*.BMP *.JPG)" from "画像ﾌｧｲﾙ|*.BMP;*.JPG|".
QString qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QChar('|'), Qt::SkipEmptyParts);
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList pats = parts[i + 1].split(QChar(';'), Qt::SkipEmptyParts);
        QStringList both;
        for (const QString& p : pats)
            both << p << p.toLower();
        out << parts[i] + QStringLiteral(" (") + both.join(QChar(' ')) + QChar(')');
    }
    if (out.isEmpty() && !filter.isEmpty()) {
        // "BMP;JPG;..." lists of extensions
        QStringList pats;
        for (const QString& e : filter.split(QChar(';'), Qt::SkipEmptyParts))
            pats << QStringLiteral("*.") + e.toLower() << QStringLiteral("*.") + e.toUpper();
        out << QStringLiteral("画像ﾌｧｲﾙ (") + pats.join(QChar(' ')) + QChar(')');
    }
    return out.join(QStringLiteral(";;"));
}

class DialogPrompt : public Prompt {
public:
    int message(const QString& text, Buttons buttons) override {
        if (buttons == Buttons::YesNoCancel) {
            const auto r = QMessageBox::question(dialogParent(), programTitle(), visibleText(text),
                                                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                                 QMessageBox::Yes);
            if (r == QMessageBox::Yes)
                return Yes;
            if (r == QMessageBox::No)
                return No;
            return Cancel;
        }
        if (buttons == Buttons::YesNo) {
            const auto r = QMessageBox::question(dialogParent(), programTitle(), visibleText(text),
                                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
            return r == QMessageBox::Yes ? Yes : No;
        }
        QMessageBox::information(dialogParent(), programTitle(), visibleText(text));
        return Ok;
    }
    QString openFile(const QString& title, const QString& filter, const QString& startFolder) override {
        return QFileDialog::getOpenFileName(dialogParent(), title, startFolder, qtFilter(filter));
    }
    QString saveFile(const QString& title, const QString& initialPath, const QString& filter) override {
        // A name typed without an extension is saved as BMP: the dialog adds
        // ".bmp" itself, so its overwrite question covers the file really written.
        QFileDialog dialog(dialogParent(), title, initialPath, qtFilter(filter));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("bmp"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    }
};

Prompt* g_prompt = nullptr;
QPointer<QWidget> g_owner;

}  // namespace

Prompt& prompt() {
    static DialogPrompt real;
    return g_prompt ? *g_prompt : real;
}

void setPrompt(Prompt* p) { g_prompt = p; }

QString programTitle() { return QStringLiteral("Tolvane"); }

void setDialogOwner(QWidget* owner) { g_owner = owner; }

QWidget* dialogParent() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (g_owner)
        return g_owner.data();
    return QApplication::activeWindow();
}

int ScriptedPrompt::message(const QString& text, Buttons buttons) {
    messages << text;
    if (buttons == Buttons::Ok)
        return Ok;
    if (answers.empty())
        return defaultAnswer;
    const int a = answers.front();
    answers.pop_front();
    return a;
}

QString ScriptedPrompt::openFile(const QString&, const QString&, const QString& startFolder) {
    openStartPaths << startFolder;
    if (openNames.empty())
        return QString();
    QString n = openNames.front();
    openNames.pop_front();
    return n;
}

QString ScriptedPrompt::saveFile(const QString&, const QString& initialPath, const QString&) {
    saveInitialPaths << initialPath;
    if (saveNames.empty())
        return QString();
    QString n = saveNames.front();
    saveNames.pop_front();
    return n;
}

ScopedPrompt::ScopedPrompt(Prompt* p) : previous_(g_prompt) { g_prompt = p; }
ScopedPrompt::~ScopedPrompt() { g_prompt = previous_; }

}  // namespace platform
