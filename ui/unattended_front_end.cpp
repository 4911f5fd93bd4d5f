// The front end of runs that nobody watches.
#include "ui/unattended_front_end.h"

#include "ui/unattended_preview.h"

namespace vexal {

UnattendedFrontEnd::UnattendedFrontEnd(Program& program, Host& host, RunEnd& end)
    : program_(program),
      host_(host),
      preview_(std::make_unique<UnattendedPreview>(program, host, end)),
      reporter_(program, host, end),
      session_(program, host, reporter_) {
    reporter_.SetWindows(nullptr, preview_.get());
}

UnattendedFrontEnd::~UnattendedFrontEnd() = default;

void UnattendedFrontEnd::RunRetrieval(bool gather) { session_.Run(gather); }

}  // namespace vexal
