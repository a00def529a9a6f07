#pragma once
// The application-wide mouse pointer by the original pointer codes:
// 0 default, 11 hourglass, 13 arrow with hourglass.
namespace platform {
void setAppPointer(int code);
int appPointer();
// Lets pending window events run.
void pumpEvents();
}  // namespace platform
