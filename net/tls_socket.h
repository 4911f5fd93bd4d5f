// A TLS client connection presented as one more Socket: it runs over another socket (the
// transport), so name look-up, connecting, the event pump and every transport error stay
// where they are, and the reader above sees plain bytes and the same states and events as
// over an unencrypted connection. The cryptography is a platform's engine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "host/socket.h"

namespace vexal {

// One platform's TLS client: turns the bytes of the connection into plain data and back.
// It always verifies the server's certificate chain against the trusted roots and its
// name (host name or IP address), sends the server name, and speaks TLS 1.2 or later.
class TlsEngine {
public:
    enum class Result : std::uint8_t {
        Pending,              // the handshake needs more bytes from the peer
        Established,          // the handshake is done; plain data flows
        Closed,               // the peer ended the session properly
        CertificateRejected,  // the certificate is not trusted, expired or for another host
        HandshakeFailed,      // the handshake failed, or the peer does not speak TLS
        Failed,               // a record after the handshake could not be read
    };
    virtual ~TlsEngine() = default;
    // Starts a new session with `host`; the first handshake bytes are appended to `wireOut`.
    virtual Result Start(const std::string& host, std::string& wireOut) = 0;
    // Takes every byte in `wireIn`: plain data is appended to `plainOut`, bytes for the
    // peer to `wireOut`.
    virtual Result Receive(std::string_view wireIn, std::string& plainOut, std::string& wireOut) = 0;
    // Encrypts plain data for the peer into `wireOut`; false when the session cannot.
    virtual bool Send(std::string_view plain, std::string& wireOut) = 0;
    // Forgets the session.
    virtual void Reset() = 0;
};

class TlsSocket final : public Socket, private SocketListener {
public:
    // `transport` is this socket's own: it must serve nobody else.
    TlsSocket(Socket& transport, std::unique_ptr<TlsEngine> engine);
    ~TlsSocket() override;
    TlsSocket(const TlsSocket&) = delete;
    TlsSocket& operator=(const TlsSocket&) = delete;

    void SetListener(SocketListener* listener) override { listener_ = listener; }
    void SetRemoteHost(const std::string& host) override { transport_.SetRemoteHost(host); }
    std::string RemoteHost() const override { return transport_.RemoteHost(); }
    void SetRemotePort(std::int32_t port) override { transport_.SetRemotePort(port); }
    std::int32_t RemotePort() const override { return transport_.RemotePort(); }

    // Connects the transport; the handshake follows, and State reads SocketState::Connected only
    // once it is done, so a time-out on connecting covers the handshake too.
    void Connect() override;
    SocketState State() const override;
    void SendData(std::string_view data) override;
    std::string_view PeekData() const override;
    void DiscardData(std::size_t count) override;
    void Close() override;

private:
    enum class Phase : std::uint8_t { Closed, Transport, Handshake, Open, Closing, Failed };

    void WS_Connect() override;
    void WS_DataArrival(std::int32_t bytesTotal) override;
    void WS_Error(std::int16_t number) override;
    void WS_Close() override;

    bool StartHandshake();
    // Acts on an engine result; false when the socket failed or was closed meanwhile.
    bool Handle(TlsEngine::Result result);
    void SendWire();
    void Fail(std::int16_t number);

    Socket& transport_;
    std::unique_ptr<TlsEngine> engine_;
    SocketListener* listener_ = nullptr;
    Phase phase_ = Phase::Closed;
    std::string plain_;  // decrypted bytes; the unread ones start at plainBegin_
    std::size_t plainBegin_ = 0;
    std::string wire_;     // bytes for the peer, handed to the transport at once
    std::string pending_;  // plain data sent before the handshake was done
    // Changes on every Close, so a handler that closed the socket is noticed.
    std::uint64_t generation_ = 0;
};

}  // namespace vexal
