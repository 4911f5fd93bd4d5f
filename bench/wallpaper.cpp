// Installing a large photo, against peers in the same run, as ratios of median wall
// times: "vexal -wp big.png" against "feh --bg-scale big.png" on the same Xvfb screen
// (both stretch the photo over the root window), and the PNG-to-bitmap conversion
// against ImageMagick's "convert big.png big.bmp". Also the peak memory of the vexal
// run against its budget: 1.2 times the decoded photo (width × height × 4) plus 16 MiB.
//
//   bench_wallpaper [runs] [vexal binary]    (defaults 9, the vexal beside this build)
#include <fcntl.h>
#include <signal.h>
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

#include "platform/linux/qt_image_decoder.h"
#include "platform/posix/posix_file_system.h"
#include "wallpaper/image_library.h"

namespace {

constexpr int kWidth = 6000, kHeight = 4000;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Outcome {
    int status = -1;
    double seconds = 0;
    long peakKiB = 0;
};

// Runs argv in `dir` with `env`, output discarded; its wall time and peak resident size.
Outcome Run(const std::vector<std::string>& args, const std::vector<std::string>& env,
            const std::string& dir) {
    std::vector<std::string> a = args, e = env;
    std::vector<char*> argv, envp;
    for (auto& s : a) argv.push_back(s.data());
    argv.push_back(nullptr);
    for (auto& s : e) envp.push_back(s.data());
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
    o.seconds = Seconds(start);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    o.peakKiB = usage.ru_maxrss;
    return o;
}

// A photo stand-in: smooth light and colour across the frame with independent grain of
// up to ±8 in every channel of every pixel, like a sensor's noise, so that it compresses
// about as badly as a photograph does (about 1.75 bytes a pixel).
bool MakePhoto(const std::string& path) {
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    std::uint32_t seed = 12345;
    auto grain = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<int>((seed >> 16) % 17) - 8;
    };
    auto clamp = [](int v) { return std::clamp(v, 0, 255); };
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < kWidth; ++x)
            row[x] = qRgb(clamp(x * 255 / kWidth + grain()), clamp(y * 255 / kHeight + grain()),
                          clamp(128 + ((x / 40 + y / 30) % 64) + grain()));
    }
    return img.save(QString::fromStdString(path), "PNG");
}

struct Xvfb {
    pid_t pid = -1;
    std::string display;
    Xvfb() {
        int fds[2];
        if (::pipe(fds) != 0) return;
        const std::string fd = std::to_string(fds[1]);
        pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 2);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-noreset", "-nolisten", "tcp", "-screen", "0",
                     "1920x1080x24", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string number;
        char c;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
        ::close(fds[0]);
        if (!number.empty()) display = ":" + number;
    }
    ~Xvfb() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const std::string vexal =
        argc > 2
            ? std::string(argv[2])
            : (std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "vexal").string();
    std::string pattern = (std::filesystem::temp_directory_path() / "vexal-wallpaper-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return 1;
    const std::string dir = pattern;
    const std::string png = dir + "/big.png";
    const auto made = Clock::now();
    if (!MakePhoto(png)) return 1;
    std::printf("photo: %dx%d PNG, %.1f MB (made in %.1f s)\n", kWidth, kHeight,
                static_cast<double>(std::filesystem::file_size(png)) / 1e6, Seconds(made));

    Xvfb xvfb;
    if (xvfb.display.empty()) {
        std::fprintf(stderr, "Xvfb could not be started\n");
        return 1;
    }
    const char* path = std::getenv("PATH");
    const std::vector<std::string> env = {"PATH=" + std::string(path ? path : "/usr/bin:/bin"),
                                          "HOME=" + dir,
                                          "DISPLAY=" + xvfb.display,
                                          "XDG_DATA_HOME=" + dir + "/data",
                                          "VEXAL_NONINTERACTIVE=1",
                                          "VEXAL_DESKTOP=x11"};
    std::ofstream(dir + "/vexal.ini", std::ios::binary)
        << "'vexal   ver.1.00\r\n\r\nNewMsg = (new)\r\nCacheFileName = wpcache\r\nWinFolderWPname = "
           "wallpaper.bmp\r\n"
           "TimeOut = 30\r\n-\r\nName = stretch\r\nUrl = "
        << dir
        << "/big.png\r\nFilter = 000000\r\nExt = 1111\r\nWpState = 2\r\nNo = 0\r\nNo_n = 1\r\nRefstr = \r\n";

    // One entry run records the stretched style, which "-wp" then keeps, so both programs
    // do the same work: decode, scale to the screen, set the root background.
    Outcome warm = Run({vexal, "stretch"}, env, dir);
    if (warm.status != 0) {
        std::fprintf(stderr, "vexal failed (status %d)\n", warm.status);
        return 1;
    }
    Run({"feh", "--bg-scale", png}, env, dir);

    std::vector<double> vexalTimes, fehTimes, pairRatios;
    long peakKiB = 0;
    for (int i = 0; i < runs; ++i) {
        const Outcome v = Run({vexal, "-wp", png}, env, dir);
        const Outcome f = Run({"feh", "--no-fehbg", "--bg-scale", png}, env, dir);
        if (v.status != 0 || f.status != 0) {
            std::fprintf(stderr, "a run failed (vexal %d, feh %d)\n", v.status, f.status);
            return 1;
        }
        vexalTimes.push_back(v.seconds);
        fehTimes.push_back(f.seconds);
        pairRatios.push_back(v.seconds / f.seconds);
        peakKiB = std::max(peakKiB, v.peakKiB);
    }
    const double vexalMedian = Median(vexalTimes), fehMedian = Median(fehTimes);
    std::printf("vexal -wp big.png          %7.3f s  (median of %d)\n", vexalMedian, runs);
    std::printf("feh --bg-scale big.png     %7.3f s\n", fehMedian);
    std::printf("ratio                      %7.2f  (target <= 1.00)\n", vexalMedian / fehMedian);
    // Runs alternate, so the median of each pair's ratio is the figure least moved by
    // other work on the machine.
    std::printf("median ratio of pairs      %7.2f\n", Median(pairRatios));

    const double budgetMiB = 1.2 * kWidth * kHeight * 4 / 1048576.0 + 16;
    std::printf("peak memory of vexal       %7.1f MiB (budget %.1f MiB)\n", peakKiB / 1024.0, budgetMiB);

    // The conversion on its own: the image library's calls in this process against a
    // fresh ImageMagick process (its start-up is a few milliseconds of several seconds).
    vexal::QtImageDecoder decoder;
    vexal::PosixFileSystem files;
    std::vector<double> ours, magick;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        vexal::ImageLibrary library(decoder, files);
        const std::int32_t handle = library.PNGtoDIB(png);
        const bool written = handle != 0 && library.DIBtoBMP(dir + "/ours.bmp", handle) != 0;
        library.DeleteDIB(handle);
        ours.push_back(Seconds(start));
        const Outcome m = Run({"/usr/bin/convert", png, dir + "/magick.bmp"}, env, dir);
        if (!written || m.status != 0) {
            std::fprintf(stderr, "a conversion failed\n");
            return 1;
        }
        magick.push_back(m.seconds);
    }
    const double oursMedian = Median(ours), magickMedian = Median(magick);
    std::printf("PNG to BMP, image library  %7.3f s\n", oursMedian);
    std::printf("convert big.png big.bmp    %7.3f s\n", magickMedian);
    std::printf("ratio                      %7.2f  (target <= 1.00)\n", oursMedian / magickMedian);

    std::filesystem::remove_all(dir);
    return 0;
}
