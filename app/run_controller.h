// The top of a run: the one place that turns what the steps below report into the message
// the user sees, and the only caller of Process::End.
#pragma once

#include <initializer_list>
#include <string_view>

#include "host/host.h"
#include "program/program.h"
#include "ui/messages.h"
#include "ui/run_end.h"

namespace vexal {

class RunController final : public RunEnd {
public:
    RunController(Program& program, Host& host) : program_(program), host_(host) {}

    Program& program() { return program_; }
    Host& host() { return host_; }

    // Shows `kind`'s message in an error box (title TitleText) and ends the run with
    // failure.
    void Fail(Message kind, std::initializer_list<std::string_view> subjects = {});
    // Ends the run with `status`. In the program this does not return.
    void End(int status);

    void Finish(int status) override { End(status); }
    void RetrievalFailed(const RetrievalResult& result) override;
    void InstallFailed(const InstallResult& result) override;
    void Interrupted() override;

private:
    // Before the run's last box: the working file goes and the lock with it, so a run
    // started meanwhile (a scheduled one) is not kept waiting behind a box nobody may be
    // reading, and finds no file of this run under its own working name.
    void LetGo();

    Program& program_;
    Host& host_;
};

}  // namespace vexal
