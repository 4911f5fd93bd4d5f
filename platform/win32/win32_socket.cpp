// Winsock client socket with WSAEventSelect. One event object carries every network event
// of the current connection and also wakes the pump for errors queued by calls; a name
// look-up has its own event object, owned together with the look-up's result by the
// helper thread and the socket, so closing the socket while a look-up runs is safe.
#include "platform/win32/win32_socket.h"

#include <exception>
#include <thread>

#include "platform/win32/utf16.h"
#include "platform/win32/win32_api.h"

namespace vexal {

struct Win32Socket::Lookup {
    HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::wstring host;
    std::wstring service;
    int error = 0;
    ADDRINFOW* result = nullptr;
    ~Lookup() {
        if (result) ::FreeAddrInfoW(result);
        if (done) ::CloseHandle(done);
    }
};

namespace {

// Reading stops once this much is unread, so a reader that does not keep up makes the
// peer wait instead of filling memory.
constexpr std::size_t kUnreadLimit = 4 * 1024 * 1024;

SOCKET AsSocket(std::uintptr_t s) { return static_cast<SOCKET>(s); }

std::vector<const ADDRINFOW*> Addresses(const ADDRINFOW* list) {
    std::vector<const ADDRINFOW*> out;
    for (const ADDRINFOW* a = list; a; a = a->ai_next) out.push_back(a);
    return out;
}

}  // namespace

std::int16_t SocketErrorNumber(int winsockError) {
    switch (winsockError) {
        case WSAECONNABORTED:
            return kErrorConnectionAborted;
        case WSA_NOT_ENOUGH_MEMORY:
            return kErrorOutOfMemory;
        default:
            if (winsockError > 0 && winsockError <= 32767) return static_cast<std::int16_t>(winsockError);
            return kErrorUnknown;
    }
}

Win32Socket::Win32Socket(Win32EventPump& pump)
    : pump_(pump),
      startThread_([](std::function<void()> job) { std::thread(std::move(job)).detach(); }),
      wake_(::WSACreateEvent()),
      socket_(static_cast<std::uintptr_t>(INVALID_SOCKET)) {
    WSADATA data{};
    winsockReady_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    pump_.Watch(wake_, [this] { OnWake(); });
}

Win32Socket::~Win32Socket() {
    Close();
    pump_.Unwatch(wake_);
    ::WSACloseEvent(static_cast<WSAEVENT>(wake_));
    if (winsockReady_) ::WSACleanup();
}

void Win32Socket::Connect() {
    if (state_ != SocketState::Closed) Close();
    if (!winsockReady_) {
        QueueError(WSANOTINITIALISED);
        return;
    }
    // A URL can name any number as its port, and port 0 names no service to connect to;
    // Winsock's "not supported" number is the one whose message names the port.
    if (port_ < 1 || port_ > 65535) {
        QueueError(WSAEPROTONOSUPPORT);
        return;
    }
    state_ = SocketState::ResolvingHost;
    auto lookup = std::make_shared<Lookup>();
    lookup->host = win32::Widen(host_);
    lookup->service = std::to_wstring(port_);
    try {
        startThread_([lookup] {
            ADDRINFOW hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            hints.ai_protocol = IPPROTO_TCP;
            lookup->error =
                ::GetAddrInfoW(lookup->host.c_str(), lookup->service.c_str(), &hints, &lookup->result);
            ::SetEvent(lookup->done);
        });
    } catch (const std::exception&) {
        // No thread to be had (the process is at its limit): reported like a lack of memory.
        QueueError(WSA_NOT_ENOUGH_MEMORY);
        return;
    }
    lookup_ = lookup;
    nextAddress_ = 0;
    pump_.Watch(lookup->done, [this] { OnLookupDone(); });
}

void Win32Socket::OnLookupDone() {
    pump_.Unwatch(lookup_->done);
    if (lookup_->error != 0) {
        const int error = lookup_->error;
        lookup_.reset();
        Fail(error);
        return;
    }
    state_ = SocketState::HostResolved;
    TryNextAddress();
}

// Tries the looked-up addresses in order: "localhost" may name an IPv6 address first while
// the server listens on IPv4 only.
void Win32Socket::TryNextAddress() {
    const std::vector<const ADDRINFOW*> addresses = Addresses(lookup_->result);
    int lastError = WSAEHOSTUNREACH;
    while (nextAddress_ < addresses.size()) {
        const ADDRINFOW* a = addresses[nextAddress_++];
        SOCKET s =
            ::WSASocketW(a->ai_family, a->ai_socktype, a->ai_protocol, nullptr, 0, WSA_FLAG_OVERLAPPED);
        if (s == INVALID_SOCKET) {
            lastError = ::WSAGetLastError();
            continue;
        }
        // Also makes the socket non-blocking.
        if (::WSAEventSelect(s, static_cast<WSAEVENT>(wake_), FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) !=
            0) {
            lastError = ::WSAGetLastError();
            ::closesocket(s);
            continue;
        }
        socket_ = static_cast<std::uintptr_t>(s);
        state_ = SocketState::Connecting;
        if (::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0) return;  // FD_CONNECT follows
        lastError = ::WSAGetLastError();
        if (lastError == WSAEWOULDBLOCK) return;
        CloseSocketOnly();
    }
    lookup_.reset();
    Fail(lastError);
}

void Win32Socket::OnWake() {
    const std::uint64_t generation = generation_;
    if (AsSocket(socket_) == INVALID_SOCKET) {
        ::WSAResetEvent(static_cast<WSAEVENT>(wake_));
    } else {
        WSANETWORKEVENTS events{};
        if (::WSAEnumNetworkEvents(AsSocket(socket_), static_cast<WSAEVENT>(wake_), &events) != 0) {
            Fail(::WSAGetLastError());
            return;
        }
        if (events.lNetworkEvents & FD_CONNECT) {
            const int error = events.iErrorCode[FD_CONNECT_BIT];
            if (error != 0) {
                CloseSocketOnly();
                if (lookup_ && nextAddress_ < Addresses(lookup_->result).size()) {
                    TryNextAddress();
                } else {
                    lookup_.reset();
                    Fail(error);
                }
                return;
            }
            lookup_.reset();
            state_ = SocketState::Connected;
            FlushSend();
            if (listener_) listener_->WS_Connect();
            if (generation != generation_) return;
        }
        if (events.lNetworkEvents & FD_WRITE) FlushSend();
        int closeError = 0;
        if (events.lNetworkEvents & FD_CLOSE) {
            closeSeen_ = true;
            closeError = events.iErrorCode[FD_CLOSE_BIT];
        }
        bool peerClosed = false;
        bool arrived = false;
        // A paused reader resumes when the wake comes from DiscardData, with no network event.
        if ((events.lNetworkEvents & (FD_READ | FD_CLOSE)) || readPaused_)
            arrived = ReadAvailable(peerClosed);
        // The close is reported once everything before it has been read.
        if (closeSeen_ && !readPaused_) peerClosed = true;
        // Everything that arrived is delivered before the socket reports the remote close,
        // so a reader that sees the closing state has seen the whole response.
        if (arrived && listener_) listener_->WS_DataArrival(static_cast<std::int32_t>(received_.size()));
        if (generation != generation_) return;
        if (closeError != 0) {
            Fail(closeError);
            return;
        }
        if (peerClosed && state_ == SocketState::Connected) {
            state_ = SocketState::Closing;
            if (listener_) listener_->WS_Close();
            if (generation != generation_) return;
        }
    }
    // Errors queued by calls on the socket since the last pump.
    std::vector<int> errors;
    errors.swap(queuedErrors_);
    for (int error : errors) {
        Fail(error);
        if (generation != generation_) return;
    }
}

// Reads what Winsock holds now, up to the unread limit; true when new bytes arrived.
// Stopping without a recv leaves Winsock's read event off, so a full buffer costs no
// wake-ups until DiscardData makes room.
bool Win32Socket::ReadAvailable(bool& peerClosed) {
    bool arrived = false;
    char buffer[65536];
    readPaused_ = false;
    while (AsSocket(socket_) != INVALID_SOCKET) {
        if (received_.size() >= kUnreadLimit) {
            readPaused_ = true;
            break;
        }
        const int n = ::recv(AsSocket(socket_), buffer, sizeof buffer, 0);
        if (n > 0) {
            received_.append(buffer, static_cast<std::size_t>(n));
            arrived = true;
            continue;
        }
        if (n == 0) peerClosed = true;
        break;  // WSAEWOULDBLOCK, or an error that FD_CLOSE reports
    }
    return arrived;
}

void Win32Socket::SendData(std::string_view data) {
    if (state_ != SocketState::Connected) {
        QueueError(WSAENOTCONN);
        return;
    }
    outgoing_.append(data);
    FlushSend();
}

void Win32Socket::FlushSend() {
    while (!outgoing_.empty() && AsSocket(socket_) != INVALID_SOCKET) {
        const int chunk = outgoing_.size() > (1u << 20) ? (1 << 20) : static_cast<int>(outgoing_.size());
        const int n = ::send(AsSocket(socket_), outgoing_.data(), chunk, 0);
        if (n > 0) {
            outgoing_.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        const int error = ::WSAGetLastError();
        if (error != WSAEWOULDBLOCK) QueueError(error);
        return;  // FD_WRITE resumes
    }
}

void Win32Socket::DiscardData(std::size_t count) {
    received_.erase(0, count);
    if (readPaused_ && received_.size() < kUnreadLimit) ::WSASetEvent(static_cast<WSAEVENT>(wake_));
}

void Win32Socket::QueueError(int winsockError) {
    queuedErrors_.push_back(winsockError);
    ::WSASetEvent(static_cast<WSAEVENT>(wake_));
}

void Win32Socket::Fail(int winsockError) {
    CloseSocketOnly();
    state_ = SocketState::Error;
    const std::int16_t number = SocketErrorNumber(winsockError);
    if (listener_) listener_->WS_Error(number);
}

void Win32Socket::CloseSocketOnly() {
    if (AsSocket(socket_) != INVALID_SOCKET) {
        ::closesocket(AsSocket(socket_));
        socket_ = static_cast<std::uintptr_t>(INVALID_SOCKET);
    }
}

void Win32Socket::Close() {
    if (lookup_) {
        pump_.Unwatch(lookup_->done);
        lookup_.reset();  // a look-up still running finishes on its own and is dropped
    }
    CloseSocketOnly();
    received_.clear();
    readPaused_ = false;
    closeSeen_ = false;
    outgoing_.clear();
    queuedErrors_.clear();
    ::WSAResetEvent(static_cast<WSAEVENT>(wake_));
    state_ = SocketState::Closed;
    ++generation_;
}

}  // namespace vexal
