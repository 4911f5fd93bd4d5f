// The preview window of runs that nobody watches (no display, or VEXAL_NONINTERACTIVE=1):
// it is never shown, installs at once when asked, and a preview it is asked to show
// cannot be answered, so it ends the run as the window's cancel button would.
#pragma once

#include "host/host.h"
#include "host/preview_view.h"
#include "program/program.h"
#include "wallpaper/install.h"

namespace vexal {

class UnattendedPreview final : public PreviewView {
public:
    UnattendedPreview(Program& program, Host& host) : program_(program), host_(host) {}

    void ShowWindow() override {}
    void LoadWindow() override {}
    void DispPre() override { Unload(kExitFailure); }
    PreviewPicture& PictureState() override { return picture_; }
    void Unload(int status) override { PreviewUnload(program_, host_, status); }

private:
    Program& program_;
    Host& host_;
    PreviewPicture picture_;
};

}  // namespace vexal
