// A periodic tick built on one pump deadline that re-arms itself after each tick.
#include "platform/win32/win32_timer.h"

namespace vexal {

Win32Timer::Win32Timer(Win32EventPump& pump) : pump_(pump), deadline_(pump.AddDeadline([this] { Tick(); })) {}

Win32Timer::~Win32Timer() { pump_.RemoveDeadline(deadline_); }

void Win32Timer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    Arm();
}

void Win32Timer::SetInterval(std::int64_t milliseconds) {
    interval_ = milliseconds;
    Arm();
}

void Win32Timer::Arm() {
    const bool ticks = enabled_ && interval_ > 0;
    pump_.SetDeadline(deadline_, ticks ? Win32EventPump::Now() + static_cast<std::uint64_t>(interval_) : 0);
}

void Win32Timer::Tick() {
    // The next period starts before the listener runs, so a listener that restarts the
    // timer gets the fresh period it asked for.
    Arm();
    if (listener_) listener_->Timer_Timer();
}

}  // namespace vexal
