// Main and AppEnd: the start and the orderly end of a run.
#include "main_window/fm_main.h"
#include "menus/sp_pic.h"
#include "platform/cursor.h"
#include "platform/file_names.h"
#include "platform/prompt.h"
#include "platform/qt_translation.h"
#include "settings/yini.h"
#include "startup/usr.h"

#include <QApplication>
#include <QPointer>
#include <QThread>

namespace Usr {

bool StartUp(const QStringList& args) {
    sExe = baseName(oIni().programFilePath());
    yIni& ini = oIni();
    // The hidden menu window spPic is created here, before the user data
    // folder, and its window handle becomes the settings object's owner
    // window (see src/menus).
    const quintptr menuWindow = quintptr(spPic::instance().winId());
    ini.W_UserData(menuWindow);
    const QStringList subFolders{QStringLiteral("Wrk/"), QStringLiteral("Temp/")};
    if (!ini.F_ChkSb(sUsrFd, subFolders)) {
        // Without its work folder the picture control cannot keep an undo
        // history: stop here rather than lose edits later.
        QString missing = sUsrFd;
        for (const QString& sub : subFolders)
            if (!F_FldExists(sUsrFd + sub)) {
                missing += sub;
                break;
            }
        platform::prompt().message(QStringLiteral("ﾌｫﾙﾀﾞ ") + missing + QStringLiteral(" が作成できません") + QChar('\r') +
                                       QStringLiteral("Tolvane を終了します"),
                                   platform::Buttons::Ok);
        return false;
    }
    platform::setAppPointer(11);
    bRun = true;
    // The system's own fault dialog needs no switching off here.
    auto* win = new fmMain;
    win->appEnd = AppEnd;
    oMainFm = win;
    // Messages of the load (a damaged picture named on the command line) are
    // centred on the window that is about to appear.
    platform::setDialogOwner(win);
    win->load(args);
    win->show();
    platform::setAppPointer(0);
    return true;
}

int Main(int argc, char** argv) {
    QApplication app(argc, argv);
    platform::installQtJapanese();  // without it Qt's own buttons stay in English
    if (!StartUp(platform::decodeArguments(argc, argv)))
        return 1;
    const int code = bEnding ? 0 : app.exec();  // ended while loading: no loop to run
    // The windows AppEnd let go of are destroyed before the application is.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QList<QPointer<QWidget>> left;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (!w->parentWidget())
            left << w;
    for (const QPointer<QWidget>& w : left)
        delete w.data();
    return code;
}

void AppEnd() {
    bEnding = true;
    bool ok = false;
    oIni().SetTxt(ok);  // a settings file that cannot be written does not hold up the end
    releaseIni();
    // Hidden and destroyed without a close event, so no window's close
    // sequence runs a second time; destruction waits until the caller (often
    // the main window's own close sequence) has returned.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->parentWidget())
            continue;
        w->hide();
        w->deleteLater();
    }
    oMainFm = nullptr;
    releaseFs();
    // Ends the running event loop; before it runs, Main sees bEnding instead
    // (exit() then would only stop the loop's next start).
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}

}  // namespace Usr
