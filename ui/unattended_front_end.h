// What start-up hands over to when nobody watches (no display, or VEXAL_NONINTERACTIVE=1):
// no windows, the messages on the host's dialogs, a retrieval that installs at once, and
// a preview that ends the run as its cancel button would.
#pragma once

#include <memory>

#include "gather/session.h"
#include "host/front_end.h"
#include "host/host.h"
#include "program/program.h"
#include "ui/retrieval_reporter.h"
#include "ui/run_end.h"

namespace vexal {

class UnattendedPreview;

class UnattendedFrontEnd final : public FrontEnd {
public:
    // `host` carries dialogs, process, files, pump, socket, timer, images and desktop.
    UnattendedFrontEnd(Program& program, Host& host, RunEnd& end);
    ~UnattendedFrontEnd() override;

    // There is no editor to show.
    bool HasEditor() const override { return false; }
    void ShowEditor() override {}
    void RunRetrieval(bool gather) override;

private:
    Program& program_;
    Host& host_;
    RunEnd& end_;
    std::unique_ptr<UnattendedPreview> preview_;
    RetrievalReporter reporter_;
    // Made with the first retrieval, from the services the host has by then.
    std::unique_ptr<RetrievalSession> session_;
};

}  // namespace vexal
