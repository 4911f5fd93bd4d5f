// Desktop programs found in /proc, ended with SIGTERM and started again through `env`.
#include "platform/linux/desktop_programs.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <thread>

#include "platform/linux/ini_text.h"
#include "platform/linux/x11_root.h"

namespace vexal {
namespace {

std::vector<std::string> NulSeparated(const std::string& text) {
    std::vector<std::string> items;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t nul = text.find('\0', from);
        if (nul == std::string::npos) nul = text.size();
        items.push_back(text.substr(from, nul - from));
        from = nul + 1;
    }
    return items;
}

// ":0.0" and ":0" name the same display.
std::string WithoutScreen(std::string display) {
    const std::size_t colon = display.rfind(':');
    const std::size_t dot = display.rfind('.');
    if (colon != std::string::npos && dot != std::string::npos && dot > colon) display.resize(dot);
    return display;
}

// True when the process has ended: gone, or a zombie its parent has not reaped yet.
bool Ended(int pid) {
    const std::string stat = ReadFileText("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t paren = stat.rfind(')');
    if (paren == std::string::npos || paren + 2 >= stat.size()) return true;
    const char state = stat[paren + 2];
    return state == 'Z' || state == 'X';
}

}  // namespace

std::string RunningProgram::Variable(const std::string& name) const {
    const std::string prefix = name + "=";
    for (const std::string& entry : environment)
        if (entry.rfind(prefix, 0) == 0) return entry.substr(prefix.size());
    return {};
}

std::optional<RunningProgram> ProcDesktopPrograms::Find(const std::string& name,
                                                        const std::string& argument) {
    DIR* proc = ::opendir("/proc");
    if (!proc) return std::nullopt;
    std::optional<RunningProgram> found;
    // The kernel keeps the first 15 bytes of an executable's name.
    const std::string comm = name.substr(0, 15) + "\n";
    while (dirent* e = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (pid <= 0 || *end) continue;
        const std::string dir = std::string("/proc/") + e->d_name;
        struct stat st {};
        if (::stat(dir.c_str(), &st) != 0 || st.st_uid != ::getuid()) continue;
        if (ReadFileText(dir + "/comm") != comm || Ended(static_cast<int>(pid))) continue;
        RunningProgram program;
        program.pid = static_cast<int>(pid);
        program.argv = NulSeparated(ReadFileText(dir + "/cmdline"));
        if (!argument.empty() && std::find(program.argv.begin() + (program.argv.empty() ? 0 : 1),
                                           program.argv.end(), argument) == program.argv.end())
            continue;
        program.environment = NulSeparated(ReadFileText(dir + "/environ"));
        const bool onThisDisplay =
            !display_.empty()          ? WithoutScreen(program.Variable("DISPLAY")) == WithoutScreen(display_)
            : !waylandDisplay_.empty() ? program.Variable("WAYLAND_DISPLAY") == waylandDisplay_
                                       : true;
        if (!onThisDisplay || program.argv.empty()) continue;
        char cwd[PATH_MAX];
        const ssize_t n = ::readlink((dir + "/cwd").c_str(), cwd, sizeof cwd - 1);
        program.folder = n > 0 ? std::string(cwd, static_cast<std::size_t>(n)) : std::string("/");
        found = std::move(program);
        break;
    }
    ::closedir(proc);
    return found;
}

bool ProcDesktopPrograms::HasOtherWindows(const RunningProgram& program) {
    return ProcessHasOtherWindows(program.pid, program.Variable("DISPLAY")).value_or(true);
}

bool ProcDesktopPrograms::Stop(const RunningProgram& program) {
    if (::kill(program.pid, SIGTERM) != 0) return errno == ESRCH;
    for (int poll = 0; poll < kProgramStopPolls; ++poll) {
        if (Ended(program.pid)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(kProgramStopPollMs));
    }
    return Ended(program.pid);
}

bool ProcDesktopPrograms::Restart(const RunningProgram& program) {
    // env would take a program name with "=" in it for one more variable.
    if (program.argv.empty() || program.argv.front().find('=') != std::string::npos) return false;
    // In its own environment and folder: the session's, which a run from cron or a timer
    // does not have.
    struct stat st {};
    const bool folderThere = ::stat(program.folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    std::vector<std::string> argv = {"env", "-i", "-C", folderThere ? program.folder : "/", "--"};
    for (const std::string& entry : program.environment)
        if (entry.find('=') != std::string::npos && entry.front() != '=') argv.push_back(entry);
    argv.insert(argv.end(), program.argv.begin(), program.argv.end());
    std::string base = program.argv.front();
    base = base.substr(base.rfind('/') + 1);
    return runner_.Start(argv, logFolder_ + "/" + base + ".log").running;
}

}  // namespace vexal
