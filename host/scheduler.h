// The system's own scheduler as the editor needs it: an entry's unattended run set up to
// happen every hour, every day or at log-on, or taken away again. Nothing of the program
// keeps running; the system starts it each time.
#pragma once

#include <cstdint>
#include <string>

namespace vexal {

// When the system runs an entry by itself. The settings file names them "hourly",
// "daily" and "logon"; Never is an entry without the key. (Not "None", which X11's
// headers define as a macro.)
enum class ScheduleKind : std::uint8_t {
    Never = 0,
    Hourly = 1,
    Daily = 2,
    Logon = 3,
};

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
