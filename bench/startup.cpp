// Start-up and peak memory of "vexal -wp" against "feh --bg-scale" on the same private X
// server: with a picture so small that a run is almost all start-up (median wall times of
// alternating runs and their ratio), and with a 6000 × 4000 photo, where the peak resident
// memory of each is set against the decoded picture's size.
//
//   bench_startup [runs] [vexal binary]    (defaults 21, the vexal beside this build)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/posix/temp_dir.h"
#include "tests/posix/xvfb_server.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Outcome {
    int status = -1;
    double seconds = 0;
    long peakKiB = 0;
};

// Runs argv in `dir` with `env`, output discarded; its wall time and peak resident size.
Outcome Run(std::vector<std::string> args, std::vector<std::string> env, const std::string& dir) {
    std::vector<char*> argv, envp;
    for (auto& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);
    for (auto& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    Outcome o;
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (::chdir(dir.c_str()) != 0) ::_exit(126);
        ::execvpe(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    o.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    o.peakKiB = usage.ru_maxrss;
    return o;
}

// A photo stand-in with grain in every channel, so that it compresses as a photo does.
QImage Photo(int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    std::uint32_t seed = 7;
    auto grain = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<int>((seed >> 16) % 17) - 8;
    };
    auto clamp = [](int v) { return std::clamp(v, 0, 255); };
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = qRgb(clamp(x * 255 / width + grain()), clamp(y * 255 / height + grain()),
                          clamp(96 + (x ^ y) % 64 + grain()));
    }
    return img;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    const std::string vexal =
        argc > 2
            ? std::string(argv[2])
            : (std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "vexal").string();
    vexal::testing::TempDir dir;
    const std::string png = dir / "tiny.png";
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(0xFF2060A0u);
    if (!img.save(QString::fromStdString(png), "PNG")) return 1;
    std::ofstream(dir / "vexal.ini", std::ios::binary)
        << "'vexal   ver.1.00\r\n\r\nNewMsg = (new)\r\nCacheFileName = wpcache\r\nWinFolderWPname = "
           "wallpaper.bmp\r\nTimeOut = 30\r\n-\r\n";

    vexal::testing::XvfbServer xvfb("1920x1080x24");
    if (xvfb.display().empty()) {
        std::fprintf(stderr, "Xvfb could not be started\n");
        return 1;
    }
    const char* path = std::getenv("PATH");
    const std::vector<std::string> env = {"PATH=" + std::string(path ? path : "/usr/bin:/bin"),
                                          "HOME=" + dir.path(),
                                          "DISPLAY=" + xvfb.display(),
                                          "XDG_DATA_HOME=" + dir / "data",
                                          "VEXAL_NONINTERACTIVE=1",
                                          "VEXAL_DESKTOP=x11"};
    const std::vector<std::string> ours = {vexal, "-wp", png};
    const std::vector<std::string> feh = {"feh", "--no-fehbg", "--bg-scale", png};
    // One run each first, so both start from warm caches.
    if (Run(ours, env, dir.path()).status != 0 || Run(feh, env, dir.path()).status != 0) {
        std::fprintf(stderr, "a first run failed\n");
        return 1;
    }
    std::vector<double> oursTimes, fehTimes;
    long oursPeak = 0, fehPeak = 0;
    for (int i = 0; i < runs; ++i) {
        const Outcome v = Run(ours, env, dir.path());
        const Outcome f = Run(feh, env, dir.path());
        if (v.status != 0 || f.status != 0) {
            std::fprintf(stderr, "a run failed (vexal %d, feh %d)\n", v.status, f.status);
            return 1;
        }
        oursTimes.push_back(v.seconds);
        fehTimes.push_back(f.seconds);
        oursPeak = std::max(oursPeak, v.peakKiB);
        fehPeak = std::max(fehPeak, f.peakKiB);
    }
    // Peak memory with a large photo: the most of three runs each.
    constexpr int kWidth = 6000, kHeight = 4000;
    const std::string big = dir / "big.png";
    if (!Photo(kWidth, kHeight).save(QString::fromStdString(big), "PNG")) return 1;
    long oursBigPeak = 0, fehBigPeak = 0;
    for (int i = 0; i < 3; ++i) {
        const Outcome v = Run({vexal, "-wp", big}, env, dir.path());
        const Outcome f = Run({"feh", "--no-fehbg", "--bg-scale", big}, env, dir.path());
        if (v.status != 0 || f.status != 0) {
            std::fprintf(stderr, "a run with the photo failed (vexal %d, feh %d)\n", v.status, f.status);
            return 1;
        }
        oursBigPeak = std::max(oursBigPeak, v.peakKiB);
        fehBigPeak = std::max(fehBigPeak, f.peakKiB);
    }
    const double budgetMiB = 1.2 * kWidth * kHeight * 4 / 1048576.0 + 16;

    const double v = Median(oursTimes) * 1e3, f = Median(fehTimes) * 1e3;
    std::printf("vexal -wp tiny.png          %7.1f ms  (median of %d), peak %.1f MiB\n", v, runs,
                oursPeak / 1024.0);
    std::printf("feh --bg-scale tiny.png     %7.1f ms, peak %.1f MiB\n", f, fehPeak / 1024.0);
    std::printf("ratio                       %7.2f\n", v / f);
    std::printf("peak memory, %dx%d photo   vexal %.1f MiB, feh %.1f MiB (budget for vexal %.1f MiB)\n",
                kWidth, kHeight, oursBigPeak / 1024.0, fehBigPeak / 1024.0, budgetMiB);
    std::printf("@ startup.vexal_ms %.1f\n@ startup.feh_ms %.1f\n", v, f);
    std::printf("@ photo.vexal_peak_mib %.1f\n@ photo.feh_peak_mib %.1f\n@ photo.budget_mib %.1f\n",
                oursBigPeak / 1024.0, fehBigPeak / 1024.0, budgetMiB);
    std::printf("@ startup.vexal_peak_mib %.1f\n@ startup.feh_peak_mib %.1f\n", oursPeak / 1024.0,
                fehPeak / 1024.0);
    return 0;
}
