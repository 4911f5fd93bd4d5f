// The run guard on Windows: the lock is LockFileEx on a file in the folder it is given
// (the user's own "%LOCALAPPDATA%\vexal", shared by all of that user's runs),
// held by the open handle until the process ends (Windows lets it go however the process
// ends); the console's close, Ctrl+C, log-off and shut-down only set a flag and an event,
// and the event pump that waits on that event ends the run. The session's end reaches a
// windows program through its windows, and there the run ends at once.
#pragma once

#include <cstdint>
#include <functional>
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
    void Unlock() override;
    bool StopRequested() const override;
    std::uint32_t ProcessId() const override;
    bool ProcessAlive(std::uint32_t pid) const override;

    // Registers the console handler (once per process) and returns the event it sets, for
    // the event pump to wait on; null when there is none.
    static void* CatchConsoleEvents();
    // Joins the console of the process that started this one, if it has one, so that its
    // Ctrl+C and its closing reach the console handler. The standard handles stay as given.
    static void JoinParentConsole();
    // For a run with windows: joins the parent's console only when a standard handle it was
    // given is that console (the console companion hands on its own when a command is typed),
    // so the typed command's Ctrl+C reaches the run and --help prints there. Started any
    // other way, it stays without a console.
    static void JoinConsoleOfStandardHandles();
    // For the editor: leaves the console joined above, so that only the editor's own window
    // ends it. Closing a console gives its processes a few seconds and then kills them, too
    // short for a question about unsaved entries, and Ctrl+C or Ctrl+Break there would end
    // the editor without one. Standard handles that led to that console then lead nowhere.
    static void LeaveConsole();

    // Runs `onEnd` when the user's session ends (log-off, shut-down), from inside the
    // window procedure that hears of it: Windows may end the process as soon as that
    // returns. A hidden top-level window listens, so a run without windows hears it too.
    static void CatchSessionEnd(std::function<void()> onEnd);
    // For the program's own window procedures: WM_QUERYENDSESSION (never refused) and
    // WM_ENDSESSION; true when `message` was one of them, with the window's answer.
    static bool HandleSessionMessage(unsigned message, std::uintptr_t wParam, std::intptr_t& resultOut);

private:
    void* lockFile_ = nullptr;  // a HANDLE
    bool held_ = false;
    std::string lockFolder_;
};

}  // namespace vexal
