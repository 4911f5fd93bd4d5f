// The top of a run: the one place that turns what the steps below report into the message
// the user sees, and the only caller of Process::End.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "host/host.h"
#include "program/program.h"
#include "ui/messages.h"
#include "ui/run_end.h"
#include "ui/scheduled_run.h"

namespace vexal {

class RunController final : public RunEnd {
public:
    RunController(Program& program, Host& host) : program_(program), host_(host) {}

    Program& program() { return program_; }
    Host& host() { return host_; }

    // Shows `kind`'s message in an error box (title TitleText) and ends the run with
    // failure.
    void Fail(Message kind, std::initializer_list<std::string_view> subjects = {});
    // Ends the run with `status`; a quiet run first records its outcome in the data folder.
    // In the program this does not return.
    void End(int status);
    // The clock a quiet run's record is stamped with (the local time, as text).
    void SetClock(std::function<std::string()> now) { now_ = std::move(now); }

    void Finish(int status) override { End(status); }
    void RetrievalFailed(const RetrievalResult& result) override;
    void InstallFailed(const InstallResult& result) override;
    void Interrupted() override;

private:
    // Before the run's last box the lock goes (the working files went with the retrieval
    // or the preview), so a run started meanwhile (a scheduled one) is not kept waiting
    // behind a box nobody may be reading.
    void LetGo();
    // Nobody saw a quiet run: its outcome goes to the data folder for the editor to show.
    void RecordQuietRun(int status);

    Program& program_;
    Host& host_;
    // The text of the failure the run was told of, for a quiet run's record.
    std::string failure_;
    std::function<std::string()> now_ = LocalTimeText;
};

}  // namespace vexal
