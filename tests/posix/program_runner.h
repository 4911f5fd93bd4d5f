// Runs the real program as a user or a scheduled task would: its arguments, a clean
// environment, a working folder and a time limit, with standard output and standard error
// collected. Every posix test that starts the program goes through here.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace vexal::testing {

struct ProgramRun {
    // The exit status, or 128 + the signal that ended the run, as a shell reports it; -1
    // when the program could not be started.
    int status = -1;
    bool timedOut = false;  // killed at the time limit
    std::string err;
    std::string out;
    long peakKiB = 0;  // the program's peak resident memory
};

struct ProgramOptions {
    // The working folder the program starts in.
    std::string dir;
    // Variables beyond PATH and the sanitizers' options, which are inherited; nothing else
    // is, so the test's own DISPLAY or HOME never reaches the program by accident.
    std::map<std::string, std::string> env;
    // The program is killed once it has run this long.
    int limitMs = 120000;
    // Run as this user and group instead of the test's (a test running as root, for a
    // program that refuses root or must not write as it); -1 keeps the test's.
    int uid = -1, gid = -1;
};

// A program started in the background; Finish() collects what it wrote and how it ended.
// One still running when this goes is killed.
class StartedProgram {
public:
    StartedProgram(const std::string& binary, const std::vector<std::string>& args,
                   const ProgramOptions& options)
        : deadline_(std::chrono::steady_clock::now() + std::chrono::milliseconds(options.limitMs)) {
        std::vector<std::string> argStore = {binary};
        argStore.insert(argStore.end(), args.begin(), args.end());
        std::map<std::string, std::string> env;
        const char* path = std::getenv("PATH");
        env["PATH"] = path ? path : "/usr/bin:/bin";
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
            if (const char* value = std::getenv(name)) env[name] = value;
        for (const auto& [name, value] : options.env) env[name] = value;
        std::vector<std::string> envStore;
        for (const auto& [name, value] : env) envStore.push_back(name + "=" + value);
        std::vector<char*> argv, envp;
        for (auto& a : argStore) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : envStore) envp.push_back(e.data());
        envp.push_back(nullptr);

        // Close-on-exec, so a second program started meanwhile does not hold this one's
        // pipes open past its end.
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        if (::pipe2(err, O_CLOEXEC) != 0) {
            ::close(out[0]);
            ::close(out[1]);
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            const int null = ::open("/dev/null", O_RDONLY);
            if (null >= 0) ::dup2(null, 0);
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            if (options.gid >= 0 && (::setgroups(0, nullptr) != 0 || ::setgid(options.gid) != 0))
                ::_exit(126);
            if (options.uid >= 0 && ::setuid(options.uid) != 0) ::_exit(126);
            if (::chdir(options.dir.c_str()) != 0) ::_exit(126);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        outFd_ = out[0];
        errFd_ = err[0];
        if (pid_ < 0) CloseFds();
    }
    ~StartedProgram() {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            Reap(0);
        }
        CloseFds();
    }
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    pid_t pid() const { return pid_; }
    bool Running() { return pid_ > 0 && !reaped_ && !Reap(WNOHANG); }
    void Signal(int signal) {
        if (Running()) ::kill(pid_, signal);
    }

    // Waits for the end of the program, or kills it at its time limit.
    ProgramRun Finish() {
        char buffer[4096];
        while (pid_ > 0 && (outFd_ >= 0 || errFd_ >= 0)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline_ - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0) {
                run_.timedOut = true;
                ::kill(pid_, SIGKILL);
                break;
            }
            pollfd p[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
            // A helper the program left running may hold the pipes open: once the program
            // itself has ended, what it wrote is already in them.
            const bool ended = !Running();
            if (::poll(p, 2, ended ? 0 : static_cast<int>(std::min<long long>(left, 200))) <= 0) {
                if (ended) break;
                continue;
            }
            for (pollfd& f : p) {
                if (f.fd < 0 || !(f.revents & (POLLIN | POLLHUP | POLLERR))) continue;
                const ssize_t n = ::read(f.fd, buffer, sizeof buffer);
                std::string& to = f.fd == outFd_ ? run_.out : run_.err;
                if (n > 0) {
                    to.append(buffer, static_cast<std::size_t>(n));
                } else {
                    ::close(f.fd);
                    (f.fd == outFd_ ? outFd_ : errFd_) = -1;
                }
            }
        }
        CloseFds();
        if (pid_ > 0 && !reaped_) Reap(0);
        return run_;
    }

private:
    // Collects the program's end; true once it has ended.
    bool Reap(int flags) {
        int status = 0;
        rusage usage{};
        const pid_t got = ::wait4(pid_, &status, flags, &usage);
        if (got != pid_) return got < 0;
        reaped_ = true;
        run_.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run_.peakKiB = usage.ru_maxrss;
        return true;
    }
    void CloseFds() {
        for (int* fd : {&outFd_, &errFd_})
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
    }

    std::chrono::steady_clock::time_point deadline_;
    pid_t pid_ = -1;
    int outFd_ = -1, errFd_ = -1;
    bool reaped_ = false;
    ProgramRun run_;
};

// Polls `ready` until it holds, for at most `limitMs`: how a test waits for a program to
// reach a point (a file, a lock, a window), never by sleeping a guessed time.
template <typename Pred>
bool WaitUntil(Pred ready, int limitMs = 60000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        ::usleep(2000);
    }
    return true;
}

// True once process `pid` has its own handlers for SIGINT, SIGTERM and SIGHUP, as the
// kernel reports them; a signal sent earlier still gets the default action.
inline bool CatchesStopSignals(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigCgt:", 0) != 0) continue;
        const unsigned long long caught = std::stoull(line.substr(7), nullptr, 16);
        const unsigned long long wanted =
            (1ull << (SIGINT - 1)) | (1ull << (SIGTERM - 1)) | (1ull << (SIGHUP - 1));
        return (caught & wanted) == wanted;
    }
    return false;
}

// True while process `pid` holds a file named `name` open (the lock file, say).
inline bool HoldsOpen(pid_t pid, const std::string& name) {
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
        std::error_code linkError;
        const auto target = std::filesystem::read_symlink(e.path(), linkError);
        if (!linkError && target.filename() == name) return true;
    }
    return false;
}

inline ProgramRun RunProgram(const std::string& binary, const std::vector<std::string>& args,
                             const ProgramOptions& options) {
    return StartedProgram(binary, args, options).Finish();
}

// The environment of an unattended run on the X11 display `display`, with `dir` as home
// and the data folder below it.
inline std::map<std::string, std::string> UnattendedX11Env(const std::string& dir,
                                                           const std::string& display) {
    return {{"HOME", dir},
            {"DISPLAY", display},
            {"XDG_DATA_HOME", dir + "/data"},
            {"VEXAL_NONINTERACTIVE", "1"},
            {"VEXAL_DESKTOP", "x11"}};
}

}  // namespace vexal::testing
