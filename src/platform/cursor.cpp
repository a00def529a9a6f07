#include "platform/cursor.h"

#include <QApplication>
#include <QCursor>
#include <QPointer>
#include <QTimer>

namespace platform {

namespace {

int g_code = 0;   // set last
int g_shown = 0;  // showing

void show(int code) {
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    g_shown = 0;
    if (code == 11)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else if (code == 13)
        QApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    else
        return;
    g_shown = code;
}

QTimer* delayTimer() {
    static QPointer<QTimer> timer;
    if (!timer) {
        timer = new QTimer(QCoreApplication::instance());
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, [] {
            if (g_code != 0)
                show(g_code);
        });
    }
    return timer;
}

}  // namespace

void setAppPointer(int code, bool atOnce) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    g_code = (code == 11 || code == 13) ? code : 0;
    if (g_code == 0) {
        delayTimer()->stop();
        if (g_shown != 0)
            show(0);
    } else if (g_shown != 0) {
        if (g_shown != g_code)
            show(g_code);  // busy already: the new kind at once
    } else if (atOnce) {
        delayTimer()->stop();
        show(g_code);
    } else if (!delayTimer()->isActive()) {
        delayTimer()->start(kBusyPointerDelayMs);
    }
}

int appPointer() { return g_code; }

int shownAppPointer() { return g_shown; }

void pumpEvents() { QCoreApplication::processEvents(); }

}  // namespace platform
