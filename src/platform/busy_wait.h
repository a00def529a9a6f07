#pragma once
// A busy state that shows only once it has lasted kBusyPointerDelayMs, or at
// once when asked: quick work never makes a pointer flicker. The wait runs in
// the event loop, so work that never gives the loop a turn ends before it
// could show; such work asks for at once.
#include <QTimer>
#include <functional>

namespace platform {

constexpr int kBusyPointerDelayMs = 100;

class BusyWait {
public:
    // changed runs whenever shown() changes.
    explicit BusyWait(std::function<void()> changed);
    void set(bool busy, bool atOnce = false);
    bool shown() const { return shown_; }

private:
    void setShown(bool shown);
    QTimer timer_;
    bool busy_ = false;
    bool shown_ = false;
    std::function<void()> changed_;
};

}  // namespace platform
