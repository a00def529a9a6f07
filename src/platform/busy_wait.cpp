#include "platform/busy_wait.h"

namespace platform {

BusyWait::BusyWait(std::function<void()> changed) : changed_(std::move(changed)) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (busy_)
            setShown(true);
    });
}

void BusyWait::set(bool busy, bool atOnce) {
    busy_ = busy;
    if (!busy || atOnce)
        timer_.stop();
    if (!busy || atOnce)
        setShown(busy);
    else if (!shown_ && !timer_.isActive())
        timer_.start(kBusyPointerDelayMs);
}

void BusyWait::setShown(bool shown) {
    if (shown == shown_)
        return;
    shown_ = shown;
    if (changed_)
        changed_();
}

}  // namespace platform
