// The POSIX event pump: one poll() over the sockets, the timers and a wake-up pipe that
// name-lookup threads write to. Pump handles what is ready and returns; when nothing is,
// it sleeps in poll() until something arrives or maxWaitMs passes, so waiting loops cost
// no processor time. A toolkit's own pump can drive it by calling Pump with a short wait
// after processing its window events.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "host/event_pump.h"

namespace vexal {

// Something the reactor watches. Its callbacks run only inside Pump.
class ReactorSource {
public:
    static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
    virtual ~ReactorSource() = default;
    // The descriptor to poll and the poll events wanted; -1 for none.
    virtual int PollFd(short& eventsOut) const = 0;
    // `fd` is the descriptor that was polled; a source that replaced it since ignores the call.
    virtual void OnPollReady(int fd, short revents) = 0;
    // The steady-clock millisecond at which OnDeadline is due; kNever for none.
    virtual std::int64_t Deadline() const { return kNever; }
    virtual void OnDeadline(std::int64_t) {}
    // Work that must run at the next pump without waiting (results of other threads,
    // failures found inside a call that may not raise events itself).
    virtual bool HasPending() const { return false; }
    virtual void RunPending() {}
};

// A pipe any thread may write to, to end the reactor's current wait. It outlives the
// reactor for as long as a lookup thread still holds it.
class WakeChannel {
public:
    WakeChannel();
    ~WakeChannel();
    WakeChannel(const WakeChannel&) = delete;
    WakeChannel& operator=(const WakeChannel&) = delete;
    void Wake();
    void Drain();
    int ReadFd() const { return fds_[0]; }

private:
    int fds_[2] = {-1, -1};
};

class PosixReactor final : public EventPump {
public:
    PosixReactor();
    // Every source must have been removed (sockets and timers destroyed) before.
    ~PosixReactor() override;
    PosixReactor(const PosixReactor&) = delete;
    PosixReactor& operator=(const PosixReactor&) = delete;

    void Pump(int maxWaitMs = 0) override;

    void Add(ReactorSource* source);
    void Remove(ReactorSource* source);
    const std::shared_ptr<WakeChannel>& wake() const { return wake_; }
    const PumpCounts& counts() const { return counts_; }

    // Milliseconds of the steady clock.
    static std::int64_t NowMs();

private:
    bool Registered(ReactorSource* source) const;

    std::vector<ReactorSource*> sources_;
    std::shared_ptr<WakeChannel> wake_;
    PumpCounts counts_;
};

}  // namespace vexal
