// Where a retrieval's end goes.
#include "ui/run_end.h"

#include "host/process.h"

namespace vexal {

void EndRetrieval(RetrievalOutcome outcome, PreviewView& preview, RunEnd& end) {
    switch (outcome.end) {
        case RetrievalEnd::Failed:
            return end.RetrievalFailed(outcome.failure);
        case RetrievalEnd::Interrupted:
            return end.Interrupted();
        case RetrievalEnd::Preview:
            preview.ShowWindow();
            preview.DispPre(std::move(outcome.pictures));
            return;
        case RetrievalEnd::Installed:
            preview.LoadWindow();
            if (!outcome.install.Ok()) end.InstallFailed(outcome.install);
            preview.Unload(outcome.install.Ok() ? kExitSuccess : kExitFailure);
            return;
    }
}

}  // namespace vexal
