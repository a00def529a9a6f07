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
//   screen out.png  a picture of the whole screen (floating windows included)
//   open PATH       queue the name chosen in the next open dialog
//   saveas PATH     queue the name chosen in the next save dialog
//   menu N CAPTION  click menu label N (1..3) and choose the item CAPTION
//                   (as shown, without "(&X)"; submenus are searched)
//   popup CAPTION   right click on the picture and choose CAPTION
//   act GROUP CMD   hand a command pair straight to the control (pcAct)
//   click TEXT      click the visible button whose text or tooltip is TEXT
//   drag X1 Y1 X2 Y2  drag with the left button over the picture view
//                   (view pixels), e.g. a selection or a drawing stroke
//   text VALUE      type VALUE into the threshold box
//   arrow 0|1       click the threshold's left (0) or right (1) arrow button
//   slider N        move the threshold slider to position N
//   wait MS         let the program run for MS milliseconds
//   state LABEL     write the control's file, size, depth, edit state, undo
//                   step, the colour option, the window caption and
//                   geometry (frame position, size), the scale box, the
//                   threshold text and slider, the selection edges, the
//                   window's own position without the frame, and the time
//                   since the replay began
//   print TEXT      write TEXT on the standard output (a marker for logs)
//   close           the user's close from the window system
//   exit            ends the program without its close sequence
//
// From the first "answer", "open" or "saveas" on, every message text shown is
// also written on the standard output, prefixed "MESSAGE: ".
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
