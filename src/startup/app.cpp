// Main and AppEnd: the start and the orderly end of a run.
#include "main_window/fm_main.h"
#include "platform/cursor.h"
#include "settings/yini.h"
#include "startup/usr.h"

#include <QApplication>

namespace Usr {

int Main(int argc, char** argv) {
    QApplication app(argc, argv);
    sExe = baseName(QCoreApplication::applicationFilePath());
    yIni& ini = oIni();
    ini.W_UserData(0);
    ini.F_ChkSb(sUsrFd, {QStringLiteral("Wrk/"), QStringLiteral("Temp/")});
    platform::setAppPointer(11);
    bRun = true;
    auto* win = new fmMain;
    oMainFm = win;
    win->load(QCoreApplication::arguments().mid(1));
    win->show();
    platform::setAppPointer(0);
    return app.exec();
}

void AppEnd() {
    bool ok = false;
    oIni().SetTxt(ok);
    releaseIni();
    for (QWidget* w : QApplication::topLevelWidgets())
        w->hide();
    QCoreApplication::exit(0);
}

}  // namespace Usr
