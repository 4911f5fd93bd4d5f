// The progress window's TCP socket on Windows: Winsock 2, non-blocking, its network events
// signalled on an event object that the pump watches, so DataArrival and Error run only
// inside Pump. Host names are looked up on a helper thread so the window stays responsive
// while a slow name server answers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/socket.h"
#include "platform/win32/win32_event_pump.h"

namespace vexal {

// The number the user sees for a Winsock error: Winsock's own numbers are the ones the
// messages are keyed by, except that an aborted connection has its own number there.
std::int16_t SocketErrorNumber(int winsockError);

class Win32Socket final : public Socket {
public:
    explicit Win32Socket(Win32EventPump& pump);
    ~Win32Socket() override;
    Win32Socket(const Win32Socket&) = delete;
    Win32Socket& operator=(const Win32Socket&) = delete;

    // Starts `job` on a thread of its own; throws std::system_error when it cannot.
    using ThreadStarter = std::function<void(std::function<void()> job)>;
    // How name lookups get their thread; tests give one that fails.
    void SetThreadStarter(ThreadStarter start) { startThread_ = std::move(start); }

    void SetListener(SocketListener* listener) override { listener_ = listener; }
    void SetRemoteHost(const std::string& host) override { host_ = host; }
    std::string RemoteHost() const override { return host_; }
    void SetRemotePort(std::int32_t port) override { port_ = port; }
    std::int32_t RemotePort() const override { return port_; }

    void Connect() override;
    SocketState State() const override { return state_; }
    void SendData(std::string_view data) override;
    std::string_view PeekData() const override { return received_; }
    void DiscardData(std::size_t count) override;
    void Close() override;

    struct Lookup;

private:
    void OnLookupDone();
    void TryNextAddress();
    void OnWake();
    bool ReadAvailable(bool& peerClosed);
    void FlushSend();
    // Errors found inside a call on the socket wait for the next pump: listeners never run
    // inside such a call.
    void QueueError(int winsockError);
    void Fail(int winsockError);
    void CloseSocketOnly();

    Win32EventPump& pump_;
    ThreadStarter startThread_;
    void* wake_;  // WSAEVENT
    bool winsockReady_ = false;
    SocketListener* listener_ = nullptr;
    std::string host_;
    std::int32_t port_ = 0;
    SocketState state_ = SocketState::Closed;
    std::uintptr_t socket_;  // SOCKET
    std::shared_ptr<Lookup> lookup_;
    std::size_t nextAddress_ = 0;
    std::string received_;
    // Reading waits while too much is unread; the remote close counts once all is read.
    bool readPaused_ = false;
    bool closeSeen_ = false;
    std::string outgoing_;
    std::vector<int> queuedErrors_;
    // Changes on every Close, so an event handler that closed the socket can be noticed.
    std::uint64_t generation_ = 0;
};

}  // namespace vexal
