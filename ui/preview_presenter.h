// The preview window's logic: it shows the retrieval's pictures, lays itself out by the
// window size, and offers installing them, searching again, or giving up. Every way out
// lets their working files go and ends the program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "gather/working_files.h"
#include "host/front_end.h"
#include "host/host.h"
#include "host/picture.h"
#include "program/program.h"
#include "ui/preview_layout.h"
#include "ui/preview_view.h"
#include "ui/run_end.h"

namespace vexal {

// Captions of the preview window's buttons.
struct PreviewCaptions {
    const char* setWP;
    const char* retry;
    const char* cancel;
};
inline constexpr PreviewCaptions PreviewCaptionsIn(Language language) {
    return language == Language::English
               ? PreviewCaptions{"Set Wallpaper", "Search Again", "Cancel"}
               : PreviewCaptions{"壁紙に設定する", "もう一度検索する", "キャンセル"};
}

enum class PreviewControl { imGrp, cbSetWP, cbRetry, cbCancel };

// The window as the presenter drives it; a toolkit binding implements it and reports the
// window's events to the presenter. Setters never call back into the presenter.
class PreviewWindowView {
public:
    virtual ~PreviewWindowView() = default;
    virtual void SetCaption(const std::string& text) = 0;
    virtual void ShowWindow() = 0;
    virtual void HideWindow() = 0;
    // The window's outer size, in twips.
    virtual void ResizeWindow(double widthTwips, double heightTwips) = 0;
    // A control's place in the client area, in twips.
    virtual void PlaceControl(PreviewControl control, const TwipRect& rect) = 0;
    // imGrp: the picture, stretched to the control's size; or none.
    virtual void SetPicture(const Picture& picture) = 0;
    virtual void ClearPicture() = 0;
    virtual void SetSetWPEnabled(bool enabled) = 0;
    // The colour (0x00RRGGBB) imGrp shows around its picture in place of the window's own
    // background; none: the window's.
    virtual void SetBackdrop(std::optional<std::uint32_t> /*colour*/) {}
};

class PreviewPresenter final : public PreviewView {
public:
    // `frontEnd` runs the search again exactly as the first retrieval ran; `end` ends the
    // run when the window unloads.
    PreviewPresenter(Program& program, Host& host, PreviewWindowView& view, FrontEnd& frontEnd, RunEnd& end);

    // What the retrieval driver and the installation use.
    void ShowWindow() override;
    void LoadWindow() override;
    void DispPre(RetrievedPictures pictures) override;
    void Unload(int status) override;
    // The pictures shown, and the first of them as decoded for the window (empty for a
    // picture for each screen, which the installation lays out afresh).
    const RetrievedPictures& pictures() const { return pictures_; }
    const Picture& shownPicture() const { return shown_; }

    // Events reported by the binding. Form_Resize takes the outer size in twips.
    void Form_Resize(double widthTwips, double heightTwips);
    void cbSetWP_Click();
    void cbRetry_Click();
    void cbCancel_Click();
    // The close box: the same end as the cancel button.
    void Form_Unload();

private:
    Program& program_;
    Host& host_;
    PreviewWindowView& view_;
    FrontEnd& frontEnd_;
    RunEnd& end_;
    RetrievedPictures pictures_;
    Picture shown_;
    bool loaded_ = false;
};

}  // namespace vexal
