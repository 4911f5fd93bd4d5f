// The progress window's own logic: its fixed layout in twips and its cancel button.
// The transfer and the driver fill its label and bar through ProgressView.
#pragma once

#include "host/progress_view.h"
#include "program/program.h"
#include "ui/preview_layout.h"

namespace vexal {

// Client area and controls of the progress window, in twips.
inline constexpr std::int32_t kProgressClientWidth = 5865;
inline constexpr std::int32_t kProgressClientHeight = 1380;
inline constexpr TwipRect kProgressLbMsg = {240, 105, 5415, 390};
inline constexpr TwipRect kProgressPB = {240, 600, 5445, 270};
inline constexpr TwipRect kProgressCbCancel = {2385, 945, 1245, 390};

// The caption of the cancel button.
inline constexpr const char* kCancelCaption = "キャンセル";

class ProgressPresenter {
public:
    ProgressPresenter(Program& program, ProgressView& view) : program_(program), view_(view) {}

    // The cancel button, the Escape key and the close box. Only a flag is set: the
    // transfer or the folder walk that is running sees it on its next pass and stops
    // there, so nothing is torn down under its feet. The window goes away at once.
    void cbCancel_Click() {
        program_.CancelRequested = true;
        view_.HideWindow();
    }

private:
    Program& program_;
    ProgressView& view_;
};

}  // namespace vexal
