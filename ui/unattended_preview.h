// The preview window of runs that nobody watches (no display, or VEXAL_NONINTERACTIVE=1):
// it is never shown, installs at once when asked, and a preview it is asked to show
// cannot be answered, so it ends the run as the window's cancel button would.
#pragma once

#include "host/host.h"
#include "host/preview_view.h"
#include "host/process.h"
#include "program/program.h"
#include "ui/run_end.h"

namespace vexal {

class UnattendedPreview final : public PreviewView {
public:
    UnattendedPreview(Program& program, Host& host, RunEnd& end)
        : program_(program), host_(host), end_(end) {}

    void ShowWindow() override {}
    void LoadWindow() override {}
    void DispPre() override { Unload(kExitFailure); }
    PreviewPicture& PictureState() override { return picture_; }
    void Unload(int status) override {
        DeleteScreenImages(program_, *host_.files);
        DeleteWorkingFile(program_, *host_.files, program_.WorkImageFile);
        end_.Finish(status);
    }

private:
    Program& program_;
    Host& host_;
    RunEnd& end_;
    PreviewPicture picture_;
};

}  // namespace vexal
