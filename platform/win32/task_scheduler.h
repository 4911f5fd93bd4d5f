// Schedules on Windows: one Task Scheduler task per entry and user, in the program's own
// task folder, that runs "vexal.exe NAME -quiet" in the settings file's folder while the
// user is logged on (the wallpaper belongs to the user's session), every 15 or 30 minutes,
// every 1, 3 or 6 hours, every day or at the user's log-on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/scheduler.h"

namespace vexal {

// The program's own folder among the scheduled tasks.
inline constexpr const wchar_t* kTaskFolder = L"\\vexal";

// The task's name for the entry `name` of the user `user`: the name in lower case (the
// command line ignores letter case) with the characters a task name cannot hold and "%"
// written "%XX", then the user in brackets, since the folder is shared by every user.
std::wstring TaskNameFor(std::string_view name, std::wstring_view user);

// The user the tasks run as, "DOMAIN\name"; empty when the system does not say.
std::wstring CurrentUser();

class TaskScheduler final : public Scheduler {
public:
    // `program`: this program's own path, in full.
    explicit TaskScheduler(std::wstring program) : program_(std::move(program)) {}

    [[nodiscard]] ScheduleResult Apply(const ScheduleJob& job) override;
    // The task is there, enabled, with the triggers and the action Apply gives it; a
    // scheduler that keeps no triggers or actions (Wine's) is asked only for the task.
    [[nodiscard]] bool IsRegistered(const ScheduleJob& job) override;

private:
    std::wstring program_;
};

// Takes away every user's tasks of this program and their folder, as the installer's
// removal does (it runs this as the system, which may delete other users' tasks): the
// tasks would otherwise start a program that is gone. Nothing there is no failure.
[[nodiscard]] ScheduleResult RemoveAllTasks();

// The argument with which the installer's removal starts the program for RemoveAllTasks.
inline constexpr const char* kRemoveTasksArgument = "-removetasks";

// The triggers of the definition Apply registers for `job` (run by `program`), read back
// from it before it is registered, one line each: "daily HH:MM:SS", with " every PT15M for
// P1D" when it repeats, or "logon"; none when it cannot be made or the scheduler cannot
// count them (Wine's keeps no triggers once registered and cannot count a definition's).
std::vector<std::string> DefinedTriggers(const ScheduleJob& job, const std::wstring& program);

// This program's own path, in full.
std::wstring OwnProgramPath();

}  // namespace vexal
