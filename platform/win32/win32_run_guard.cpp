// LockFileEx, the console control handler, and process ids.
#include "platform/win32/win32_run_guard.h"

#include <atomic>

#include "platform/win32/utf16.h"
#include "platform/win32/win32_api.h"

namespace vexal {
namespace {

std::atomic<bool> gStop{false};
HANDLE gStopEvent = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD type) {
    gStop = true;
    ::SetEvent(gStopEvent);
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) return TRUE;
    // Closing the console, logging off or shutting down ends the process as soon as this
    // returns: the main thread is given the time Windows allows to clean up and exit.
    ::Sleep(INFINITE);
    return TRUE;
}

}  // namespace

Win32RunGuard::~Win32RunGuard() {
    if (lockFile_) ::CloseHandle(static_cast<HANDLE>(lockFile_));
}

RunGuard::LockState Win32RunGuard::TryLock(const std::string& folder) {
    // Byte-range locks do not nest: a second lock through the same handle would be refused.
    if (held_ && lockFolder_ == folder) return LockState::Held;
    if (lockFile_ && lockFolder_ != folder) {
        ::CloseHandle(static_cast<HANDLE>(lockFile_));
        lockFile_ = nullptr;
        held_ = false;
    }
    if (!lockFile_) {
        // Not inherited: a program started later must not carry the lock past this run.
        const HANDLE file =
            ::CreateFileW(win32::Widen(folder + "\\.vexal-lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (file == INVALID_HANDLE_VALUE) return LockState::Failed;
        lockFile_ = file;
        lockFolder_ = folder;
    }
    OVERLAPPED at{};
    if (::LockFileEx(static_cast<HANDLE>(lockFile_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                     1, 0, &at)) {
        held_ = true;
        return LockState::Held;
    }
    const DWORD error = ::GetLastError();
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? LockState::Busy : LockState::Failed;
}

bool Win32RunGuard::StopRequested() const { return gStop.load(); }

std::uint32_t Win32RunGuard::ProcessId() const { return ::GetCurrentProcessId(); }

bool Win32RunGuard::ProcessAlive(std::uint32_t pid) const {
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return ::GetLastError() == ERROR_ACCESS_DENIED;
    const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return running;
}

void* Win32RunGuard::CatchConsoleEvents() {
    if (gStopEvent) return gStopEvent;
    gStopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (gStopEvent) ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    return gStopEvent;
}

}  // namespace vexal
