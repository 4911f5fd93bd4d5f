// The progress window's line of bytes and time left.
#include "ui/progress_presenter.h"

#include <chrono>
#include <cmath>
#include <iterator>

#include "ui/messages.h"

namespace vexal {
namespace {

// The time left is only told once this much of the transfer has been watched: the first
// packets say more about the connection's start than about its pace.
constexpr std::int64_t kEstimateAfterMs = 1000;

}  // namespace

std::int64_t SteadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string ByteCountText(Language language, std::int64_t bytes) {
    if (bytes < 0) bytes = 0;
    if (bytes < 1024) return std::to_string(bytes) + (language == Language::English ? " bytes" : " バイト");
    static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
    std::size_t unit = 0;
    std::int64_t scale = 1024;
    while (unit + 1 < std::size(kUnits) && bytes / scale >= 1024) {
        scale *= 1024;
        ++unit;
    }
    // Tenths, rounded, in integers: the C library's formatting follows the locale, which
    // may write a comma.
    const std::int64_t tenths = (bytes / scale) * 10 + ((bytes % scale) * 10 + scale / 2) / scale;
    if (tenths >= 1000) return std::to_string((tenths + 5) / 10) + " " + kUnits[unit];
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + kUnits[unit];
}

std::string TransferText(Language language, std::int64_t bytes, std::int64_t total,
                         std::int64_t secondsLeft) {
    if (total <= 0)
        return bytes > 0 ? MessageText(language, Message::BytesReceived, {ByteCountText(language, bytes)})
                         : "";
    const std::string got = ByteCountText(language, bytes), of = ByteCountText(language, total);
    if (secondsLeft < 0) return MessageText(language, Message::BytesOfTotal, {got, of});
    if (secondsLeft < 60)
        return MessageText(language, Message::BytesSecondsLeft, {got, of, std::to_string(secondsLeft)});
    if (secondsLeft < 3600)
        return MessageText(language, Message::BytesMinutesLeft,
                           {got, of, std::to_string(secondsLeft / 60), std::to_string(secondsLeft % 60)});
    return MessageText(
        language, Message::BytesHoursLeft,
        {got, of, std::to_string(secondsLeft / 3600), std::to_string(secondsLeft % 3600 / 60)});
}

void ProgressPresenter::NewStep() {
    total_ = -1;
    startBytes_ = -1;
    ShowBytes({});
}

void ProgressPresenter::BodyLength(std::int64_t length) {
    total_ = length > 0 ? length : -1;
    startBytes_ = -1;
    view_.SetProgressRange(0, static_cast<double>(length));
}

void ProgressPresenter::BodyProgress(std::int64_t bytes) {
    // Without a total the bar has nothing to show a share of and stays at its start.
    if (total_ > 0 || bytes == 0) view_.SetProgressValue(static_cast<double>(bytes));
    std::int64_t secondsLeft = -1;
    if (total_ > 0) {
        const std::int64_t now = clock_();
        if (startBytes_ < 0) {
            startBytes_ = bytes;
            startMs_ = now;
        } else if (bytes > startBytes_ && bytes < total_ && now - startMs_ >= kEstimateAfterMs) {
            // At the pace seen since the start, rounded up: "0 seconds" only once it is done.
            const double msLeft = static_cast<double>(total_ - bytes) * static_cast<double>(now - startMs_) /
                                  static_cast<double>(bytes - startBytes_);
            secondsLeft = static_cast<std::int64_t>(std::ceil(msLeft / 1000.0));
            if (secondsLeft > 99 * 3600) secondsLeft = -1;  // no estimate worth showing
        }
    }
    ShowBytes(TransferText(program_.UserLanguage, bytes, total_, secondsLeft));
}

void ProgressPresenter::ShowBytes(const std::string& text) {
    // Many packets change nothing a reader can see; the window is only told of changes.
    if (text == shown_) return;
    shown_ = text;
    view_.SetBytesText(text);
}

}  // namespace vexal
