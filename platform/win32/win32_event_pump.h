// The Windows event pump: window messages, plus the kernel objects (socket events, name
// look-ups) and timer deadlines of the platform layer, all handled on the one user-interface
// thread and only from inside Pump, never from a modal message box's own loop.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "host/event_pump.h"

namespace vexal {

class Win32EventPump final : public EventPump {
public:
    using Handle = void*;  // a Win32 HANDLE that can be waited on
    using Callback = std::function<void()>;

    void Pump(int maxWaitMs = 0) override;
    // Pumps for ever, waiting while nothing is pending; the program ends through Process.
    [[noreturn]] void Run();

    // Calls `onSignaled` from inside Pump whenever `handle` is signalled. The callback must
    // reset an auto-reset condition itself (WSAEnumNetworkEvents, ResetEvent).
    void Watch(Handle handle, Callback onSignaled);
    void Unwatch(Handle handle);

    // Deadlines on GetTickCount64's clock; `onDue` runs from inside Pump once the deadline
    // has passed. Setting a deadline of 0 cancels it.
    int AddDeadline(Callback onDue);
    void SetDeadline(int id, std::uint64_t dueTick);
    void RemoveDeadline(int id);

    // Top-level windows whose keyboard input goes through IsDialogMessage, so Tab moves
    // the focus and Escape presses the cancel button as in a dialog.
    void AddDialogWindow(void* hwnd);
    void RemoveDialogWindow(void* hwnd);

    static std::uint64_t Now();
    // The longest a pump given `maxWaitMs` would wait now if nothing were pending: the
    // next deadline shortens it.
    std::uint64_t WaitLimit(int maxWaitMs) const;
    const PumpCounts& counts() const { return counts_; }

private:
    struct Watched {
        Handle handle;
        Callback callback;
    };
    struct Deadline {
        int id;
        std::uint64_t due;  // 0: not armed
        Callback callback;
    };
    bool DispatchMessages();
    bool ServiceHandles();
    bool ServiceDeadlines();
    std::uint64_t NextDeadline() const;

    std::vector<Watched> watched_;
    std::vector<Deadline> deadlines_;
    std::vector<void*> dialogWindows_;
    int nextDeadlineId_ = 1;
    PumpCounts counts_;
};

}  // namespace vexal
