// Processor time the real program spends while a transfer waits on a server that took
// the request and never answers: without windows (the poll() reactor alone) and with its
// Qt windows on a private X server. Sampled from /proc over a window that starts after
// the request arrived, as a percentage of one core (target: under 2).
//
//   bench_idle_cpu [seconds] [vexal binary]    (defaults 5, the vexal beside this build)
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/posix/loopback_server.h"
#include "tests/posix/temp_dir.h"
#include "tests/posix/xvfb_server.h"

namespace {

using Clock = std::chrono::steady_clock;

// User and system time of process `pid` so far, in seconds; -1 when it is gone.
double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    // After the command name: state, then fields 4 onwards; utime and stime are 14 and 15.
    std::vector<std::string> fields;
    std::size_t at = close + 2;
    while (at < stat.size() && fields.size() < 13) {
        const std::size_t space = stat.find(' ', at);
        fields.push_back(stat.substr(at, space - at));
        if (space == std::string::npos) break;
        at = space + 1;
    }
    if (fields.size() < 13) return -1;
    const double ticks = std::strtod(fields[11].c_str(), nullptr) + std::strtod(fields[12].c_str(), nullptr);
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

pid_t Spawn(std::vector<std::string> args, std::vector<std::string> env, const std::string& dir) {
    std::vector<char*> argv, envp;
    for (auto& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);
    for (auto& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (::chdir(dir.c_str()) != 0) ::_exit(126);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    return pid;
}

// Percentage of one core used by the program over `seconds` of waiting; -1 on failure.
double Measure(const std::string& vexal, const std::string& display, bool windows, double seconds) {
    vexal::testing::LoopbackServer server([](vexal::testing::ServerConnection& c, int) {
        c.ReadRequest();
        c.WaitForClose();
    });
    vexal::testing::TempDir dir;
    std::ofstream(dir / "vexal.ini", std::ios::binary)
        << "'vexal   ver.1.00\r\n\r\nNewMsg = (new)\r\nCacheFileName = wpcache\r\nWinFolderWPname = "
           "wallpaper.bmp\r\nTimeOut = 600\r\n-\r\nName = silent\r\nUrl = "
        << server.Url("/page.html")
        << "\r\nComment = \r\nFilter = 110000\r\nExt = 1111\r\nWpState = 0\r\nNo = 0\r\nNo_n = 1\r\nRefstr = "
           "\r\n";
    const char* path = std::getenv("PATH");
    std::vector<std::string> env = {"PATH=" + std::string(path ? path : "/usr/bin:/bin"),
                                    "HOME=" + dir.path(), "DISPLAY=" + display,
                                    "XDG_DATA_HOME=" + dir / "data", "VEXAL_DESKTOP=x11"};
    if (!windows) env.push_back("VEXAL_NONINTERACTIVE=1");
    const pid_t pid = Spawn({vexal, "silent"}, env, dir.path());

    // The wait starts when the request has arrived; start-up is not counted.
    const auto until = Clock::now() + std::chrono::seconds(20);
    while (server.requests().empty() && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    double percent = -1;
    if (!server.requests().empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const double before = CpuSeconds(pid);
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const double after = CpuSeconds(pid);
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        if (before >= 0 && after >= 0) percent = (after - before) / wall * 100;
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return percent;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 5;
    const std::string vexal =
        argc > 2
            ? std::string(argv[2])
            : (std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "vexal").string();
    vexal::testing::XvfbServer xvfb("1024x768x24");
    if (xvfb.display().empty()) {
        std::fprintf(stderr, "Xvfb could not be started\n");
        return 1;
    }
    const double plain = Measure(vexal, xvfb.display(), false, seconds);
    const double windows = Measure(vexal, xvfb.display(), true, seconds);
    if (plain < 0 || windows < 0) {
        std::fprintf(stderr, "the program did not reach the waiting transfer\n");
        return 1;
    }
    std::printf("waiting on a silent server, %.0f s each (processor time, %% of one core):\n", seconds);
    std::printf("  without windows            %5.2f %%\n", plain);
    std::printf("  with its Qt windows        %5.2f %%\n", windows);
    std::printf("@ idle.plain_pct %.2f\n@ idle.windows_pct %.2f\n", plain, windows);
    return plain < 2 && windows < 2 ? 0 : 1;
}
