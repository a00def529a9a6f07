#include "script_hook.h"

#include "engine/image_engine.h"
#include "main_window/fm_main.h"
#include "menus/sp_pic.h"
#include "picture_control/upce.h"
#include "platform/prompt.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QSlider>
#include <QToolButton>
#include <QFile>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPixmap>
#include <QRadioButton>
#include <QScreen>
#include <QTextStream>
#include <QWheelEvent>
#include <QWindow>
#include <cstdio>

namespace mainwin {

namespace {

// Answers like the scripted prompt and shows every message on the standard
// output, so that a run's log tells what the user would have read.
class EchoPrompt : public platform::ScriptedPrompt {
public:
    int message(const QString& text, platform::Buttons buttons) override {
        QString shown = text;
        shown.replace(u'\r', u' ');
        std::printf("MESSAGE: %s\n", qPrintable(shown));
        std::fflush(stdout);
        return ScriptedPrompt::message(text, buttons);
    }
};

platform::ScriptedPrompt& scriptedPrompt() {
    static EchoPrompt prompt;
    platform::setPrompt(&prompt);
    return prompt;
}

// The menu item with this caption (cut before "(&"), searched through submenus.
QAction* findItem(QMenu* menu, const QString& caption) {
    for (QAction* a : menu->actions()) {
        if (a->menu()) {
            if (QAction* inner = findItem(a->menu(), caption))
                return inner;
        }
        QString cap = spPic::caption(a);
        const qsizetype amp = cap.indexOf(QStringLiteral("(&"));
        if (amp >= 0)
            cap = cap.left(amp);
        if (cap == caption)
            return a;
    }
    return nullptr;
}

void mouse(QWidget* w, QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

void drag(QWidget* w, QPointF from, QPointF to) {
    mouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (int i = 1; i <= 8; ++i)
        mouse(w, QEvent::MouseMove, from + (to - from) * (i / 8.0), Qt::NoButton, Qt::LeftButton);
    mouse(w, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

QAbstractButton* findButton(const QString& text) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible())
            continue;
        for (QAbstractButton* b : top->findChildren<QAbstractButton*>()) {
            if (b->isVisible() && (b->text() == text || b->toolTip() == text))
                return b;
        }
    }
    return nullptr;
}

void fail(const QString& text) { std::fprintf(stderr, "TOLVANE_SCRIPT: %s\n", qPrintable(text)); }

bool sendKey(fmMain& window, const QString& spec) {
    const QKeySequence seq(spec);
    if (seq.isEmpty())
        return false;
    const QKeyCombination combo = seq[0];
    QObject* target = window.windowHandle() ? static_cast<QObject*>(window.windowHandle()) : &window;
    QKeyEvent press(QEvent::KeyPress, combo.key(), combo.keyboardModifiers());
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, combo.key(), combo.keyboardModifiers());
    QCoreApplication::sendEvent(target, &release);
    return true;
}

}  // namespace

bool runScript(fmMain& window, const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        fail(QStringLiteral("cannot read ") + path);
        return false;
    }
    const QStringList lines = QTextStream(&f).readAll().split(u'\n');
    QElapsedTimer clock;  // "state" reports the time since the replay began
    clock.start();
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype sp = line.indexOf(u' ');
        const QString cmd = sp < 0 ? line : line.left(sp);
        const QString arg = sp < 0 ? QString() : line.mid(sp + 1).trimmed();
        QCoreApplication::processEvents();
        if (cmd == QStringLiteral("answer")) {
            scriptedPrompt().answers.push_back(arg.toInt());
        } else if (cmd == QStringLiteral("key")) {
            if (!sendKey(window, arg)) {
                fail(QStringLiteral("bad key ") + arg);
                return false;
            }
        } else if (cmd == QStringLiteral("option")) {
            bool ok = false;
            const int i = arg.toInt(&ok);
            if (!ok || i < 0 || i > 7) {
                fail(QStringLiteral("bad option ") + arg);
                return false;
            }
            window.opColor(i)->click();
        } else if (cmd == QStringLiteral("open")) {
            scriptedPrompt().openNames.push_back(arg);
        } else if (cmd == QStringLiteral("saveas")) {
            scriptedPrompt().saveNames.push_back(arg);
        } else if (cmd == QStringLiteral("menu") || cmd == QStringLiteral("popup")) {
            const bool popup = cmd == QStringLiteral("popup");
            const QString caption = popup ? arg : arg.section(u' ', 1).trimmed();
            const int label = popup ? 2 : arg.section(u' ', 0, 0).toInt();
            QAction* wanted = window.menus().mnJb(label + 1) ? findItem(window.menus().mnJb(label + 1), caption) : nullptr;
            if (!wanted) {
                fail(QStringLiteral("no menu item ") + arg);
                return false;
            }
            window.menus().chooser = [wanted](QMenu*) { return wanted; };
            if (popup) {
                QWidget* view = &window.control().ikImg();
                const QPointF mid(view->width() / 2.0, view->height() / 2.0);
                mouse(view, QEvent::MouseButtonPress, mid, Qt::RightButton, Qt::RightButton);
                mouse(view, QEvent::MouseButtonRelease, mid, Qt::RightButton, Qt::NoButton);
            } else {
                window.lbComClick(label);
            }
            window.menus().chooser = nullptr;
        } else if (cmd == QStringLiteral("act")) {
            window.control().pcAct(arg.section(u' ', 0, 0), arg.section(u' ', 1).trimmed());
        } else if (cmd == QStringLiteral("click")) {
            QAbstractButton* b = findButton(arg);
            if (!b) {
                fail(QStringLiteral("no button ") + arg);
                return false;
            }
            b->click();
        } else if (cmd == QStringLiteral("drag")) {
            const QStringList n = arg.split(u' ', Qt::SkipEmptyParts);
            if (n.size() != 4) {
                fail(QStringLiteral("bad drag ") + arg);
                return false;
            }
            drag(&window.control().ikImg(), QPointF(n[0].toDouble(), n[1].toDouble()),
                 QPointF(n[2].toDouble(), n[3].toDouble()));
        } else if (cmd == QStringLiteral("form")) {
            // "form 1=32 3=0": the user's changes to the next form, field by
            // field; "form cancel" cancels it.
            if (arg == QStringLiteral("cancel")) {
                scriptedPrompt().formEdits.push_back(std::nullopt);
            } else {
                std::vector<std::pair<int, double>> edits;
                for (const QString& part : arg.split(u' ', Qt::SkipEmptyParts))
                    edits.emplace_back(part.section(u'=', 0, 0).toInt(), part.section(u'=', 1).toDouble());
                scriptedPrompt().formEdits.push_back(edits);
            }
        } else if (cmd == QStringLiteral("wheel")) {
            // "wheel X Y DELTA": Ctrl+wheel over the picture view.
            const QStringList n = arg.split(u' ', Qt::SkipEmptyParts);
            if (n.size() != 3) {
                fail(QStringLiteral("bad wheel ") + arg);
                return false;
            }
            QWidget* view = &window.control().ikImg();
            const QPointF pos(n[0].toDouble(), n[1].toDouble());
            QWheelEvent e(pos, view->mapToGlobal(pos), QPoint(), QPoint(0, n[2].toInt()), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(view, &e);
        } else if (cmd == QStringLiteral("arrow")) {
            window.cmSld(arg.toInt() == 0 ? 0 : 1)->click();
        } else if (cmd == QStringLiteral("text")) {
            window.txSld()->setText(arg);
        } else if (cmd == QStringLiteral("slider")) {
            window.slider()->setValue(arg.toInt());
        } else if (cmd == QStringLiteral("wait")) {
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < arg.toInt())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        } else if (cmd == QStringLiteral("state")) {
            uPcE& c = window.control();
            std::printf("STATE: %s file=%s size=%gx%g bit=%s mode=%s undo=%d option=%d caption=%s geometry=%d,%d %dx%d scale=%d threshold=%s/%d sel=%d,%d,%d,%d client=%d,%d zoom=%d view=%d update=%d t=%lldms\n",
                        qPrintable(arg), qPrintable(c.prFile()), c.PicWidth(), c.PicHeight(), qPrintable(c.sBit()),
                        qPrintable(c.sEdtMode()), c.iUndo(), window.iColCd(), qPrintable(window.windowTitle()), window.x(), window.y(), window.width(),
                        window.height(), window.chScl(0)->isChecked() ? 1 : 0, qPrintable(window.txSld()->text()),
                        window.slider()->value(), c.ikImg().SelLeft(), c.ikImg().SelTop(), c.ikImg().SelRight(),
                        c.ikImg().SelBottom(), window.geometry().x(), window.geometry().y(),
                        engine::zoomPercent(c.ikImg().ShownZoom()), c.iDspMode(), c.iEdtUpd(), clock.elapsed());
            std::fflush(stdout);
        } else if (cmd == QStringLiteral("print")) {
            std::printf("%s\n", qPrintable(arg));
            std::fflush(stdout);
        } else if (cmd == QStringLiteral("shot")) {
            if (!window.grab().save(arg, "PNG"))
                fail(QStringLiteral("cannot write ") + arg);
        } else if (cmd == QStringLiteral("screen")) {
            QScreen* screen = QGuiApplication::primaryScreen();
            if (!screen || !screen->grabWindow(0).save(arg, "PNG"))
                fail(QStringLiteral("cannot write ") + arg);
        } else if (cmd == QStringLiteral("close")) {
            if (window.queryUnload(true))
                window.close();
        } else if (cmd == QStringLiteral("exit")) {
            QCoreApplication::exit(0);
            return true;
        } else {
            fail(QStringLiteral("unknown command ") + cmd);
            return false;
        }
    }
    return true;
}

}  // namespace mainwin
