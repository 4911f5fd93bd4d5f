// The real vexal program against real desktops running headless: sway (pure Wayland, no
// Xwayland) read back with grim, and XFCE's xfdesktop under openbox, LXQt's pcmanfm-qt and
// LXDE's pcmanfm on Xvfb read back from the root window, each style of an entry on the
// screen; and the editor's close box worked by a real window manager.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>

#include "platform/linux/command_runner.h"
#include "platform/linux/desktop_programs.h"
#include "platform/linux/x11_root.h"
#include "platform/posix/posix_file_system.h"
#include "posix/desktop_session.h"
#include "posix/program_runner.h"
#include "posix/temp_dir.h"
#include "posix/xvfb_server.h"
#include "wallpaper/bmp_writer.h"

#ifdef VEXAL_BINARY
namespace vexal {
namespace {

constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;
constexpr std::uint32_t kMagenta = 0xFF00FF;
constexpr int kScreenWidth = 320, kScreenHeight = 240;

// 40 × 30 in four quadrants: red top left, green top right, blue bottom left, white
// bottom right, between magenta bands `frame` wide at the left and right; written as the
// bitmap an entry points at.
bool WriteQuadrants(const std::string& path, int frame = 0) {
    const int width = 40 + 2 * frame;
    std::vector<std::uint32_t> px(static_cast<std::size_t>(width) * 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < width; ++x) {
            const int q = x - frame;
            px[static_cast<std::size_t>(y) * width + x] =
                0xFF000000u | (q < 0 || q >= 40 ? kMagenta
                               : y < 15         ? (q < 20 ? kRed : kGreen)
                                                : (q < 20 ? kBlue : kWhite));
        }
    PosixFileSystem files;
    return WriteBmp(files, path, Picture::FromPixels(width, 30, std::move(px)));
}

// A settings file with one entry per style: the first three on the picture of the
// screen's shape, fill and fit on the framed one, twice as wide as high.
void WriteSettings(const std::string& folder, const std::string& picture, const std::string& framed) {
    std::ofstream ini(folder + "/vexal.ini", std::ios::binary);
    ini << "'vexal   ver.1.00\r\n\r\nCacheFileName = wpcache\r\nWinFolderWPname = wall.bmp\r\nTimeOut = "
           "30\r\n";
    const char* names[] = {"centred", "tiled", "stretched", "fill", "fit"};
    for (int style = 0; style < 5; ++style)
        ini << "-\r\nName = " << names[style] << "\r\nUrl = " << (style < 3 ? picture : framed)
            << "\r\nComment = \r\nFilter = 000000\r\nExt = 1111\r\nWpState = " << style
            << "\r\nNo = 0\r\nNo_n = 1\r\nRefstr = \r\n";
}

// A folder of two pictures, red and green, each twice the screen's width and half its
// height, and a settings file in `work` whose entry "each" shows a picture on each screen,
// random over them, in fill style; all readable by another user.
bool WriteEachScreenEntry(const std::string& work) {
    const std::string folder = work + "/pics";
    std::filesystem::create_directory(folder);
    ::chmod(folder.c_str(), 0755);
    PosixFileSystem files;
    const std::uint32_t colours[] = {kRed, kGreen};
    for (int i = 0; i < 2; ++i) {
        const std::string path = folder + "/" + std::to_string(i) + ".bmp";
        if (!WriteBmp(files, path,
                      Picture::FromPixels(kScreenWidth * 2, kScreenHeight / 2,
                                          std::vector<std::uint32_t>(kScreenWidth * kScreenHeight,
                                                                     0xFF000000u | colours[i]))))
            return false;
        ::chmod(path.c_str(), 0644);
    }
    std::ofstream(work + "/vexal.ini", std::ios::binary)
        << "'vexal   ver.1.00\r\n\r\nCacheFileName = wpcache\r\nWinFolderWPname = wall.bmp\r\nTimeOut = "
           "30\r\n-\r\nName = each\r\nUrl = "
        << folder
        << "/\r\nComment = \r\nFilter = 000000\r\nExt = 1111\r\nWpState = 3\r\nNo = 2\r\nNo_n = 1\r\n"
           "Refstr = \r\nEachScreen = 1\r\n";
    return ::chmod((work + "/vexal.ini").c_str(), 0666) == 0;
}

// Screen points and the colour each must show, away from the edges a scaler may blur.
struct Expected {
    const char* entry;
    std::vector<std::tuple<int, int, std::uint32_t>> points;
    // A point that must not show the picture's red, green or frame.
    std::pair<int, int> notRed{-1, -1};
};
const Expected kStyles[] = {
    // Centred: the picture spans 140..179 × 105..134.
    {"centred", {{145, 110, kRed}, {174, 110, kGreen}, {145, 130, kBlue}, {174, 130, kWhite}}, {5, 5}},
    {"tiled", {{5, 5, kRed}, {25, 5, kGreen}, {45, 5, kRed}, {5, 20, kBlue}, {305, 230, kWhite}}},
    {"stretched", {{40, 30, kRed}, {280, 30, kGreen}, {40, 200, kBlue}, {280, 200, kWhite}}},
    // Fill: exactly the quadrants, the frame cut off on both sides.
    {"fill", {{8, 8, kRed}, {300, 8, kGreen}, {8, 220, kBlue}, {300, 220, kWhite}}},
    // Fit: 60 × 30 as 320 × 160 from row 40, the frame's 10 columns as 53 at each side.
    {"fit",
     {{20, 100, kMagenta},
      {300, 100, kMagenta},
      {100, 60, kRed},
      {220, 60, kGreen},
      {100, 180, kBlue},
      {220, 180, kWhite}},
     {160, 20}},
};

using Screen = std::function<std::uint32_t(int x, int y)>;

// "" when the screen shows the style; otherwise what differs.
std::string Mismatch(const Expected& e, const Screen& screen) {
    for (auto [x, y, colour] : e.points) {
        const std::uint32_t got = screen(x, y);
        if (got != colour) {
            char text[96];
            std::snprintf(text, sizeof text, "(%d,%d) is %06X, not %06X", x, y, got, colour);
            return text;
        }
    }
    if (e.notRed.first >= 0) {
        const std::uint32_t outside = screen(e.notRed.first, e.notRed.second);
        if (outside == kRed || outside == kGreen || outside == kMagenta)
            return "the picture outside its place";
    }
    return {};
}

// Desktops draw a little after they accept the change: reads the screen again until it
// shows the style, at most `attempts` times: generously, since a desktop on a machine
// with both processors busy can take many seconds to draw at all.
template <typename Grab>
std::string WaitForStyle(const Expected& e, Grab grab, int attempts = 400) {
    std::string last;
    for (int i = 0; i < attempts; ++i) {
        last = Mismatch(e, grab());
        if (last.empty()) return last;
        ::usleep(100 * 1000);
    }
    return last;
}

// A started program, ended with the test.
class Child {
public:
    Child(const std::vector<std::string>& argv, const std::string& log) {
        pid_ = ::fork();
        if (pid_ == 0) {
            const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(out, 1);
            ::dup2(out, 2);
            std::vector<char*> args;
            for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

private:
    pid_t pid_ = -1;
};

// Polls `ready` up to `attempts` times, 100 ms apart. The bound only ends a test that
// has failed: on a machine busy with other builds a window can take a minute to come.
template <typename Pred>
bool WaitFor(Pred ready, int attempts = 1200) {
    for (int i = 0; i < attempts; ++i) {
        if (ready()) return true;
        ::usleep(100 * 1000);
    }
    return false;
}

// True once a window manager has announced itself on the display's root window.
bool HasWindowManager(const std::string& display) {
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return false;
    Atom type;
    int format;
    unsigned long n = 0, after;
    unsigned char* data = nullptr;
    const bool found =
        XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False), 0, 1,
                           False, AnyPropertyType, &type, &format, &n, &after, &data) == Success &&
        n == 1;
    if (data) XFree(data);
    XCloseDisplay(d);
    return found;
}

// sway with its headless backend, under a user made for the test and removed after it
// (sway refuses to run as root), with Xwayland off: a pure Wayland session.
class HeadlessSway {
public:
    // `outputs` headless outputs, side by side from the left.
    explicit HeadlessSway(int outputs = 1) : user_("vexal-sway-" + std::to_string(::getpid())) {
        SpawnCommandRunner runner;
        if (runner.Run({"useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", user_})
                .status != 0)
            return;
        made_ = true;
        const passwd* pw = ::getpwnam(user_.c_str());
        if (!pw) return;
        // Both the compositor and vexal run as the user: the runtime folder is theirs
        // alone, the work folder theirs to write.
        for (const std::string& dir : {runtime_.path(), work_.path()})
            if (::chown(dir.c_str(), pw->pw_uid, pw->pw_gid) != 0) return;
        ::chmod(work_.path().c_str(), 0755);
        std::ofstream(work_ / "sway.conf") << "xwayland disable\n"
                                           << "output * resolution " << kScreenWidth << "x" << kScreenHeight
                                           << "\noutput * bg #000000 solid_color\n";
        sway_.emplace(std::vector<std::string>{"runuser", "-u", user_, "--", "env", "-i",
                                               "XDG_RUNTIME_DIR=" + runtime_.path(), "WLR_BACKENDS=headless",
                                               "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman",
                                               "WLR_HEADLESS_OUTPUTS=" + std::to_string(outputs),
                                               "PATH=/usr/bin:/bin", "sway", "-c", work_ / "sway.conf"},
                      work_ / "sway.log");
        WaitFor([this] {
            for (const auto& e : std::filesystem::directory_iterator(runtime_.path()))
                if (e.path().filename().string().rfind("sway-ipc.", 0) == 0) swaySocket_ = e.path();
            return !swaySocket_.empty() && std::filesystem::exists(runtime_ / "wayland-1");
        });
    }
    ~HeadlessSway() {
        sway_.reset();
        // Whatever the user still runs (swaybg) goes with it.
        if (made_) {
            SpawnCommandRunner runner;
            (void)runner.Run({"pkill", "-KILL", "-u", user_});
            (void)runner.Run({"userdel", user_});
        }
    }
    bool running() const { return !swaySocket_.empty(); }
    std::string Log() const {
        std::ifstream in(work_ / "sway.log");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    const testing::TempDir& work() const { return work_; }

    // vexal with its windows on the compositor, as the user, in the work folder.
    testing::ProgramOptions VexalOptions() const {
        testing::ProgramOptions options;
        options.dir = work_.path();
        options.env = {{"HOME", work_.path()},
                       {"XDG_RUNTIME_DIR", runtime_.path()},
                       {"WAYLAND_DISPLAY", "wayland-1"},
                       {"SWAYSOCK", swaySocket_}};
        if (const passwd* pw = ::getpwnam(user_.c_str())) {
            options.uid = static_cast<int>(pw->pw_uid);
            options.gid = static_cast<int>(pw->pw_gid);
        }
        return options;
    }
    testing::ProgramRun RunVexal(const std::string& args) {
        if (!::getpwnam(user_.c_str())) return {};
        return testing::RunProgram(VEXAL_BINARY, {args}, VexalOptions());
    }
    // A sway command or query, as swaymsg answers it.
    CommandResult SwayMsg(const std::vector<std::string>& args) {
        SpawnCommandRunner runner;
        std::vector<std::string> argv{"swaymsg", "-s", swaySocket_};
        argv.insert(argv.end(), args.begin(), args.end());
        return runner.Run(argv);
    }
    // Where sway keeps vexal's window with this title that asked for at least this height in
    // pixels: "floating", "tiled", or "" while there is none.
    std::string WindowPlace(const std::string& title, int minHeight = 0) {
        const QJsonDocument tree =
            QJsonDocument::fromJson(QByteArray::fromStdString(SwayMsg({"-t", "get_tree"}).output));
        std::string place;
        std::function<void(const QJsonObject&, bool)> walk = [&](const QJsonObject& node, bool floating) {
            if (node["app_id"].toString() == "vexal" && node["name"].toString().toStdString() == title &&
                node["geometry"].toObject()["height"].toInt() >= minHeight)
                place = floating ? "floating" : "tiled";
            for (const QJsonValue& child : node["nodes"].toArray()) walk(child.toObject(), floating);
            for (const QJsonValue& child : node["floating_nodes"].toArray()) walk(child.toObject(), true);
        };
        walk(tree.object(), false);
        return place;
    }
    // The output as grim captures it; 0 outside it.
    Screen Grab() {
        const std::string shot = work_ / "shot.png";
        SpawnCommandRunner runner;
        testing::EnvironmentChange env;
        env.Set("XDG_RUNTIME_DIR", runtime_.path());
        env.Set("WAYLAND_DISPLAY", "wayland-1");
        QImage image;
        if (runner.Run({"grim", shot}).status == 0) image.load(QString::fromStdString(shot));
        return [image](int x, int y) {
            return image.valid(x, y) ? static_cast<std::uint32_t>(image.pixel(x, y)) & 0xFFFFFFu : 0u;
        };
    }

private:
    std::string user_;
    bool made_ = false;
    testing::TempDir runtime_;
    testing::TempDir work_;
    std::optional<Child> sway_;
    std::string swaySocket_;
};

TEST(SwayDesktopTest, EachStyleShowsOnAPureWaylandOutput) {
    VEXAL_REQUIRE_TOOLS("sway", "swaybg", "swaymsg", "grim", "useradd", "runuser");
    if (::geteuid() != 0) {
        if (testing::InCi()) FAIL() << "the sway test makes a user of its own and needs root";
        GTEST_SKIP() << "the sway test makes a user of its own and needs root";
    }
    HeadlessSway sway;
    ASSERT_TRUE(sway.running()) << sway.Log();
    const std::string picture = sway.work() / "quadrants.bmp", framed = sway.work() / "framed.bmp";
    ASSERT_TRUE(WriteQuadrants(picture) && WriteQuadrants(framed, 10));
    WriteSettings(sway.work().path(), picture, framed);
    ::chmod(picture.c_str(), 0644);
    ::chmod(framed.c_str(), 0644);
    ::chmod((sway.work() / "vexal.ini").c_str(), 0666);

    for (const Expected& style : kStyles) {
        // With its windows: the progress window comes up through Qt's Wayland plugin.
        const testing::ProgramRun run = sway.RunVexal(style.entry);
        ASSERT_EQ(run.status, 0) << style.entry << ": " << run.err;
        EXPECT_EQ(WaitForStyle(style, [&] { return sway.Grab(); }), "") << style.entry;
    }

    // sway tiles a window over the whole output unless it has a parent or a fixed size; the
    // preview (sizable, and shown when no other window is left) was once tiled. Its close
    // box, worked by sway, then ends the run as giving up does.
    {
        testing::StartedProgram preview(VEXAL_BINARY, {"tiled", "-preview"}, sway.VexalOptions());
        // Taller than the progress window, which comes and goes first under the same title.
        constexpr int kTallerThanProgress = 150;
        std::string place;
        WaitFor([&] { return !(place = sway.WindowPlace("vexal 1.00", kTallerThanProgress)).empty(); });
        EXPECT_EQ(place, "floating");
        EXPECT_EQ(sway.SwayMsg({"[app_id=vexal] kill"}).status, 0);
        const testing::ProgramRun run = preview.Finish();
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(run.err, "");
    }
    // An error box, also without any other window of the program on the output.
    {
        testing::StartedProgram error(VEXAL_BINARY, {"-wp", "missing.png"}, sway.VexalOptions());
        std::string place;
        WaitFor([&] { return !(place = sway.WindowPlace("vexal 1.00")).empty(); });
        EXPECT_EQ(place, "floating");
    }
}

// Two outputs and an entry with a picture for each screen, random over a folder of two:
// each output shows its own picture, filling it.
TEST(SwayDesktopTest, EachOutputShowsItsOwnPicture) {
    VEXAL_REQUIRE_TOOLS("sway", "swaymsg", "grim", "useradd", "runuser");
    if (::geteuid() != 0) {
        if (testing::InCi()) FAIL() << "the sway test makes a user of its own and needs root";
        GTEST_SKIP() << "the sway test makes a user of its own and needs root";
    }
    HeadlessSway sway(2);
    ASSERT_TRUE(sway.running()) << sway.Log();
    ASSERT_TRUE(WriteEachScreenEntry(sway.work().path()));
    const testing::ProgramRun run = sway.RunVexal("each");
    ASSERT_EQ(run.status, 0) << run.err;
    // Which picture lands on which output is chance; that they differ and fill is not.
    std::string seen;
    WaitFor([&] {
        const Screen shot = sway.Grab();
        const std::uint32_t left = shot(5, 5), right = shot(kScreenWidth + 5, 5);
        seen = std::to_string(left) + " " + std::to_string(right);
        const bool filled = shot(kScreenWidth - 5, kScreenHeight - 5) == left &&
                            shot(2 * kScreenWidth - 5, kScreenHeight - 5) == right;
        return filled && left != right && (left == kRed || left == kGreen) &&
               (right == kRed || right == kGreen);
    });
    EXPECT_TRUE(seen == std::to_string(kRed) + " " + std::to_string(kGreen) ||
                seen == std::to_string(kGreen) + " " + std::to_string(kRed))
        << seen;
}

// A desktop session on a private Xvfb of the screen's size: its variables (a value "~" or
// "~/…" in a home folder of its own) set for the test and handed to what it starts, a
// private session bus, and the screen read back.
class XvfbSession {
public:
    // `monitors` of the screen's size side by side, when more than one.
    explicit XvfbSession(std::map<std::string, std::string> variables, int monitors = 1)
        : xvfb_(std::to_string(kScreenWidth * monitors) + "x" + std::to_string(kScreenHeight) + "x24") {
        if (xvfb_.display().empty()) return;
        if (monitors > 1 && !testing::SetMonitors(xvfb_.display(), std::vector<std::pair<int, int>>(
                                                                       static_cast<std::size_t>(monitors),
                                                                       {kScreenWidth, kScreenHeight})))
            return;
        for (auto& [name, value] : variables)
            if (value == "~" || value.rfind("~/", 0) == 0) value = home_.path() + value.substr(1);
        session_ = std::move(variables);
        session_["DISPLAY"] = xvfb_.display();
        session_["NO_AT_BRIDGE"] = "1";
        for (const auto& [name, value] : session_) env_.Set(name, value);
        env_.Unset("WAYLAND_DISPLAY");
        env_.Unset("DBUS_SESSION_BUS_ADDRESS");
        bus_.emplace();
        if (bus_->address().empty()) return;
        session_["DBUS_SESSION_BUS_ADDRESS"] = bus_->address();
        env_.Set("DBUS_SESSION_BUS_ADDRESS", bus_->address());
    }
    bool running() const { return bus_ && !bus_->address().empty(); }
    const std::string& display() const { return xvfb_.display(); }
    const testing::TempDir& home() const { return home_; }
    const testing::TempDir& work() const { return work_; }
    // What a program started in the session finds in its environment.
    const std::map<std::string, std::string>& Environment() const { return session_; }
    // vexal run without questions in the work folder, with the session's environment.
    testing::ProgramOptions ProgramOptions() const {
        testing::ProgramOptions options;
        options.dir = work_.path();
        options.env = session_;
        options.env["VEXAL_NONINTERACTIVE"] = "1";
        return options;
    }
    // What the programs with these logs in the home folder said, for a failure's message.
    std::string Logs(std::initializer_list<std::string> names) const {
        std::string log;
        for (const std::string& name : names) {
            std::ifstream in(home_ / name);
            log += name + ":\n" + std::string(std::istreambuf_iterator<char>(in), {});
        }
        return log;
    }
    Screen Grab() {
        auto root = std::make_shared<testing::RootPixels>(testing::ReadRoot(xvfb_.display()));
        return [root](int x, int y) { return x < root->width && y < root->height ? root->At(x, y) : 0u; };
    }

private:
    testing::XvfbServer xvfb_;
    testing::TempDir home_;
    testing::TempDir work_;
    testing::EnvironmentChange env_;
    std::map<std::string, std::string> session_;
    std::optional<testing::SessionBus> bus_;
};

// xfdesktop under openbox (it waits for a window manager), with its settings daemon on the
// session's bus and its settings in the session's home.
class XfceSession : public XvfbSession {
public:
    explicit XfceSession(bool withXfdesktop = true, int monitors = 1)
        : XvfbSession({{"XDG_CONFIG_HOME", "~/config"}, {"XDG_CURRENT_DESKTOP", "XFCE"}}, monitors) {
        if (!running()) return;
        openbox_.emplace(std::vector<std::string>{"openbox"}, home() / "openbox.log");
        if (!withXfdesktop) {
            ready_ = true;
            return;
        }
        xfdesktop_.emplace(std::vector<std::string>{"xfdesktop", "--sm-client-disable"},
                           home() / "xfdesktop.log");
        // Ready once it has made the backdrop settings of its monitor.
        ready_ = WaitFor([] {
            SpawnCommandRunner runner;
            return runner.Run({"xfconf-query", "-c", "xfce4-desktop", "-l"}).output.find("/last-image") !=
                   std::string::npos;
        });
    }
    bool ready() const { return ready_; }
    std::string Log() const { return Logs({"xfdesktop.log", "openbox.log"}); }

private:
    std::optional<Child> openbox_;
    std::optional<Child> xfdesktop_;
    bool ready_ = false;
};

TEST(XfceDesktopTest, EachStyleShowsOnTheRootWindow) {
    VEXAL_REQUIRE_TOOLS("Xvfb", "dbus-daemon", "openbox", "xfdesktop", "xfconf-query");
    XfceSession xfce;
    ASSERT_TRUE(xfce.ready()) << xfce.Log();
    const std::string picture = xfce.work() / "quadrants.bmp", framed = xfce.work() / "framed.bmp";
    ASSERT_TRUE(WriteQuadrants(picture) && WriteQuadrants(framed, 10));
    WriteSettings(xfce.work().path(), picture, framed);
    testing::ProgramOptions options = xfce.ProgramOptions();
    options.env.insert({{"HOME", xfce.work().path()}, {"XDG_DATA_HOME", xfce.work() / "data"}});
    for (const Expected& style : kStyles) {
        const testing::ProgramRun run = testing::RunProgram(VEXAL_BINARY, {style.entry}, options);
        ASSERT_EQ(run.status, 0) << style.entry << ": " << run.err;
        EXPECT_EQ(WaitForStyle(style, [&] { return xfce.Grab(); }), "") << style.entry << "\n" << xfce.Log();
    }
    // Without the session's name, as from cron given only the display and the bus, or
    // under a window manager of the user's own: xfdesktop's window over the root says
    // which desktop draws the background.
    options.env.erase("XDG_CURRENT_DESKTOP");
    for (const Expected& style : {kStyles[0], kStyles[2]}) {
        const testing::ProgramRun run = testing::RunProgram(VEXAL_BINARY, {style.entry}, options);
        ASSERT_EQ(run.status, 0) << style.entry << " without a session name: " << run.err;
        EXPECT_EQ(WaitForStyle(style, [&] { return xfce.Grab(); }), "")
            << style.entry << " without a session name\n"
            << xfce.Log();
    }
}

// Two monitors and an entry with a picture for each screen, random over a folder of two.
// On Xvfb, xfdesktop 4.18 knows one monitor only, named after the server's one output
// ("screen"): a RandR monitor made on no output is no monitor to it, and it draws nothing
// there (a spanned picture it squeezes into the monitor it knows). The monitor it knows
// gets its own picture, filling it.
TEST(XfceDesktopTest, EachMonitorXfdesktopDrawsGetsItsOwnPicture) {
    VEXAL_REQUIRE_TOOLS("Xvfb", "xrandr", "dbus-daemon", "openbox", "xfdesktop", "xfconf-query");
    XfceSession xfce(true, 2);
    ASSERT_TRUE(xfce.ready()) << xfce.Log();
    ASSERT_TRUE(WriteEachScreenEntry(xfce.work().path()));
    testing::ProgramOptions options = xfce.ProgramOptions();
    options.env.insert({{"HOME", xfce.work().path()}, {"XDG_DATA_HOME", xfce.work() / "data"}});
    const testing::ProgramRun run = testing::RunProgram(VEXAL_BINARY, {"each"}, options);
    ASSERT_EQ(run.status, 0) << run.err;

    SpawnCommandRunner runner;
    const std::string monitor = "/backdrop/screen0/monitorscreen/workspace0/";
    const auto property = [&](const std::string& name) {
        std::string value = runner.Run({"xfconf-query", "-c", "xfce4-desktop", "-p", monitor + name}).output;
        while (!value.empty() && value.back() == '\n') value.pop_back();
        return value;
    };
    EXPECT_EQ(property("image-style"), "3") << "its own bitmap, made at its size";
    const QImage own(QString::fromStdString(property("last-image")));
    ASSERT_EQ(own.size(), QSize(kScreenWidth, kScreenHeight)) << property("last-image");
    const std::uint32_t colour = static_cast<std::uint32_t>(own.pixel(5, 5)) & 0xFFFFFFu;
    EXPECT_TRUE(colour == kRed || colour == kGreen) << colour;
    const auto shows = [&](const Screen& shot) {
        return shot(5, 5) == colour && shot(kScreenWidth - 5, kScreenHeight - 5) == colour;
    };
    EXPECT_TRUE(WaitFor([&] { return shows(xfce.Grab()); }, 400)) << xfce.Log();
    // The second screen's bitmap is there for a desktop that would draw it.
    const QImage second(QString::fromStdString(xfce.work() / "data/vexal/wall-2.bmp"));
    ASSERT_FALSE(second.isNull());
    EXPECT_EQ(static_cast<std::uint32_t>(second.pixel(5, 5)) & 0xFFFFFFu, colour == kRed ? kGreen : kRed);
}

// Regression: with no xfdesktop in an XFCE session the run waited, set the system's older
// settings that nothing on the screen follows, and reported success.
TEST(XfceDesktopTest, WithoutXfdesktopTheRunFails) {
    VEXAL_REQUIRE_TOOLS("Xvfb", "dbus-daemon", "openbox", "xfconf-query");
    XfceSession xfce(false);
    ASSERT_TRUE(xfce.ready()) << xfce.Log();
    const std::string picture = xfce.work() / "quadrants.bmp";
    ASSERT_TRUE(WriteQuadrants(picture));
    WriteSettings(xfce.work().path(), picture, picture);
    testing::ProgramOptions options = xfce.ProgramOptions();
    options.env.insert({"HOME", xfce.work().path()});
    const testing::ProgramRun run = testing::RunProgram(VEXAL_BINARY, {"stretched"}, options);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find(" xfdesktop "), std::string::npos) << run.err;
}

// LXQt's pcmanfm-qt or LXDE's pcmanfm drawing the desktop, the user's folders in the
// session's home, started and ended as a log-in and a log-out do.
class PcmanfmSession : public XvfbSession {
public:
    explicit PcmanfmSession(bool lxqt)
        : XvfbSession({{"HOME", "~"},
                       {"XDG_CONFIG_HOME", "~/config"},
                       {"XDG_DATA_HOME", "~/data"},
                       {"XDG_CACHE_HOME", "~/cache"},
                       {"XDG_CURRENT_DESKTOP", lxqt ? "LXQt" : "LXDE"}}),
          program_(lxqt ? "pcmanfm-qt" : "pcmanfm") {
        ready_ = running() && Start();
    }
    ~PcmanfmSession() {
        // Whichever desktop program runs now, vexal's or the test's.
        while (End()) {
        }
    }
    bool ready() const { return ready_; }
    std::string Log() const { return Logs({program_ + ".log"}); }
    std::string SettingsText() const {
        std::ifstream in(home() / (program_ == "pcmanfm-qt" ? "config/pcmanfm-qt/default/settings.conf"
                                                            : "config/pcmanfm/default/desktop-items-0.conf"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Starts the desktop program and waits until its window covers the root.
    bool Start() {
        desktop_.emplace(std::vector<std::string>{program_, "--desktop"}, home() / (program_ + ".log"));
        return WaitFor([this] { return DesktopWindowOverRoot(display()).has_value(); }, 300);
    }
    // Ends the desktop program that runs, which vexal may have started anew, as a log-out
    // does; false when none ran.
    bool End() {
        const std::optional<RunningProgram> running = programs_.Find(program_, "--desktop");
        const bool ended = running && programs_.Stop(*running);
        desktop_.reset();
        return ended;
    }
    std::optional<RunningProgram> Running() { return programs_.Find(program_, "--desktop"); }

private:
    std::string program_;
    SpawnCommandRunner runner_;
    ProcDesktopPrograms programs_{runner_, display(), {}, home().path()};
    std::optional<Child> desktop_;
    bool ready_ = false;
};

// Each style on the screen, and still there after the desktop program has ended and started
// again, its settings file holding the picture and the mode.
TEST(PcmanfmDesktopTest, EachStyleShowsAndStaysAfterARestart) {
    VEXAL_REQUIRE_TOOLS("Xvfb", "dbus-daemon", "pcmanfm-qt", "pcmanfm");
    for (const bool lxqt : {true, false}) {
        const char* name = lxqt ? "LXQt" : "LXDE";
        const std::vector<std::string> modes = {"center", "tile", "stretch", lxqt ? "zoom" : "crop", "fit"};
        PcmanfmSession desktop(lxqt);
        ASSERT_TRUE(desktop.ready()) << name << "\n" << desktop.Log();
        const std::string picture = desktop.work() / "quadrants.bmp", framed = desktop.work() / "framed.bmp";
        ASSERT_TRUE(WriteQuadrants(picture) && WriteQuadrants(framed, 10));
        WriteSettings(desktop.work().path(), picture, framed);
        const testing::ProgramOptions options = desktop.ProgramOptions();
        for (std::size_t i = 0; i < std::size(kStyles); ++i) {
            const Expected& style = kStyles[i];
            const testing::ProgramRun run = testing::RunProgram(VEXAL_BINARY, {style.entry}, options);
            ASSERT_EQ(run.status, 0) << name << " " << style.entry << ": " << run.err << desktop.Log();
            EXPECT_EQ(WaitForStyle(style, [&] { return desktop.Grab(); }), "") << name << " " << style.entry;

            ASSERT_TRUE(desktop.End()) << name << " " << style.entry;
            const std::string settings = desktop.SettingsText(), key = lxqt ? "Wallpaper" : "wallpaper";
            EXPECT_TRUE(settings.find("\n" + key + "=" + desktop.home() / "data/vexal/shown-") !=
                            std::string::npos &&
                        settings.find("\n" + key + (lxqt ? "Mode=" : "_mode=") + modes[i] + "\n") !=
                            std::string::npos)
                << name << " " << style.entry << ":\n"
                << settings;
            ASSERT_TRUE(desktop.Start()) << name << "\n" << desktop.Log();
            EXPECT_EQ(WaitForStyle(style, [&] { return desktop.Grab(); }), "")
                << name << " " << style.entry << " after a restart";
        }
        // With a file-manager window of its own open, the desktop program is not ended, and
        // a mode that did not stay is a failure.
        if (!lxqt) continue;
        const std::optional<RunningProgram> before = desktop.Running();
        ASSERT_TRUE(before);
        Child window({"pcmanfm-qt", desktop.work().path()}, desktop.work() / "window.log");
        ASSERT_TRUE(
            WaitFor([&] { return ProcessHasOtherWindows(before->pid, desktop.display()) == true; }, 300));
        const testing::ProgramRun run = testing::RunProgram(VEXAL_BINARY, {"fill"}, options);
        EXPECT_EQ(run.status, 1) << run.err;
        const std::optional<RunningProgram> after = desktop.Running();
        EXPECT_TRUE(after && after->pid == before->pid) << "the desktop program was ended";
    }
}

// openbox on a private Xvfb, with this process's environment pointing at it, for the
// editor's windows as a window manager handles them.
class OpenboxSession : public ::testing::Test {
protected:
    void SetUp() override {
        VEXAL_REQUIRE_TOOLS("Xvfb", "openbox", "xdotool");
        ASSERT_FALSE(xvfb.display().empty());
        env.Set("DISPLAY", xvfb.display());
        env.Unset("WAYLAND_DISPLAY");
        env.Unset("VEXAL_NONINTERACTIVE");
        openbox.emplace(std::vector<std::string>{"openbox"}, work / "openbox.log");
        ASSERT_TRUE(WaitFor([&] { return HasWindowManager(xvfb.display()); }));
    }
    testing::XvfbServer xvfb;
    testing::TempDir work;
    testing::EnvironmentChange env;
    std::optional<Child> openbox;  // ends before the display it runs on
};
class OpenboxCloseBoxTest : public OpenboxSession {};
class OpenboxEditorTest : public OpenboxSession {};

// The editor's close box as a window manager works it: openbox on Xvfb closes the focused
// window on Alt+F4 by sending WM_DELETE_WINDOW, which is not what a test's close() does.
TEST_F(OpenboxCloseBoxTest, EditorEndsWithStatusZeroAndSavesNothing) {
    const std::string settings = "'vexal   ver.1.00\r\n\r\n-\r\nName = kept\r\nUrl = /nowhere/\r\n";
    std::ofstream(work / "vexal.ini", std::ios::binary) << settings;

    testing::ProgramOptions options;
    options.dir = work.path();
    options.env = {{"DISPLAY", xvfb.display()}, {"HOME", work.path()}};
    testing::StartedProgram vexal(VEXAL_BINARY, {}, options);
    SpawnCommandRunner runner;
    CommandResult pressed;
    bool ended = false;
    // Waits for the editor's window to be mapped and focused, then presses the keys. On a
    // loaded machine the first press can come before the window manager has given the
    // editor its focus; a user would press again.
    for (int attempt = 0; attempt < 3 && !ended; ++attempt) {
        pressed = runner.Run({"timeout", "120", "xdotool", "search", "--sync", "--onlyvisible", "--class",
                              "vexal", "windowactivate", "--sync", "key", "alt+F4"});
        ended = WaitFor([&] { return !vexal.Running(); }, 150);
    }
    if (!ended) vexal.Signal(SIGKILL);
    const testing::ProgramRun run = vexal.Finish();
    // xdotool itself may report the window gone before its key was released: the program
    // ending is what counts.
    ASSERT_TRUE(ended) << "the close box did not end the program: " << pressed.errors;
    EXPECT_EQ(run.status, 0) << run.err;
    std::ifstream in(work / "vexal.ini", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), settings) << "the close box saves nothing";

    // Regression: on this session without a bus, the windows' toolkit had D-Bus start one
    // for the display, which outlived the editor. Such a bus announces itself on the display
    // under this name; a fresh display that never had one does not know the name at all.
    Display* d = XOpenDisplay(xvfb.display().c_str());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(XInternAtom(d, "_DBUS_SESSION_BUS_PID", True), static_cast<Atom>(None))
        << "a session bus was started for the display";
    XCloseDisplay(d);
}

// Started again on one settings file (the menu entry clicked twice), the editor comes
// forward instead of opening a second window whose saving would drop what the first
// saved; editors on two different files both open.
TEST_F(OpenboxEditorTest, SecondEditorOnOneFileBringsTheFirstForward) {
    for (const char* folder : {"a", "b"}) {
        std::filesystem::create_directory(work / folder);
        std::ofstream(work / (std::string(folder) + "/vexal.ini"), std::ios::binary)
            << "'vexal   ver.1.00\r\n\r\n-\r\nName = kept\r\nUrl = /nowhere/\r\n";
    }
    // The same file reached through another name.
    std::filesystem::create_directory_symlink(work / "a", work / "also-a");

    auto options = [&](const std::string& folder) {
        testing::ProgramOptions o;
        o.dir = work / folder;
        o.env = {{"DISPLAY", xvfb.display()}, {"HOME", work.path()}};
        return o;
    };
    SpawnCommandRunner runner;
    auto windowOf = [&](pid_t pid) {
        const CommandResult found = runner.Run(
            {"timeout", "120", "xdotool", "search", "--sync", "--onlyvisible", "--pid", std::to_string(pid)});
        return found.output.substr(0, found.output.find('\n'));
    };
    auto active = [&] {
        const std::string id = runner.Run({"xdotool", "getactivewindow"}).output;
        return id.substr(0, id.find('\n'));
    };

    testing::StartedProgram first(VEXAL_BINARY, {}, options("a"));
    const std::string firstWindow = windowOf(first.pid());
    ASSERT_FALSE(firstWindow.empty());
    testing::StartedProgram other(VEXAL_BINARY, {}, options("b"));
    const std::string otherWindow = windowOf(other.pid());
    ASSERT_FALSE(otherWindow.empty()) << "an editor on another file opens beside the first";
    ASSERT_TRUE(WaitFor([&] { return active() == otherWindow; }));
    runner.Run({"xdotool", "windowminimize", "--sync", firstWindow});

    const testing::ProgramRun second = testing::RunProgram(VEXAL_BINARY, {}, options("also-a"));
    EXPECT_FALSE(second.timedOut) << "the second editor opened a window of its own";
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.err, "");
    EXPECT_TRUE(WaitFor([&] { return active() == firstWindow; })) << "the first editor did not come forward";

    // A hard link of another name in another folder is the same file.
    std::filesystem::create_directory(work / "linked");
    std::filesystem::create_hard_link(work / "a/vexal.ini", work / "linked/vexal.ini");
    runner.Run({"xdotool", "windowminimize", "--sync", firstWindow});
    const testing::ProgramRun linked = testing::RunProgram(VEXAL_BINARY, {}, options("linked"));
    EXPECT_FALSE(linked.timedOut) << "an editor on a hard link opened a window of its own";
    EXPECT_EQ(linked.status, 0) << linked.err;
    EXPECT_TRUE(WaitFor([&] { return active() == firstWindow; })) << "the first editor did not come forward";
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(other.Running());
}

}  // namespace
}  // namespace vexal
#endif
