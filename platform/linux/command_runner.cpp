// posix_spawnp with both output streams on pipes, read with poll until the child
// closes them, so neither can fill up and stall it.
#include "platform/linux/command_runner.h"
#include "platform/linux/ini_text.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace vexal {
namespace {

long long NowMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void CloseBoth(int fds[2]) {
    if (fds[0] >= 0) ::close(fds[0]);
    if (fds[1] >= 0) ::close(fds[1]);
}

// Starts argv[0] with standard input on /dev/null and both output streams on pipes,
// whose reading ends go to `pipesOut` (output, errors). -1 when it cannot be started.
pid_t Spawn(const std::vector<std::string>& argv, int (&pipesOut)[2]) {
    int out[2] = {-1, -1}, err[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0) return -1;
    if (::pipe2(err, O_CLOEXEC) != 0) {
        CloseBoth(out);
        return -1;
    }

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    ::posix_spawn_file_actions_adddup2(&actions, err[1], 2);

    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) {
        ::close(out[0]);
        ::close(err[0]);
        return -1;
    }
    pipesOut[0] = out[0];
    pipesOut[1] = err[0];
    return pid;
}

// Reads both pipes into the result's output and errors until the child has closed them,
// then closes them; at the deadline the child is killed. True when it was killed.
bool ReadUntilClosed(pid_t pid, const int (&pipes)[2], long long deadline, CommandResult& result) {
    bool killed = false;
    pollfd fds[2] = {{pipes[0], POLLIN, 0}, {pipes[1], POLLIN, 0}};
    std::string* sinks[2] = {&result.output, &result.errors};
    int open = 2;
    char buffer[8192];
    while (open > 0) {
        const long long left = deadline - NowMs();
        if (left <= 0) {
            ::kill(pid, SIGKILL);
            killed = true;
            break;
        }
        const int ready = ::poll(fds, 2, static_cast<int>(left));
        if (ready < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (pollfd& p : fds)
        if (p.fd >= 0) ::close(p.fd);
    return killed;
}

// Reaps the child and returns its exit status; -1 when it was killed, did not exit
// normally or left no status. The wait shares the deadline: a tool that closes its
// output and keeps running (or a poll that failed) must not hold the program.
int WaitForExit(pid_t pid, long long deadline, bool killed) {
    int status = 0;
    while (!killed) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) {
            killed = true;  // no status to be had
            break;
        }
        if (NowMs() >= deadline) {
            ::kill(pid, SIGKILL);
            killed = true;
            break;
        }
        const timespec pause{0, 5 * 1000 * 1000};
        ::nanosleep(&pause, nullptr);
    }
    if (killed) {
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    return !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

StartResult SpawnCommandRunner::Start(const std::vector<std::string>& argv, const std::string& logFile) {
    StartResult result;
    if (argv.empty()) return result;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
    // A session of its own: the terminal's or the service's hang-up and the signals that
    // end this run do not reach it.
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return result;
    // A program that cannot reach the display ends at once; one that could keeps running,
    // and nothing it says tells when it has drawn.
    const long long deadline = NowMs() + kStartSettleMs;
    int status = 0;
    while (true) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            result.ended.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            result.ended.errors = ReadFileText(logFile);
            return result;
        }
        if (done < 0 && errno != EINTR) break;
        if (NowMs() >= deadline) break;
        const timespec pause{0, 5 * 1000 * 1000};
        ::nanosleep(&pause, nullptr);
    }
    result.running = true;
    result.pid = pid;
    return result;
}

CommandResult SpawnCommandRunner::Run(const std::vector<std::string>& argv) {
    CommandResult result;
    if (argv.empty()) return result;
    int pipes[2] = {-1, -1};
    const pid_t pid = Spawn(argv, pipes);
    if (pid < 0) return result;
    const long long deadline = NowMs() + timeLimitMs_;
    const bool killed = ReadUntilClosed(pid, pipes, deadline, result);
    result.status = WaitForExit(pid, deadline, killed);
    return result;
}

}  // namespace vexal
