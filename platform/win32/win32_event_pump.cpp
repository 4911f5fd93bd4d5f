// One pass handles every window message that is queued, every signalled kernel object and
// every deadline that is due. Waiting happens only when nothing was pending, in
// MsgWaitForMultipleObjectsEx, so an idle program uses no processor time.
#include "platform/win32/win32_event_pump.h"

#include <algorithm>
#include <limits>

#include "platform/win32/win32_api.h"

namespace vexal {

std::uint64_t Win32EventPump::Now() { return ::GetTickCount64(); }

void Win32EventPump::Watch(Handle handle, Callback onSignaled) {
    Unwatch(handle);
    watched_.push_back({handle, std::move(onSignaled)});
}

void Win32EventPump::Unwatch(Handle handle) {
    std::erase_if(watched_, [handle](const Watched& w) { return w.handle == handle; });
}

int Win32EventPump::AddDeadline(Callback onDue) {
    const int id = nextDeadlineId_++;
    deadlines_.push_back({id, 0, std::move(onDue)});
    return id;
}

void Win32EventPump::SetDeadline(int id, std::uint64_t dueTick) {
    for (Deadline& d : deadlines_)
        if (d.id == id) d.due = dueTick;
}

void Win32EventPump::RemoveDeadline(int id) {
    std::erase_if(deadlines_, [id](const Deadline& d) { return d.id == id; });
}

void Win32EventPump::AddDialogWindow(void* hwnd) {
    if (std::find(dialogWindows_.begin(), dialogWindows_.end(), hwnd) == dialogWindows_.end())
        dialogWindows_.push_back(hwnd);
}

void Win32EventPump::RemoveDialogWindow(void* hwnd) { std::erase(dialogWindows_, hwnd); }

bool Win32EventPump::DispatchMessages() {
    bool any = false;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        any = true;
        if (msg.message == WM_QUIT) continue;
        bool handled = false;
        for (void* w : dialogWindows_) {
            HWND dialog = static_cast<HWND>(w);
            if (::IsWindow(dialog) && (msg.hwnd == dialog || ::IsChild(dialog, msg.hwnd)) &&
                ::IsDialogMessageW(dialog, &msg)) {
                handled = true;
                break;
            }
        }
        if (handled) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return any;
}

bool Win32EventPump::ServiceHandles() {
    bool any = false;
    // Callbacks may watch or unwatch handles; work on a snapshot and skip the ones that
    // were removed meanwhile.
    const std::vector<Watched> snapshot = watched_;
    for (const Watched& w : snapshot) {
        const bool stillWatched = std::any_of(watched_.begin(), watched_.end(),
                                              [&](const Watched& x) { return x.handle == w.handle; });
        if (!stillWatched) continue;
        if (::WaitForSingleObject(static_cast<HANDLE>(w.handle), 0) == WAIT_OBJECT_0) {
            any = true;
            w.callback();
        }
    }
    return any;
}

bool Win32EventPump::ServiceDeadlines() {
    bool any = false;
    const std::uint64_t now = Now();
    std::vector<int> due;
    for (const Deadline& d : deadlines_)
        if (d.due != 0 && d.due <= now) due.push_back(d.id);
    for (int id : due) {
        auto it = std::find_if(deadlines_.begin(), deadlines_.end(),
                               [id](const Deadline& d) { return d.id == id; });
        if (it == deadlines_.end() || it->due == 0 || it->due > now) continue;
        it->due = 0;
        any = true;
        Callback callback = it->callback;  // the callback may remove its own deadline
        callback();
    }
    return any;
}

std::uint64_t Win32EventPump::NextDeadline() const {
    std::uint64_t next = std::numeric_limits<std::uint64_t>::max();
    for (const Deadline& d : deadlines_)
        if (d.due != 0) next = std::min(next, d.due);
    return next;
}

std::uint64_t Win32EventPump::WaitLimit(int maxWaitMs) const {
    std::uint64_t wait = static_cast<std::uint64_t>(std::max(maxWaitMs, 0));
    const std::uint64_t next = NextDeadline();
    const std::uint64_t now = Now();
    if (next != std::numeric_limits<std::uint64_t>::max())
        wait = next <= now ? 0 : std::min(wait, next - now);
    return wait;
}

void Win32EventPump::Pump(int maxWaitMs) {
    bool any = DispatchMessages();
    any = ServiceHandles() || any;
    any = ServiceDeadlines() || any;
    if (any) return;
    if (maxWaitMs <= 0) {
        ++counts_.spins;
        return;
    }

    const DWORD wait = static_cast<DWORD>(WaitLimit(maxWaitMs));
    std::vector<HANDLE> handles;
    for (const Watched& w : watched_) handles.push_back(static_cast<HANDLE>(w.handle));
    if (handles.size() >= MAXIMUM_WAIT_OBJECTS) handles.resize(MAXIMUM_WAIT_OBJECTS - 1);
    const DWORD result = ::MsgWaitForMultipleObjectsEx(static_cast<DWORD>(handles.size()), handles.data(),
                                                       wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    ++counts_.polls;
    counts_.lastWaitMs = wait;
    if (result == WAIT_TIMEOUT) {
        if (wait > 0) ++counts_.ranOut;
    } else if (result != WAIT_FAILED) {
        ++counts_.woken;
    }
    DispatchMessages();
    ServiceHandles();
    ServiceDeadlines();
}

void Win32EventPump::Run() {
    while (true) Pump(std::numeric_limits<int>::max());
}

}  // namespace vexal
