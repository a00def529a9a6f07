#pragma once
// The application-wide mouse pointer by the original pointer codes:
// 0 default, 11 hourglass, 13 arrow with hourglass.
//
// A busy pointer is shown only for work that lasts (BusyWait): setting 11 or
// 13 starts the wait, and setting 0 before it ends leaves the pointer as it
// was.
#include "platform/busy_wait.h"

namespace platform {

// atOnce shows a busy pointer without the wait: for work that keeps the
// event loop from running, whose wait would never end.
void setAppPointer(int code, bool atOnce = false);
// The code set last (whether or not its pointer is showing yet).
int appPointer();
// The code whose pointer is showing (0: the default pointer).
int shownAppPointer();
// Lets pending window events run.
void pumpEvents();
}  // namespace platform
