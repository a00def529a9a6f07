#pragma once
// Program-wide state and the small common routines every part of the program
// uses: the program's base name, its folders, the phase of the run, and the
// file-system helpers. The lowest layer, so that every other may read it; the
// start-up module sets it.
#include <QString>

class QWidget;

namespace Usr {

extern QString sExe;     // base name of the program ("tolvane"), "_dv" suffix removed
extern QString sUsrFd;   // user data folder, ends with a separator
extern QString sApFd;    // application data folder (program folder + "apData/")
extern QString sLastFd;  // last-used folder
extern QString sPicFd;   // picture folder
extern bool bLoading;    // the main window is setting its own controls
extern bool bRun;        // start-up has run
extern bool bEnding;     // AppEnd is closing the program: windows close without asking
extern QWidget* oMainFm; // the main window

// The base name for an executable file name: a ".exe" extension dropped, a
// trailing "_dv" (any case) removed, so a development copy shares the name,
// data folder and settings of the ordinary copy.
QString baseName(const QString& executableFileName);

// Creates the file-system object on first use (a flag here: the file system
// needs no object of its own).
void FsInit();
bool fsCreated();  // whether FsInit has created the file-system object
void releaseFs();  // releases it (AppEnd)
// Whether the folder / the file (not a folder) exists; false for an empty
// path, without creating the file-system object.
bool F_FldExists(const QString& path);
bool F_FileExists(const QString& path);
// Cuts text before the first occurrence of delimiter (case-sensitive).
void CutAt(QString& text, const QString& delimiter);
// Appends separator unless text already ends with it. An empty separator
// becomes "/", handed back to the caller.
void AddSep(QString& text, QString& separator);
// Hourglass pointer (busy) or the default one, then lets pending events run.
void WaitCur(bool busy);

}  // namespace Usr
