// The preview window's logic.
#include "ui/preview_presenter.h"

#include "gather/hand_over.h"
#include "host/process.h"
#include "host/run_guard.h"
#include "ui/failure_texts.h"
#include "ui/host_services.h"
#include "wallpaper/install.h"

namespace vexal {

PreviewPresenter::PreviewPresenter(Program& program, Host& host, PreviewWindowView& view, FrontEnd& frontEnd,
                                   RunEnd& end)
    : program_(program), host_(host), view_(view), frontEnd_(frontEnd), end_(end) {}

void PreviewPresenter::LoadWindow() {
    if (loaded_) return;
    loaded_ = true;
    view_.SetCaption(program_.TitleText);
    view_.SetSetWPEnabled(false);
}

void PreviewPresenter::ShowWindow() {
    LoadWindow();
    view_.ShowWindow();
}

void PreviewPresenter::DispPre(RetrievedPictures pictures) {
    pictures_ = std::move(pictures);
    shown_ = {};
    if (host_.pump) host_.pump->Pump();
    const WallpaperServices services = WallpaperServicesOf(host_);
    Picture picture;
    DecodeResult result{DecodeError::Unreadable, 0, 0};
    std::string subject;
    const std::vector<Screen> screens = ScreensOfEntry(program_, services);
    if (!pictures_.Empty()) {
        const PictureInHand& first = pictures_.First();
        subject = first.ChosenImage.empty() ? first.WorkImageFile : first.ChosenImage;
        if (!screens.empty()) {
            // The screens side by side, each with its own picture. What the window holds is
            // no picture to install: the installation lays each screen's picture out afresh.
            const InstallResult composed =
                PreviewEachScreen(InstallRequestFor(program_, pictures_, screens), services, picture);
            result = composed.decode;
            if (!composed.Ok()) subject = composed.subject;
        } else if (host_.images) {
            result = host_.images->Decode(first.WorkImageFile, picture);
        }
    }
    if (result.error == DecodeError::Stopped || (host_.guard && host_.guard->StopRequested())) {
        // The run was asked to stop while the picture was read; it ends at the next turn.
        view_.ClearPicture();
        view_.SetSetWPEnabled(false);
        return;
    }
    if (!result.Ok() || picture.Empty()) {
        // The file is not a picture (an error page saved under an image name, say). Nothing
        // is shown and nothing can be installed; searching again or giving up remain.
        view_.ClearPicture();
        view_.SetSetWPEnabled(false);
        ShowError(program_, *host_.dialogs,
                  PictureErrorText(program_.UserLanguage, subject,
                                   result.Ok() ? DecodeResult{DecodeError::Unreadable, 0, 0} : result));
        return;
    }
    view_.SetPicture(picture);
    // Around one picture, centred or fitted, the entry's colour, as the desktop will show
    // it; the screens' composed picture holds its colour already.
    const SiteEntry& entry = program_.CurrentEntry();
    const bool bars = entry.WpState == WallpaperStyle::Centred || entry.WpState == WallpaperStyle::Fit;
    view_.SetBackdrop(screens.empty() && bars && program_.RunMode != RunModeValue::Direct ? entry.Background
                                                                                          : std::nullopt);
    if (screens.empty()) shown_ = std::move(picture);
    view_.SetSetWPEnabled(true);
}

void PreviewPresenter::Unload(int status) {
    view_.HideWindow();
    pictures_.working.DeleteAll();
    pictures_ = {};
    shown_ = {};
    end_.Finish(status);
}

void PreviewPresenter::Form_Resize(double widthTwips, double heightTwips) {
    const PreviewLayout layout = LayoutPreview(widthTwips, heightTwips);
    if (layout.Resize) view_.ResizeWindow(layout.Width, layout.Height);
    view_.PlaceControl(PreviewControl::imGrp, layout.imGrp);
    view_.PlaceControl(PreviewControl::cbSetWP, layout.cbSetWP);
    view_.PlaceControl(PreviewControl::cbRetry, layout.cbRetry);
    view_.PlaceControl(PreviewControl::cbCancel, layout.cbCancel);
}

void PreviewPresenter::cbSetWP_Click() {
    // The working files go before a failure is told: another run need not wait behind a
    // box nobody may be reading.
    const InstallResult installed =
        InstallRetrieved(program_, pictures_, WallpaperServicesOf(host_), shown_.Empty() ? nullptr : &shown_);
    shown_ = {};
    if (!installed.Ok()) end_.InstallFailed(installed);
    Unload(installed.Ok() ? kExitSuccess : kExitFailure);
}

void PreviewPresenter::cbRetry_Click() {
    view_.ClearPicture();
    view_.HideWindow();
    // The next picture may be of another kind and get another working file name: these
    // go now, or they would be left behind.
    pictures_.working.DeleteAll();
    pictures_ = {};
    shown_ = {};
    frontEnd_.RunRetrieval(true);
}

void PreviewPresenter::cbCancel_Click() { Unload(kExitFailure); }

void PreviewPresenter::Form_Unload() { Unload(kExitFailure); }

}  // namespace vexal
