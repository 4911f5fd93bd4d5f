// The top of a run: the one place that turns what the steps below report into the message
// the user sees, and that ends the program.
#pragma once

#include <initializer_list>
#include <string_view>

#include "host/host.h"
#include "program/program.h"
#include "ui/messages.h"

namespace vexal {

class RunController {
public:
    RunController(const Program& program, Host& host) : program_(program), host_(host) {}

    // Shows `kind`'s message in an error box (title TitleText) and ends the run with
    // failure.
    void Fail(Message kind, std::initializer_list<std::string_view> subjects = {});
    // Ends the run with `status`. In the program this does not return.
    void End(int status);

private:
    const Program& program_;
    Host& host_;
};

}  // namespace vexal
