// The transfer's inactivity timer: ticks every Interval milliseconds while enabled. Ticks
// are delivered from inside EventPump::Pump only.
#pragma once

#include <cstdint>

namespace vexal {

class TimerListener {
public:
    virtual ~TimerListener() = default;
    virtual void Timer_Timer() = 0;
};

class Timer {
public:
    virtual ~Timer() = default;
    virtual void SetListener(TimerListener* listener) = 0;
    // Enabling (again) starts a fresh period; disabling drops a tick that is due.
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    // The period in milliseconds; 0 or less never ticks. Setting it starts a fresh period.
    virtual void SetInterval(std::int64_t milliseconds) = 0;
    virtual std::int64_t Interval() const = 0;
};

}  // namespace vexal
