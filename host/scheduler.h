// The system's own scheduler as the editor needs it: an entry's unattended run set up to
// happen every 15 or 30 minutes, every 1, 3 or 6 hours, every day or at log-on, or taken
// away again. Nothing of the program keeps running; the system starts it each time.
#pragma once

#include <cstdint>
#include <string>

namespace vexal {

// When the system runs an entry by itself, shortest interval first (the editors list them
// in this order). The settings file names them "15min", "30min", "hourly", "3hours",
// "6hours", "daily" and "logon"; Never is an entry without the key. (Not "None", which
// X11's headers define as a macro.)
enum class ScheduleKind : std::uint8_t {
    Never = 0,
    Every15Minutes = 1,
    Every30Minutes = 2,
    Hourly = 3,
    Every3Hours = 4,
    Every6Hours = 5,
    Daily = 6,
    Logon = 7,
};

// The minutes between two runs of a periodic kind; 0 for Never and Logon.
constexpr int ScheduleMinutes(ScheduleKind kind) {
    switch (kind) {
        case ScheduleKind::Every15Minutes:
            return 15;
        case ScheduleKind::Every30Minutes:
            return 30;
        case ScheduleKind::Hourly:
            return 60;
        case ScheduleKind::Every3Hours:
            return 180;
        case ScheduleKind::Every6Hours:
            return 360;
        case ScheduleKind::Daily:
            return 1440;
        case ScheduleKind::Never:
        case ScheduleKind::Logon:
            break;
    }
    return 0;
}

// Why a schedule could not be set or taken away.
enum class ScheduleFailure : std::uint8_t {
    Nothing,
    NoServiceManager,  // no user service manager runs, so no periodic run can be set
    NotWritten,        // the file `subject` (a unit, an autostart entry) could not be written
    ToolFailed,        // `tool` exited with `status`, having written `said` (maybe nothing)
    SystemRefused,     // the system's scheduler refused with the error number `status`
};

struct ScheduleResult {
    ScheduleFailure failure = ScheduleFailure::Nothing;
    std::string subject;
    std::string tool;
    std::string said;
    std::int64_t status = 0;
    bool Ok() const { return failure == ScheduleFailure::Nothing; }
};

// One entry's schedule: the entry's name as the command line takes it, and the folder
// whose settings file holds it, where the run must start.
struct ScheduleJob {
    std::string name;
    ScheduleKind kind = ScheduleKind::Never;
    std::string folder;
};

class Scheduler {
public:
    virtual ~Scheduler() = default;
    // Makes `job.kind` the only schedule of the entry `job.name` (letter case ignored, as
    // the command line ignores it): what another kind set up before is taken away, and
    // Never takes away everything. Taking away what is not there succeeds.
    [[nodiscard]] virtual ScheduleResult Apply(const ScheduleJob& job) = 0;
    // Whether the system holds `job` as Apply would set it now: that kind for the entry,
    // run in `job.folder` by this program, and nothing of another kind (for Never:
    // nothing at all). A hand-edited settings file, or a registration the system refused
    // or someone took away, is found so. Where the system gives back less than it was
    // given, what it does give back is compared. The fallback cannot tell and says yes.
    [[nodiscard]] virtual bool IsRegistered(const ScheduleJob& /*job*/) { return true; }
};

}  // namespace vexal
