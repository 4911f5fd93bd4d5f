// The progress window. The bar runs over a fixed number of steps onto which the
// transfer's range (a byte count that may exceed what the control holds) is mapped.
#include "ui/win32/progress_window.h"

#include <cmath>

#include "platform/win32/utf16.h"

namespace vexal {
namespace {
constexpr int kBarSteps = 10000;
}  // namespace

Win32ProgressWindow::Win32ProgressWindow(Program& program) : program_(program) {
    // A fixed tool window: narrow caption with a close box, no minimise or maximise.
    CreateTopLevel(WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT, WS_POPUP | WS_CAPTION | WS_SYSMENU,
                   kProgressClientWidth, kProgressClientHeight);
    // A long address gives way in the middle rather than running off the label.
    lbMsg_ = AddControl(WC_STATICW, "", SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS | SS_CENTERIMAGE, 0);
    PB_ = AddControl(PROGRESS_CLASSW, "", 0, 0);
    ::SendMessageW(PB_, PBM_SETRANGE32, 0, kBarSteps);
    lbBytes_ = AddControl(WC_STATICW, "", SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, 0);
    cbCancel_ =
        AddControl(WC_BUTTONW, CancelCaption(program.UserLanguage), BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL);
    Layout();
}

void Win32ProgressWindow::Layout() {
    Place(lbMsg_, kProgressLbMsg);
    Place(PB_, kProgressPB);
    Place(lbBytes_, kProgressLbBytes);
    Place(cbCancel_, kProgressCbCancel);
}

void Win32ProgressWindow::SetMessage(const std::string& text) {
    ::SetWindowTextW(lbMsg_, win32::Widen(text).c_str());
    ::UpdateWindow(lbMsg_);
}

void Win32ProgressWindow::SetBytesText(const std::string& text) {
    ::SetWindowTextW(lbBytes_, win32::Widen(text).c_str());
    ::UpdateWindow(lbBytes_);
}

void Win32ProgressWindow::SetProgressRange(double min, double max) {
    min_ = min;
    max_ = max;
    ShowValue();
}

void Win32ProgressWindow::SetProgressValue(double value) {
    value_ = value;
    ShowValue();
}

void Win32ProgressWindow::ShowValue() {
    double fraction = max_ > min_ ? (value_ - min_) / (max_ - min_) : 0.0;
    if (!(fraction >= 0)) fraction = 0;  // also NaN
    if (fraction > 1) fraction = 1;
    ::SendMessageW(PB_, PBM_SETPOS, static_cast<WPARAM>(std::lround(fraction * kBarSteps)), 0);
}

void Win32ProgressWindow::ShowWindow() {
    SetTitle(program_.TitleText);
    if (!centred_) {
        centred_ = true;
        win32::CentreOnMonitor(hwnd());
    }
    ::ShowWindow(hwnd(), SW_SHOW);
    ::SetForegroundWindow(hwnd());
    ::UpdateWindow(hwnd());
}

void Win32ProgressWindow::HideWindow() { ::ShowWindow(hwnd(), SW_HIDE); }

bool Win32ProgressWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    switch (message) {
        case WM_COMMAND:
            // The cancel button, and Escape through the dialog keys.
            if (LOWORD(wParam) == IDCANCEL && HIWORD(wParam) == BN_CLICKED && presenter_)
                presenter_->cbCancel_Click();
            result = 0;
            return true;
        case WM_CLOSE:
            // Closing the window is cancelling: the retrieval that runs must learn of it.
            if (presenter_) presenter_->cbCancel_Click();
            result = 0;
            return true;
        default:
            return false;
    }
}

}  // namespace vexal
