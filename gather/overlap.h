// Runs that overlap: a scheduled run, a second one started by hand and the editor may all
// work on the same working folder and wallpaper folder at once. Each run takes one lock
// before it writes anything there and keeps it to its end, clears what killed runs left,
// and, when told from outside to stop, removes what it was writing before it ends.
#pragma once

#include "gather/retrieval_owner.h"
#include "gather/retrieval_services.h"
#include "program/program.h"

namespace vexal {

enum class LockOutcome : std::uint8_t {
    Held,         // the lock is this run's (or there is none to be had: the run goes on alone)
    Interrupted,  // a stop came from outside while the run waited
    Cancelled,    // the user pressed cancel while the run waited
    GaveUp,       // the other run held the lock for kLockWaitLimitMs
};

// The longest a run waits for another run's lock: longer than an unattended run's whole
// transfer may take, so only a run that hangs (or a window left open) is given up on.
inline constexpr std::int64_t kLockWaitLimitMs = 660000;

// Takes the lock in the desktop's lock folder (beside the bitmap, or the user's own folder
// where the system keeps it there), waiting while another run holds it (`owner` is told
// so, and its cancel request gives up; with the services' watch timer the wait ends after
// kLockWaitLimitMs). Once held, removes the files that runs which no
// longer exist were writing.
[[nodiscard]] LockOutcome TakeRunLock(Program& program, const RetrievalServices& services,
                                      RetrievalOwner& owner);

// Whose unfinished files RemoveUnfinishedFiles removes.
enum class Writers { Dead, Self };

// Removes the files in `folder` that processes which no longer run were writing, or
// that this process is writing.
void RemoveUnfinishedFiles(const RetrievalServices& services, const std::string& folder, Writers writers);

// What a run asked to stop from outside leaves: its working files and every file it was
// still writing are removed; the wallpaper stays.
void RemoveInterruptedFiles(Program& program, const RetrievalServices& services);

}  // namespace vexal
