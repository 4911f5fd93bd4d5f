// The front end of runs that nobody watches.
#include "ui/unattended_front_end.h"

#include "ui/host_services.h"
#include "ui/unattended_preview.h"

namespace vexal {

UnattendedFrontEnd::UnattendedFrontEnd(Program& program, Host& host, RunEnd& end)
    : program_(program),
      host_(host),
      end_(end),
      preview_(std::make_unique<UnattendedPreview>(end)),
      reporter_(program, *host.dialogs) {}

UnattendedFrontEnd::~UnattendedFrontEnd() = default;

void UnattendedFrontEnd::RunRetrieval(bool gather) {
    if (!session_)
        session_ = std::make_unique<RetrievalSession>(program_, RetrievalServicesOf(host_), reporter_);
    EndRetrieval(session_->Run(gather), *preview_, end_);
}

}  // namespace vexal
