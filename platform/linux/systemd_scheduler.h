// Schedules on Linux: a periodic run is a systemd user timer with its service, written
// under ~/.config/systemd/user/ for each entry and enabled through `systemctl --user`; a
// run at log-on is an XDG autostart entry, which every desktop session starts whether or
// not a user service manager runs. Both start "vexal NAME -quiet" in the settings file's
// folder.
#pragma once

#include <string>
#include <string_view>

#include "host/scheduler.h"
#include "platform/linux/command_runner.h"

namespace vexal {

// `text` escaped as systemd escapes a unit's instance name (systemd-escape): "/" becomes
// "-", a leading "." and every byte but letters, digits, ":", "_" and "." becomes "\xNN".
std::string SystemdEscape(std::string_view text);

// The files of one entry's schedule: "vexal-schedule@KEY.service" and ".timer", and the
// autostart entry "vexal-schedule-KEY.desktop", KEY being the name in lower case, escaped.
struct ScheduleFiles {
    std::string unit;  // the service's unit name, without a folder
    std::string timerUnit;
    std::string service;  // the full paths
    std::string timer;
    std::string autostart;
    std::string enabled;  // the link `systemctl --user enable` makes for the timer
};
ScheduleFiles ScheduleFilesFor(const std::string& configHome, std::string_view name);

// The three files' contents for `job`, which runs `program` (an absolute path).
std::string ServiceUnitText(const ScheduleJob& job, const std::string& program);
std::string TimerUnitText(const ScheduleJob& job);
std::string AutostartText(const ScheduleJob& job, const std::string& program);

class SystemdScheduler final : public Scheduler {
public:
    // `configHome`: $XDG_CONFIG_HOME, or ~/.config; `program`: this program, in full.
    SystemdScheduler(CommandRunner& runner, std::string configHome, std::string program)
        : runner_(runner), configHome_(std::move(configHome)), program_(std::move(program)) {}

    [[nodiscard]] ScheduleResult Apply(const ScheduleJob& job) override;
    // The files hold exactly what Apply writes for `job`, the other kind's files are not
    // there, and a timer is enabled (its link among the timers the manager starts).
    [[nodiscard]] bool IsRegistered(const ScheduleJob& job) override;

private:
    ScheduleResult Systemctl(const std::vector<std::string>& args);
    // Stops and removes the timer and its service, when they are there.
    void RemoveTimer(const ScheduleFiles& files);

    CommandRunner& runner_;
    std::string configHome_;
    std::string program_;
};

// Where this user's configuration lives ($XDG_CONFIG_HOME, else ~/.config); empty when
// neither says.
std::string UserConfigHome();
// This program's own path, in full; empty when the system does not say.
std::string OwnProgramPath();

}  // namespace vexal
