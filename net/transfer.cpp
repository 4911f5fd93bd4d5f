// Page and image fetches over one socket. The loops test their flags in a fixed order on
// every pass (cancel, time-out, socket error, rejected response, end of the response,
// socket state) after pumping events once; event handlers only set those flags.
#include "net/transfer.h"

#include <algorithm>

#include "net/url.h"

namespace vexal {

Transfer::Transfer(const TransferServices& services, TransferOwner& owner)
    : services_(services), owner_(owner), socket_(services.socket), timer_(*services.timer), response_(this) {
    response_.LimitHeldBytes(kHeldLimitBytes);
    socket_->SetListener(this);
    if (services_.secureSocket) services_.secureSocket->SetListener(this);
    timer_.SetListener(this);
}

Transfer::~Transfer() {
    services_.socket->SetListener(nullptr);
    if (services_.secureSocket) services_.secureSocket->SetListener(nullptr);
    timer_.SetListener(nullptr);
    if (services_.watch) {
        services_.watch->SetEnabled(false);
        services_.watch->SetListener(nullptr);
    }
}

bool Transfer::Fail(FetchFailure failure, std::int32_t status, std::string subject) {
    result_ = {failure, status, std::move(subject)};
    return false;
}

bool Transfer::FailSocket(bool connecting) {
    if (!proxy_.Direct()) {
        if (SocketError == kErrorProxyRefused) {
            const std::int32_t status = services_.tunnel ? services_.tunnel->RefusedStatus() : 0;
            return Fail(status == 407 ? FetchFailure::ProxyAuthentication : FetchFailure::ProxyRefused,
                        status, proxy_.Address());
        }
        // The certificate and the handshake are the server's, even through a tunnel.
        if (connecting && SocketError != kErrorCertificate && SocketError != kErrorSecureChannel)
            return Fail(FetchFailure::ProxyUnreachable, SocketError, proxy_.Address());
    }
    // A name that could not be looked up is the host's; anything else is the address's.
    const bool lookup = SocketError >= kErrorHostNotFound && SocketError <= kErrorNoData;
    if (lookup) return Fail(FetchFailure::SocketError, SocketError, serverUrl_.Host);
    std::string address = HostField(serverUrl_);
    if (serverUrl_.Port == DefaultPort(serverUrl_.Scheme)) address += ":" + std::to_string(serverUrl_.Port);
    return Fail(FetchFailure::SocketError, SocketError, std::move(address));
}

void Transfer::BodyAnnounced(std::int64_t length) { owner_.BodyLength(length); }

void Transfer::BodyReceived(std::int64_t bytes) { owner_.BodyProgress(bytes); }

void Transfer::StartFetch(const TransferSettings& settings, FetchStep step, std::string_view subject) {
    settings_ = settings;
    result_ = {};
    owner_.ClearCancel();
    TimedOut = false;
    timer_.SetEnabled(false);
    owner_.Step(step, subject);
    owner_.BodyProgress(0);
    services_.pump->Pump(0);
}

// A new server: the socket (by the scheme), its address and the Host header always change
// together. False, with the failure kept for the fetch's result, when an https address
// finds no TLS socket.
bool Transfer::UseServer() {
    Socket* socket = IsSecureScheme(serverUrl_.Scheme) ? services_.secureSocket : services_.socket;
    if (!socket) return Fail(FetchFailure::NoSecureChannel);
    if (socket != socket_) socket_->Close();
    socket_ = socket;
    const bool secure = socket_ == services_.secureSocket;
    const char* scheme = secure ? "https" : "http";
    proxy_ = services_.tunnel ? ChooseProxy(services_.tunnel->ProxiesFor(std::string(scheme) + "://" +
                                                                         HostField(serverUrl_) + "/"),
                                            scheme, serverUrl_.Host)
                              : ProxyChoice{};
    // A plain request goes to the proxy itself; a secure one to the server, through the
    // tunnel under the TLS socket, which learns the proxy here.
    toProxy_ = !secure && !proxy_.Direct();
    socket_->SetRemoteHost(toProxy_ ? proxy_.host : serverUrl_.Host);
    socket_->SetRemotePort(toProxy_ ? proxy_.port : serverUrl_.Port);
    if (services_.tunnel && secure) services_.tunnel->Route(proxy_);
    requestHeaders_ = settings_.headerBlock + HostField(serverUrl_) + "\r\n";
    return true;
}

// One fetch of serverUrl_'s path, following redirects: each hop is a new request of the
// same form to the server the Location names, resolved against the address requested.
// serverUrl_ is left on the last address requested, so a page's links hang below it.
bool Transfer::Fetch() {
    for (int redirects = 0;; ++redirects) {
        const std::string path = serverUrl_.Dir + serverUrl_.File;
        switch (HttpGet(path)) {
            case Outcome::Done:
                return true;
            case Outcome::Redirect:
                break;
            default:
                return false;
        }
        if (redirects == kMaxRedirects) return Fail(FetchFailure::TooManyRedirects);
        const std::optional<std::string> target = ResolveReference(UrlText(serverUrl_), response_.Location);
        // A target that is no web address is not followed; the status says why.
        if (!target) return Fail(FetchFailure::Rejected, response_.HttpStatus);
        serverUrl_ = SplitUrl(*target);
        if (!UseServer()) return false;
    }
}

FetchResult Transfer::SetGrpUrl(const TransferSettings& settings, std::string url,
                                std::string& sourceTextOut) {
    StartFetch(settings, FetchStep::Page, url);
    serverUrl_ = SplitUrl(url);
    const std::string& scheme = serverUrl_.Scheme;
    if (serverUrl_.Host.empty() || (scheme != "http" && scheme != "https")) {
        Fail(FetchFailure::BadAddress);
        return result_;
    }
    if (!UseServer() || !Fetch()) return result_;

    owner_.Step(FetchStep::PageText, {});
    owner_.BodyProgress(0);
    services_.pump->Pump(0);
    if (settings.decodePage)
        pageEncoding_ =
            DecodedResponseToSourceText(response_.ResponseBytes.view(), response_.ContentType, sourceTextOut);
    else
        ResponseToSourceText(response_.ResponseBytes.view(), sourceTextOut);
    response_.ResponseBytes.Release();
    return result_;
}

FetchResult Transfer::SetGrpData(const TransferSettings& settings, std::string image, bool relativeToPage,
                                 const std::string& workFile, std::string& workImageFileOut) {
    StartFetch(settings, FetchStep::Image, image);
    if (relativeToPage) {
        // Same server, port and Host header as the page, on a new connection.
        serverUrl_.Dir = UrlDirPart(image);
        serverUrl_.File = UrlFilePart(image);
    } else {
        serverUrl_ = SplitUrl(image);
        if (!UseServer()) return result_;
    }

    // The body goes to a name of its own and becomes the working file only once it is
    // whole: a failed or interrupted fetch never damages an earlier working file.
    toFile_ = true;
    filePath_ = TempPathFor(workFile, services_.guard);
    fileTouched_ = false;
    const bool received = Fetch();
    if (received) WriteBodyPiece();
    toFile_ = false;
    response_.ResponseBytes.Release();
    if (!received) {
        DropPartialFile();
        return result_;
    }
    if (fileFailed_ || (fileBytes_ != 0 && !services_.files->RenameFile(filePath_, workFile))) {
        const FileFailure why = services_.files->LastFailure();
        DropPartialFile();
        Fail(FetchFailure::NotSaved, 0, workFile);
        result_.fileFailure = why;
        return result_;
    }
    // An empty body is no picture; handing it on would only fail later, less clearly.
    if (fileBytes_ == 0) {
        DropPartialFile();
        Fail(FetchFailure::Empty, 0, std::move(image));
        return result_;
    }
    workImageFileOut = workFile;
    owner_.Step(FetchStep::ImageLoaded, {});
    services_.pump->Pump(0);
    return result_;
}

// Moves the body received so far into the working file: the first piece of an attempt
// creates or truncates the file, so it always ends up holding one whole body.
void Transfer::WriteBodyPiece() {
    if (response_.ResponseBytes.empty()) return;
    if (!fileFailed_) {
        const std::string_view piece = response_.ResponseBytes.view();
        const bool ok = fileBytes_ == 0 ? services_.files->WriteFile(filePath_, piece)
                                        : services_.files->AppendFile(filePath_, piece);
        fileTouched_ = true;
        fileFailed_ = !ok;
        fileBytes_ += piece.size();
    }
    response_.ResponseBytes.Clear();
}

std::uint64_t Transfer::PictureBodyBound() {
    std::uint64_t free = 0;
    // A disk that cannot say how full it is leaves the size bound alone.
    if (!services_.files->FreeSpace(filePath_, free)) return kMaxPictureBytes;
    // The bytes written so far are already gone from `free`. A body up to
    // kSmallBodyBytes need only leave kSmallBodyFloorBytes; a longer one the whole floor.
    const std::uint64_t before = free + fileBytes_;
    std::uint64_t bound = 0;
    if (before > kFreeSpaceFloorBytes && before - kFreeSpaceFloorBytes > kSmallBodyBytes)
        bound = before - kFreeSpaceFloorBytes;
    else if (before > kSmallBodyFloorBytes)
        bound = std::min(kSmallBodyBytes, before - kSmallBodyFloorBytes);
    return std::min(kMaxPictureBytes, bound);
}

bool Transfer::KeepFreeSpace() {
    if (fileBytes_ < nextSpaceCheck_) return true;
    nextSpaceCheck_ = fileBytes_ + kFreeSpaceCheckBytes;
    return response_.LimitBodyBytes(PictureBodyBound());
}

// A fetch that failed after writing part of its body leaves no partial picture behind.
void Transfer::DropPartialFile() {
    if (fileTouched_) services_.files->DeleteFile(filePath_);
    fileTouched_ = false;
}

Transfer::Outcome Transfer::HttpGet(const std::string& path) {
    while (true) {
        // A new attempt is a new connection carrying a new response, so reading starts
        // over: the framing of the old one says nothing about where this one ends.
        response_.Reset();
        fileBytes_ = 0;
        fileFailed_ = false;
        if (toFile_) {
            response_.LimitBodyBytes(PictureBodyBound());
            nextSpaceCheck_ = kFreeSpaceCheckBytes;
        }
        socket_->Connect();
        RestartTimeout();
        RestartWatch();
        SocketError = 0;
        const bool connected = AwaitConnection();
        if (!connected) {
            StopWatch();
            return Outcome::Failed;
        }

        // A proxy is asked for the whole address; a server only for its path.
        socket_->SendData(
            RequestText(toProxy_ ? "http://" + HostField(serverUrl_) + path : path, requestHeaders_));
        RestartTimeout();
        SocketError = 0;
        const Outcome outcome = AwaitResponse(path);
        StopWatch();
        switch (outcome) {
            case Outcome::Failed:
                return Outcome::Failed;
            case Outcome::Retry:
                continue;
            case Outcome::Redirect:
                socket_->Close();
                return Outcome::Redirect;
            case Outcome::Done:
                socket_->Close();
                response_.StripResponseHeader();
                return Outcome::Done;
        }
    }
}

bool Transfer::AwaitConnection() {
    while (true) {
        services_.pump->Pump(kPassWaitMs);
        // Closed before anyone is told: a box waiting for its OK must not keep a server
        // sending.
        if (owner_.CancelRequested()) {
            socket_->Close();
            return Fail(FetchFailure::Cancelled);
        }
        if (TimedOut) {
            if (!owner_.RetryOnSilence()) return Fail(FetchFailure::NoAnswer);
            socket_->Close();
            socket_->Connect();
            RestartTimeout();
            RestartWatch();
        }
        if (!KeepsPace()) return false;
        if (SocketError != 0) return FailSocket(true);
        switch (socket_->State()) {
            case SocketState::Closed:
                return Fail(FetchFailure::Disconnected);
            case SocketState::Connected:
                return true;
            case SocketState::Closing:
                socket_->Close();
                return Fail(FetchFailure::ClosedByPeer);
            case SocketState::Error:
                return Fail(FetchFailure::ConnectionError);
            default:
                break;
        }
    }
}

Transfer::Outcome Transfer::AwaitResponse(const std::string& path) {
    while (true) {
        services_.pump->Pump(kPassWaitMs);
        if (owner_.CancelRequested()) {
            socket_->Close();
            Fail(FetchFailure::Cancelled);
            return Outcome::Failed;
        }
        if (TimedOut) {
            if (!owner_.RetryOnSilence()) {
                Fail(FetchFailure::NoAnswer);
                return Outcome::Failed;
            }
            socket_->Close();
            TimedOut = false;
            return Outcome::Retry;
        }
        if (!KeepsPace()) {
            socket_->Close();
            return Outcome::Failed;
        }
        if (SocketError != 0) {
            FailSocket();
            return Outcome::Failed;
        }
        bool redirect = false;
        if (Rejected(path, redirect)) return redirect ? Outcome::Redirect : Outcome::Failed;
        // The response has fully arrived: a server that keeps the connection open for the
        // next request would otherwise hold the transfer until its own time-out.
        if (response_.Complete()) return Outcome::Done;
        switch (socket_->State()) {
            case SocketState::Closed:
                response_.ConnectionClosed();
                if (Rejected(path, redirect)) return redirect ? Outcome::Redirect : Outcome::Failed;
                // A body framed by its length or by chunks that the close cut short is a
                // fragment: as a picture it would be installed damaged.
                if (!response_.Complete()) {
                    Fail(FetchFailure::ClosedByPeer);
                    return Outcome::Failed;
                }
                return Outcome::Done;
            case SocketState::Closing:
                response_.ConnectionClosed();
                socket_->Close();
                break;
            case SocketState::Error:
                Fail(FetchFailure::ConnectionError);
                return Outcome::Failed;
            default:
                break;
        }
    }
}

// Records the failure of a rejected status or an unreadable response; true when there
// was one. A redirect that names its target is no failure: it sets `redirect` instead.
bool Transfer::Rejected(const std::string& path, bool& redirect) {
    if (response_.HttpStatus != 0) {
        if (Response::IsRedirect(response_.HttpStatus) && !response_.Location.empty()) {
            redirect = true;
            return true;
        }
        // A proxy asks for its own credentials with 407; a server never sends it.
        if (response_.HttpStatus == 407 && !proxy_.Direct())
            Fail(FetchFailure::ProxyAuthentication, 407, proxy_.Address());
        else if (response_.HttpStatus == 404)
            Fail(FetchFailure::NotFound, 404, path);
        else
            Fail(FetchFailure::Rejected, response_.HttpStatus);
        return true;
    }
    switch (response_.Failure()) {
        case ResponseFailure::None:
            return false;
        case ResponseFailure::Malformed:
            Fail(FetchFailure::Malformed);
            return true;
        case ResponseFailure::OutOfMemory:
            Fail(FetchFailure::OutOfMemory, 0, UrlText(serverUrl_));
            result_.bound = kHeldLimitBytes;
            return true;
        case ResponseFailure::TooLarge: {
            // A body past the size no picture reaches is too large whatever the disk holds;
            // one that stopped below it was stopped by the free space.
            const std::uint64_t refused = response_.RefusedBodyBytes();
            const bool tooLarge = refused > kMaxPictureBytes;
            Fail(tooLarge ? FetchFailure::TooLarge : FetchFailure::DiskLow, 0, UrlText(serverUrl_));
            result_.bound = tooLarge                    ? kMaxPictureBytes
                            : refused > kSmallBodyBytes ? kFreeSpaceFloorBytes
                                                        : kSmallBodyFloorBytes;
            return true;
        }
    }
    return false;
}

// Runs after each Connect, after SendData and after every data event, so TimeOut is the
// longest silence a transfer waits through before asking. It does not pump: it is called
// from inside event handlers, and the loops pump on their next pass anyway.
void Transfer::RestartTimeout() {
    timer_.SetEnabled(false);
    std::int64_t interval = static_cast<std::int64_t>(settings_.timeOut) * 1000;
    if (interval <= 0 && owner_.Unattended()) interval = kUnattendedSilenceLimitMs;
    timer_.SetInterval(interval);
    TimedOut = false;
    timer_.SetEnabled(true);
}

void Transfer::RestartWatch() {
    windowBytes_ = 0;
    watch_.ticked = false;
    if (!services_.watch) return;
    const TransferLimits& limits = settings_.limits;
    // Taken afresh each time: the wait for the run lock, between two fetches, uses the
    // same timer with a listener of its own.
    services_.watch->SetListener(&watch_);
    services_.watch->SetEnabled(false);
    services_.watch->SetInterval(limits.rateWindowMs);
    services_.watch->SetEnabled(limits.rateWindowMs > 0);
}

void Transfer::StopWatch() {
    if (services_.watch) services_.watch->SetEnabled(false);
    watch_.ticked = false;
}

bool Transfer::KeepsPace() {
    if (!watch_.ticked) return true;
    watch_.ticked = false;
    const TransferLimits& limits = settings_.limits;
    watchedMs_ += limits.rateWindowMs;
    const std::uint64_t bytes = windowBytes_;
    windowBytes_ = 0;
    if (owner_.Unattended() && limits.unattendedRunMs > 0 && watchedMs_ >= limits.unattendedRunMs) {
        Fail(FetchFailure::RunTooLong, 0, UrlText(serverUrl_));
        result_.seconds = limits.unattendedRunMs / 1000;
        return false;
    }
    // A window without a single byte is silence, which TimeOut's question is for; a
    // trickle restarts that question for ever, and only the rate ends it.
    if (bytes == 0 || bytes >= limits.lowestRateBytes) return true;
    Fail(FetchFailure::TooSlow, 0, UrlText(serverUrl_));
    result_.bound = limits.lowestRateBytes;
    result_.seconds = limits.rateWindowMs / 1000;
    return false;
}

void Transfer::WS_DataArrival(std::int32_t) {
    const std::string_view bytes = socket_->PeekData();
    windowBytes_ += bytes.size();
    const bool keep = response_.DataArrival(bytes);
    socket_->DiscardData(bytes.size());
    if (!keep) {
        socket_->Close();
        return;
    }
    if (toFile_ && response_.InBody() && response_.ResponseBytes.size() >= kFilePieceBytes) {
        WriteBodyPiece();
        if (!KeepFreeSpace()) {
            socket_->Close();
            return;
        }
    }
    RestartTimeout();
}

void Transfer::WS_Error(std::int16_t number) {
    owner_.SocketTrouble(number);
    SocketError = number;
}

void Transfer::Timer_Timer() { TimedOut = true; }

}  // namespace vexal
