// User timers and autostart entries for scheduled runs.
#include "platform/linux/systemd_scheduler.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "text/case.h"

namespace vexal {
namespace {

void AppendHexEscape(std::string& out, char c) {
    static constexpr char kHex[] = "0123456789abcdef";
    const auto byte = static_cast<unsigned char>(c);
    out += "\\x";
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 15]);
}

// Unit files read "%" as the start of a specifier.
std::string UnitValue(std::string_view text) {
    std::string out;
    for (char c : text) {
        out.push_back(c);
        if (c == '%') out.push_back('%');
    }
    return out;
}

// One word of a unit's command line, quoted: the unit reads C escapes inside quotes,
// "%" as a specifier and "$" as a variable.
std::string CommandWord(std::string_view word) {
    std::string out = "\"";
    for (char c : word) {
        if (c == '"' || c == '\\') out.push_back('\\');
        if (c == '%' || c == '$') out.push_back(c);
        out.push_back(c);
    }
    return out + "\"";
}

// A desktop entry's string value: "\" is its escape character.
std::string EntryValue(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

// One argument of a desktop entry's Exec line: quoted, with the quoting's own
// characters escaped and "%" doubled (a field code otherwise), then as a string value.
std::string ExecArgument(std::string_view argument) {
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted.push_back('\\');
        if (c == '%') quoted.push_back('%');
        quoted.push_back(c);
    }
    return EntryValue(quoted + "\"");
}

// Written in full to a temporary file beside it, then renamed over it.
bool WriteWhole(const std::string& path, const std::string& text) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) return false;
    }
    std::filesystem::rename(temporary, path, ec);
    if (ec) std::filesystem::remove(temporary, ec);
    return !ec;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

// The file holds exactly `text`.
bool Holds(const std::string& path, const std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string bytes(text.size() + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<std::size_t>(in.gcount()) == text.size() && bytes.compare(0, text.size(), text) == 0;
}

void Remove(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

}  // namespace

std::string SystemdEscape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && i == 0)
            AppendHexEscape(out, c);
        else if (c == '/')
            out.push_back('-');
        else if (IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == ':' || c == '_' || c == '.')
            out.push_back(c);
        else
            AppendHexEscape(out, c);
    }
    return out;
}

ScheduleFiles ScheduleFilesFor(const std::string& configHome, std::string_view name) {
    // The command line ignores letter case: "Photos" and "photos" are one entry.
    const std::string key = SystemdEscape(ToLower(name));
    ScheduleFiles files;
    files.unit = "vexal-schedule@" + key + ".service";
    files.timerUnit = "vexal-schedule@" + key + ".timer";
    files.service = configHome + "/systemd/user/" + files.unit;
    files.timer = configHome + "/systemd/user/" + files.timerUnit;
    files.autostart = configHome + "/autostart/vexal-schedule-" + key + ".desktop";
    files.enabled = configHome + "/systemd/user/timers.target.wants/" + files.timerUnit;
    return files;
}

std::string ServiceUnitText(const ScheduleJob& job, const std::string& program) {
    std::string text;
    text += "# Written by the vexal editor: one unattended wallpaper change from an entry.\n";
    text += "[Unit]\n";
    text += "Description=Change the wallpaper from the vexal entry " + UnitValue(job.name) + "\n";
    text += "\n[Service]\n";
    text += "Type=oneshot\n";
    // vexal reads the settings file of its current folder: the one the editor saved.
    text += "WorkingDirectory=" + UnitValue(job.folder) + "\n";
    text += "ExecStart=" + CommandWord(program) + " " + CommandWord(job.name) + " -quiet\n";
    // On a Wayland compositor without a wallpaper of its own, vexal leaves a swaybg drawing
    // the picture; ending the service must not take it along.
    text += "KillMode=process\n";
    return text;
}

std::string TimerUnitText(const ScheduleJob& job) {
    std::string text;
    text += "# Written by the vexal editor: when the service of the same name runs.\n";
    text += "[Unit]\n";
    // Calendar times, not intervals since the last run: the runs keep to the clock's
    // quarters and hours, and Persistent= makes up one that was missed.
    const char* every = " every hour\n";
    const char* calendar = "OnCalendar=hourly\n";
    switch (job.kind) {
        case ScheduleKind::Every15Minutes:
            every = " every 15 minutes\n";
            calendar = "OnCalendar=*:0/15\n";
            break;
        case ScheduleKind::Every30Minutes:
            every = " every 30 minutes\n";
            calendar = "OnCalendar=*:0/30\n";
            break;
        case ScheduleKind::Every3Hours:
            every = " every 3 hours\n";
            calendar = "OnCalendar=0/3:00\n";
            break;
        case ScheduleKind::Every6Hours:
            every = " every 6 hours\n";
            calendar = "OnCalendar=0/6:00\n";
            break;
        case ScheduleKind::Daily:
            every = " every day\n";
            calendar = "OnCalendar=daily\n";
            break;
        case ScheduleKind::Hourly:
        case ScheduleKind::Never:
        case ScheduleKind::Logon:
            break;
    }
    text += "Description=Change the wallpaper from the vexal entry " + UnitValue(job.name) + every;
    text += "\n[Timer]\n";
    text += calendar;
    // A change missed while the machine was off happens at the next start.
    text += "Persistent=true\n";
    text += "\n[Install]\n";
    text += "WantedBy=timers.target\n";
    return text;
}

std::string AutostartText(const ScheduleJob& job, const std::string& program) {
    std::string text;
    text += "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Name=vexal " + EntryValue(job.name) + "\n";
    text += "Comment=Change the wallpaper from the vexal entry " + EntryValue(job.name) + " at log-on\n";
    text += "Exec=" + ExecArgument(program) + " " + ExecArgument(job.name) + " -quiet\n";
    text += "Path=" + EntryValue(job.folder) + "\n";
    text += "NoDisplay=true\n";
    text += "Terminal=false\n";
    return text;
}

ScheduleResult SystemdScheduler::Systemctl(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"systemctl", "--user"};
    argv.insert(argv.end(), args.begin(), args.end());
    const CommandResult r = runner_.Run(argv);
    if (r.status == 0) return {};
    ScheduleResult failed;
    failed.failure = ScheduleFailure::ToolFailed;
    failed.tool = "systemctl";
    failed.status = r.status;
    failed.said = std::string(TrimSpaces(r.errors));
    return failed;
}

void SystemdScheduler::RemoveTimer(const ScheduleFiles& files) {
    if (!Exists(files.timer) && !Exists(files.service)) return;
    // Without a user service manager nothing runs them; the files go all the same.
    static_cast<void>(Systemctl({"disable", "--now", files.timerUnit}));
    Remove(files.timer);
    Remove(files.service);
    static_cast<void>(Systemctl({"daemon-reload"}));
}

ScheduleResult SystemdScheduler::Apply(const ScheduleJob& job) {
    const ScheduleFiles files = ScheduleFilesFor(configHome_, job.name);
    ScheduleResult notWritten;
    notWritten.failure = ScheduleFailure::NotWritten;
    switch (job.kind) {
        case ScheduleKind::Never:
            Remove(files.autostart);
            RemoveTimer(files);
            return {};
        case ScheduleKind::Logon:
            // A session starts its autostart entries with its own display and bus, which a
            // unit started with the service manager would not have yet.
            RemoveTimer(files);
            if (WriteWhole(files.autostart, AutostartText(job, program_))) return {};
            notWritten.subject = files.autostart;
            return notWritten;
        default:
            break;
    }
    Remove(files.autostart);
    if (!WriteWhole(files.service, ServiceUnitText(job, program_))) {
        notWritten.subject = files.service;
        return notWritten;
    }
    if (!WriteWhole(files.timer, TimerUnitText(job))) {
        Remove(files.service);
        notWritten.subject = files.timer;
        return notWritten;
    }
    // The manager reads new units only when told; when there is none to tell, a timer
    // would never run, and units left behind would only mislead.
    if (!Systemctl({"daemon-reload"}).Ok()) {
        Remove(files.timer);
        Remove(files.service);
        ScheduleResult none;
        none.failure = ScheduleFailure::NoServiceManager;
        return none;
    }
    return Systemctl({"enable", "--now", files.timerUnit});
}

bool SystemdScheduler::IsRegistered(const ScheduleJob& job) {
    const ScheduleFiles files = ScheduleFilesFor(configHome_, job.name);
    const bool timer = Exists(files.timer) || Exists(files.service);
    switch (job.kind) {
        case ScheduleKind::Never:
            return !timer && !Exists(files.autostart);
        case ScheduleKind::Logon:
            return !timer && Holds(files.autostart, AutostartText(job, program_));
        default:
            break;
    }
    return !Exists(files.autostart) && Holds(files.service, ServiceUnitText(job, program_)) &&
           Holds(files.timer, TimerUnitText(job)) && Exists(files.enabled);
}

std::string UserConfigHome() {
    // A relative XDG_CONFIG_HOME is invalid and is ignored, as the base directory rules say.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.config";
    return {};
}

std::string OwnProgramPath() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.string();
}

}  // namespace vexal
