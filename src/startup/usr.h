#pragma once
// The start-up module: the program's entry, its start and its orderly end.
// It sits on top of every other part; the program-wide state it sets lives at
// the bottom (platform/program_state.h), the settings object with the
// settings (settings/yini.h).
#include "platform/program_state.h"
#include "settings/yini.h"

#include <QStringList>

namespace Usr {

// Program entry: resolves the folders, shows the main window, runs the event
// loop. Returns the process exit code.
int Main(int argc, char** argv);
// The start-up steps of Main inside an existing application object, up to
// the main window being shown. args are the program's arguments after its
// name. False (after a message) when the work folders cannot be created.
bool StartUp(const QStringList& args);
// Orderly end: writes the settings file, closes every window without running
// its close sequence again, and ends the event loop.
void AppEnd();

}  // namespace Usr
