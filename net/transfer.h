// The network half of the progress window: fetching the source page into SourceText and
// the chosen image into the working file over one TCP socket, with the inactivity
// time-out, the Retry/Cancel question, the cancel button and every failure message.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/host.h"
#include "host/socket.h"
#include "host/timer.h"
#include "net/response.h"
#include "program/program.h"

namespace vexal {

// The working image file for `chosenImage`: `cacheFileName`, ".", and the last three
// characters of the name (letter case kept), or "jpg" for a name ending in ".jpeg". A web
// name (`webName`) is read without its query or fragment.
std::string WorkImageFileName(std::string_view cacheFileName, std::string_view chosenImage, bool webName);

class Transfer final : public SocketListener, public TimerListener, private ResponseProgress {
public:
    // Uses host.socket (host.secureSocket for https addresses), host.timer, host.pump, host.dialogs and
    // host.files; host.progress may be null. Becomes the listener of the socket and the timer while it lives.
    Transfer(Program& program, Host& host);
    ~Transfer() override;
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    // Fetches CurrentEntry.Url and appends its lines to SourceText; false, after its
    // message, when the page could not be had.
    [[nodiscard]] bool SetGrpUrl();
    // Fetches ChosenImage (a path on the page's server when RelativeToPage) into the working
    // image file; false, after its message and with no partial file left, when it failed.
    [[nodiscard]] bool SetGrpData();

    // The window's cancel button: sets CancelRequested and hides the window; a transfer in
    // progress fails with the cancel message on its next pass.
    void cbCancel_Click();

    void WS_DataArrival(std::int32_t bytesTotal) override;
    void WS_Error(std::int16_t number, const std::string& description) override;
    void Timer_Timer() override;

    // Window state kept from one fetch to the next.
    bool TimedOut = false;
    std::int16_t SocketError = 0;
    const Response& response() const { return response_; }

    // How long one pass of the transfer's loops may wait for the next event: short enough
    // that a cancel or a time-out is acted on at once, long enough not to spin.
    static constexpr int kPassWaitMs = 10;
    // An image body goes to its file in pieces of this size as it arrives, so a large
    // picture is never held in memory whole.
    static constexpr std::size_t kFilePieceBytes = 1 << 20;
    // The most a response may hold in memory: a whole page, or the header of either fetch.
    // A server may send without end; a page past this size is refused as out of memory
    // rather than taking the machine's memory (and a second copy as source text).
    static constexpr std::size_t kHeldLimitBytes = std::size_t{64} << 20;
    // A TimeOut of 0 never asks, but in an unattended run nobody can press cancel either:
    // there the transfer gives up after this much silence, with the time-out message.
    static constexpr std::int64_t kUnattendedSilenceLimitMs = 120000;
    // Redirects one fetch follows before it gives up: enough for every chain a site sets up
    // on purpose (http to https, a moved folder, a login-free mirror), and a loop ends.
    static constexpr int kMaxRedirects = 5;

private:
    enum class Outcome : std::uint8_t { Done, Failed, Retry, Redirect };

    bool Fetch();
    Outcome HttpGet(const std::string& path);
    bool AwaitConnection();
    Outcome AwaitResponse(const std::string& path);
    bool ReportRejection(const std::string& path, bool& redirect);
    bool AskRetry();
    void RestartTimeout();
    void StartFetch(const std::string& message);
    bool UseServer();
    void WriteBodyPiece();
    void DropPartialFile();
    void Error(const std::string& text);
    // The response's progress, shown on the progress window's bar.
    void BodyAnnounced(std::int64_t length) override;
    void BodyReceived(std::int64_t bytes) override;
    void Message(const std::string& text);

    Program& program_;
    Host& host_;
    Socket* socket_;  // the socket of the current server's scheme
    Timer& timer_;
    Response response_;
    // The image fetch's temporary file beside the working file, while its body is written.
    bool toFile_ = false;
    std::string filePath_;
    std::uint64_t fileBytes_ = 0;  // written by the current attempt
    bool fileTouched_ = false;     // some attempt has written to the file
    bool fileFailed_ = false;      // a write of the current attempt failed
};

}  // namespace vexal
