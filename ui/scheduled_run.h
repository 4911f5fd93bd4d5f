// What a scheduled (quiet) run leaves for the user to find, since it shows nothing: one
// line per failure in "schedule.log" in the data folder, and per entry the time and
// outcome of its last run in "last-run-KEY" beside it, which the editor shows.
#pragma once

#include <string>
#include <string_view>

#include "host/file_system.h"
#include "text/language.h"

namespace vexal {

inline constexpr const char* kScheduleLogName = "schedule.log";

struct LastRun {
    std::string when;  // local time, "YYYY-MM-DD HH:MM:SS"
    bool succeeded = false;
    std::string message;  // why it failed; empty after a success
};

// The file that keeps the entry's last run. The command line ignores letter case, so the
// key is the name in lower case; every byte but letters, digits, "_" and "-" (and a "."
// not in front) becomes "%XX", so any name gives one plain file name on every system.
std::string LastRunFileName(std::string_view entryName);

// The current local time as LastRun::when holds it.
std::string LocalTimeText();

// Records a quiet run of `entryName` that ended at `when`: its last-run file is replaced,
// and a failure adds "WHEN NAME: MESSAGE" to the log, the message's line breaks turned
// into blanks. Best effort: a folder that cannot be written loses the record, not the run.
void RecordScheduledRun(FileSystem& files, const std::string& folder, std::string_view entryName,
                        const std::string& when, bool succeeded, std::string_view message);

// The entry's last recorded run; false when there is none (or it cannot be read).
bool ReadLastRun(FileSystem& files, const std::string& folder, std::string_view entryName, LastRun& out);

// The editor's line for a last run.
std::string LastRunText(Language language, const LastRun& run);

}  // namespace vexal
