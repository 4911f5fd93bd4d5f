// The TLS layer over a transport socket. Every event it raises is raised from inside one of
// the transport's events, so, like the transport's own, they arrive only inside the pump.
#include "net/tls_socket.h"

#include <algorithm>
#include <climits>

namespace vexal {

TlsSocket::TlsSocket(Socket& transport, std::unique_ptr<TlsEngine> engine)
    : transport_(transport), engine_(std::move(engine)) {
    transport_.SetListener(this);
}

TlsSocket::~TlsSocket() {
    Close();
    transport_.SetListener(nullptr);
}

void TlsSocket::Connect() {
    Close();
    phase_ = Phase::Transport;
    transport_.Connect();
}

SocketState TlsSocket::State() const {
    switch (phase_) {
        case Phase::Closed:
            return SocketState::Closed;
        case Phase::Transport: {
            // Connected underneath is still connecting here, until the handshake is done.
            const SocketState state = transport_.State();
            return state == SocketState::Connected ? SocketState::Connecting : state;
        }
        case Phase::Handshake:
            return SocketState::Connecting;
        case Phase::Open:
            return SocketState::Connected;
        case Phase::Closing:
            return SocketState::Closing;
        case Phase::Failed:
            return SocketState::Error;
    }
    return SocketState::Error;
}

void TlsSocket::SendData(std::string_view data) {
    switch (phase_) {
        case Phase::Transport:
        case Phase::Handshake:
            pending_.append(data);
            return;
        case Phase::Open:
            wire_.clear();
            if (!engine_->Send(data, wire_)) {
                // No event may be raised inside a call: the error state tells the reader.
                transport_.Close();
                phase_ = Phase::Failed;
                return;
            }
            SendWire();
            return;
        default:
            // Not connected: the transport reports that under its own number.
            transport_.SendData(data);
            return;
    }
}

std::string_view TlsSocket::PeekData() const { return std::string_view(plain_).substr(plainBegin_); }

void TlsSocket::DiscardData(std::size_t count) {
    plainBegin_ += std::min(count, plain_.size() - plainBegin_);
    if (plainBegin_ == plain_.size()) {
        plain_.clear();
        plainBegin_ = 0;
    }
}

void TlsSocket::Close() {
    transport_.Close();
    if (engine_) engine_->Reset();
    plain_.clear();
    plainBegin_ = 0;
    pending_.clear();
    wire_.clear();
    phase_ = Phase::Closed;
    ++generation_;
}

void TlsSocket::SendWire() {
    if (!wire_.empty()) transport_.SendData(wire_);
    wire_.clear();
}

bool TlsSocket::StartHandshake() {
    phase_ = Phase::Handshake;
    wire_.clear();
    const TlsEngine::Result result = engine_->Start(transport_.RemoteHost(), wire_);
    SendWire();
    return Handle(result);
}

void TlsSocket::WS_Connect() {
    if (phase_ == Phase::Transport) StartHandshake();
}

void TlsSocket::WS_DataArrival(std::int32_t) {
    if (phase_ == Phase::Transport && !StartHandshake()) return;
    if (phase_ != Phase::Handshake && phase_ != Phase::Open) return;
    const std::string_view bytes = transport_.PeekData();
    const std::size_t before = plain_.size();
    wire_.clear();
    const TlsEngine::Result result = engine_->Receive(bytes, plain_, wire_);
    transport_.DiscardData(bytes.size());
    SendWire();
    // The data that came before a close message is announced before the close.
    if (result != TlsEngine::Result::Closed && !Handle(result)) return;
    if (plain_.size() > before && listener_) {
        const std::uint64_t generation = generation_;
        listener_->WS_DataArrival(
            static_cast<std::int32_t>(std::min<std::size_t>(plain_.size() - plainBegin_, INT32_MAX)));
        if (generation != generation_) return;
    }
    if (result == TlsEngine::Result::Closed) Handle(result);
}

void TlsSocket::WS_Error(std::int16_t number) {
    // A connection that fails while the handshake runs is a handshake that failed: the
    // peer broke off once it saw a TLS greeting.
    if (phase_ == Phase::Handshake) return Fail(kErrorSecureChannel);
    phase_ = Phase::Failed;
    if (listener_) listener_->WS_Error(number);
}

void TlsSocket::WS_Close() {
    if (phase_ == Phase::Handshake) return Fail(kErrorSecureChannel);
    // Without the peer's close message the body's own framing tells whether it all came;
    // the reader judges that from the closing state as for any other connection.
    if (phase_ == Phase::Open) {
        phase_ = Phase::Closing;
        if (listener_) listener_->WS_Close();
    }
}

bool TlsSocket::Handle(TlsEngine::Result result) {
    const std::uint64_t generation = generation_;
    switch (result) {
        case TlsEngine::Result::Pending:
            return true;
        case TlsEngine::Result::Established:
            if (phase_ != Phase::Handshake) return true;
            phase_ = Phase::Open;
            if (!pending_.empty()) {
                wire_.clear();
                const bool sent = engine_->Send(pending_, wire_);
                pending_.clear();
                if (!sent) {
                    Fail(kErrorSecureChannel);
                    return false;
                }
                SendWire();
            }
            if (listener_) listener_->WS_Connect();
            return generation == generation_;
        case TlsEngine::Result::Closed:
            // The data before the close message is already in; the transport's close follows.
            if (phase_ == Phase::Open) {
                phase_ = Phase::Closing;
                if (listener_) listener_->WS_Close();
                return generation == generation_;
            }
            Fail(kErrorSecureChannel);
            return false;
        case TlsEngine::Result::CertificateRejected:
            Fail(kErrorCertificate);
            return false;
        case TlsEngine::Result::HandshakeFailed:
            Fail(kErrorSecureChannel);
            return false;
        case TlsEngine::Result::Failed:
            Fail(phase_ == Phase::Handshake ? kErrorSecureChannel : kErrorConnectionAborted);
            return false;
    }
    return false;
}

void TlsSocket::Fail(std::int16_t number) {
    transport_.Close();
    phase_ = Phase::Failed;
    if (listener_) listener_->WS_Error(number);
}

}  // namespace vexal
