// The program with its script driver built in, for the end-to-end tests only:
// when TOLVANE_SCRIPT names a file, the main window replays it once shown.
// The shipped program is built from src/startup/main.cpp and has no driver.
#include "main_window/fm_main.h"
#include "script_hook.h"
#include "startup/usr.h"

int main(int argc, char** argv) {
    const QString script = qEnvironmentVariable("TOLVANE_SCRIPT");
    if (!script.isEmpty())
        fmMain::setFirstShownHook([script](fmMain& window) { mainwin::runScript(window, script); });
    return Usr::Main(argc, argv);
}
