// poll()-based pump. Sources are snapshotted before dispatching and checked again before
// each callback, because a callback may close or destroy other sources.
#include "platform/posix/posix_reactor.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace vexal {

WakeChannel::WakeChannel() {
    if (::pipe2(fds_, O_NONBLOCK | O_CLOEXEC) != 0) fds_[0] = fds_[1] = -1;
}

WakeChannel::~WakeChannel() {
    for (int fd : fds_)
        if (fd >= 0) ::close(fd);
}

void WakeChannel::Wake() {
    const char byte = 1;
    // A full pipe already wakes the reader; nothing is lost by a failed write.
    [[maybe_unused]] ssize_t n = ::write(fds_[1], &byte, 1);
}

void WakeChannel::Drain() {
    char buffer[64];
    while (::read(fds_[0], buffer, sizeof buffer) > 0) {
    }
}

PosixReactor::PosixReactor() : wake_(std::make_shared<WakeChannel>()) {}

PosixReactor::~PosixReactor() = default;

std::int64_t PosixReactor::NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void PosixReactor::Add(ReactorSource* source) {
    if (!Registered(source)) sources_.push_back(source);
}

void PosixReactor::Remove(ReactorSource* source) {
    sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
}

bool PosixReactor::Registered(ReactorSource* source) const {
    return std::find(sources_.begin(), sources_.end(), source) != sources_.end();
}

void PosixReactor::Pump(int maxWaitMs) {
    const std::vector<ReactorSource*> sources = sources_;
    std::int64_t now = NowMs();
    std::int64_t wait = std::max(maxWaitMs, 0);
    std::vector<pollfd> fds;
    std::vector<ReactorSource*> polled;
    fds.push_back({wake_->ReadFd(), POLLIN, 0});
    for (ReactorSource* source : sources) {
        if (source->HasPending()) wait = 0;
        const std::int64_t deadline = source->Deadline();
        if (deadline != ReactorSource::kNever)
            wait = std::min(wait, std::max<std::int64_t>(deadline - now, 0));
        short events = 0;
        const int fd = source->PollFd(events);
        if (fd >= 0 && events != 0) {
            fds.push_back({fd, events, 0});
            polled.push_back(source);
        }
    }

    int ready = ::poll(fds.data(), fds.size(), static_cast<int>(wait));
    if (ready < 0 && errno != EINTR) ready = 0;
    ++counts_.polls;
    counts_.lastWaitMs = wait;
    if (ready > 0) ++counts_.woken;
    if (ready == 0 && wait > 0) ++counts_.ranOut;
    bool worked = ready > 0;
    if (ready > 0 && (fds[0].revents & POLLIN)) wake_->Drain();

    now = NowMs();
    for (ReactorSource* source : sources) {
        if (Registered(source) && source->HasPending()) {
            source->RunPending();
            worked = true;
        }
    }
    if (ready > 0) {
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents != 0 && Registered(polled[i - 1]))
                polled[i - 1]->OnPollReady(fds[i].fd, fds[i].revents);
        }
    }
    for (ReactorSource* source : sources) {
        if (Registered(source) && source->Deadline() <= now) {
            source->OnDeadline(now);
            worked = true;
        }
    }
    if (wait == 0 && !worked) ++counts_.spins;
}

}  // namespace vexal
