// Installing a large photo, against peers in the same run, as ratios of median wall
// times: the photo as PNG and as JPEG, installed through an entry ("vexal NAME") and
// directly ("vexal -wp FILE"), and as WebP directly, each against "feh --bg-scale FILE" on
// the same Xvfb screen (all stretch the photo over the root window), and the JPEG through
// an entry with the fill style against "feh --bg-fill FILE", with the peak memory of each;
// two photos, one on each of two 1920 × 1080 screens (EachScreen, fill), against "feh
// --bg-fill a b"; the PNG-to-bitmap conversion against ImageMagick's "convert big.png big.bmp", and the
// WebP-to-bitmap one against libwebp's "dwebp -bmp". The peak memory of "vexal -wp
// big.png" is also held to its budget: 1.2 times the decoded photo (width × height × 4)
// plus 16 MiB.
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
#include <functional>
#include <string>
#include <vector>

#include "platform/linux/qt_image_decoder.h"
#include "platform/posix/posix_file_system.h"
#include "wallpaper/bmp_writer.h"

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
QImage MakePhoto() {
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
    return img;
}

struct Xvfb {
    pid_t pid = -1;
    std::string display;
    // With Xinerama, monitors made by xrandr --setmonitor are the screens feh sees.
    explicit Xvfb(const char* size = "1920x1080x24", bool xinerama = false) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        const std::string fd = std::to_string(fds[1]);
        pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 2);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-noreset", "-nolisten", "tcp", "-screen", "0",
                     size, xinerama ? "+xinerama" : "-xinerama", static_cast<char*>(nullptr));
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

struct Case {
    Case(const char* key, std::vector<std::string> command, std::string file,
         const char* fehStyle = "--bg-scale")
        : name(key), vexal(std::move(command)), picture(std::move(file)), feh(fehStyle) {}
    const char* name;  // the key of its figures
    std::vector<std::string> vexal;
    std::string picture;  // what feh is given
    const char* feh;      // and how it lays it out
    std::vector<double> times, fehTimes, ratios;
    long peakKiB = 0, fehPeakKiB = 0;
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
    const std::string png = dir + "/big.png", jpg = dir + "/big.jpg", webp = dir + "/big.webp";
    const auto made = Clock::now();
    {
        const QImage photo = MakePhoto();
        // Quality 90 with the encoder's default 2 × 2 colour subsampling, as cameras and
        // photo editors commonly save.
        if (!photo.save(QString::fromStdString(png), "PNG") ||
            !photo.save(QString::fromStdString(jpg), "JPEG", 90))
            return 1;
    }
    // WebP at the same quality, by libwebp's own encoder.
    if (Run({"cwebp", "-quiet", "-q", "90", png, "-o", webp}, {"PATH=/usr/bin:/bin"}, dir).status != 0) {
        std::fprintf(stderr, "cwebp failed (scripts/setup installs the webp tools)\n");
        return 1;
    }
    std::printf("photo: %dx%d, PNG %.1f MB, JPEG %.1f MB, WebP %.1f MB (made in %.1f s)\n", kWidth, kHeight,
                static_cast<double>(std::filesystem::file_size(png)) / 1e6,
                static_cast<double>(std::filesystem::file_size(jpg)) / 1e6,
                static_cast<double>(std::filesystem::file_size(webp)) / 1e6, Seconds(made));

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
    auto entry = [&dir](const char* name, const std::string& url, const char* style = "2") {
        return std::string("-\r\nName = ") + name + "\r\nUrl = " + url +
               "\r\nFilter = 000000\r\nExt = 1111\r\nWpState = " + style +
               "\r\nNo = 0\r\nNo_n = 1\r\nRefstr = \r\n";
    };
    std::ofstream(dir + "/vexal.ini", std::ios::binary)
        << "'vexal   ver.1.00\r\n\r\nNewMsg = (new)\r\nCacheFileName = wpcache\r\nWinFolderWPname = "
           "wallpaper.bmp\r\nTimeOut = 30\r\n"
        << entry("stretch", png) << entry("photo", jpg) << entry("fill", jpg, "3");

    // An entry run records the stretched style, which "-wp" then keeps, so every program
    // does the same work: decode, scale to the screen, set the root background.
    Outcome warm = Run({vexal, "stretch"}, env, dir);
    if (warm.status != 0) {
        std::fprintf(stderr, "vexal failed (status %d)\n", warm.status);
        return 1;
    }
    Run({"feh", "--bg-scale", png}, env, dir);
    Run({"feh", "--bg-scale", jpg}, env, dir);
    Run({"feh", "--bg-scale", webp}, env, dir);
    Run({vexal, "fill"}, env, dir);
    Run({"feh", "--bg-fill", jpg}, env, dir);

    // The fill entry records its style, so it runs just before an entry that records the
    // stretched one again for the "-wp" runs after it.
    std::vector<Case> cases = {
        {"jpeg.fill", {vexal, "fill"}, jpg, "--bg-fill"},
        {"jpeg.entry", {vexal, "photo"}, jpg},
        {"jpeg.wp", {vexal, "-wp", jpg}, jpg},
        {"webp.wp", {vexal, "-wp", webp}, webp},
        {"png.entry", {vexal, "stretch"}, png},
        {"png.wp", {vexal, "-wp", png}, png},
    };
    // One run of ours, then feh's, alternating so that other work moves both alike.
    auto runPair = [&dir](Case& c, const std::vector<std::string>& withEnv,
                          const std::vector<std::string>& fehCommand) {
        const Outcome v = Run(c.vexal, withEnv, dir);
        const Outcome f = Run(fehCommand, withEnv, dir);
        if (v.status != 0 || f.status != 0) {
            std::fprintf(stderr, "a run of %s failed (vexal %d, feh %d)\n", c.name, v.status, f.status);
            return false;
        }
        c.times.push_back(v.seconds);
        c.fehTimes.push_back(f.seconds);
        c.ratios.push_back(v.seconds / f.seconds);
        c.peakKiB = std::max(c.peakKiB, v.peakKiB);
        c.fehPeakKiB = std::max(c.fehPeakKiB, f.peakKiB);
        return true;
    };
    for (int i = 0; i < runs; ++i)
        for (Case& c : cases)
            if (!runPair(c, env, {"feh", "--no-fehbg", c.feh, c.picture})) return 1;
    for (const Case& c : cases) {
        std::string command;
        for (std::size_t i = 1; i < c.vexal.size(); ++i)
            command += " " + std::filesystem::path(c.vexal[i]).filename().string();
        const double ours = Median(c.times), feh = Median(c.fehTimes);
        std::printf(
            "vexal%-20s %7.3f s, peak %6.1f MiB; feh %7.3f s, peak %6.1f MiB; ratio %.2f (pairs %.2f)\n",
            command.c_str(), ours, c.peakKiB / 1024.0, feh, c.fehPeakKiB / 1024.0, ours / feh,
            Median(c.ratios));
        std::printf(
            "@ %s_s %.3f\n@ %s_feh_s %.3f\n@ %s_pairs %.2f\n@ %s_peak_mib %.1f\n@ %s_feh_peak_mib %.1f\n",
            c.name, ours, c.name, feh, c.name, Median(c.ratios), c.name, c.peakKiB / 1024.0, c.name,
            c.fehPeakKiB / 1024.0);
    }
    // A picture for each screen: two photos on two 1920 × 1080 monitors of one Xinerama
    // screen, filled, against feh given both, which sets one on each monitor.
    {
        const std::string each = dir + "/each", second = dir + "/each/b.jpg";
        std::filesystem::create_directory(each);
        std::filesystem::copy_file(jpg, each + "/a.jpg");
        {
            QImage other = MakePhoto().mirrored(true, false);
            if (!other.save(QString::fromStdString(second), "JPEG", 90)) return 1;
        }
        Xvfb two("3840x1080x24", true);
        if (two.display.empty()) {
            std::fprintf(stderr, "Xvfb could not be started\n");
            return 1;
        }
        std::vector<std::string> twoEnv = env;
        for (std::string& e : twoEnv)
            if (e.rfind("DISPLAY=", 0) == 0) e = "DISPLAY=" + two.display;
        if (Run({"xrandr", "--setmonitor", "L", "1920/508x1080/286+0+0", "screen"}, twoEnv, dir).status !=
                0 ||
            Run({"xrandr", "--setmonitor", "R", "1920/508x1080/286+1920+0", "none"}, twoEnv, dir).status !=
                0) {
            std::fprintf(stderr, "xrandr could not make two monitors\n");
            return 1;
        }
        std::ofstream(dir + "/vexal.ini", std::ios::binary | std::ios::app)
            << "-\r\nName = each\r\nUrl = " << each
            << "/\r\nFilter = 000000\r\nExt = 1111\r\nWpState = 3\r\nNo = 2\r\nNo_n = 1\r\nRefstr = "
               "\r\nEachScreen = 1\r\n";
        Case c{"each.fill", {vexal, "each"}, each + "/a.jpg", "--bg-fill"};
        Run(c.vexal, twoEnv, dir);
        Run({"feh", "--no-fehbg", "--bg-fill", each + "/a.jpg", second}, twoEnv, dir);
        for (int i = 0; i < runs; ++i)
            if (!runPair(c, twoEnv, {"feh", "--no-fehbg", "--bg-fill", each + "/a.jpg", second})) return 1;
        const double ours = Median(c.times), feh = Median(c.fehTimes);
        std::printf(
            "vexal each (EachScreen)    %7.3f s, peak %6.1f MiB; feh a b %7.3f s, peak %6.1f MiB; "
            "ratio %.2f (pairs %.2f), memory %.2f (targets <= 0.50)\n",
            ours, c.peakKiB / 1024.0, feh, c.fehPeakKiB / 1024.0, ours / feh, Median(c.ratios),
            static_cast<double>(c.peakKiB) / c.fehPeakKiB);
        std::printf(
            "@ each.fill_s %.3f\n@ each.fill_feh_s %.3f\n@ each.fill_pairs %.2f\n@ each.fill_peak_mib %.1f\n"
            "@ each.fill_feh_peak_mib %.1f\n",
            ours, feh, Median(c.ratios), c.peakKiB / 1024.0, c.fehPeakKiB / 1024.0);
    }

    // The summary of "vexal -wp big.png" in the lines bench/run reads for its own rows.
    const Case& wp = cases.back();
    const double vexalMedian = Median(wp.times), fehMedian = Median(wp.fehTimes);
    std::printf("vexal -wp big.png          %7.3f s  (median of %d)\n", vexalMedian, runs);
    std::printf("feh --bg-scale big.png     %7.3f s\n", fehMedian);
    std::printf("ratio                      %7.2f  (target <= 0.70)\n", vexalMedian / fehMedian);
    // Runs alternate, so the median of each pair's ratio is the figure least moved by
    // other work on the machine.
    std::printf("median ratio of pairs      %7.2f\n", Median(wp.ratios));

    const double budgetMiB = 1.2 * kWidth * kHeight * 4 / 1048576.0 + 16;
    std::printf("peak memory of vexal       %7.1f MiB (budget %.1f MiB)\n", wp.peakKiB / 1024.0, budgetMiB);

    // The conversion on its own, as the program runs it (the rows written while they are
    // decoded), in this process against a fresh ImageMagick process (its start-up is a
    // few milliseconds of several seconds).
    vexal::QtImageDecoder decoder;
    std::vector<double> ours, magick;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        const vexal::BmpFromFile converted = decoder.DecodeToBmp(png, dir + "/ours.bmp");
        ours.push_back(Seconds(start));
        const Outcome m = Run({"/usr/bin/convert", png, dir + "/magick.bmp"}, env, dir);
        if (!converted.written || m.status != 0) {
            std::fprintf(stderr, "a conversion failed\n");
            return 1;
        }
        magick.push_back(m.seconds);
    }
    const double oursMedian = Median(ours), magickMedian = Median(magick);
    std::printf("PNG to BMP, while decoding %7.3f s\n", oursMedian);
    std::printf("convert big.png big.bmp    %7.3f s\n", magickMedian);
    std::printf("ratio                      %7.2f  (target <= 1.00)\n", oursMedian / magickMedian);

    // A photo converted into a bitmap in a process of its own (`convert` is what that
    // process does), against the format's own tool given `peer`, alternating; both peaks
    // are those of a process of their own. False when a conversion failed.
    struct Pairs {
        std::vector<double> ours, peer, ratios;
        long oursPeakKiB = 0, peerPeakKiB = 0;
    };
    auto convertPairs = [&](const std::function<bool()>& convert, const std::vector<std::string>& peer,
                            Pairs& out) {
        for (int i = 0; i < runs; ++i) {
            const auto start = Clock::now();
            const pid_t child = ::fork();
            if (child == 0) ::_exit(convert() ? 0 : 1);
            int status = 0;
            rusage usage{};
            ::wait4(child, &status, 0, &usage);
            out.ours.push_back(Seconds(start));
            out.oursPeakKiB = std::max(out.oursPeakKiB, usage.ru_maxrss);
            const Outcome d = Run(peer, env, dir);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || d.status != 0) return false;
            out.peer.push_back(d.seconds);
            out.peerPeakKiB = std::max(out.peerPeakKiB, d.peakKiB);
            out.ratios.push_back(out.ours.back() / d.seconds);
        }
        return true;
    };

    // The WebP photo the same way, against libwebp's own tool writing a bitmap: a floor, as
    // it does nothing else.
    Pairs webpRuns;
    if (!convertPairs(
            [&] {
                vexal::QtImageDecoder own;
                return own.DecodeToBmp(webp, dir + "/ours.bmp").written;
            },
            {"dwebp", "-quiet", webp, "-bmp", "-o", dir + "/dwebp.bmp"}, webpRuns)) {
        std::fprintf(stderr, "a WebP conversion failed\n");
        return 1;
    }
    std::printf("WebP to BMP, while decoding %6.3f s, peak %6.1f MiB\n", Median(webpRuns.ours),
                webpRuns.oursPeakKiB / 1024.0);
    std::printf("dwebp -bmp big.webp         %6.3f s, peak %6.1f MiB\n", Median(webpRuns.peer),
                webpRuns.peerPeakKiB / 1024.0);
    std::printf("ratio                      %7.2f  (pairs %.2f, target <= 1.30)\n",
                Median(webpRuns.ours) / Median(webpRuns.peer), Median(webpRuns.ratios));
    std::printf(
        "@ webp.bmp_s %.3f\n@ webp.dwebp_s %.3f\n@ webp.bmp_pairs %.2f\n@ webp.bmp_peak_mib %.1f\n"
        "@ webp.dwebp_peak_mib %.1f\n",
        Median(webpRuns.ours), Median(webpRuns.peer), Median(webpRuns.ratios), webpRuns.oursPeakKiB / 1024.0,
        webpRuns.peerPeakKiB / 1024.0);

    // The AVIF photo decoded into a bitmap against the format's own decoder writing raw
    // frames (y4m, its cheapest output: no colour conversion and no compression, so a
    // floor). Skipped where libavif's tools are not installed.
    const std::string avif = dir + "/big.avif";
    if (Run({"avifenc", "-s", "8", "--min", "20", "--max", "30", "-j", "2", png, avif},
            {"PATH=/usr/bin:/bin"}, dir)
            .status != 0) {
        std::fprintf(stderr, "avifenc failed (scripts/setup installs libavif-bin): no AVIF row\n");
    } else {
        Pairs avifRuns;
        if (!convertPairs(
                [&] {
                    vexal::QtImageDecoder own;
                    vexal::PosixFileSystem files;
                    vexal::Picture picture;
                    return own.Decode(avif, picture).Ok() &&
                           vexal::WriteBmp(files, dir + "/ours.bmp", picture);
                },
                {"avifdec", "-j", "2", avif, dir + "/avifdec.y4m"}, avifRuns)) {
            std::fprintf(stderr, "an AVIF conversion failed\n");
            return 1;
        }
        std::printf("AVIF to BMP                 %6.3f s, peak %6.1f MiB\n", Median(avifRuns.ours),
                    avifRuns.oursPeakKiB / 1024.0);
        std::printf("avifdec big.avif big.y4m    %6.3f s, peak %6.1f MiB\n", Median(avifRuns.peer),
                    avifRuns.peerPeakKiB / 1024.0);
        std::printf(
            "@ avif.bmp_s %.3f\n@ avif.avifdec_s %.3f\n@ avif.bmp_pairs %.2f\n@ avif.bmp_peak_mib %.1f\n"
            "@ avif.avifdec_peak_mib %.1f\n",
            Median(avifRuns.ours), Median(avifRuns.peer), Median(avifRuns.ratios),
            avifRuns.oursPeakKiB / 1024.0, avifRuns.peerPeakKiB / 1024.0);
    }

    if (std::getenv("VEXAL_BENCH_KEEP")) {
        std::printf("kept: %s\n", dir.c_str());
        return 0;
    }
    std::filesystem::remove_all(dir);
    return 0;
}
