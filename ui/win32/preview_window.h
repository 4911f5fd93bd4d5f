// The preview window frPreview with native controls: a picture control that stretches the
// picture to its own size, and a row of three buttons placed where the presenter's
// layout puts them.
#pragma once

#include <vector>

#include "ui/preview_presenter.h"
#include "ui/win32/win32_ui.h"

namespace vexal {

// An image control: paints its picture stretched over its client area, inside a thin
// border. Transparent parts show on black, as they will in the wallpaper bitmap.
class Win32PictureBox {
public:
    static HWND Create(HWND parent, int id);
    static void SetPicture(HWND box, const Picture& picture);
    static void ClearPicture(HWND box);
    // The colour around the picture, in place of the window's background.
    static void SetBackdrop(HWND box, std::optional<std::uint32_t> colour);
    static bool HasPicture(HWND box);
};

class Win32PreviewWindow final : public win32::Window, public PreviewWindowView {
public:
    explicit Win32PreviewWindow(Language language = Language::Japanese);
    void Bind(PreviewPresenter& presenter) { presenter_ = &presenter; }

    void SetCaption(const std::string& text) override { SetTitle(text); }
    void ShowWindow() override;
    void HideWindow() override;
    void ResizeWindow(double widthTwips, double heightTwips) override;
    void PlaceControl(PreviewControl control, const TwipRect& rect) override;
    void SetPicture(const Picture& picture) override { Win32PictureBox::SetPicture(imGrp_, picture); }
    void ClearPicture() override { Win32PictureBox::ClearPicture(imGrp_); }
    void SetBackdrop(std::optional<std::uint32_t> colour) override {
        Win32PictureBox::SetBackdrop(imGrp_, colour);
    }
    void SetSetWPEnabled(bool enabled) override { ::EnableWindow(cbSetWP_, enabled ? TRUE : FALSE); }

    enum Id : int { kImGrp = 200, kCbSetWP = 201, kCbRetry = 202 };  // cbCancel is IDCANCEL

    HWND imGrp() const { return imGrp_; }

protected:
    void Layout() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void ReportSize();

    HWND imGrp_, cbSetWP_, cbCancel_, cbRetry_;
    PreviewPresenter* presenter_ = nullptr;
    // The controls' places in twips, as the presenter last set them.
    TwipRect places_[4];
    bool centred_ = false;
};

}  // namespace vexal
