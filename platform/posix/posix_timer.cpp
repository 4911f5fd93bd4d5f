// A periodic deadline. After a tick the next one is a whole period later, measured from
// the tick, so a pump that was held up never delivers a burst of overdue ticks.
#include "platform/posix/posix_timer.h"

namespace vexal {

PosixTimer::PosixTimer(PosixReactor& reactor) : reactor_(reactor) { reactor_.Add(this); }

PosixTimer::~PosixTimer() { reactor_.Remove(this); }

void PosixTimer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    deadline_ = enabled_ && interval_ > 0 ? PosixReactor::NowMs() + interval_ : kNever;
}

void PosixTimer::SetInterval(std::int64_t milliseconds) {
    interval_ = milliseconds;
    SetEnabled(enabled_);
}

std::int64_t PosixTimer::Deadline() const { return deadline_; }

void PosixTimer::OnDeadline(std::int64_t now) {
    if (!enabled_ || interval_ <= 0) return;
    deadline_ = now + interval_;
    if (listener_) listener_->Timer_Timer();
}

}  // namespace vexal
