#pragma once
// The application-wide mouse pointer by the original pointer codes:
// 0 default, 11 hourglass, 13 arrow with hourglass.
//
// A busy pointer is shown only for work that lasts: setting 11 or 13 starts a
// wait of kBusyPointerDelayMs, and the pointer changes when the wait ends with
// the code still set (the event loop runs it, so work that never gives the
// loop a turn ends before its pointer could show). Setting 0 before then
// leaves the pointer as it was: quick work does not make it flicker.
namespace platform {

constexpr int kBusyPointerDelayMs = 100;

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
