// Keeping overlapping runs apart.
#include "gather/overlap.h"

#include "host/desktop.h"
#include "host/run_guard.h"
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
void RemoveEverywhere(Program& program, Host& host, Writers writers) {
    const std::string working = FolderOf(program.CacheFileName);
    const std::string settings = FolderOf(program.SettingsFileName);
    RemoveUnfinishedFiles(host, working, writers);
    if (settings != working) RemoveUnfinishedFiles(host, settings, writers);
    std::string folder;
    if (host.desktop && host.desktop->WallpaperFolder(folder)) RemoveUnfinishedFiles(host, folder, writers);
}

}  // namespace

LockOutcome TakeRunLock(Program& program, Host& host, RetrievalOwner& owner) {
    std::string folder;
    if (!host.guard || !host.desktop || !host.desktop->LockFolder(folder)) return LockOutcome::Held;
    // A cancel that ended a folder walk has been answered already.
    program.CancelRequested = false;
    bool told = false;
    // The lock is the last moment before the run writes: a stop that came during the walk
    // of a folder or the choice ends it here.
    if (host.guard->StopRequested()) return LockOutcome::Interrupted;
    while (host.guard->TryLock(folder) == RunGuard::LockState::Busy) {
        if (!told) owner.Say(RetrievalStep::WaitingForOtherRun);
        told = true;
        if (host.pump) host.pump->Pump(kLockRetryMs);
        if (host.guard->StopRequested()) return LockOutcome::Interrupted;
        if (program.CancelRequested) return LockOutcome::Cancelled;
    }
    // Without a lock to be had the run goes on alone: the installation reports a folder
    // it cannot write to.
    RemoveEverywhere(program, host, Writers::Dead);
    return LockOutcome::Held;
}

void RemoveUnfinishedFiles(Host& host, const std::string& folder, Writers writers) {
    if (!host.guard) return;
    std::vector<DirEntry> entries;
    if (!host.files->ListFolder(folder, entries)) return;
    const std::uint32_t self = host.guard->ProcessId();
    for (const DirEntry& e : entries) {
        std::uint32_t writer = 0;
        if (e.isDirectory || !TempNameWriter(e.name, writer)) continue;
        const bool doomed =
            writers == Writers::Self ? writer == self : writer != self && !host.guard->ProcessAlive(writer);
        if (!doomed) continue;
        host.files->DeleteFile(folder.empty() ? e.name : folder + kFolderSeparator + e.name);
    }
}

void RemoveInterruptedFiles(Program& program, Host& host) {
    DeleteWorkingFile(program, *host.files, program.WorkImageFile);
    RemoveEverywhere(program, host, Writers::Self);
}

}  // namespace vexal
