// The progress window's TCP socket on POSIX: non-blocking, driven by the reactor, with
// host names looked up on a helper thread so that neither a slow name server nor a slow
// connect ever blocks the pump. Failures are reported under the socket error numbers the
// user's messages are keyed by.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/socket.h"
#include "platform/posix/posix_reactor.h"

namespace vexal {

// The socket error number for an errno value of a socket call.
std::int16_t SocketErrorFromErrno(int error);
// The socket error number for a getaddrinfo result (`error` is errno for EAI_SYSTEM).
std::int16_t SocketErrorFromLookup(int lookupResult, int error);

class PosixSocket final : public Socket, private ReactorSource {
public:
    explicit PosixSocket(PosixReactor& reactor);
    ~PosixSocket() override;
    PosixSocket(const PosixSocket&) = delete;
    PosixSocket& operator=(const PosixSocket&) = delete;

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
    std::string_view PeekData() const override;
    void DiscardData(std::size_t count) override;
    void Close() override;

    struct Lookup;
    struct Address {
        sockaddr_storage address;
        socklen_t length;
    };

private:
    int PollFd(short& eventsOut) const override;
    void OnPollReady(int fd, short revents) override;
    bool HasPending() const override;
    void RunPending() override;

    void TryNextAddress(int lastError);
    void Receive();
    void Flush();
    void Fail(std::int16_t number);
    void CloseDescriptor();

    PosixReactor& reactor_;
    ThreadStarter startThread_;
    SocketListener* listener_ = nullptr;
    std::string host_;
    std::int32_t port_ = 0;
    SocketState state_ = SocketState::Closed;
    int fd_ = -1;
    std::shared_ptr<Lookup> lookup_;
    std::vector<Address> addresses_;
    std::size_t nextAddress_ = 0;
    bool peerClosed_ = false;
    bool connectDue_ = false;  // connected inside a call; WS_Connect waits for the pump
    // Failures found inside a call on the socket, raised at the next pump.
    std::deque<std::int16_t> queuedErrors_;
    // Received bytes not yet discarded: [begin_, end_) of a buffer of capacity_ bytes.
    std::unique_ptr<char[]> received_;
    std::size_t begin_ = 0, end_ = 0, capacity_ = 0;
    std::string outgoing_;
    std::size_t sentOffset_ = 0;
    // Changes on every Close, so a handler that closed the socket is noticed.
    std::uint64_t generation_ = 0;
};

}  // namespace vexal
