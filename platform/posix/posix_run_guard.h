// The run guard on POSIX: the lock is flock() on a file in the wallpaper folder, held by
// an open descriptor until the process ends (the kernel lets it go even after kill -9);
// SIGINT, SIGTERM and SIGHUP only set a flag and write a byte into a pipe, and the event
// loop that reads the pipe ends the run, so no work happens inside a signal handler.
#pragma once

#include <functional>
#include <string>

#include "host/run_guard.h"
#include "platform/posix/posix_reactor.h"

namespace vexal {

// The lock file's name in the wallpaper folder.
inline constexpr const char* kLockFileName = ".vexal-lock";

class PosixRunGuard final : public RunGuard {
public:
    PosixRunGuard() = default;
    ~PosixRunGuard() override;
    PosixRunGuard(const PosixRunGuard&) = delete;
    PosixRunGuard& operator=(const PosixRunGuard&) = delete;

    LockState TryLock(const std::string& folder) override;
    void Unlock() override;
    bool StopRequested() const override;
    std::uint32_t ProcessId() const override;
    bool ProcessAlive(std::uint32_t pid) const override;

    // Installs the handlers of the three stop signals (once per process). Returns the
    // read end of the pipe they write to, or -1.
    static int CatchStopSignals();
    // Empties the pipe after it became readable.
    static void DrainStopPipe();

private:
    int lockFd_ = -1;
    std::string lockFolder_;
};

// Watches the stop pipe in a reactor and calls `onStop` from its pump.
class StopSignalSource final : public ReactorSource {
public:
    StopSignalSource(PosixReactor& reactor, std::function<void()> onStop);
    ~StopSignalSource() override;
    StopSignalSource(const StopSignalSource&) = delete;
    StopSignalSource& operator=(const StopSignalSource&) = delete;

    int PollFd(short& eventsOut) const override;
    void OnPollReady(int fd, short revents) override;

private:
    PosixReactor& reactor_;
    std::function<void()> onStop_;
    int fd_;
};

}  // namespace vexal
