// The one TCP client socket the transfer talks to, with the members and events the
// transfer relies on. Each platform implements it (non-blocking, events delivered only
// from inside EventPump::Pump) and reports failures under the numbers below, which the
// user sees through SocketErrorText whatever the platform.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vexal {

// Socket states. 1 to 6 are the busy states on the way to a connection.
enum class SocketState : std::int16_t {
    Closed = 0,
    Open = 1,
    Listening = 2,
    ConnectionPending = 3,
    ResolvingHost = 4,
    HostResolved = 5,
    Connecting = 6,
    Connected = 7,
    Closing = 8,  // the remote side has closed; unread data may remain
    Error = 9,
};

// Error numbers the platforms report (each has its text in SocketErrorText).
inline constexpr std::int16_t kErrorOutOfMemory = 7;
inline constexpr std::int16_t kErrorInvalidProperty = 380;
inline constexpr std::int16_t kErrorCancelled = 10004;
inline constexpr std::int16_t kErrorBroadcast = 10014;
inline constexpr std::int16_t kErrorWouldBlock = 10035;
inline constexpr std::int16_t kErrorNotSocket = 10038;
inline constexpr std::int16_t kErrorMessageSize = 10040;
inline constexpr std::int16_t kErrorPortNotSupported = 10043;
inline constexpr std::int16_t kErrorAddressInUse = 10048;
inline constexpr std::int16_t kErrorAddressNotAvailable = 10049;
inline constexpr std::int16_t kErrorNetworkDown = 10050;
inline constexpr std::int16_t kErrorNetworkUnreachable = 10051;
inline constexpr std::int16_t kErrorKeepAliveTimeout = 10052;
inline constexpr std::int16_t kErrorConnectionReset = 10054;
inline constexpr std::int16_t kErrorNoBufferSpace = 10055;
inline constexpr std::int16_t kErrorAlreadyConnected = 10056;
inline constexpr std::int16_t kErrorNotConnected = 10057;
inline constexpr std::int16_t kErrorShutDown = 10058;
inline constexpr std::int16_t kErrorTimedOut = 10060;
inline constexpr std::int16_t kErrorConnectionRefused = 10061;
inline constexpr std::int16_t kErrorHostNotFound = 11001;
inline constexpr std::int16_t kErrorTryAgain = 11002;
inline constexpr std::int16_t kErrorNameServerFailure = 11003;
inline constexpr std::int16_t kErrorNoData = 11004;
inline constexpr std::int16_t kErrorConnectionAborted = 11053;
// TLS: the certificate could not be verified (untrusted, expired, for another host), and
// the handshake failed or the peer does not speak TLS.
inline constexpr std::int16_t kErrorCertificate = 12045;
inline constexpr std::int16_t kErrorSecureChannel = 12157;
// A failure none of the numbers above names; it shows the "unknown error" text.
inline constexpr std::int16_t kErrorUnknown = -1;

// Receives the socket's events. Handlers run inside EventPump::Pump only, never inside a
// call on the socket itself, so they may call back into the socket freely.
class SocketListener {
public:
    virtual ~SocketListener() = default;
    // New bytes have arrived; `bytesTotal` is the number of unread bytes (PeekData's size).
    virtual void WS_DataArrival(std::int32_t bytesTotal) = 0;
    // The socket failed; it is then in SocketState::Error (or closed) and stays so until Close.
    virtual void WS_Error(std::int16_t number) = 0;
    // The connection is established (State has become SocketState::Connected).
    virtual void WS_Connect() {}
    // The remote side has closed (State has become SocketState::Closing); every byte it sent has
    // been announced by WS_DataArrival before.
    virtual void WS_Close() {}
};

class Socket {
public:
    virtual ~Socket() = default;

    virtual void SetListener(SocketListener* listener) = 0;

    virtual void SetRemoteHost(const std::string& host) = 0;
    virtual std::string RemoteHost() const = 0;
    virtual void SetRemotePort(std::int32_t port) = 0;
    virtual std::int32_t RemotePort() const = 0;

    // Starts resolving and connecting to RemoteHost:RemotePort and returns at once;
    // progress shows only in State and in the Error event. A socket that is not closed
    // is closed first.
    virtual void Connect() = 0;
    virtual SocketState State() const = 0;
    // Queues bytes for sending; a failure arrives as an Error event.
    virtual void SendData(std::string_view data) = 0;
    // The bytes received and not yet discarded, without copying them. The view stays
    // valid until the next call on the socket or the next pump.
    virtual std::string_view PeekData() const = 0;
    // Drops the first `count` unread bytes: a reader that has taken bytes over discards
    // them, so the socket never holds more than what is still unread.
    virtual void DiscardData(std::size_t count) = 0;
    // Closes the connection and discards unread data; State becomes SocketState::Closed and no
    // further events of the old connection arrive.
    virtual void Close() = 0;
};

}  // namespace vexal
