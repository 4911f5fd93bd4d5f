// The progress window as the core sees it: a status label, a progress bar with a line of
// bytes under it, and the window itself. Its cancel button calls back into the core (sets CancelRequested).
#pragma once

#include <string>

namespace vexal {

class ProgressView {
public:
    virtual ~ProgressView() = default;
    // The caption of the label lbMsg.
    virtual void SetMessage(const std::string& text) = 0;
    // PB.Min and PB.Max.
    virtual void SetProgressRange(double min, double max) = 0;
    // PB.Value; values outside the range are shown at the nearer end.
    virtual void SetProgressValue(double value) = 0;
    // The caption of the label lbBytes under the bar: what a transfer has brought so far.
    virtual void SetBytesText(const std::string& text) = 0;
    // Shows the window without blocking (caption TitleText), or hides it.
    virtual void ShowWindow() = 0;
    virtual void HideWindow() = 0;
};

}  // namespace vexal
