// Schedules on Windows: one Task Scheduler task per entry and user, in the program's own
// task folder, that runs "vexal.exe NAME -quiet" in the settings file's folder while the
// user is logged on (the wallpaper belongs to the user's session), every hour, every day
// or at the user's log-on.
#pragma once

#include <string>
#include <string_view>

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

// This program's own path, in full.
std::wstring OwnProgramPath();

}  // namespace vexal
