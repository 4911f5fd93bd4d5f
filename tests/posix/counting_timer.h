// The transfer's time-out timer on the real pump, counting the ticks it delivers: tests
// tell a fetch that the time-out ended from one that ended on its own by this count, not
// by the clock.
#pragma once

#include <cstdint>

#include "host/timer.h"
#include "platform/posix/posix_reactor.h"
#include "platform/posix/posix_timer.h"

namespace vexal::testing {

class CountingTimer final : public Timer, private TimerListener {
public:
    explicit CountingTimer(PosixReactor& reactor) : reactor_(reactor), timer_(reactor) {
        timer_.SetListener(this);
    }
    void SetListener(TimerListener* listener) override { listener_ = listener; }
    void SetEnabled(bool enabled) override { timer_.SetEnabled(enabled); }
    bool Enabled() const override { return timer_.Enabled(); }
    void SetInterval(std::int64_t milliseconds) override { timer_.SetInterval(milliseconds); }
    std::int64_t Interval() const override { return timer_.Interval(); }

    int ticks = 0;
    std::int64_t intervalAtTick = 0;  // the period that ran out, at the last tick
    std::uint64_t pollsAtTick = 0;    // the pump's polls, at the last tick

private:
    void Timer_Timer() override {
        ++ticks;
        intervalAtTick = timer_.Interval();
        pollsAtTick = reactor_.counts().polls;
        if (listener_) listener_->Timer_Timer();
    }
    PosixReactor& reactor_;
    PosixTimer timer_;
    TimerListener* listener_ = nullptr;
};

}  // namespace vexal::testing
