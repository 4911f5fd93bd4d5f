// The programs that draw a desktop's background (xfdesktop, pcmanfm-qt, pcmanfm): whether
// one runs for this user on this display, and, since some read their settings only when
// they start, ending one and starting it again as it was started.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/linux/command_runner.h"

namespace vexal {

struct RunningProgram {
    int pid = -1;
    std::vector<std::string> argv;
    std::vector<std::string> environment;  // "NAME=value", as the program was started
    std::string folder;                    // its working folder
    // The value of one of its environment variables; "" when unset.
    std::string Variable(const std::string& name) const;
};

class DesktopPrograms {
public:
    virtual ~DesktopPrograms() = default;
    // The running program `name` (the name of its executable) of this user on this
    // session's display, started with `argument` among its arguments when that is not
    // empty; nullopt when none runs.
    virtual std::optional<RunningProgram> Find(const std::string& name, const std::string& argument = {}) = 0;
    // Whether it shows windows besides its desktop, which would close with it; true when
    // that cannot be told.
    virtual bool HasOtherWindows(const RunningProgram& program) = 0;
    // Asks it to end (it may save its settings on the way out) and waits until it has;
    // false when it is still running after the wait.
    [[nodiscard]] virtual bool Stop(const RunningProgram& program) = 0;
    // Starts it again as it was started, to outlive this run; false when it ended at once.
    [[nodiscard]] virtual bool Restart(const RunningProgram& program) = 0;
};

// How long Stop waits: polls this far apart, this many times.
inline constexpr int kProgramStopPollMs = 100;
inline constexpr int kProgramStopPolls = 100;

// The processes as /proc shows them. A program counts as on this display when its DISPLAY
// is `display` (the screen number aside), or, with no X display named, its
// WAYLAND_DISPLAY is `waylandDisplay`.
class ProcDesktopPrograms final : public DesktopPrograms {
public:
    // A restarted program's output goes to NAME.log in `logFolder`.
    ProcDesktopPrograms(CommandRunner& runner, std::string display, std::string waylandDisplay,
                        std::string logFolder)
        : runner_(runner),
          display_(std::move(display)),
          waylandDisplay_(std::move(waylandDisplay)),
          logFolder_(std::move(logFolder)) {}
    std::optional<RunningProgram> Find(const std::string& name, const std::string& argument = {}) override;
    bool HasOtherWindows(const RunningProgram& program) override;
    bool Stop(const RunningProgram& program) override;
    bool Restart(const RunningProgram& program) override;

private:
    CommandRunner& runner_;
    std::string display_;
    std::string waylandDisplay_;
    std::string logFolder_;
};

}  // namespace vexal
