// The real program when runs overlap, are killed, are told to stop, or find the disk full:
// the installed bitmap is always one whole picture, the old one stays when a run fails,
// and nothing a run was writing is left behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include "posix/loopback_server.h"
#include "posix/program_runner.h"
#include "posix/temp_dir.h"
#include "posix/xvfb_server.h"

#ifdef VEXAL_BINARY
namespace vexal {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A picture of a few mebibytes whose every row differs, so a bitmap mixed from two
// pictures, or cut short, never equals either.
void SavePicture(const std::string& path, int width, int height, std::uint32_t tint, const char* format) {
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(img.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = 0xFF000000u | (tint ^ ((static_cast<std::uint32_t>((x * 7 + y * 13) & 0xFF) << 8) |
                                            static_cast<std::uint32_t>(y & 0xFF)));
    }
    ASSERT_TRUE(img.save(QString::fromStdString(path), format, 95)) << path;
}

using RunResult = testing::ProgramRun;

class OverlapTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (xvfb_.display().empty()) GTEST_SKIP() << "Xvfb could not be started";
        // 1600 × 1000: a bitmap of 4.8 MB.
        SavePicture(work_ / "big-a.png", 1600, 1000, 0xFF0000, "PNG");
        SavePicture(work_ / "big-b.jpg", 1600, 1000, 0x0000FF, "JPEG");
        SavePicture(work_ / "big-c.bmp", 1600, 1000, 0x00FF00, "BMP");
        SavePicture(work_ / "small.png", 100, 60, 0x808080, "PNG");
        Settings(work_.path(), {{"a", work_ / "big-a.png"},
                                {"b", work_ / "big-b.jpg"},
                                {"c", work_ / "big-c.bmp"},
                                {"small", work_ / "small.png"}});
    }

    static void Settings(const std::string& folder,
                         const std::vector<std::pair<std::string, std::string>>& entries) {
        std::ofstream ini(folder + "/vexal.ini", std::ios::binary);
        ini << "'vexal   ver.1.00\r\n\r\nNewMsg = (new)\r\nCacheFileName = wpcache\r\n"
               "WinFolderWPname = wallpaper.bmp\r\nTimeOut = 5\r\n";
        for (const auto& [name, url] : entries)
            ini << "-\r\nName = " << name << "\r\nUrl = " << url
                << "\r\nComment = \r\nFilter = 000000\r\nExt = 1111\r\nWpState = 2\r\nNo = 0\r\nNo_n = 1\r\n"
                   "Refstr = \r\n";
    }

    // One run started in the background, in the working folder, on the test's display.
    testing::StartedProgram Start(const std::vector<std::string>& args,
                                  const std::map<std::string, std::string>& extraEnv = {}) {
        testing::ProgramOptions options;
        options.dir = workFolder_;
        options.env = testing::UnattendedX11Env(work_.path(), xvfb_.display());
        options.env["XDG_DATA_HOME"] = dataHome_;
        for (const auto& [name, value] : extraEnv) options.env[name] = value;
        return testing::StartedProgram(VEXAL_BINARY, args, options);
    }
    RunResult Run(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {}) {
        return Start(args, env).Finish();
    }

    std::string Bitmap() const { return dataHome_ + "/vexal/wallpaper.bmp"; }

    // Names of files a run was writing, or its working files, left in either folder.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        for (const std::string& folder : {workFolder_, dataHome_ + "/vexal"}) {
            std::error_code ec;
            for (const auto& e : fs::directory_iterator(folder, ec)) {
                const std::string name = e.path().filename().string();
                if (name.rfind("wpcache", 0) == 0 || name.rfind(".vexal-tmp-", 0) == 0) names.push_back(name);
            }
        }
        return names;
    }

    testing::XvfbServer xvfb_;
    testing::TempDir work_;
    std::string workFolder_ = work_.path();
    std::string dataHome_ = work_ / "data";
};

const std::vector<std::string> kNothing;

// Two runs started together, twenty times: both succeed (one waits for the other) and the
// bitmap is always exactly one of the two pictures, never a mix or a cut-off file.
TEST_F(OverlapTest, SimultaneousRunsInstallOneWholePicture) {
    ASSERT_EQ(Run({"a"}).status, 0);
    const std::string a = Slurp(Bitmap());
    ASSERT_EQ(Run({"b"}).status, 0);
    const std::string b = Slurp(Bitmap());
    ASSERT_GT(a.size(), 4u << 20);
    ASSERT_EQ(a.size(), b.size());
    ASSERT_NE(a, b);
    for (int round = 0; round < 20; ++round) {
        testing::StartedProgram first = Start({"a"});
        testing::StartedProgram second = Start({"b"});
        const RunResult r1 = first.Finish(), r2 = second.Finish();
        EXPECT_EQ(r1.status, 0) << "round " << round << ": " << r1.err;
        EXPECT_EQ(r2.status, 0) << "round " << round << ": " << r2.err;
        const std::string installed = Slurp(Bitmap());
        EXPECT_TRUE(installed == a || installed == b) << "round " << round << ": a torn bitmap";
        EXPECT_EQ(Leftovers(), kNothing) << "round " << round;
    }
}

// Killed at random moments of a retrieval of a large picture: the bitmap is the old
// picture or the new one, and the next run clears what the killed ones were writing.
TEST_F(OverlapTest, KilledRunsLeaveTheOldOrTheNewBitmap) {
    ASSERT_EQ(Run({"a"}).status, 0);
    const std::string a = Slurp(Bitmap());
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(Run({"c"}).status, 0);
    const auto oneRun = std::chrono::steady_clock::now() - started;
    const std::string c = Slurp(Bitmap());

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<long long> moment(
        0, std::chrono::duration_cast<std::chrono::microseconds>(oneRun).count());
    for (int round = 0; round < 25; ++round) {
        testing::StartedProgram run = Start({round % 2 ? "a" : "c"});
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        run.Signal(SIGKILL);
        run.Finish();
        const std::string installed = Slurp(Bitmap());
        EXPECT_TRUE(installed == a || installed == c) << "round " << round << ": a torn bitmap";
    }
    const RunResult next = Run({"small"});
    EXPECT_EQ(next.status, 0) << next.err;
    std::vector<std::string> left = Leftovers();
    EXPECT_EQ(left, kNothing) << "the next run removes the killed runs' files";
}

// SIGINT, SIGTERM and SIGHUP in the middle of a download, and while waiting for another
// run: status 1, no message, nothing left, the old wallpaper untouched.
TEST_F(OverlapTest, StopSignalsEndTheRunAndKeepTheWallpaper) {
    const std::string body = Slurp(work_ / "big-c.bmp");
    std::atomic<int> halfSent{0};
    testing::LoopbackServer server([&](testing::ServerConnection& c, int) {
        if (c.ReadRequest().empty()) return;
        c.Send("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n");
        c.Send(std::string_view(body).substr(0, body.size() / 2));
        ++halfSent;
        c.WaitForClose();
    });
    Settings(workFolder_, {{"web", server.Url("/big.bmp")}, {"small", work_ / "small.png"}});
    ASSERT_EQ(Run({"small"}).status, 0);
    const std::string old = Slurp(Bitmap());

    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const int before = halfSent.load();
        testing::StartedProgram run = Start({"web"});
        while (halfSent.load() == before && run.Running())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        // The first half is on its way into a file of the run's own.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        run.Signal(signal);
        const RunResult r = run.Finish();
        EXPECT_EQ(r.status, 1) << strsignal(signal);
        EXPECT_EQ(r.err, "") << strsignal(signal);
        EXPECT_EQ(Leftovers(), kNothing) << strsignal(signal);
        EXPECT_EQ(Slurp(Bitmap()), old) << strsignal(signal);
    }

    // With windows: the preview shows the picture and waits for the user when the signal
    // comes.
    testing::StartedProgram previewing =
        Start({"small", "-preview"}, {{"VEXAL_NONINTERACTIVE", ""}, {"QT_QPA_PLATFORM", "xcb"}});
    for (int i = 0; i < 400 && previewing.Running() && !fs::exists(workFolder_ + "/wpcache.bmp"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_TRUE(previewing.Running());
    previewing.Signal(SIGTERM);
    const RunResult closed = previewing.Finish();
    EXPECT_EQ(closed.status, 1) << closed.err;
    EXPECT_EQ(Leftovers(), kNothing);
    EXPECT_EQ(Slurp(Bitmap()), old);

    // Another run holds the lock: this one waits, ends on a signal, and otherwise goes on
    // once the lock is free.
    const int lock = ::open((dataHome_ + "/vexal/.vexal-lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    testing::StartedProgram waiting = Start({"small"});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(waiting.Running()) << "waits for the lock";
    waiting.Signal(SIGTERM);
    const RunResult stopped = waiting.Finish();
    EXPECT_EQ(stopped.status, 1);
    EXPECT_EQ(stopped.err, "");
    testing::StartedProgram patient = Start({"small"});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(patient.Running());
    ::flock(lock, LOCK_UN);
    ::close(lock);
    const RunResult done = patient.Finish();
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(Leftovers(), kNothing);
}

// A small file system of its own (tmpfs, as root), for the full-disk test.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& path) : path_(path) {
        fs::create_directories(path);
        mounted_ = ::mount("tmpfs", path.c_str(), "tmpfs", 0, "size=1m") == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }

private:
    std::string path_;
    bool mounted_ = false;
};

// Too little room where the bitmap or the working file goes: a message naming the file,
// status 1, the old wallpaper and the settings file untouched, no partial file left.
TEST_F(OverlapTest, FullDiskEndsWithAMessageAndKeepsEverything) {
    const std::string body = Slurp(work_ / "big-c.bmp");
    testing::LoopbackServer server([&](testing::ServerConnection& c, int) {
        if (c.ReadRequest().empty()) return;
        c.Send("HTTP/1.0 200 OK\r\n\r\n");
        c.Send(body);
    });
    SmallDisk disk(work_ / "small");
    if (!disk.mounted()) GTEST_SKIP() << "no tmpfs could be mounted (not root?)";
    const struct {
        const char* name;
        bool dataOnSmallDisk;  // else the working folder is on it
        const char* entry;
        std::string err;
    } rows[] = {
        {"bitmap", true, "c",
         "vexal: 壁紙の変更に失敗しました。\r\n壁紙ファイル " + work_ / "small/data/vexal/wallpaper.bmp" +
             " を書き込めませんでした。\n"},
        {"convertedBitmap", true, "a",
         "vexal: 壁紙の変更に失敗しました。\r\n壁紙ファイル " + work_ / "small/data/vexal/wallpaper.bmp" +
             " を書き込めませんでした。\n"},
        {"workingCopy", false, "c",
         "vexal 1.00: 画像ファイル " + work_ / "big-c.bmp" + " を wpcache.bmp にコピーできませんでした。\n"},
        {"download", false, "web", "vexal 1.00: 画像ファイル wpcache.bmp を保存できませんでした。\n"},
    };
    for (const auto& r : rows) {
        dataHome_ = r.dataOnSmallDisk ? work_ / "small/data" : work_ / "data";
        workFolder_ = r.dataOnSmallDisk ? work_.path() : work_ / "small/work";
        fs::create_directories(workFolder_);
        Settings(workFolder_, {{"a", work_ / "big-a.png"},
                               {"c", work_ / "big-c.bmp"},
                               {"web", server.Url("/c.bmp")},
                               {"small", work_ / "small.png"}});
        ASSERT_EQ(Run({"small"}).status, 0) << r.name;
        const std::string old = Slurp(Bitmap()), settings = Slurp(workFolder_ + "/vexal.ini");
        const RunResult run = Run({r.entry});
        EXPECT_EQ(run.status, 1) << r.name;
        EXPECT_EQ(run.err, r.err) << r.name;
        EXPECT_EQ(Slurp(Bitmap()), old) << r.name;
        EXPECT_EQ(Slurp(workFolder_ + "/vexal.ini"), settings) << r.name;
        EXPECT_EQ(Leftovers(), kNothing) << r.name;
        fs::remove_all(r.dataOnSmallDisk ? dataHome_ : workFolder_);
    }
}

}  // namespace
}  // namespace vexal
#endif
