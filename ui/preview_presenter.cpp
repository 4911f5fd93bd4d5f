// The preview window's logic.
#include "ui/preview_presenter.h"

#include "host/process.h"
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

void PreviewPresenter::DispPre() {
    if (host_.pump) host_.pump->Pump();
    const WallpaperServices services = WallpaperServicesOf(host_);
    Picture picture;
    DecodeResult result;
    std::string subject = program_.ChosenImage.empty() ? program_.WorkImageFile : program_.ChosenImage;
    const std::vector<Screen> screens = ScreensForEachPicture(program_, services);
    if (!screens.empty()) {
        // The screens side by side, each with its own picture. What the window holds is
        // no picture to install: the installation lays each screen's picture out afresh.
        const InstallResult composed = PreviewEachScreen(program_, services, screens, picture);
        if (!composed.Ok()) {
            result = composed.decode;
            subject = composed.subject;
        }
    } else {
        result = host_.images ? host_.images->Decode(program_.WorkImageFile, picture)
                              : DecodeResult{DecodeError::Unreadable, 0, 0};
    }
    picture_ = {};
    if (!result.Ok() || picture.Empty()) {
        // The file is not a picture (an error page saved under an image name, say). Nothing
        // is shown and nothing can be installed; searching again or giving up remain.
        view_.ClearPicture();
        view_.SetSetWPEnabled(false);
        ShowError(
            program_, *host_.dialogs,
            PictureErrorText(subject, result.Ok() ? DecodeResult{DecodeError::Unreadable, 0, 0} : result));
        return;
    }
    view_.SetPicture(picture);
    if (screens.empty()) {
        picture_.picture = std::move(picture);
        picture_.PictureLoaded = true;
    }
    view_.SetSetWPEnabled(true);
}

void PreviewPresenter::Unload(int status) {
    view_.HideWindow();
    DeleteScreenImages(program_, *host_.files);
    DeleteWorkingFile(program_, *host_.files, program_.WorkImageFile);
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
    const InstallResult installed =
        InstallWallpaper(program_, WallpaperServicesOf(host_), picture_, program_.WorkImageFile);
    if (!installed.Ok()) end_.InstallFailed(installed);
    Unload(installed.Ok() ? kExitSuccess : kExitFailure);
}

void PreviewPresenter::cbRetry_Click() {
    view_.ClearPicture();
    view_.HideWindow();
    // The next picture may be of another kind and get another working file name: this
    // one goes now, or it would be left behind.
    DeleteScreenImages(program_, *host_.files);
    DeleteWorkingFile(program_, *host_.files, program_.WorkImageFile);
    program_.WorkImageFile.clear();
    frontEnd_.RunRetrieval(true);
}

void PreviewPresenter::cbCancel_Click() { Unload(kExitFailure); }

void PreviewPresenter::Form_Unload() { Unload(kExitFailure); }

}  // namespace vexal
