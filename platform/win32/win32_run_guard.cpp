// LockFileEx, the console control handler, the session's end, and process ids.
#include "platform/win32/win32_run_guard.h"

#include <atomic>

#include "platform/win32/utf16.h"
#include "platform/win32/win32_api.h"

namespace vexal {
namespace {

std::atomic<bool> gStop{false};
HANDLE gStopEvent = nullptr;
std::function<void()> gOnSessionEnd;

void RequestStop() {
    gStop = true;
    if (gStopEvent) ::SetEvent(gStopEvent);
}

LRESULT CALLBACK SessionWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    std::intptr_t result = 0;
    if (Win32RunGuard::HandleSessionMessage(message, wParam, result)) return result;
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

BOOL WINAPI OnConsoleEvent(DWORD type) {
    RequestStop();
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
        // Not inherited: a program started later must not carry the lock past this run. A
        // link in the lock's place is opened itself, never the file it points to.
        const HANDLE file =
            ::CreateFileW(win32::Widen(folder + "\\.vexal-lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
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

void Win32RunGuard::Unlock() {
    if (!held_) return;
    OVERLAPPED at{};
    ::UnlockFileEx(static_cast<HANDLE>(lockFile_), 0, 1, 0, &at);
    held_ = false;
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

void Win32RunGuard::JoinParentConsole() {
    const DWORD kinds[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE given[3];
    for (int i = 0; i < 3; ++i) given[i] = ::GetStdHandle(kinds[i]);
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;
    // Attaching may point missing standard handles at the console; messages keep going
    // where the caller sent them (a log file, say), or nowhere.
    for (int i = 0; i < 3; ++i) ::SetStdHandle(kinds[i], given[i]);
}

void Win32RunGuard::JoinConsoleOfStandardHandles() {
    const auto isConsole = [](DWORD kind) {
        DWORD mode = 0;
        return ::GetConsoleMode(::GetStdHandle(kind), &mode) != 0;
    };
    const auto characterDevice = [](DWORD kind) {
        HANDLE h = ::GetStdHandle(kind);
        return h && h != INVALID_HANDLE_VALUE && ::GetFileType(h) == FILE_TYPE_CHAR;
    };
    // NUL is a character device too; only a handle the joined console answers for counts.
    if (!characterDevice(STD_OUTPUT_HANDLE) && !characterDevice(STD_ERROR_HANDLE)) return;
    JoinParentConsole();
    if (!isConsole(STD_OUTPUT_HANDLE) && !isConsole(STD_ERROR_HANDLE)) ::FreeConsole();
}

void Win32RunGuard::LeaveConsole() {
    const DWORD kinds[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (DWORD kind : kinds) {
        DWORD mode = 0;
        if (::GetConsoleMode(::GetStdHandle(kind), &mode)) ::SetStdHandle(kind, nullptr);
    }
    // Harmless without a console: it only fails.
    ::FreeConsole();
}

void Win32RunGuard::CatchSessionEnd(std::function<void()> onEnd) {
    gOnSessionEnd = std::move(onEnd);
    static HWND listener = nullptr;
    if (listener) return;
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = SessionWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"VexalSession";
    ::RegisterClassExW(&wc);
    // Top-level and never shown: a message-only window would not hear of the session's end.
    listener = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"VexalSession", L"vexal", WS_POPUP, 0, 0, 0, 0, nullptr,
                                 nullptr, instance, nullptr);
}

bool Win32RunGuard::HandleSessionMessage(unsigned message, std::uintptr_t wParam, std::intptr_t& resultOut) {
    if (message == WM_QUERYENDSESSION) {
        // The run cannot be finished in the time Windows allows; it gives way instead.
        resultOut = TRUE;
        return true;
    }
    if (message != WM_ENDSESSION) return false;
    resultOut = 0;
    if (wParam) {
        RequestStop();
        if (gOnSessionEnd) gOnSessionEnd();
    }
    return true;
}

}  // namespace vexal
