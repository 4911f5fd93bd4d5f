// The progress window frDisp with native controls: the status label, the progress bar, the
// line of bytes under it and the cancel button (Escape presses it), laid out in twips like the other front
// ends.
#pragma once

#include "host/progress_view.h"
#include "program/program.h"
#include "ui/progress_presenter.h"
#include "ui/win32/win32_ui.h"

namespace vexal {

class Win32ProgressWindow final : public win32::Window, public ProgressView {
public:
    explicit Win32ProgressWindow(Program& program);

    // Routes the cancel button, Escape and the close box to `presenter`; call once.
    void Bind(ProgressPresenter& presenter) { presenter_ = &presenter; }

    void SetMessage(const std::string& text) override;
    void SetProgressRange(double min, double max) override;
    void SetProgressValue(double value) override;
    void SetBytesText(const std::string& text) override;
    void ShowWindow() override;
    void HideWindow() override;

    HWND lbMsg() const { return lbMsg_; }
    HWND PB() const { return PB_; }
    HWND lbBytes() const { return lbBytes_; }

protected:
    void Layout() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void ShowValue();

    Program& program_;
    ProgressPresenter* presenter_ = nullptr;
    HWND lbMsg_, PB_, lbBytes_, cbCancel_;
    double min_ = 0, max_ = 100, value_ = 0;
    bool centred_ = false;
};

}  // namespace vexal
