#include "platform/cursor.h"

#include <QApplication>
#include <QCursor>

namespace platform {

namespace {
int g_code = 0;
}

void setAppPointer(int code) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    g_code = code;
    if (code == 11)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else if (code == 13)
        QApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
}

int appPointer() { return g_code; }

void pumpEvents() { QCoreApplication::processEvents(); }

}  // namespace platform
