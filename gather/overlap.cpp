// Keeping overlapping runs apart.
#include "gather/overlap.h"

#include "gather/working_files.h"
#include "host/desktop.h"
#include "host/run_guard.h"
#include "host/timer.h"
#include "settings/source_kind.h"

namespace vexal {
namespace {

// How long one wait for the lock lasts before it is tried again; the window stays live
// (painting, the cancel button) throughout.
constexpr int kLockRetryMs = 100;

// The folder a file named by the settings is written in, "" for the current one.
std::string FolderOf(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// Where a run writes: the working file's folder, the settings file's (a save killed half
// way leaves its temporary there) and the wallpaper folder.
void RemoveEverywhere(const Program& program, const RetrievalServices& services, Writers writers) {
    const std::string working = FolderOf(program.CacheFileName);
    const std::string settings = FolderOf(program.SettingsFileName);
    RemoveUnfinishedFiles(services, working, writers);
    if (settings != working) RemoveUnfinishedFiles(services, settings, writers);
    std::string folder;
    if (services.desktop && services.desktop->WallpaperFolder(folder))
        RemoveUnfinishedFiles(services, folder, writers);
}

}  // namespace

LockOutcome TakeRunLock(Program& program, const RetrievalServices& services, RetrievalOwner& owner) {
    std::string folder;
    if (!services.guard || !services.desktop || !services.desktop->LockFolder(folder))
        return LockOutcome::Held;
    // A cancel that ended a folder walk has been answered already.
    program.CancelRequested = false;
    bool told = false;
    // The watch timer ends the wait; it is free while no transfer runs.
    struct Expiry final : TimerListener {
        bool due = false;
        void Timer_Timer() override { due = true; }
    } expiry;
    struct Disarm {
        Timer* timer;
        ~Disarm() {
            if (!timer) return;
            timer->SetEnabled(false);
            timer->SetListener(nullptr);
        }
    } disarm{nullptr};
    // The lock is the last moment before the run writes: a stop that came during the walk
    // of a folder or the choice ends it here.
    if (services.guard->StopRequested()) return LockOutcome::Interrupted;
    while (services.guard->TryLock(folder) == RunGuard::LockState::Busy) {
        if (!told && services.watch) {
            disarm.timer = services.watch;
            services.watch->SetListener(&expiry);
            services.watch->SetInterval(kLockWaitLimitMs);
            services.watch->SetEnabled(true);
        }
        if (!told) owner.Say(RetrievalStep::WaitingForOtherRun);
        told = true;
        if (expiry.due) return LockOutcome::GaveUp;
        if (services.pump) services.pump->Pump(kLockRetryMs);
        if (services.guard->StopRequested()) return LockOutcome::Interrupted;
        if (program.CancelRequested) return LockOutcome::Cancelled;
    }
    // Without a lock to be had the run goes on alone: the installation reports a folder
    // it cannot write to.
    RemoveEverywhere(program, services, Writers::Dead);
    return LockOutcome::Held;
}

void RemoveUnfinishedFiles(const RetrievalServices& services, const std::string& folder, Writers writers) {
    if (!services.guard) return;
    std::vector<DirEntry> entries;
    if (!services.files->ListFolder(folder, entries)) return;
    const std::uint32_t self = services.guard->ProcessId();
    for (const DirEntry& e : entries) {
        std::uint32_t writer = 0;
        if (e.isDirectory || !TempNameWriter(e.name, writer)) continue;
        const bool doomed = writers == Writers::Self
                                ? writer == self
                                : writer != self && !services.guard->ProcessAlive(writer);
        if (!doomed) continue;
        services.files->DeleteFile(folder.empty() ? e.name : folder + kFolderSeparator + e.name);
    }
}

void RemoveInterruptedFiles(Program& program, const RetrievalServices& services) {
    DeleteHeldWorkingFiles(program.WorkingFilesHeld, *services.files);
    RemoveEverywhere(program, services, Writers::Self);
}

}  // namespace vexal
