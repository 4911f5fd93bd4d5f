// The CONNECT exchange with a proxy, then a plain pass-through. Like the TLS socket's,
// its events are raised from inside the transport's, so they arrive only inside the pump.
#include "net/proxy_tunnel.h"

#include "net/url.h"

namespace vexal {

ProxyTunnel::ProxyTunnel(Socket& transport, ProxySettings proxies, ProxyScript* script)
    : transport_(transport), proxies_(std::move(proxies)), script_(script) {
    transport_.SetListener(this);
}

ProxySettings ProxyTunnel::ProxiesFor(const std::string& url) const {
    if (script_)
        if (std::optional<ProxySettings> answer = script_->ProxiesFor(url)) return *std::move(answer);
    return proxies_;
}

ProxyTunnel::~ProxyTunnel() {
    transport_.Close();
    transport_.SetListener(nullptr);
}

void ProxyTunnel::Connect() {
    transport_.Close();
    answer_.clear();
    refusedStatus_ = 0;
    phase_ = route_.Direct() ? Phase::Direct : Phase::Asking;
    transport_.SetRemoteHost(route_.Direct() ? host_ : route_.host);
    transport_.SetRemotePort(route_.Direct() ? port_ : route_.port);
    transport_.Connect();
}

SocketState ProxyTunnel::State() const {
    switch (phase_) {
        case Phase::Asking: {
            // Connected to the proxy is still connecting to the server.
            const SocketState state = transport_.State();
            return state == SocketState::Connected ? SocketState::Connecting : state;
        }
        case Phase::Refused:
            return SocketState::Error;
        default:
            return transport_.State();
    }
}

std::string_view ProxyTunnel::PeekData() const {
    return phase_ == Phase::Asking ? std::string_view() : transport_.PeekData();
}

void ProxyTunnel::DiscardData(std::size_t count) {
    if (phase_ != Phase::Asking) transport_.DiscardData(count);
}

void ProxyTunnel::Close() {
    transport_.Close();
    answer_.clear();
    phase_ = Phase::Direct;
}

void ProxyTunnel::WS_Connect() {
    if (phase_ != Phase::Asking) {
        if (listener_) listener_->WS_Connect();
        return;
    }
    // The server's name as it was given: the proxy looks it up, not this machine.
    UrlParts server;
    server.Host = host_;
    server.Port = port_;
    server.Scheme = "https";
    std::string authority = HostField(server);
    if (port_ == DefaultPort("https")) authority += ":" + std::to_string(port_);
    transport_.SendData("CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n\r\n");
}

void ProxyTunnel::WS_DataArrival(std::int32_t bytesTotal) {
    if (phase_ == Phase::Asking) return ReadAnswer();
    if (phase_ != Phase::Refused && listener_) listener_->WS_DataArrival(bytesTotal);
}

void ProxyTunnel::ReadAnswer() {
    const std::string_view bytes = transport_.PeekData();
    const std::size_t before = answer_.size();
    answer_.append(bytes);
    const std::size_t end = answer_.find("\r\n\r\n");
    if (end == std::string::npos) {
        transport_.DiscardData(bytes.size());
        if (answer_.size() > kAnswerLimitBytes) Refuse(0);
        return;
    }
    // Only the answer is taken: whatever follows it is the server's, for the layer above.
    transport_.DiscardData(end + 4 - before);
    std::int32_t status = 0;
    if (answer_.rfind("HTTP/1.", 0) == 0 && answer_.size() > 12 && answer_[8] == ' ') {
        for (std::size_t i = 9; i < 12 && answer_[i] >= '0' && answer_[i] <= '9'; ++i)
            status = status * 10 + (answer_[i] - '0');
        if (status < 100) status = 0;
    }
    // An interim answer comes before the real one, which is read next.
    if (status >= 100 && status < 200) {
        answer_.clear();
        if (!transport_.PeekData().empty()) ReadAnswer();
        return;
    }
    if (status < 200 || status > 299) return Refuse(status);
    answer_.clear();
    phase_ = Phase::Open;
    if (listener_) listener_->WS_Connect();
    if (phase_ == Phase::Open && !transport_.PeekData().empty() && listener_)
        listener_->WS_DataArrival(static_cast<std::int32_t>(transport_.PeekData().size()));
}

void ProxyTunnel::Refuse(std::int32_t status) {
    transport_.Close();
    answer_.clear();
    phase_ = Phase::Refused;
    refusedStatus_ = status;
    if (listener_) listener_->WS_Error(kErrorProxyRefused);
}

void ProxyTunnel::WS_Error(std::int16_t number) {
    if (listener_) listener_->WS_Error(number);
}

void ProxyTunnel::WS_Close() {
    // A proxy that hangs up instead of answering CONNECT has refused it.
    if (phase_ == Phase::Asking) return Refuse(0);
    if (listener_) listener_->WS_Close();
}

}  // namespace vexal
