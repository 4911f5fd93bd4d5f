// The preview window of runs that nobody watches (no display, or VEXAL_NONINTERACTIVE=1):
// it is never shown, and a preview it is asked to show cannot be answered, so it ends the
// run, saying why.
#pragma once

#include "host/process.h"
#include "ui/preview_view.h"
#include "ui/run_end.h"

namespace vexal {

class UnattendedPreview final : public PreviewView {
public:
    explicit UnattendedPreview(RunEnd& end) : end_(end) {}

    void ShowWindow() override {}
    void LoadWindow() override {}
    void DispPre(RetrievedPictures pictures) override {
        // Nobody can answer: the pictures go unshown, their working files with them.
        pictures.working.DeleteAll();
        RetrievalResult unanswered;
        unanswered.failure = RetrievalFailure::PreviewNeedsDisplay;
        end_.RetrievalFailed(unanswered);
    }
    void Unload(int status) override { end_.Finish(status); }

private:
    RunEnd& end_;
};

}  // namespace vexal
