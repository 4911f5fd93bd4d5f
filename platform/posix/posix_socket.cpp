// Non-blocking TCP client. Events are raised only from the reactor's callbacks; a failure
// found inside Connect or SendData is queued and raised at the next pump.
#include "platform/posix/posix_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <thread>

#include "text/case.h"

namespace vexal {
namespace {

// Reading stops for a pump once this much is unread, so a reader that does not keep up
// makes the peer wait instead of filling memory.
constexpr std::size_t kUnreadLimit = 4 * 1024 * 1024;
constexpr std::size_t kReadChunk = 256 * 1024;

// Names under "invalid" never resolve; answering at once keeps the lookup off the network.
bool IsInvalidName(const std::string& host) {
    std::string_view name = host;
    if (!name.empty() && name.back() == '.') name.remove_suffix(1);
    return name.size() >= 7 && EndsWithNoCase(name, "invalid") &&
           (name.size() == 7 || name[name.size() - 8] == '.');
}

bool NumericAddress(const std::string& host, std::int32_t port, PosixSocket::Address& out) {
    std::memset(&out, 0, sizeof out);
    auto* v4 = reinterpret_cast<sockaddr_in*>(&out.address);
    if (::inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<std::uint16_t>(port));
        out.length = sizeof(sockaddr_in);
        return true;
    }
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&out.address);
    if (::inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<std::uint16_t>(port));
        out.length = sizeof(sockaddr_in6);
        return true;
    }
    return false;
}

}  // namespace

std::int16_t SocketErrorFromErrno(int error) {
    switch (error) {
        case ENOMEM:
            return kErrorOutOfMemory;
        case EINTR:
            return kErrorCancelled;
        case EACCES:
            return kErrorBroadcast;
        case EAGAIN:
            return kErrorWouldBlock;
        case EBADF:
        case ENOTSOCK:
            return kErrorNotSocket;
        case EMSGSIZE:
            return kErrorMessageSize;
        case EAFNOSUPPORT:
        case EPROTONOSUPPORT:
            return kErrorPortNotSupported;
        case EADDRINUSE:
            return kErrorAddressInUse;
        case EADDRNOTAVAIL:
            return kErrorAddressNotAvailable;
        case ENETDOWN:
            return kErrorNetworkDown;
        case ENETUNREACH:
        case EHOSTUNREACH:
        case EHOSTDOWN:
            return kErrorNetworkUnreachable;
        case ENETRESET:
            return kErrorKeepAliveTimeout;
        case ECONNRESET:
            return kErrorConnectionReset;
        case ENOBUFS:
            return kErrorNoBufferSpace;
        case EISCONN:
            return kErrorAlreadyConnected;
        case ENOTCONN:
            return kErrorNotConnected;
        case EPIPE:
        case ESHUTDOWN:
            return kErrorShutDown;
        case ETIMEDOUT:
            return kErrorTimedOut;
        case ECONNREFUSED:
            return kErrorConnectionRefused;
        case ECONNABORTED:
            return kErrorConnectionAborted;
        default:
            return kErrorUnknown;
    }
}

std::int16_t SocketErrorFromLookup(int lookupResult, int error) {
    switch (lookupResult) {
        case EAI_NONAME:
            return kErrorHostNotFound;
        case EAI_AGAIN:
            return kErrorTryAgain;
        case EAI_FAIL:
            return kErrorNameServerFailure;
#ifdef EAI_NODATA
        case EAI_NODATA:
            return kErrorNoData;
#endif
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY:
            return kErrorNoData;
#endif
        case EAI_MEMORY:
            return kErrorOutOfMemory;
        case EAI_SERVICE:
            return kErrorPortNotSupported;
        case EAI_SYSTEM:
            return SocketErrorFromErrno(error);
        default:
            return kErrorNameServerFailure;
    }
}

// One name lookup, shared between the socket and its helper thread: a socket that is
// closed or reconnected simply drops its share, and the thread's answer goes nowhere.
struct PosixSocket::Lookup {
    std::string host;
    std::int32_t port = 0;
    std::shared_ptr<WakeChannel> wake;
    mutable std::mutex mutex;
    bool done = false;
    std::int16_t error = 0;
    std::vector<Address> addresses;
};

PosixSocket::PosixSocket(PosixReactor& reactor)
    : reactor_(reactor),
      startThread_([](std::function<void()> job) { std::thread(std::move(job)).detach(); }) {
    reactor_.Add(this);
}

PosixSocket::~PosixSocket() {
    Close();
    reactor_.Remove(this);
}

void PosixSocket::Connect() {
    if (state_ != SocketState::Closed) Close();
    ++generation_;
    peerClosed_ = false;
    addresses_.clear();
    nextAddress_ = 0;
    state_ = SocketState::ResolvingHost;

    // Port 0 names no service to connect to; the port error names the cause.
    if (port_ < 1 || port_ > 65535) {
        queuedErrors_.push_back(kErrorPortNotSupported);
        return;
    }
    Address numeric;
    if (NumericAddress(host_, port_, numeric)) {
        addresses_.push_back(numeric);
        state_ = SocketState::HostResolved;
        TryNextAddress(0);
        return;
    }
    if (IsInvalidName(host_)) {
        queuedErrors_.push_back(kErrorHostNotFound);
        return;
    }

    auto lookup = std::make_shared<Lookup>();
    lookup->host = host_;
    lookup->port = port_;
    lookup->wake = reactor_.wake();
    try {
        startThread_([lookup] {
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* list = nullptr;
            const int result = ::getaddrinfo(lookup->host.c_str(), nullptr, &hints, &list);
            const int savedErrno = errno;
            std::vector<Address> addresses;
            for (addrinfo* ai = list; result == 0 && ai; ai = ai->ai_next) {
                if (ai->ai_family != AF_INET && ai->ai_family != AF_INET6) continue;
                Address a{};
                std::memcpy(&a.address, ai->ai_addr, ai->ai_addrlen);
                a.length = ai->ai_addrlen;
                const auto port = htons(static_cast<std::uint16_t>(lookup->port));
                if (ai->ai_family == AF_INET) {
                    reinterpret_cast<sockaddr_in*>(&a.address)->sin_port = port;
                } else {
                    reinterpret_cast<sockaddr_in6*>(&a.address)->sin6_port = port;
                }
                addresses.push_back(a);
            }
            if (list) ::freeaddrinfo(list);
            {
                std::lock_guard<std::mutex> lock(lookup->mutex);
                lookup->done = true;
                if (result != 0) {
                    lookup->error = SocketErrorFromLookup(result, savedErrno);
                } else if (addresses.empty()) {
                    lookup->error = kErrorNoData;
                }
                lookup->addresses = std::move(addresses);
            }
            lookup->wake->Wake();
        });
    } catch (const std::exception&) {
        // No thread to be had (the process is at its limit): reported like a lack of memory.
        queuedErrors_.push_back(kErrorOutOfMemory);
        return;
    }
    lookup_ = std::move(lookup);
}

// Tries the remaining addresses in the order the lookup gave them; the error of the last
// one is reported when none connects.
void PosixSocket::TryNextAddress(int lastError) {
    CloseDescriptor();
    while (nextAddress_ < addresses_.size()) {
        const Address& a = addresses_[nextAddress_++];
        fd_ = ::socket(a.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd_ < 0) {
            lastError = errno;
            continue;
        }
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&a.address), a.length) == 0) {
            // This may run inside Connect, where no event may be raised: it waits for the pump.
            state_ = SocketState::Connected;
            connectDue_ = true;
            return;
        }
        if (errno == EINPROGRESS) {
            state_ = SocketState::Connecting;
            return;
        }
        lastError = errno;
        CloseDescriptor();
    }
    queuedErrors_.push_back(SocketErrorFromErrno(lastError ? lastError : ECONNREFUSED));
}

void PosixSocket::SendData(std::string_view data) {
    if (state_ != SocketState::Connected) {
        queuedErrors_.push_back(kErrorNotConnected);
        return;
    }
    outgoing_.append(data);
}

std::string_view PosixSocket::PeekData() const {
    return std::string_view(received_.get() + begin_, end_ - begin_);
}

void PosixSocket::DiscardData(std::size_t count) {
    begin_ += std::min(count, end_ - begin_);
    if (begin_ == end_) begin_ = end_ = 0;
}

void PosixSocket::Close() {
    CloseDescriptor();
    ++generation_;
    lookup_.reset();
    addresses_.clear();
    queuedErrors_.clear();
    connectDue_ = false;
    begin_ = end_ = 0;
    outgoing_.clear();
    sentOffset_ = 0;
    peerClosed_ = false;
    state_ = SocketState::Closed;
}

void PosixSocket::CloseDescriptor() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

int PosixSocket::PollFd(short& eventsOut) const {
    eventsOut = 0;
    if (fd_ < 0) return -1;
    if (state_ == SocketState::Connecting) {
        eventsOut = POLLOUT;
    } else if (state_ == SocketState::Connected) {
        if (end_ - begin_ < kUnreadLimit) eventsOut |= POLLIN;
        if (sentOffset_ < outgoing_.size()) eventsOut |= POLLOUT;
    }
    return fd_;
}

bool PosixSocket::HasPending() const {
    if (!queuedErrors_.empty() || connectDue_) return true;
    if (!lookup_) return false;
    std::lock_guard<std::mutex> lock(lookup_->mutex);
    return lookup_->done;
}

void PosixSocket::RunPending() {
    if (connectDue_) {
        connectDue_ = false;
        if (listener_) listener_->WS_Connect();
        return;
    }
    if (!queuedErrors_.empty()) {
        const std::int16_t number = queuedErrors_.front();
        queuedErrors_.pop_front();
        Fail(number);
        return;
    }
    if (!lookup_) return;
    std::int16_t error;
    {
        std::lock_guard<std::mutex> lock(lookup_->mutex);
        if (!lookup_->done) return;
        error = lookup_->error;
        addresses_ = std::move(lookup_->addresses);
    }
    lookup_.reset();
    if (error != 0) {
        Fail(error);
        return;
    }
    state_ = SocketState::HostResolved;
    TryNextAddress(0);
}

void PosixSocket::OnPollReady(int fd, short revents) {
    if (fd != fd_) return;
    if (state_ == SocketState::Connecting) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
        if (error == 0) {
            state_ = SocketState::Connected;
            if (listener_) listener_->WS_Connect();
        } else {
            TryNextAddress(error);
        }
        return;
    }
    if (state_ != SocketState::Connected) return;
    if (revents & POLLOUT) {
        Flush();
        if (fd != fd_ || state_ != SocketState::Connected) return;
    }
    if (revents & (POLLIN | POLLHUP | POLLERR)) Receive();
}

void PosixSocket::Flush() {
    while (sentOffset_ < outgoing_.size()) {
        const ssize_t n =
            ::send(fd_, outgoing_.data() + sentOffset_, outgoing_.size() - sentOffset_, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return;
            Fail(SocketErrorFromErrno(errno));
            return;
        }
        sentOffset_ += static_cast<std::size_t>(n);
    }
    outgoing_.clear();
    sentOffset_ = 0;
}

void PosixSocket::Receive() {
    std::size_t arrived = 0;
    int error = 0;
    while (end_ - begin_ < kUnreadLimit) {
        if (capacity_ - end_ < kReadChunk) {
            // Move the unread bytes to the front, growing only when that is not enough.
            const std::size_t unread = end_ - begin_;
            if (begin_ > 0) {
                std::memmove(received_.get(), received_.get() + begin_, unread);
                begin_ = 0;
                end_ = unread;
            }
            if (capacity_ - end_ < kReadChunk) {
                const std::size_t capacity = std::max(capacity_ * 2, unread + kReadChunk);
                std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity]);
                if (!grown) {
                    error = ENOMEM;
                    break;
                }
                if (unread) std::memcpy(grown.get(), received_.get(), unread);
                received_ = std::move(grown);
                capacity_ = capacity;
            }
        }
        // At most one chunk per call, so the unread bytes stop within one chunk of the limit
        // however much room the buffer has grown.
        const std::size_t room = std::min(capacity_ - end_, kReadChunk);
        const ssize_t n = ::recv(fd_, received_.get() + end_, room, 0);
        if (n > 0) {
            end_ += static_cast<std::size_t>(n);
            arrived += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0) {
            peerClosed_ = true;
            break;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) error = errno;
        break;
    }

    const std::uint64_t generation = generation_;
    if (arrived > 0 && listener_) {
        const std::size_t unread = end_ - begin_;
        listener_->WS_DataArrival(static_cast<std::int32_t>(std::min<std::size_t>(unread, INT32_MAX)));
        // The handler may have closed or reconnected the socket; the rest is then moot.
        if (generation != generation_) return;
    }
    if (error != 0) {
        Fail(SocketErrorFromErrno(error));
    } else if (peerClosed_) {
        CloseDescriptor();
        state_ = SocketState::Closing;
        if (listener_) listener_->WS_Close();
    }
}

void PosixSocket::Fail(std::int16_t number) {
    CloseDescriptor();
    lookup_.reset();
    state_ = SocketState::Error;
    if (listener_) listener_->WS_Error(number);
}

}  // namespace vexal
