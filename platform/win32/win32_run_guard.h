// The run guard on Windows: the lock is LockFileEx on a file in the wallpaper folder,
// held by the open handle until the process ends (Windows lets it go however the process
// ends); the console's close, Ctrl+C, log-off and shut-down only set a flag and an event,
// and the event pump that waits on that event ends the run.
#pragma once

#include <string>

#include "host/run_guard.h"

namespace vexal {

class Win32RunGuard final : public RunGuard {
public:
    Win32RunGuard() = default;
    ~Win32RunGuard() override;
    Win32RunGuard(const Win32RunGuard&) = delete;
    Win32RunGuard& operator=(const Win32RunGuard&) = delete;

    LockState TryLock(const std::string& folder) override;
    bool StopRequested() const override;
    std::uint32_t ProcessId() const override;
    bool ProcessAlive(std::uint32_t pid) const override;

    // Registers the console handler (once per process) and returns the event it sets, for
    // the event pump to wait on; null when there is none.
    static void* CatchConsoleEvents();

private:
    void* lockFile_ = nullptr;  // a HANDLE
    bool held_ = false;
    std::string lockFolder_;
};

}  // namespace vexal
