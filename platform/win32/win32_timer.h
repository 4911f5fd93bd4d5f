// The transfer's inactivity timer on Windows: a deadline of the event pump, so its ticks
// arrive only from inside Pump, as the transfer's loops expect.
#pragma once

#include "host/timer.h"
#include "platform/win32/win32_event_pump.h"

namespace vexal {

class Win32Timer final : public Timer {
public:
    explicit Win32Timer(Win32EventPump& pump);
    ~Win32Timer() override;
    Win32Timer(const Win32Timer&) = delete;
    Win32Timer& operator=(const Win32Timer&) = delete;

    void SetListener(TimerListener* listener) override { listener_ = listener; }
    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return enabled_; }
    void SetInterval(std::int64_t milliseconds) override;
    std::int64_t Interval() const override { return interval_; }

private:
    void Arm();
    void Tick();

    Win32EventPump& pump_;
    int deadline_;
    TimerListener* listener_ = nullptr;
    bool enabled_ = false;
    std::int64_t interval_ = 0;
};

}  // namespace vexal
