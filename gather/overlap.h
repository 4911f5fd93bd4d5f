// Runs that overlap: a scheduled run, a second one started by hand and the editor may all
// work on the same working folder and wallpaper folder at once. Each run takes one lock
// before it writes anything there and keeps it to its end, clears what killed runs left,
// and, when told from outside to stop, removes what it was writing before it ends.
#pragma once

#include "host/host.h"
#include "program/program.h"

namespace vexal {

// What the progress window shows while another run holds the lock.
inline constexpr const char* kWaitingForOtherRun = "他のvexalの処理が終わるのを待っています...";

// Takes the lock in the desktop's lock folder (beside the bitmap, or the user's own folder
// where the system keeps it there), waiting while another run holds it (the progress
// window says so, and its cancel button gives up with the cancel message). Then removes
// the files that runs which no longer exist were writing. False when it ended the program.
[[nodiscard]] bool TakeRunLock(Program& program, Host& host);

// Whose unfinished files RemoveUnfinishedFiles removes.
enum class Writers { Dead, Self };

// Removes the files in `folder` that processes which no longer run were writing, or
// that this process is writing.
void RemoveUnfinishedFiles(Host& host, const std::string& folder, Writers writers);

// The end of a run asked to stop from outside: no message, the working file and every
// file still being written are removed, the wallpaper stays as it was, status 1.
void EndInterrupted(Program& program, Host& host);

}  // namespace vexal
