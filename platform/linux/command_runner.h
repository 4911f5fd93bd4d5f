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

// A program started to keep running: its process, or how it ended at once.
struct StartResult {
    bool running = false;
    int pid = -1;
    CommandResult ended;  // when it did not keep running: its status and what it wrote
};

class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    // Runs argv[0] (looked up on PATH) with the arguments that follow and waits for it.
    virtual CommandResult Run(const std::vector<std::string>& argv) = 0;
    // Starts argv[0] in a session of its own, to outlive this program (a background that
    // a compositor without a wallpaper of its own keeps drawing), both output streams
    // going to `logFile`. It counts as running when it has not ended within a moment, the
    // time such a program takes to give up on a display it cannot use.
    virtual StartResult Start(const std::vector<std::string>& argv, const std::string& logFile) {
        static_cast<void>(argv);
        static_cast<void>(logFile);
        return {};
    }
};

// How long a started program must keep running to count as running.
inline constexpr int kStartSettleMs = 400;

class SpawnCommandRunner final : public CommandRunner {
public:
    // A tool that hangs (a desktop shell that does not answer) is killed after this long.
    explicit SpawnCommandRunner(int timeLimitMs = 30000) : timeLimitMs_(timeLimitMs) {}
    CommandResult Run(const std::vector<std::string>& argv) override;
    StartResult Start(const std::vector<std::string>& argv, const std::string& logFile) override;

private:
    int timeLimitMs_;
};

}  // namespace vexal
