#include "platform/cursor.h"

#include <QApplication>
#include <QCursor>

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

BusyWait& busyWait() {
    static BusyWait wait([] { show(busyWait().shown() ? g_code : 0); });
    return wait;
}

}  // namespace

void setAppPointer(int code, bool atOnce) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    g_code = (code == 11 || code == 13) ? code : 0;
    if (g_shown != 0 && g_code != 0 && g_shown != g_code)
        show(g_code);  // busy already: the new kind at once
    busyWait().set(g_code != 0, atOnce);
}

int appPointer() { return g_code; }

int shownAppPointer() { return g_shown; }

void pumpEvents() { QCoreApplication::processEvents(); }

}  // namespace platform
