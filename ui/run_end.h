// How a front end ends the run: it reports to the top of the program, which alone tells
// the user why a retrieval failed and ends the process.
#pragma once

#include "gather/driver.h"
#include "gather/retrieval_result.h"
#include "ui/preview_view.h"
#include "wallpaper/install.h"

namespace vexal {

class RunEnd {
public:
    virtual ~RunEnd() = default;
    // The run is over with `status`: the windows have done their part (the editor closed,
    // the preview unloaded and its working files gone).
    virtual void Finish(int status) = 0;
    // A retrieval failed: the user is told why, and the run ends with failure.
    virtual void RetrievalFailed(const RetrievalResult& result) = 0;
    // An installation failed: the user is told why; the preview then unloads.
    virtual void InstallFailed(const InstallResult& result) = 0;
    // A stop came from outside: what the run was writing goes, the wallpaper stays as it
    // was, and the run ends with failure without a message.
    virtual void Interrupted() = 0;
};

// Hands a retrieval's end on: a failure or a stop to `end`; the pictures for the preview
// to `preview`, shown; an installation made at once to `end` when it failed, and then the
// preview unloads, which finishes the run.
void EndRetrieval(RetrievalOutcome outcome, PreviewView& preview, RunEnd& end);

}  // namespace vexal
