// The transfer's timer on POSIX: a deadline the reactor's poll() waits for.
#pragma once

#include "host/timer.h"
#include "platform/posix/posix_reactor.h"

namespace vexal {

class PosixTimer final : public Timer, private ReactorSource {
public:
    explicit PosixTimer(PosixReactor& reactor);
    ~PosixTimer() override;
    PosixTimer(const PosixTimer&) = delete;
    PosixTimer& operator=(const PosixTimer&) = delete;

    void SetListener(TimerListener* listener) override { listener_ = listener; }
    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return enabled_; }
    void SetInterval(std::int64_t milliseconds) override;
    std::int64_t Interval() const override { return interval_; }

private:
    int PollFd(short&) const override { return -1; }
    void OnPollReady(int, short) override {}
    std::int64_t Deadline() const override;
    void OnDeadline(std::int64_t now) override;

    PosixReactor& reactor_;
    TimerListener* listener_ = nullptr;
    bool enabled_ = false;
    std::int64_t interval_ = 0;
    std::int64_t deadline_ = kNever;
};

}  // namespace vexal
