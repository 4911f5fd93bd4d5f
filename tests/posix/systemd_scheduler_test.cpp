// Schedules on Linux: the instance-name escaping against systemd's own tool, the units
// checked by systemd's verifier and run as the timer would run them, the autostart entry,
// and the service manager calls made. No user service manager can run on the test
// machines, so a stand-in systemctl on PATH records the calls (and plays a missing one).
#include "platform/linux/systemd_scheduler.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QImage>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "posix/program_runner.h"
#include "posix/temp_dir.h"
#include "posix/xvfb_server.h"

namespace vexal {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The value of `key=` in a unit or desktop entry.
std::string Value(const std::string& text, const std::string& key) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return {};
}

// A unit's command line cut into words as the service manager cuts it: double quotes
// with C escapes inside, "%%" and "$$" for the characters themselves.
std::vector<std::string> UnitWords(const std::string& line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        std::string word;
        const bool quoted = line[i] == '"';
        if (quoted) ++i;
        for (; i < line.size() && (quoted ? line[i] != '"' : line[i] != ' '); ++i) {
            if (line[i] == '\\' && i + 1 < line.size())
                ++i;
            else if ((line[i] == '%' || line[i] == '$') && i + 1 < line.size() && line[i + 1] == line[i])
                ++i;
            word.push_back(line[i]);
        }
        if (quoted) ++i;
        words.push_back(word);
    }
    return words;
}

TEST(SystemdEscapeTest, EscapesAsSystemdEscapeDoes) {
    const char* names[] = {"photos",   "Photos-1", "My Photos", "a/b/c",   ".hidden", "a.b.",
                           "桜の写真", "a\\b",     "x:y_z",     "a@b%c$d", "\"q\"",   "-lead"};
    for (const char* name : names) {
        const testing::ProgramRun r = testing::RunProgram("/usr/bin/systemd-escape", {"--", name}, {"/", {}});
        ASSERT_EQ(r.status, 0) << name << r.err;
        EXPECT_EQ(SystemdEscape(name) + "\n", r.out) << name;
    }
}

struct SchedulerRig {
    testing::TempDir dir;
    std::string config = dir / "config";
    std::string calls = dir / "calls";
    // The settings folder, with characters a unit and a desktop entry must quote.
    std::string folder = dir / "My Pics 100%$";
    SystemdScheduler scheduler;
    SpawnCommandRunner runner;

    SchedulerRig() : scheduler(runner, dir / "config", VEXAL_BINARY) {
        std::filesystem::create_directories(dir / "bin");
        std::filesystem::create_directories(folder);
        // The stand-in systemctl: records its arguments; with FAIL_RELOAD in its folder it
        // answers daemon-reload as systemctl does where no user manager runs. Enabling and
        // disabling make and remove the timer's link as systemctl does.
        const std::string fake = dir / "bin/systemctl";
        const std::string wants = config + "/systemd/user/timers.target.wants";
        std::ofstream(fake) << "#!/bin/sh\n"
                               "echo \"$*\" >> '" +
                                   calls +
                                   "'\n"
                                   "if [ \"$2\" = daemon-reload ] && [ -e '" +
                                   dir.path() +
                                   "/FAIL_RELOAD' ]; then\n"
                                   "  echo 'Failed to connect to bus: No medium found' >&2; exit 1\n"
                                   "fi\n"
                                   "if [ \"$2\" = enable ]; then mkdir -p '" +
                                   wants + "' && ln -sf \"../$4\" '" + wants +
                                   "'/\"$4\"; fi\n"
                                   "if [ \"$2\" = disable ]; then rm -f '" +
                                   wants + "'/\"$4\"; fi\n";
        std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
        const char* path = std::getenv("PATH");
        ::setenv("PATH", (dir / "bin:" + std::string(path ? path : "/usr/bin:/bin")).c_str(), 1);
    }
    std::string TakeCalls() {
        const std::string text = ReadAll(calls);
        std::filesystem::remove(calls);
        return text;
    }
    // systemd's own verifier over the two units, with the user's unit folder where it
    // looks (it wants a runtime folder of the user's alone, as the manager would have).
    testing::ProgramRun Verify(const ScheduleFiles& files) {
        std::filesystem::create_directories(dir / "runtime");
        std::filesystem::permissions(dir / "runtime", std::filesystem::perms::owner_all);
        return testing::RunProgram(
            "/usr/bin/systemd-analyze", {"--user", "verify", files.service, files.timer},
            {dir.path(),
             {{"HOME", dir.path()}, {"XDG_CONFIG_HOME", config}, {"XDG_RUNTIME_DIR", dir / "runtime"}},
             60000});
    }
};

TEST(SystemdSchedulerTest, HourlyTimerVerifiesAndRunsTheEntryInItsSettingsFolder) {
    SchedulerRig rig;
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(QString::fromStdString(rig.folder + "/red.png"), "PNG"));
    std::ofstream(rig.folder + "/vexal.ini", std::ios::binary)
        << "'vexal   ver.1.00\r\n\r\n-\r\nName = Photos-1\r\nUrl = red.png\r\nExt = 0010\r\nWpState = 2\r\n"
           "Schedule = hourly\r\n";

    const ScheduleResult set = rig.scheduler.Apply({"Photos-1", ScheduleKind::Hourly, rig.folder + "/"});
    ASSERT_TRUE(set.Ok()) << set.said;
    const ScheduleFiles files = ScheduleFilesFor(rig.config, "Photos-1");
    EXPECT_EQ(files.timerUnit, "vexal-schedule@photos\\x2d1.timer");
    EXPECT_EQ(rig.TakeCalls(), "--user daemon-reload\n--user enable --now " + files.timerUnit + "\n");
    EXPECT_EQ(Value(ReadAll(files.timer), "OnCalendar"), "hourly");

    const testing::ProgramRun verify = rig.Verify(files);
    EXPECT_EQ(verify.status, 0) << verify.err << verify.out;
    EXPECT_EQ(verify.err, "");

    // What the timer starts: the service's command line in its working folder, with the
    // session's display but no VEXAL_NONINTERACTIVE, which -quiet stands in for.
    const std::string service = ReadAll(files.service);
    const std::vector<std::string> words = UnitWords(Value(service, "ExecStart"));
    ASSERT_EQ(words, (std::vector<std::string>{VEXAL_BINARY, "Photos-1", "-quiet"}));
    // A unit reads "%%" as "%" there too, and "$" as itself.
    EXPECT_EQ(Value(service, "WorkingDirectory"), rig.dir / "My Pics 100%%$/");
    testing::XvfbServer xvfb;
    ASSERT_FALSE(xvfb.display().empty());
    auto env = testing::UnattendedX11Env(rig.dir.path(), xvfb.display());
    env.erase("VEXAL_NONINTERACTIVE");
    const testing::ProgramRun run =
        testing::RunProgram(words[0], {words.begin() + 1, words.end()}, {rig.folder + "/", env});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(testing::ReadRoot(xvfb.display()).At(10, 10), 0xFF0000u);
    const std::string lastRun = ReadAll(rig.dir / "data/vexal/last-run-photos-1");
    EXPECT_NE(lastRun.find("\n0\n"), std::string::npos) << lastRun;

    // The same entry at log-on: the timer goes, an autostart entry comes.
    ASSERT_TRUE(rig.scheduler.Apply({"Photos-1", ScheduleKind::Logon, rig.folder + "/"}).Ok());
    EXPECT_EQ(rig.TakeCalls(), "--user disable --now " + files.timerUnit + "\n--user daemon-reload\n");
    EXPECT_FALSE(std::filesystem::exists(files.timer));
    EXPECT_FALSE(std::filesystem::exists(files.service));
    const std::string autostart = ReadAll(files.autostart);
    EXPECT_EQ(Value(autostart, "Exec"), "\"" VEXAL_BINARY "\" \"Photos-1\" -quiet");
    EXPECT_EQ(Value(autostart, "Path"), rig.folder + "/");
    const testing::ProgramRun valid =
        testing::RunProgram("/usr/bin/desktop-file-validate", {files.autostart}, {"/", {}});
    EXPECT_EQ(valid.status, 0) << valid.out << valid.err;
    ASSERT_TRUE(rig.scheduler.Apply({"photos-1", ScheduleKind::Never, rig.folder + "/"}).Ok());
    EXPECT_FALSE(std::filesystem::exists(files.autostart));
    EXPECT_EQ(rig.TakeCalls(), "");
}

// Minutes from one run of an OnCalendar= time to the next, as systemd's own calendar
// reads it (the first two elapses it names); -1 when it cannot say.
int CalendarStep(const std::string& calendar) {
    const testing::ProgramRun r =
        testing::RunProgram("/usr/bin/systemd-analyze", {"calendar", "--iterations=2", calendar}, {"/", {}});
    std::vector<int> at;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("Next elapse:") == std::string::npos && line.find("Iter. #2:") == std::string::npos)
            continue;
        const std::size_t colon = line.find(':', line.find(':') + 1);  // "HH:MM:SS" after the label
        if (colon == std::string::npos || colon < 2) return -1;
        at.push_back(std::stoi(line.substr(colon - 2, 2)) * 60 + std::stoi(line.substr(colon + 1, 2)));
    }
    if (r.status != 0 || at.size() != 2) return -1;
    const int step = (at[1] - at[0] + 1440) % 1440;
    return step == 0 ? 1440 : step;
}

// Every periodic kind: its timer verifies and elapses as often as the kind says, and only
// that kind counts as held.
TEST(SystemdSchedulerTest, EveryIntervalHasAVerifiedTimer) {
    SchedulerRig rig;
    const struct {
        ScheduleKind kind;
        const char* calendar;
        const char* description;
    } rows[] = {
        {ScheduleKind::Every15Minutes, "*:0/15", "every 15 minutes"},
        {ScheduleKind::Every30Minutes, "*:0/30", "every 30 minutes"},
        {ScheduleKind::Hourly, "hourly", "every hour"},
        {ScheduleKind::Every3Hours, "0/3:00", "every 3 hours"},
        {ScheduleKind::Every6Hours, "0/6:00", "every 6 hours"},
        {ScheduleKind::Daily, "daily", "every day"},
    };
    const std::string folder = rig.folder + "/";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.calendar);
        const ScheduleJob job{"Photos", row.kind, folder};
        ASSERT_TRUE(rig.scheduler.Apply(job).Ok());
        const ScheduleFiles files = ScheduleFilesFor(rig.config, "Photos");
        const std::string timer = ReadAll(files.timer);
        EXPECT_EQ(Value(timer, "OnCalendar"), row.calendar);
        EXPECT_EQ(Value(timer, "Description"),
                  std::string("Change the wallpaper from the vexal entry Photos ") + row.description);
        EXPECT_EQ(CalendarStep(row.calendar), ScheduleMinutes(row.kind));
        const testing::ProgramRun verify = rig.Verify(files);
        EXPECT_EQ(verify.status, 0) << verify.err << verify.out;
        EXPECT_EQ(verify.err, "");
        for (const auto& other : rows)
            EXPECT_EQ(rig.scheduler.IsRegistered({"Photos", other.kind, folder}), other.kind == row.kind)
                << other.calendar;
    }
    rig.TakeCalls();
}

// What the editor asks when it opens: a schedule counts as held only when its files are
// exactly what Apply writes for that entry, folder and kind, and a timer is enabled.
TEST(SystemdSchedulerTest, RegisteredOnlyWhatTheSystemHolds) {
    SchedulerRig rig;
    const std::string folder = rig.folder + "/";
    const ScheduleJob hourly{"Photos", ScheduleKind::Hourly, folder};
    const ScheduleJob logon{"photos", ScheduleKind::Logon, folder};
    // Regression: "Schedule = logon" written by hand was shown as set with nothing there.
    EXPECT_FALSE(rig.scheduler.IsRegistered(logon));
    EXPECT_FALSE(rig.scheduler.IsRegistered(hourly));
    EXPECT_TRUE(rig.scheduler.IsRegistered({"photos", ScheduleKind::Never, folder}));

    ASSERT_TRUE(rig.scheduler.Apply(hourly).Ok());
    EXPECT_TRUE(rig.scheduler.IsRegistered(hourly));
    EXPECT_FALSE(rig.scheduler.IsRegistered({"photos", ScheduleKind::Daily, folder}));
    EXPECT_FALSE(rig.scheduler.IsRegistered(logon));
    EXPECT_FALSE(rig.scheduler.IsRegistered({"photos", ScheduleKind::Never, folder}));
    EXPECT_FALSE(rig.scheduler.IsRegistered({"Photos", ScheduleKind::Hourly, rig.dir / "elsewhere/"}));
    // Disabled by the user: the files stay, the timer never runs.
    const ScheduleFiles files = ScheduleFilesFor(rig.config, "photos");
    std::filesystem::remove(files.enabled);
    EXPECT_FALSE(rig.scheduler.IsRegistered(hourly));

    ASSERT_TRUE(rig.scheduler.Apply(logon).Ok());
    EXPECT_TRUE(rig.scheduler.IsRegistered(logon));
    EXPECT_FALSE(rig.scheduler.IsRegistered(hourly));

    // Refused for want of a service manager: nothing is held.
    ASSERT_TRUE(rig.scheduler.Apply({"photos", ScheduleKind::Never, folder}).Ok());
    std::ofstream(rig.dir / "FAIL_RELOAD") << "";
    EXPECT_EQ(rig.scheduler.Apply(hourly).failure, ScheduleFailure::NoServiceManager);
    EXPECT_FALSE(rig.scheduler.IsRegistered(hourly));
}

TEST(SystemdSchedulerTest, WithoutAUserManagerPeriodicRunsAreRefusedAndLeaveNothing) {
    SchedulerRig rig;
    std::ofstream(rig.dir / "FAIL_RELOAD") << "";
    for (ScheduleKind kind : {ScheduleKind::Hourly, ScheduleKind::Daily}) {
        const ScheduleResult r = rig.scheduler.Apply({"photos", kind, rig.folder + "/"});
        EXPECT_EQ(r.failure, ScheduleFailure::NoServiceManager);
        const ScheduleFiles files = ScheduleFilesFor(rig.config, "photos");
        EXPECT_FALSE(std::filesystem::exists(files.timer));
        EXPECT_FALSE(std::filesystem::exists(files.service));
    }
    EXPECT_EQ(rig.TakeCalls(), "--user daemon-reload\n--user daemon-reload\n");
    // At log-on needs no service manager.
    EXPECT_TRUE(rig.scheduler.Apply({"photos", ScheduleKind::Logon, rig.folder + "/"}).Ok());
    EXPECT_EQ(rig.TakeCalls(), "");
}

}  // namespace
}  // namespace vexal
