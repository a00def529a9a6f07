#pragma once
// A small test hook for end-to-end runs of the real program. When the
// environment variable TOLVANE_SCRIPT names a file, the main window replays
// it line by line once it is shown and idle:
//
//   answer 6        queue the answer (1 OK, 2 cancel, 6 yes, 7 no) to the next
//                   message box; from the first "answer" on, every message box
//                   is answered by script (Cancel when the queue is empty)
//   key Ctrl+R      a key press and release, delivered through the window
//   option 0        a click on the colour-depth option 0..7
//   shot out.png    a picture of the whole window, written as PNG
//   close           the user's close from the window system
//   exit            ends the program without its close sequence
//
// Blank lines and lines starting with "#" are skipped; an unknown command
// ends the replay with a message on the standard error.
#include <QString>

class fmMain;

namespace mainwin {
// Replays the script file; returns false when it could not be read or a line
// was not understood.
bool runScript(fmMain& window, const QString& path);
}  // namespace mainwin
