// The transport under the TLS socket: straight to the server, or through an HTTP proxy's
// CONNECT tunnel. Through a proxy it connects to the proxy, asks it for the server and
// reports itself connected only once the proxy agreed, so the TLS handshake above runs
// over the same connection, and the certificate is checked against the server's name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/socket.h"
#include "net/proxy.h"

namespace vexal {

// The error a tunnel raises when the proxy would not open it; RefusedStatus says why.
inline constexpr std::int16_t kErrorProxyRefused = 12210;

// Where the platform decides proxies per address by a script (Windows' automatic
// detection or configuration script, as WinHTTP runs it).
class ProxyScript {
public:
    virtual ~ProxyScript() = default;
    // The proxies for `url` as the script answers, or nullopt when there is no script or it
    // gave no answer, and the fixed settings apply.
    virtual std::optional<ProxySettings> ProxiesFor(const std::string& url) = 0;
};

class ProxyTunnel final : public Socket, private SocketListener {
public:
    // `transport` is this socket's own: it must serve nobody else. `proxies` are what the
    // platform set, `script` (null: none) its answer per address, which comes first; the
    // transfer chooses among them for each server and calls Route.
    ProxyTunnel(Socket& transport, ProxySettings proxies, ProxyScript* script = nullptr);
    ~ProxyTunnel() override;
    ProxyTunnel(const ProxyTunnel&) = delete;
    ProxyTunnel& operator=(const ProxyTunnel&) = delete;

    // The proxies for a server at `url` ("scheme://host:port/").
    ProxySettings ProxiesFor(const std::string& url) const;
    // From the next Connect on: through `proxy`, or straight to the server when Direct.
    void Route(ProxyChoice proxy) { route_ = std::move(proxy); }
    // The proxy's status when it refused the tunnel (0: its answer was no HTTP answer).
    std::int32_t RefusedStatus() const { return refusedStatus_; }

    void SetListener(SocketListener* listener) override { listener_ = listener; }
    // The server's name and port, whichever way the connection goes.
    void SetRemoteHost(const std::string& host) override { host_ = host; }
    std::string RemoteHost() const override { return host_; }
    void SetRemotePort(std::int32_t port) override { port_ = port; }
    std::int32_t RemotePort() const override { return port_; }

    void Connect() override;
    SocketState State() const override;
    void SendData(std::string_view data) override { transport_.SendData(data); }
    std::string_view PeekData() const override;
    void DiscardData(std::size_t count) override;
    void Close() override;

    // The most a proxy's answer to CONNECT may hold: it is a status line and a few fields.
    static constexpr std::size_t kAnswerLimitBytes = 64 * 1024;

private:
    enum class Phase : std::uint8_t { Direct, Asking, Open, Refused };

    void WS_Connect() override;
    void WS_DataArrival(std::int32_t bytesTotal) override;
    void WS_Error(std::int16_t number) override;
    void WS_Close() override;
    // Takes the proxy's answer as it arrives, and acts on it once it is whole.
    void ReadAnswer();
    void Refuse(std::int32_t status);

    Socket& transport_;
    ProxySettings proxies_;
    ProxyScript* script_;
    ProxyChoice route_;
    SocketListener* listener_ = nullptr;
    std::string host_;
    std::int32_t port_ = 0;
    Phase phase_ = Phase::Direct;
    std::string answer_;  // the proxy's answer so far
    std::int32_t refusedStatus_ = 0;
};

}  // namespace vexal
