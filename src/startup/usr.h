#pragma once
// Program-wide state and the small common routines every part of the program
// uses: the program's base name, its folders, the start and end of a run.
#include <QString>

class QWidget;
class yIni;

namespace Usr {

extern QString sExe;     // base name of the program ("tolvane"), "_dv" suffix removed
extern QString sUsrFd;   // user data folder, ends with a separator
extern QString sApFd;    // application data folder (program folder + "apData/")
extern QString sLastFd;  // last-used folder
extern QString sPicFd;   // picture folder
extern bool bLoading;    // the main window is setting its own controls
extern bool bRun;        // start-up has run
extern QWidget* oMainFm; // the main window

// The one settings object, created on first use.
yIni& oIni();
// Releases the settings object (the next oIni() creates a fresh one).
void releaseIni();

// The base name for an executable file name: extension dropped, a trailing
// "_dv" (any case) removed.
QString baseName(const QString& executableFileName);

// Program entry: resolves the folders, shows the main window, runs the event
// loop. Returns the process exit code.
int Main(int argc, char** argv);
// Orderly end: writes the settings file, closes every window, ends the run.
void AppEnd();

void FsInit();
bool fsCreated();  // whether FsInit has created the file-system object
bool F_FldExists(const QString& path);
bool F_FileExists(const QString& path);
void CutAt(QString& text, const QString& delimiter);
void AddSep(QString& text, QString& separator);
void WaitCur(bool busy);

}  // namespace Usr
