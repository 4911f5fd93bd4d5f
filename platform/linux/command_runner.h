// Running the desktops' own command-line tools (gsettings, dbus-send, xfconf-query,
// swaymsg) from an argument vector, never through a shell, so no path or value can be
// read as shell syntax. Behind an interface so the backends' exact commands can be
// tested without those desktops.
#pragma once

#include <string>
#include <vector>

namespace vexal {

struct CommandResult {
    // The exit status, or -1 when the program could not be started, was killed, or ran
    // past its time limit.
    int status = -1;
    std::string output;  // standard output
    std::string errors;  // standard error, kept out of the program's own message lines
};

class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    // Runs argv[0] (looked up on PATH) with the arguments that follow and waits for it.
    virtual CommandResult Run(const std::vector<std::string>& argv) = 0;
};

class SpawnCommandRunner final : public CommandRunner {
public:
    // A tool that hangs (a desktop shell that does not answer) is killed after this long.
    explicit SpawnCommandRunner(int timeLimitMs = 30000) : timeLimitMs_(timeLimitMs) {}
    CommandResult Run(const std::vector<std::string>& argv) override;

private:
    int timeLimitMs_;
};

}  // namespace vexal
