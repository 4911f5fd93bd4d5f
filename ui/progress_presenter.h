// The progress window's own logic: its fixed layout in twips, its cancel button, and the
// line under the bar that tells how much of a transfer has arrived and how long the rest
// will take. The transfer and the driver fill its label and bar through ProgressView.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "host/progress_view.h"
#include "program/program.h"
#include "ui/preview_layout.h"

namespace vexal {

// Client area and controls of the progress window, in twips.
inline constexpr std::int32_t kProgressClientWidth = 5865;
inline constexpr std::int32_t kProgressClientHeight = 1695;
inline constexpr TwipRect kProgressLbMsg = {240, 105, 5415, 390};
inline constexpr TwipRect kProgressPB = {240, 600, 5445, 270};
inline constexpr TwipRect kProgressLbBytes = {240, 915, 5445, 285};
inline constexpr TwipRect kProgressCbCancel = {2385, 1260, 1245, 390};

// The caption of the cancel button.
inline constexpr const char* CancelCaption(Language language) {
    return language == Language::English ? "Cancel" : "キャンセル";
}

// Milliseconds on a clock that never goes back; tests hand in one of their own.
using ProgressClock = std::function<std::int64_t()>;
std::int64_t SteadyMilliseconds();

// A byte count as the window shows it: "512 バイト" ("512 bytes"), "3.4 KB", "12 MB"
// (binary units, one decimal below 100, a point whatever the locale).
std::string ByteCountText(Language language, std::int64_t bytes);

// The line under the bar: what has arrived, of how much when the total is known, and the
// time left when it can be told (`secondsLeft` below 0: not yet). Empty when nothing has
// arrived of an unknown total.
std::string TransferText(Language language, std::int64_t bytes, std::int64_t total, std::int64_t secondsLeft);

class ProgressPresenter {
public:
    ProgressPresenter(Program& program, ProgressView& view, ProgressClock clock = SteadyMilliseconds)
        : program_(program), view_(view), clock_(std::move(clock)) {}

    // The cancel button, the Escape key and the close box. Only a flag is set: the
    // transfer or the folder walk that is running sees it on its next pass and stops
    // there, so nothing is torn down under its feet. The window goes away at once.
    void cbCancel_Click() {
        program_.CancelRequested = true;
        view_.HideWindow();
    }

    // A new step (a fetch, the folder walk, a conversion): the last transfer's count goes.
    void NewStep();
    // The transfer's body is `length` bytes long.
    void BodyLength(std::int64_t length);
    // `bytes` of the body have arrived.
    void BodyProgress(std::int64_t bytes);

    ProgressView& view() { return view_; }

private:
    void ShowBytes(const std::string& text);

    Program& program_;
    ProgressView& view_;
    ProgressClock clock_;
    std::int64_t total_ = -1;  // unknown
    // Where the estimate of the time left starts: the first count after the total came.
    std::int64_t startBytes_ = -1;
    std::int64_t startMs_ = 0;
    std::string shown_;
};

}  // namespace vexal
