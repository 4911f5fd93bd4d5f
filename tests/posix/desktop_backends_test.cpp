// The desktops' commands, the choice of desktop, and the Linux wallpaper folder: GNOME,
// Cinnamon and MATE against the real gsettings and their real schemas, the others down to
// the exact command lines they issue (sway and XFCE run for real in desktop_sessions_test).
#include "platform/linux/desktop_backends.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "host/run_guard.h"
#include "platform/linux/ini_text.h"
#include "platform/linux/linux_desktop.h"
#include "platform/linux/qt_image_decoder.h"
#include "posix/desktop_session.h"
#include "posix/program_runner.h"
#include "posix/temp_dir.h"
#include "wallpaper/install.h"

namespace vexal {
namespace {

using Argv = std::vector<std::string>;

class RecordingRunner final : public CommandRunner {
public:
    std::vector<Argv> calls;
    // Canned answers by argv[0] + " " + argv[1]; status 0 and no output otherwise.
    std::map<std::string, CommandResult> answers;
    // Calls whose argv contains this answer `failure` and change nothing.
    std::string failWhenContains;
    CommandResult failure = {1, "", "refused"};

    // What "gsettings set" and "xfconf-query -s" stored, by schema or channel and key, for
    // "gsettings get" and "xfconf-query -p" to print.
    std::map<std::string, std::string> stored;
    // What "gsettings set" writes on standard error (dconf's warning without its bus).
    std::string setWarning;
    // An xfconf daemon that answers a change but keeps the old value.
    bool forgetSettings = false;
    // Successive answers to "xfconf-query -c CHANNEL -l"; the last one stays.
    std::vector<std::string> listings;
    // Successive answers to "dbus-send"; the last one stays.
    std::vector<CommandResult> dbusAnswers;

    CommandResult Run(const Argv& argv) override {
        // Reading an xfconf property back is not a change: it stays out of `calls`.
        if (argv.size() == 5 && argv[0] == "xfconf-query" && argv[3] == "-p")
            return {0, stored[argv[2] + " " + argv[4]] + "\n", ""};
        calls.push_back(argv);
        for (const auto& a : argv)
            if (!failWhenContains.empty() && a.find(failWhenContains) != std::string::npos) return failure;
        if (argv[0] == "xfconf-query" && argv.size() >= 7 && argv[argv.size() - 2] == "-s" && !forgetSettings)
            stored[argv[2] + " " + argv[4]] = argv.back();
        if (!listings.empty() && argv[0] == "xfconf-query" && argv.back() == "-l") {
            const std::string listing = listings.front();
            if (listings.size() > 1) listings.erase(listings.begin());
            return {0, listing, ""};
        }
        if (!dbusAnswers.empty() && argv[0] == "dbus-send") {
            const CommandResult answer = dbusAnswers.front();
            if (dbusAnswers.size() > 1) dbusAnswers.erase(dbusAnswers.begin());
            return answer;
        }
        auto it = answers.find(argv[0] + " " + (argv.size() > 1 ? argv[1] : ""));
        if (it != answers.end()) return it->second;
        if (argv.size() == 5 && argv[0] == "gsettings" && argv[1] == "set") {
            stored[argv[2] + " " + argv[3]] = argv[4];
            return {0, "", setWarning};
        }
        if (argv.size() == 4 && argv[0] == "gsettings" && argv[1] == "get")
            return {0, stored[argv[2] + " " + argv[3]] + "\n", ""};
        return {0, "", ""};
    }
    // The value of the last call that set `key`.
    std::string LastSet(const std::string& key) const {
        for (auto c = calls.rbegin(); c != calls.rend(); ++c)
            if (c->size() >= 5 && (*c)[1] == "set" && (*c)[c->size() - 2] == key) return c->back();
        return {};
    }
};

// The desktop programs as the backends see them: which run, and what one does as it ends.
class FakePrograms final : public DesktopPrograms {
public:
    std::map<std::string, RunningProgram> running;  // by name
    std::vector<std::string> events;                // "stop NAME", "restart NAME"
    std::function<void()> onStop;
    bool stops = true, restarts = true, otherWindows = false;

    std::optional<RunningProgram> Find(const std::string& name, const std::string& argument) override {
        const auto it = running.find(name);
        if (it == running.end()) return std::nullopt;
        const auto& argv = it->second.argv;
        if (!argument.empty() && std::find(argv.begin(), argv.end(), argument) == argv.end())
            return std::nullopt;
        return it->second;
    }
    bool HasOtherWindows(const RunningProgram&) override { return otherWindows; }
    bool Stop(const RunningProgram& program) override {
        events.push_back("stop " + program.argv[0]);
        if (onStop) onStop();
        return stops;
    }
    bool Restart(const RunningProgram& program) override {
        events.push_back("restart " + program.argv[0]);
        return restarts;
    }
    FakePrograms& Run(std::vector<std::string> argv, std::vector<std::string> environment = {}) {
        running[argv[0]] = {1, argv, std::move(environment), "/"};
        return *this;
    }
};

EnvLookup Env(std::map<std::string, std::string> vars) {
    return [vars](const std::string& name) {
        auto it = vars.find(name);
        return it == vars.end() ? std::string() : it->second;
    };
}

// Everything a result says, in one line to compare.
std::string Reason(const DesktopResult& r) {
    return std::to_string(static_cast<int>(r.failure)) + " subject=" + r.subject + " tool=" + r.tool +
           " said=" + r.said + " status=" + std::to_string(r.status);
}

TEST(DesktopChoiceTest, FromTheSessionEnvironment) {
    const struct {
        const char* name;
        std::map<std::string, std::string> env;
        DesktopKind kind;
    } rows[] = {
        {"nothing", {}, DesktopKind::None},
        {"plainX11", {{"DISPLAY", ":0"}}, DesktopKind::X11},
        {"ubuntu", {{"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}, {"DISPLAY", ":0"}}, DesktopKind::Gnome},
        {"budgie", {{"XDG_CURRENT_DESKTOP", "Budgie:GNOME"}}, DesktopKind::Gnome},
        {"cinnamon", {{"XDG_CURRENT_DESKTOP", "X-Cinnamon"}}, DesktopKind::Cinnamon},
        {"mate", {{"XDG_CURRENT_DESKTOP", "MATE"}}, DesktopKind::Mate},
        {"kde", {{"XDG_CURRENT_DESKTOP", "KDE"}}, DesktopKind::Kde},
        {"xfce", {{"XDG_CURRENT_DESKTOP", "XFCE"}}, DesktopKind::Xfce},
        {"sway", {{"XDG_CURRENT_DESKTOP", "sway"}}, DesktopKind::Sway},
        {"unknownThenKnown", {{"XDG_CURRENT_DESKTOP", "Custom:KDE"}}, DesktopKind::Kde},
        {"sessionName", {{"DESKTOP_SESSION", "plasmawayland"}}, DesktopKind::Kde},
        {"swaySocket", {{"SWAYSOCK", "/run/user/1/sway.sock"}, {"DISPLAY", ":0"}}, DesktopKind::Sway},
        {"kdeFlag", {{"KDE_FULL_SESSION", "true"}}, DesktopKind::Kde},
        {"i3OnX11", {{"XDG_CURRENT_DESKTOP", "i3"}, {"DISPLAY", ":0"}}, DesktopKind::X11},
        {"pantheon", {{"XDG_CURRENT_DESKTOP", "Pantheon"}, {"DISPLAY", ":0"}}, DesktopKind::Gnome},
        {"lxqt", {{"XDG_CURRENT_DESKTOP", "LXQt"}, {"DISPLAY", ":0"}}, DesktopKind::Lxqt},
        {"lxde", {{"DESKTOP_SESSION", "LXDE"}, {"DISPLAY", ":0"}}, DesktopKind::Lxde},
        {"hyprland", {{"XDG_CURRENT_DESKTOP", "Hyprland"}}, DesktopKind::Hyprland},
        {"hyprlandSignature",
         {{"HYPRLAND_INSTANCE_SIGNATURE", "v0_1_2"}, {"WAYLAND_DISPLAY", "wayland-1"}},
         DesktopKind::Hyprland},
        // An unknown Wayland compositor's X11 root is invisible: swaybg draws through the
        // compositor instead.
        {"unknownWayland", {{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}}, DesktopKind::Wayland},
        {"waylandSessionWithoutItsDisplay",
         {{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":0"}},
         DesktopKind::None},
        {"overrideSwaybg",
         {{"VEXAL_DESKTOP", "swaybg"}, {"XDG_CURRENT_DESKTOP", "GNOME"}},
         DesktopKind::Wayland},
        {"override", {{"VEXAL_DESKTOP", "x11"}, {"XDG_CURRENT_DESKTOP", "GNOME"}}, DesktopKind::X11},
        {"overrideCapitals", {{"VEXAL_DESKTOP", "XFCE"}, {"DISPLAY", ":0"}}, DesktopKind::Xfce},
        {"overrideUnknownIgnored",
         {{"VEXAL_DESKTOP", "amiga"}, {"XDG_CURRENT_DESKTOP", "MATE"}},
         DesktopKind::Mate},
    };
    for (const auto& r : rows) EXPECT_EQ(DetectDesktop(Env(r.env)), r.kind) << r.name;
}

TEST(DesktopChoiceTest, StyleValuesAndUris) {
    EXPECT_EQ(LayoutFromStyle("0", "0"), WallpaperLayout::Centred);
    EXPECT_EQ(LayoutFromStyle("0", "1"), WallpaperLayout::Tiled);
    EXPECT_EQ(LayoutFromStyle("2", "0"), WallpaperLayout::Stretched);
    EXPECT_EQ(LayoutFromStyle("", ""), WallpaperLayout::Centred);
    EXPECT_EQ(LayoutFromStyle("10", "0"), WallpaperLayout::Fill);
    EXPECT_EQ(LayoutFromStyle("6", "0"), WallpaperLayout::Fit);
    EXPECT_EQ(LayoutFromStyle("1", "0"), WallpaperLayout::Centred);
    EXPECT_EQ(LayoutFromStyle("10", "1"), WallpaperLayout::Tiled);
    EXPECT_EQ(LayoutFromStyle("22", "0"), WallpaperLayout::Spanned);
    EXPECT_EQ(FileUri("/home/me/.local/share/vexal/shown-1.bmp"),
              "file:///home/me/.local/share/vexal/shown-1.bmp");
    EXPECT_EQ(FileUri("/tmp/a b/壁'%#?.bmp"), "file:///tmp/a%20b/%E5%A3%81%27%25%23%3F.bmp");
}

TEST(KdeBackendTest, EvaluatesOneScriptForEveryDesktop) {
    RecordingRunner runner;
    ASSERT_TRUE(SetKdeWallpaper(runner, "/d/shown-1.bmp", WallpaperLayout::Stretched));
    ASSERT_EQ(runner.calls.size(), 1u);
    const Argv& call = runner.calls[0];
    ASSERT_EQ(call.size(), 8u);
    EXPECT_EQ(Argv(call.begin(), call.begin() + 7),
              (Argv{"dbus-send", "--session", "--dest=org.kde.plasmashell", "--type=method_call",
                    "--print-reply", "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript"}));
    EXPECT_EQ(call[7], "string:" + KdeScript("file:///d/shown-1.bmp", WallpaperLayout::Stretched));

    const struct {
        const char* name;
        std::optional<WallpaperLayout> layout;
        const char* fill;
        const char* tiled;
    } rows[] = {
        {"stretched", WallpaperLayout::Stretched, "var fill = 0;", "var tiled = false;"},
        {"centred", WallpaperLayout::Centred, "var fill = 6;", "var tiled = false;"},
        {"tiled", WallpaperLayout::Tiled, "var fill = 3;", "var tiled = true;"},
        {"fill", WallpaperLayout::Fill, "var fill = 2;", "var tiled = false;"},
        {"fit", WallpaperLayout::Fit, "var fill = 1;", "var tiled = false;"},
        {"keepStyle", std::nullopt, "var fill = null;", "var tiled = false;"},
    };
    for (const auto& r : rows) {
        const std::string script = KdeScript("file:///x.bmp", r.layout);
        EXPECT_EQ(script.rfind("var image = \"file:///x.bmp\";\n", 0), 0u) << r.name;
        EXPECT_NE(script.find(r.fill), std::string::npos) << r.name;
        EXPECT_NE(script.find(r.tiled), std::string::npos) << r.name;
        EXPECT_NE(script.find("desktops()"), std::string::npos) << r.name;
        EXPECT_NE(script.find("d.writeConfig(\"Image\", image);"), std::string::npos) << r.name;
    }
    // The entry's colour in the image plugin's own key; without one the desktop's stays.
    const std::string coloured = KdeScript("file:///x.bmp", WallpaperLayout::Fit, 0x1E3A5F);
    EXPECT_NE(coloured.find("var color = \"#1e3a5f\";"), std::string::npos);
    EXPECT_NE(coloured.find("if (color !== null) d.writeConfig(\"Color\", color);"), std::string::npos);
    EXPECT_NE(KdeScript("file:///x.bmp", WallpaperLayout::Fit).find("var color = null;"), std::string::npos);
    // A URI can never close the string literal early.
    EXPECT_NE(KdeScript("file:///a\"b\\c", std::nullopt).find(R"(var image = "file:///a\"b\\c";)"),
              std::string::npos);

    runner.failWhenContains = "evaluateScript";
    EXPECT_FALSE(SetKdeWallpaper(runner, "/d/x.bmp", WallpaperLayout::Tiled))
        << "a script error fails the call";
}

// At session start the shell is not on the bus yet, or has no desktops yet (where a script
// once changed nothing and reported success): the call is made again until it is there.
// Any other failure is final at once, and the wait has an end.
TEST(KdeBackendTest, WaitsForTheShellAndItsDesktopsAtSessionStart) {
    const CommandResult notThere = {
        1, "",
        "Error org.freedesktop.DBus.Error.ServiceUnknown: The name org.kde.plasmashell was not provided"};
    const CommandResult noDesktop = {1, "",
                                     "Error org.freedesktop.DBus.Error.Failed: Error: vexal: no desktop yet"};
    const CommandResult locked = {1, "", "Error org.freedesktop.DBus.Error.Failed: Widgets are locked"};
    const CommandResult done = {0, "method return", ""};
    // The last answer is the reason; earlier ones are forgotten once the shell takes the script.
    const auto failed = [](const CommandResult& said) {
        return DesktopResult{DesktopFailure::ToolFailed, {}, "dbus-send", said.errors, 1};
    };
    const struct {
        const char* name;
        std::vector<CommandResult> answers;
        DesktopResult result;
        std::size_t calls;
    } rows[] = {
        {"shellComesLater", {notThere, notThere, done}, {}, 3},
        {"desktopsComeLater", {notThere, noDesktop, done}, {}, 3},
        {"neverThere", {notThere}, failed(notThere), 4},
        {"neverADesktop", {noDesktop}, failed(noDesktop), 4},
        {"refusedAtOnce", {locked, done}, failed(locked), 1},
    };
    for (const auto& r : rows) {
        RecordingRunner runner;
        runner.dbusAnswers = r.answers;
        EXPECT_EQ(Reason(SetKdeWallpaper(runner, "/d/x.bmp", std::nullopt, 3)), Reason(r.result)) << r.name;
        EXPECT_EQ(runner.calls.size(), r.calls) << r.name;
    }
    EXPECT_NE(KdeScript("file:///x.bmp", std::nullopt).find("if (all.length == 0) throw"), std::string::npos)
        << "a shell without desktops refuses the script";
}

// Regression: at session start only the system defaults' "monitor0" properties existed;
// they were set, and xfdesktop then drew its own default on the monitor it shows.
TEST(XfceBackendTest, WaitsForTheBackdropsXfdesktopShows) {
    const std::string legacy =
        "/backdrop/screen0/monitor0/image-path\n/backdrop/screen0/monitor0/last-image\n";
    const std::string shown = "/backdrop/screen0/monitorscreen/workspace0/last-image";
    const struct {
        const char* name;
        std::vector<std::string> listings;
        std::vector<std::string> set;  // the properties given the picture
        int notDrawnFor;               // how many times the first draw is not done yet
        int listed;                    // how many times the properties are listed
        std::vector<const char*> running = {"xfdesktop", "xfce4-session"};
        DesktopFailure failure = DesktopFailure::None;
    } rows[] = {
        {"appearsLater", {legacy, legacy, legacy + shown + "\n"}, {shown}, 0, 3},
        {"alreadyThere", {legacy + shown + "\n"}, {shown}, 0, 1},
        // An xfdesktop of the older layout: its properties, once nothing newer appears.
        {"olderLayoutOnly", {legacy}, {"/backdrop/screen0/monitor0/last-image"}, 0, 4},
        // Regression: under load the properties were there while xfdesktop still loaded its
        // default picture; the change was lost, and xfdesktop 4.18 crashed on it.
        {"drawnLater", {legacy + shown + "\n"}, {shown}, 2, 3},
        {"neverDrawn", {legacy + shown + "\n"}, {shown}, 100, 4},
        // Regression: without xfdesktop the older properties were set after the whole wait,
        // and the run reported success with nothing on the screen.
        {"sessionWithoutXfdesktop",
         {legacy},
         {},
         100,
         4,
         {"xfce4-session"},
         DesktopFailure::DesktopNotRunning},
        // Nothing that could start xfdesktop runs: no wait at all.
        {"plainlyAbsent", {legacy}, {}, 100, 0, {}, DesktopFailure::DesktopNotRunning},
    };
    for (const auto& r : rows) {
        RecordingRunner runner;
        runner.listings = r.listings;
        FakePrograms programs;
        for (const char* name : r.running) programs.Run({name});
        int notDrawn = r.notDrawnFor;
        const DesktopResult result = SetXfceWallpaper(
            runner, "/d/x.bmp", std::nullopt, 3, [&] { return notDrawn-- <= 0; }, &programs);
        EXPECT_EQ(result.failure, r.failure) << r.name;
        if (!result) {
            EXPECT_EQ(result.tool, "xfdesktop") << r.name;
        }
        std::vector<std::string> set;
        int listed = 0;
        for (const Argv& c : runner.calls) {
            if (c.size() == 7 && c[5] == "-s") set.push_back(c[4]);
            if (c.back() == "-l") ++listed;
        }
        EXPECT_EQ(set, r.set) << r.name;
        EXPECT_EQ(listed, r.listed) << r.name;
    }
}

TEST(XfceBackendTest, SetsEveryMonitorsImageAndStyle) {
    RecordingRunner runner;
    runner.answers["xfconf-query -c"] = {0,
                                         "/backdrop/screen0/monitorVirtual1/workspace0/color-style\n"
                                         "/backdrop/screen0/monitorVirtual1/workspace0/image-style\n"
                                         "/backdrop/screen0/monitorVirtual1/workspace0/last-image\n"
                                         "/backdrop/screen0/monitorHDMI-1/workspace0/last-image\n"
                                         "/last-image-not\n",
                                         ""};
    ASSERT_TRUE(SetXfceWallpaper(runner, "/d/shown-1.bmp", WallpaperLayout::Tiled));
    const std::string hdmi = "/backdrop/screen0/monitorHDMI-1/workspace0/";
    const std::string virt = "/backdrop/screen0/monitorVirtual1/workspace0/";
    EXPECT_EQ(
        runner.calls,
        (std::vector<Argv>{
            {"xfconf-query", "-c", "xfce4-desktop", "-l"},
            // A monitor without a style property gets one.
            {"xfconf-query", "-c", "xfce4-desktop", "-p", hdmi + "image-style", "-n", "-t", "int", "-s", "2"},
            {"xfconf-query", "-c", "xfce4-desktop", "-p", hdmi + "last-image", "-s", "/d/shown-1.bmp"},
            {"xfconf-query", "-c", "xfce4-desktop", "-p", virt + "image-style", "-s", "2"},
            {"xfconf-query", "-c", "xfce4-desktop", "-p", virt + "last-image", "-s", "/d/shown-1.bmp"},
        }));

    const struct {
        const char* name;
        std::optional<WallpaperLayout> layout;
        std::size_t calls;
        const char* style;
    } rows[] = {
        {"centred", WallpaperLayout::Centred, 5, "1"}, {"stretched", WallpaperLayout::Stretched, 5, "3"},
        {"fit", WallpaperLayout::Fit, 5, "4"},         {"fill", WallpaperLayout::Fill, 5, "5"},
        {"spanned", WallpaperLayout::Spanned, 5, "6"}, {"keepStyle", std::nullopt, 3, nullptr},
    };
    for (const auto& r : rows) {
        runner.calls.clear();
        ASSERT_TRUE(SetXfceWallpaper(runner, "/d/x.bmp", r.layout)) << r.name;
        EXPECT_EQ(runner.calls.size(), r.calls) << r.name;
        if (r.style) {
            EXPECT_EQ(runner.calls[1].back(), r.style) << r.name;
        }
    }

    // The entry's colour: one solid colour, four fractions with a decimal point whatever
    // the locale, once every monitor has its picture.
    runner.calls.clear();
    ASSERT_TRUE(SetXfceWallpaper(runner, "/d/x.bmp", WallpaperLayout::Fit, 0, {}, nullptr, 0x1E3A5F));
    ASSERT_EQ(runner.calls.size(), 9u);
    EXPECT_EQ(runner.calls[5], (Argv{"xfconf-query", "-c", "xfce4-desktop", "-p", hdmi + "color-style", "-n",
                                     "-t", "int", "-s", "0"}));
    EXPECT_EQ(runner.calls[6],
              (Argv{"xfconf-query", "-c", "xfce4-desktop", "-p", hdmi + "rgba1", "-n", "-a",       "-t",
                    "double",       "-s", "0.117647",      "-t", "double",       "-s", "0.227451", "-t",
                    "double",       "-s", "0.372549",      "-t", "double",       "-s", "1.000000"}));
    EXPECT_EQ(runner.calls[7],
              (Argv{"xfconf-query", "-c", "xfce4-desktop", "-p", virt + "color-style", "-s", "0"}));

    // A property that does not read back as set did not take.
    runner.forgetSettings = true;
    EXPECT_FALSE(SetXfceWallpaper(runner, "/d/y.bmp", std::nullopt));
    runner.forgetSettings = false;
    runner.failWhenContains = "last-image";
    EXPECT_FALSE(SetXfceWallpaper(runner, "/d/x.bmp", std::nullopt));
    RecordingRunner empty;
    EXPECT_FALSE(SetXfceWallpaper(empty, "/d/x.bmp", std::nullopt, 2)) << "no backdrop property at all";
    RecordingRunner missing;
    missing.answers["xfconf-query -c"] = {-1, "", ""};
    EXPECT_FALSE(SetXfceWallpaper(missing, "/d/x.bmp", std::nullopt)) << "no xfconf-query";
}

// A picture for each monitor xfdesktop draws, on each of its workspaces; any screen that is
// not a monitor of its own leaves everything to the spanned picture.
TEST(XfceBackendTest, EachMonitorGetsItsOwnPicture) {
    const std::string listing =
        "/backdrop/screen0/monitorHDMI-1/workspace0/last-image\n"
        "/backdrop/screen0/monitorHDMI-1/workspace1/last-image\n"
        "/backdrop/screen0/monitorHDMI-1/workspace0/image-style\n"
        "/backdrop/screen0/monitorDP-1/workspace0/last-image\n"
        "/backdrop/screen0/monitorDP-1-1/workspace0/last-image\n";
    const std::string hdmi = "/backdrop/screen0/monitorHDMI-1/", dp = "/backdrop/screen0/monitorDP-1/";
    const struct {
        const char* name;
        std::string listing;
        std::vector<std::string> monitors;
        bool handled;
        std::map<std::string, std::string> stored;  // what each property holds afterwards
    } rows[] = {
        {"eachOnItsOwn",
         listing,
         {"DP-1", "HDMI-1"},
         true,
         {{hdmi + "workspace0/last-image", "/d/2.bmp"},
          {hdmi + "workspace1/last-image", "/d/2.bmp"},
          {dp + "workspace0/last-image", "/d/1.bmp"},
          {hdmi + "workspace0/image-style", "3"},
          {hdmi + "workspace1/image-style", "3"},
          {dp + "workspace0/image-style", "3"}}},
        // As on Xvfb: a monitor made on no output is none of xfdesktop's, which draws nothing
        // there; the others get their own.
        {"aMonitorWithoutOutput",
         listing,
         {"HDMI-1", ""},
         true,
         {{hdmi + "workspace0/last-image", "/d/1.bmp"},
          {hdmi + "workspace1/last-image", "/d/1.bmp"},
          {hdmi + "workspace0/image-style", "3"},
          {hdmi + "workspace1/image-style", "3"}}},
        {"noMonitorOnAnOutput", listing, {"", ""}, false, {}},
        {"aMonitorXfdesktopDoesNotDraw", listing, {"HDMI-1", "VGA-1"}, false, {}},
        {"twoScreensOnOneMonitor", listing, {"HDMI-1", "HDMI-1"}, false, {}},
        {"olderLayoutOnly", "/backdrop/screen0/monitor0/last-image\n", {"HDMI-1", "DP-1"}, false, {}},
    };
    for (const auto& r : rows) {
        RecordingRunner runner;
        runner.listings = {r.listing};
        const std::optional<DesktopResult> set =
            SetXfceScreenWallpapers(runner, {"/d/1.bmp", "/d/2.bmp"}, r.monitors, 1);
        EXPECT_EQ(set.has_value(), r.handled) << r.name;
        if (set) {
            EXPECT_TRUE(*set) << r.name;
        }
        std::map<std::string, std::string> stored;
        for (const auto& [key, value] : runner.stored)
            stored[key.substr(std::string("xfce4-desktop ").size())] = value;
        EXPECT_EQ(stored, r.stored) << r.name;
    }
}

// The script of a picture for each screen, run by a JavaScript engine (node, where it is
// installed) against a stand-in for the shell's desktops: which picture each desktop gets,
// by its screen's place, else by Plasma's number for the screen.
TEST(KdeBackendTest, EachScreensDesktopGetsItsOwnPicture) {
    const std::vector<Screen> two = {{{0, 0, 1920, 1080}, "HDMI-1"}, {{1920, -200, 1280, 1024}, "DP-1"}};
    const std::vector<std::string> uris = {"file:///d/1.bmp", "file:///d/2\"q.bmp"};
    const struct {
        const char* name;
        const char* geometries;  // Plasma's screens' places, by its numbers
        const char* desktops;    // each desktop's screen number
        const char* images;      // what each desktop was given
    } rows[] = {
        {"samePlacesSameOrder", "[[0,0,1920,1080],[1920,-200,1280,1024]]", "[0,1]",
         R"(["file:///d/1.bmp","file:///d/2\"q.bmp"])"},
        {"byPlaceWhereNumberedOtherwise", "[[1920,-200,1280,1024],[0,0,1920,1080]]", "[1,0]",
         R"(["file:///d/1.bmp","file:///d/2\"q.bmp"])"},
        // Scaled Wayland screens have other places: their numbers count.
        {"noPlaceMatches", "[[0,0,960,540],[960,0,640,512]]", "[1,0]",
         R"(["file:///d/2\"q.bmp","file:///d/1.bmp"])"},
        {"desktopOnNoScreenOrBeyond", "[[0,0,1,1],[1,0,1,1],[2,0,1,1]]", "[-1,2,0]",
         R"([null,null,"file:///d/1.bmp"])"},
    };
    const std::string script = KdeScreensScript(uris, two);
    RecordingRunner runner;
    ASSERT_TRUE(SetKdeScreenWallpapers(runner, {"/d/1.bmp", "/d/2.bmp"}, two));
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(runner.calls[0].back(),
              "string:" + KdeScreensScript({"file:///d/1.bmp", "file:///d/2.bmp"}, two));
    if (std::system("command -v node >/dev/null 2>&1") != 0) GTEST_SKIP() << "no JavaScript engine";
    testing::TempDir dir;
    for (const auto& r : rows) {
        std::ofstream(dir / "run.js")
            << "var G = " << r.geometries << ", D = " << r.desktops
            << ", given = D.map(function() { return null; });\n"
            << "function screenGeometry(s) { var g = G[s]; return {x: g[0], y: g[1], width: g[2], height: "
               "g[3]}; }\n"
               "function desktops() { return D.map(function(s, i) { return {screen: s, writeConfig: "
               "function(k, v) "
               "{ if (k == 'Image') given[i] = v; }}; }); }\n"
            << script << "\nrequire('fs').writeFileSync(process.argv[2], JSON.stringify(given));\n";
        ASSERT_EQ(std::system(("node " + (dir / "run.js") + " " + (dir / "given")).c_str()), 0) << r.name;
        std::ifstream in(dir / "given");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), r.images) << r.name;
    }
}

TEST(SwayBackendTest, QuotesThePathForSwaysOwnSplitting) {
    const struct {
        const char* name;
        const char* path;
        WallpaperLayout layout;
        Argv argv;
    } rows[] = {
        {"centred",
         "/d/a.bmp",
         WallpaperLayout::Centred,
         {"swaymsg", "output", "*", "bg", "\"/d/a.bmp\"", "center"}},
        {"tiled",
         "/d/a.bmp",
         WallpaperLayout::Tiled,
         {"swaymsg", "output", "*", "bg", "\"/d/a.bmp\"", "tile"}},
        {"stretched",
         "/my pics/a.bmp",
         WallpaperLayout::Stretched,
         {"swaymsg", "output", "*", "bg", "\"/my pics/a.bmp\"", "stretch"}},
        {"fill", "/d/a.bmp", WallpaperLayout::Fill, {"swaymsg", "output", "*", "bg", "\"/d/a.bmp\"", "fill"}},
        {"fit", "/d/a.bmp", WallpaperLayout::Fit, {"swaymsg", "output", "*", "bg", "\"/d/a.bmp\"", "fit"}},
        {"quoteInPath",
         "/d/say \"hi\"\\.bmp",
         WallpaperLayout::Centred,
         {"swaymsg", "output", "*", "bg", R"("/d/say \"hi\"\\.bmp")", "center"}},
    };
    for (const auto& r : rows) {
        RecordingRunner runner;
        EXPECT_TRUE(SetSwayWallpaper(runner, r.path, r.layout)) << r.name;
        EXPECT_EQ(runner.calls, std::vector<Argv>{r.argv}) << r.name;
    }
    // The entry's colour after the mode, as sway takes it; swaybg takes it as an option.
    RecordingRunner coloured;
    EXPECT_TRUE(SetSwayWallpaper(coloured, "/d/a.bmp", WallpaperLayout::Fit, 0xFF8000));
    EXPECT_EQ(coloured.calls,
              (std::vector<Argv>{{"swaymsg", "output", "*", "bg", "\"/d/a.bmp\"", "fit", "#ff8000"}}));
    EXPECT_EQ(SwaybgCommand("/d/a.bmp", WallpaperLayout::Fit, 0xFF8000),
              (Argv{"swaybg", "-o", "*", "-i", "/d/a.bmp", "-m", "fit", "-c", "#ff8000"}));
    RecordingRunner refusing;
    refusing.failWhenContains = "bg";
    EXPECT_FALSE(SetSwayWallpaper(refusing, "/d/a.bmp", WallpaperLayout::Centred));
}

// sway's outputs from its JSON, disabled ones left out, and each shown its own bitmap.
TEST(SwayBackendTest, OutputsAndAPictureForEach) {
    const std::string json = R"([
  {"id": 3, "type": "output", "name": "HEADLESS-1", "active": true, "scale": 1.0,
   "rect": {"x": 0, "y": 0, "width": 1280, "height": 720}, "modes": [{"width": 9, "height": 9}]},
  {"name": "DP \"2\"", "active": true, "rect": {"x": 1280, "y": -100, "width": 1920, "height": 1080}},
  {"name": "HDMI-A-1", "active": false, "rect": {"x": 0, "y": 0, "width": 0, "height": 0}}
])";
    const std::vector<Screen> screens = {{{0, 0, 1280, 720}, "HEADLESS-1"},
                                         {{1280, -100, 1920, 1080}, "DP \"2\""}};
    EXPECT_EQ(ParseSwayOutputs(json), screens);
    for (const char* broken : {"", "{}", "[{\"name\": \"A\", \"rect\": {\"x\": 1", "[1, 2"})
        EXPECT_TRUE(ParseSwayOutputs(broken).empty()) << broken;

    RecordingRunner runner;
    ASSERT_TRUE(SetSwayOutputWallpapers(runner, {"/d/1.bmp", "/d/2.bmp"}, screens));
    EXPECT_EQ(runner.calls, (std::vector<Argv>{
                                {"swaymsg", "output", "\"HEADLESS-1\"", "bg", "\"/d/1.bmp\"", "stretch"},
                                {"swaymsg", "output", R"("DP \"2\"")", "bg", "\"/d/2.bmp\"", "stretch"},
                            }));
    RecordingRunner refusing;
    refusing.failWhenContains = "2.bmp";
    EXPECT_FALSE(SetSwayOutputWallpapers(refusing, {"/d/1.bmp", "/d/2.bmp"}, screens));
}

// LXQt and LXDE: the picture and, when the run wrote a style, the desktop's own mode; one
// argument each, so a blank in the path stays inside it.
TEST(PcmanfmBackendTest, PictureAndModeOnTheCommandLine) {
    const struct {
        const char* name;
        DesktopKind kind;
        std::optional<WallpaperLayout> layout;
        Argv argv;
        std::vector<std::string> environment = {};  // the running desktop's, besides its settings folder
    } rows[] = {
        {"lxqtCentred",
         DesktopKind::Lxqt,
         WallpaperLayout::Centred,
         {"pcmanfm-qt", "--set-wallpaper=/my pics/a.bmp", "--wallpaper-mode=center"}},
        {"lxqtTiled",
         DesktopKind::Lxqt,
         WallpaperLayout::Tiled,
         {"pcmanfm-qt", "--set-wallpaper=/my pics/a.bmp", "--wallpaper-mode=tile"}},
        {"lxqtKeepsItsStyle",
         DesktopKind::Lxqt,
         std::nullopt,
         {"pcmanfm-qt", "--set-wallpaper=/my pics/a.bmp"}},
        {"lxdeStretched",
         DesktopKind::Lxde,
         WallpaperLayout::Stretched,
         {"pcmanfm", "--set-wallpaper=/my pics/a.bmp", "--wallpaper-mode=stretch"}},
        {"lxdeKeepsItsStyle", DesktopKind::Lxde, std::nullopt, {"pcmanfm", "--set-wallpaper=/my pics/a.bmp"}},
        {"lxqtFill",
         DesktopKind::Lxqt,
         WallpaperLayout::Fill,
         {"pcmanfm-qt", "--set-wallpaper=/my pics/a.bmp", "--wallpaper-mode=zoom"}},
        {"lxdeFill",
         DesktopKind::Lxde,
         WallpaperLayout::Fill,
         {"pcmanfm", "--set-wallpaper=/my pics/a.bmp", "--wallpaper-mode=crop"}},
        {"lxdeFit",
         DesktopKind::Lxde,
         WallpaperLayout::Fit,
         {"pcmanfm", "--set-wallpaper=/my pics/a.bmp", "--wallpaper-mode=fit"}},
        // Regression: from cron, without the session's runtime folder, LXDE's pcmanfm did not
        // find its desktop, put up an error box of its own and waited until it was killed.
        {"inTheDesktopsSession",
         DesktopKind::Lxde,
         WallpaperLayout::Fit,
         {"env", "DISPLAY=:0", "XDG_RUNTIME_DIR=/run/user/7", "pcmanfm", "--set-wallpaper=/my pics/a.bmp",
          "--wallpaper-mode=fit"},
         {"XDG_RUNTIME_DIR=/run/user/7", "LANG=C", "DISPLAY=:0"}},
    };
    testing::TempDir config;
    for (const auto& r : rows) {
        RecordingRunner runner;
        FakePrograms programs;
        std::vector<std::string> environment = r.environment;
        environment.push_back("XDG_CONFIG_HOME=" + config.path());
        programs.Run({r.kind == DesktopKind::Lxqt ? "pcmanfm-qt" : "pcmanfm", "--desktop"}, environment);
        EXPECT_TRUE(SetPcmanfmWallpaper(runner, programs, r.kind, "/my pics/a.bmp", r.layout, 0)) << r.name;
        EXPECT_EQ(runner.calls, std::vector<Argv>{r.argv}) << r.name;
    }
    RecordingRunner refusing;
    refusing.failWhenContains = "--set-wallpaper";
    FakePrograms programs;
    programs.Run({"pcmanfm", "--desktop"});
    EXPECT_FALSE(SetPcmanfmWallpaper(refusing, programs, DesktopKind::Lxde, "/d/a.bmp", std::nullopt));
}

// The desktop's own settings file, read when the program starts, holds the picture and the
// mode after the change: as the tool left it, or written while the program is ended and
// started again. `before` is the file as the tool left it, `saved` what the program writes
// as it ends, `system` the profile's file in the system's folder.
TEST(PcmanfmBackendTest, SettingsFileHoldsThePictureAndMode) {
    using F = DesktopFailure;
    const std::vector<std::string> restarted = {"stop pcmanfm-qt", "restart pcmanfm-qt"};
    const std::string startedWith =
        "[Behavior]\nUseTrash=true\n\n[Desktop]\nBgColor=#000000\n"
        "Wallpaper=/d/a b.bmp\nWallpaperMode=none\nWallpaperRandomize=false\n\n"
        "[FolderView]\nMode=icon\n";
    enum class Program { Restarts, WillNotEnd, NotStartedAgain, HasOtherWindows };
    const struct {
        const char* name;
        DesktopKind kind;
        std::optional<WallpaperLayout> layout;
        const char* before;  // nullptr: no file
        const char* after;
        std::vector<std::string> events = {};
        const char* saved = nullptr;
        F failure = F::None;
        Program program = Program::Restarts;
        const char* system = nullptr;
        std::string path = "/d/a b.bmp";
        std::string profile = "";
    } rows[] = {
        {"kept", DesktopKind::Lxqt, WallpaperLayout::Fill,
         "[Desktop]\nWallpaper=/d/a b.bmp\nWallpaperMode=zoom\n",
         "[Desktop]\nWallpaper=/d/a b.bmp\nWallpaperMode=zoom\n"},
        // Regression: pcmanfm-qt 1.2 ignored zoom, wrote the mode it had started with, and
        // wrote it again as it ended; after the next log-in the screen was black.
        {"modeItStartedWith", DesktopKind::Lxqt, WallpaperLayout::Fill, startedWith.c_str(),
         "[Behavior]\nUseTrash=true\n\n[Desktop]\nBgColor=#000000\nWallpaper=/d/a b.bmp\nWallpaperMode=zoom\n"
         "WallpaperRandomize=false\n\n[FolderView]\nMode=icon\n",
         restarted, startedWith.c_str()},
        {"systemDefaultsOfItsProfile", DesktopKind::Lxqt, WallpaperLayout::Fit, nullptr,
         "[Desktop]\r\nWallpaperMode=fit\r\nWallpaper=\"/d/\\xe9t\\xe9,1.bmp\"\r\n\r\n[Window]\r\nX=1\r\n",
         restarted, nullptr, F::None, Program::Restarts,
         "[Desktop]\r\nWallpaperMode=stretch\r\nWallpaper=/usr/w.png\r\n\r\n[Window]\r\nX=1\r\n",
         "/d/\xc3\xa9t\xc3\xa9,1.bmp", "lxqt"},
        {"keepsItsStyle", DesktopKind::Lxqt, std::nullopt,
         "[Desktop]\nWallpaper=/o.bmp\nWallpaperMode=stretch\n",
         "[Desktop]\nWallpaper=/d/a b.bmp\nWallpaperMode=stretch\n", restarted},
        // A desktop without a mode would show no picture.
        {"noStyleToKeep", DesktopKind::Lxqt, std::nullopt,
         "[Desktop]\nWallpaper=/d/a b.bmp\nWallpaperMode=none\n",
         "[Desktop]\nWallpaper=/d/a b.bmp\nWallpaperMode=center\n", restarted},
        {"lxdeOnePerWorkspace", DesktopKind::Lxde, WallpaperLayout::Fit,
         "[*]\nwallpaper_mode=fit\nwallpaper_common=0\nwallpaper0=/x.bmp\nwallpaper1=/d/a b.bmp\n",
         "[*]\nwallpaper_mode=fit\nwallpaper_common=0\nwallpaper0=/x.bmp\nwallpaper1=/d/a b.bmp\n"},
        {"lxdeNotKept",
         DesktopKind::Lxde,
         WallpaperLayout::Tiled,
         "[*]\nwallpaper_mode=stretch\nwallpaper_common=0\nwallpaper=/o.bmp\n\n[a.desktop]\nx=1\n",
         "[*]\nwallpaper_mode=tile\nwallpaper_common=1\nwallpaper=/d/a b.bmp\n\n[a.desktop]\nx=1\n",
         {"stop pcmanfm", "restart pcmanfm"}},
        {"wouldNotEnd",
         DesktopKind::Lxqt,
         WallpaperLayout::Fill,
         startedWith.c_str(),
         startedWith.c_str(),
         {"stop pcmanfm-qt"},
         nullptr,
         F::ValueNotKept,
         Program::WillNotEnd},
        // Its file-manager windows would close with it.
        {"fileManagerWindowsOpen",
         DesktopKind::Lxqt,
         WallpaperLayout::Fill,
         startedWith.c_str(),
         startedWith.c_str(),
         {},
         nullptr,
         F::ValueNotKept,
         Program::HasOtherWindows},
        {"notStartedAgain", DesktopKind::Lxqt, WallpaperLayout::Fill, nullptr,
         "[Desktop]\nWallpaper=/d/a b.bmp\nWallpaperMode=zoom\n", restarted, nullptr, F::ToolNotRun,
         Program::NotStartedAgain},
    };
    for (const auto& r : rows) {
        testing::TempDir dir;
        const bool lxqt = r.kind == DesktopKind::Lxqt;
        const std::string program = lxqt ? "pcmanfm-qt" : "pcmanfm";
        FakePrograms programs;
        Argv argv = {program, "--desktop"};
        if (!r.profile.empty()) argv.push_back("--profile=" + r.profile);
        programs.Run(argv, {"HOME=" + dir.path(), "XDG_CONFIG_DIRS=/nowhere:" + (dir / "system")});
        programs.stops = r.program != Program::WillNotEnd;
        programs.restarts = r.program != Program::NotStartedAgain;
        programs.otherWindows = r.program == Program::HasOtherWindows;
        const std::string file = PcmanfmSettingsFile(r.kind, programs.running[program]);
        const std::string relative = file.substr((dir / ".config/").size());
        EXPECT_EQ(relative,
                  lxqt ? "pcmanfm-qt/" + (r.profile.empty() ? "default" : r.profile) + "/settings.conf"
                       : "pcmanfm/default/desktop-items-0.conf");
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        std::filesystem::create_directories(std::filesystem::path(dir / "system/" + relative).parent_path());
        if (r.before) std::ofstream(file, std::ios::binary) << r.before;
        if (r.system) std::ofstream(dir / "system/" + relative, std::ios::binary) << r.system;
        if (r.saved) programs.onStop = [&] { std::ofstream(file, std::ios::binary) << r.saved; };
        RecordingRunner runner;
        const DesktopResult result = SetPcmanfmWallpaper(runner, programs, r.kind, r.path, r.layout, 1);
        EXPECT_EQ(Reason(result), Reason({r.failure, {}, r.failure == F::None ? "" : program, {}, 0}))
            << r.name;
        std::ifstream in(file, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), r.after) << r.name;
        EXPECT_EQ(programs.events, r.events) << r.name;
    }

    // Without its desktop nothing is run: LXDE's pcmanfm would put up an error box.
    RecordingRunner runner;
    FakePrograms none;
    none.Run({"pcmanfm", "--desktop-pref"});
    EXPECT_EQ(Reason(SetPcmanfmWallpaper(runner, none, DesktopKind::Lxde, "/a.bmp", WallpaperLayout::Fit)),
              Reason({F::DesktopNotRunning, {}, "pcmanfm", {}, 0}));
    EXPECT_TRUE(runner.calls.empty());
}

// Hyprland: hyprpaper loads the picture, shows it on every monitor, and lets the earlier
// ones go; hyprctl exits 0 whatever hyprpaper said, so its "ok" is what counts.
TEST(HyprpaperBackendTest, PreloadShowAndUnload) {
    const struct {
        const char* name;
        WallpaperLayout layout;
        const char* shown;
    } rows[] = {
        {"centred", WallpaperLayout::Centred, ",contain:/d/a b.bmp"},
        {"tiled", WallpaperLayout::Tiled, ",tile:/d/a b.bmp"},
        {"stretched", WallpaperLayout::Stretched, ",/d/a b.bmp"},
        {"fill", WallpaperLayout::Fill, ",/d/a b.bmp"},
        {"fit", WallpaperLayout::Fit, ",contain:/d/a b.bmp"},
    };
    for (const auto& r : rows) {
        RecordingRunner runner;
        runner.answers["hyprctl hyprpaper"] = {0, "ok\n", ""};
        EXPECT_TRUE(HyprpaperAnswers(runner)) << r.name;
        EXPECT_TRUE(SetHyprpaperWallpaper(runner, "/d/a b.bmp", r.layout)) << r.name;
        EXPECT_EQ(runner.calls, (std::vector<Argv>{{"hyprctl", "hyprpaper", "listloaded"},
                                                   {"hyprctl", "hyprpaper", "preload", "/d/a b.bmp"},
                                                   {"hyprctl", "hyprpaper", "wallpaper", r.shown},
                                                   {"hyprctl", "hyprpaper", "unload", "unused"}}))
            << r.name;
    }
    RecordingRunner absent;
    absent.answers["hyprctl hyprpaper"] = {0, "Couldn't connect to /tmp/hypr/x/.hyprpaper.sock. (3)\n", ""};
    EXPECT_FALSE(HyprpaperAnswers(absent));
    EXPECT_FALSE(SetHyprpaperWallpaper(absent, "/d/a.bmp", WallpaperLayout::Centred));
    EXPECT_EQ(absent.calls.size(), 2u) << "nothing is shown after a refused preload";
    EXPECT_EQ(SwaybgCommand("/d/a b.bmp", WallpaperLayout::Tiled),
              (Argv{"swaybg", "-o", "*", "-i", "/d/a b.bmp", "-m", "tile"}));
    EXPECT_EQ(SwaybgCommand("/d/a.bmp", WallpaperLayout::Fill).back(), "fill");
    EXPECT_EQ(SwaybgCommand("/d/a.bmp", WallpaperLayout::Fit).back(), "fit");
}

// A desktop that did not take the picture names the last of its tools that failed or
// warned: one not run, one that exited with a status (saying why on standard error, or on
// standard output when that is all it wrote), one that exited 0 with a warning. Without
// any of these the desktop refused without a word.
TEST(DesktopBackendsTest, FailureNamesTheLastToolThatFailedOrWarned) {
    using Set = DesktopResult (*)(CommandRunner&);
    const Set gnome = [](CommandRunner& r) { return SetGsettingsWallpaper(r, DesktopKind::Gnome, "/a", {}); };
    const Set kde = [](CommandRunner& r) { return SetKdeWallpaper(r, "/a", std::nullopt, 2); };
    const Set xfce = [](CommandRunner& r) { return SetXfceWallpaper(r, "/a", std::nullopt, 2); };
    const Set sway = [](CommandRunner& r) { return SetSwayWallpaper(r, "/a", WallpaperLayout::Fit); };
    const Set lxqt = [](CommandRunner& r) {
        FakePrograms programs;
        programs.Run({"pcmanfm-qt", "--desktop"});
        return SetPcmanfmWallpaper(r, programs, DesktopKind::Lxqt, "/a", {});
    };
    const Set hypr = [](CommandRunner& r) { return SetHyprpaperWallpaper(r, "/a", WallpaperLayout::Fit); };
    const CommandResult notRun = {-1, "", ""};
    using F = DesktopFailure;
    const struct {
        const char* name;
        Set set;
        const char* failWhenContains;
        CommandResult answer;  // what those calls answer
        F failure;
        const char* tool = "";
        const char* said = "";
        int status = 0;
    } rows[] = {
        {"gsettingsMissing", gnome, "list-keys", notRun, F::ToolNotRun, "gsettings"},
        {"dconf",
         gnome,
         "file:",
         {0, "", "failed to commit\n"},
         F::ToolWarned,
         "gsettings",
         "failed to commit"},
        // The warning stays the reason when the read-back, which says nothing, then differs.
        {"warnedThenNotKept", gnome, "file:", {0, "", "no bus\n"}, F::ToolWarned, "gsettings", "no bus"},
        {"notKeptSilently", gnome, "picture-uri", {0, "'file:///b'\n", ""}, F::ValueNotKept, "gsettings"},
        {"dbusSendMissing", kde, "evaluateScript", notRun, F::ToolNotRun, "dbus-send"},
        {"xfconfMissing", xfce, "-l", notRun, F::ToolNotRun, "xfconf-query"},
        {"xfconfRefuses", xfce, "-s", {1, "", "denied\n"}, F::ToolFailed, "xfconf-query", "denied", 1},
        {"xfconfWarns", xfce, "-s", {0, "", "no daemon\n"}, F::ToolWarned, "xfconf-query", "no daemon"},
        {"xfconfForgetsSilently", xfce, "-s", {0, "", ""}, F::Refused},
        {"swaymsgMissing", sway, "bg", notRun, F::ToolNotRun, "swaymsg"},
        {"swayOutput", sway, "bg", {2, "Error: bad\n", ""}, F::ToolFailed, "swaymsg", "Error: bad", 2},
        {"lines", lxqt, "--set", {1, "", "no X\n\tbye\n"}, F::ToolFailed, "pcmanfm-qt", "no X  bye", 1},
        {"hyprpaperRefuses", hypr, "preload", {0, "wallpaper failed\n", ""}, F::Refused},
        {"hyprpaperWarns", hypr, "contain:", {0, "", "no monitor\n"}, F::ToolWarned, "hyprctl", "no monitor"},
        // Letting earlier pictures go is no part of showing this one.
        {"unloadFails", hypr, "unused", {1, "", "no such picture"}, F::None},
    };
    for (const auto& r : rows) {
        RecordingRunner runner;
        runner.answers["xfconf-query -c"] = {0, "/backdrop/screen0/monitorA/workspace0/last-image\n", ""};
        runner.answers["hyprctl hyprpaper"] = {0, "ok\n", ""};
        runner.failWhenContains = r.failWhenContains;
        runner.failure = r.answer;
        EXPECT_EQ(Reason(r.set(runner)), Reason({r.failure, {}, r.tool, r.said, r.status})) << r.name;
    }
}

// gsettings as a desktop session runs it: the dconf store in a configuration folder of
// the test's own, reached through a private session bus, or with no bus at all.
class PrivateGsettings {
public:
    explicit PrivateGsettings(bool bus) {
        env_.Unset("GSETTINGS_BACKEND");
        env_.Set("XDG_CONFIG_HOME", dir_ / "config");
        env_.Set("XDG_RUNTIME_DIR", dir_.path());
        // Without a bus address, D-Bus would start one for an X11 display.
        env_.Unset("DISPLAY");
        env_.Unset("DBUS_SESSION_BUS_ADDRESS");
        if (bus) {
            bus_.emplace();
            env_.Set("DBUS_SESSION_BUS_ADDRESS", bus_->address());
        }
    }
    bool HasBus() const { return bus_ && !bus_->address().empty(); }
    std::string Get(const std::string& schema, const std::string& key) {
        CommandResult r = runner.Run({"gsettings", "get", schema, key});
        while (!r.output.empty() && r.output.back() == '\n') r.output.pop_back();
        return r.status == 0 ? r.output : "<status " + std::to_string(r.status) + ">";
    }
    void HideSchemas() { env_.Set("XDG_DATA_DIRS", dir_ / "no-schemas"); }
    SpawnCommandRunner runner;

private:
    testing::TempDir dir_;
    testing::EnvironmentChange env_;
    std::optional<testing::SessionBus> bus_;
};

TEST(GsettingsDesktopTest, RealSchemasTakeThePictureAndItsStyle) {
    VEXAL_REQUIRE_TOOLS("gsettings", "dbus-daemon");
    // A fresh bus, as at log-in: no settings service runs yet, and the first change starts it.
    PrivateGsettings gs(true);
    ASSERT_TRUE(gs.HasBus());
    const std::string gnome = "org.gnome.desktop.background";
    const struct {
        const char* name;
        DesktopKind kind;
        const char* schema;
        const char* key;
        const char* path;
        WallpaperLayout layout;
        const char* picture;
        const char* options;
    } rows[] = {
        {"gnomeTiled", DesktopKind::Gnome, "org.gnome.desktop.background", "picture-uri",
         "/d/my pics/shown-1.bmp", WallpaperLayout::Tiled, "'file:///d/my%20pics/shown-1.bmp'",
         "'wallpaper'"},
        {"gnomeFill", DesktopKind::Gnome, "org.gnome.desktop.background", "picture-uri", "/d/f.bmp",
         WallpaperLayout::Fill, "'file:///d/f.bmp'", "'zoom'"},
        {"gnomeStretched", DesktopKind::Gnome, "org.gnome.desktop.background", "picture-uri", "/d/b.bmp",
         WallpaperLayout::Stretched, "'file:///d/b.bmp'", "'stretched'"},
        {"gnomeCentred", DesktopKind::Gnome, "org.gnome.desktop.background", "picture-uri", "/d/c.bmp",
         WallpaperLayout::Centred, "'file:///d/c.bmp'", "'centered'"},
        {"cinnamonFit", DesktopKind::Cinnamon, "org.cinnamon.desktop.background", "picture-uri", "/d/g.bmp",
         WallpaperLayout::Fit, "'file:///d/g.bmp'", "'scaled'"},
        {"mateFill", DesktopKind::Mate, "org.mate.background", "picture-filename", "/d/h.bmp",
         WallpaperLayout::Fill, "'/d/h.bmp'", "'zoom'"},
        {"cinnamonTiled", DesktopKind::Cinnamon, "org.cinnamon.desktop.background", "picture-uri", "/d/a.bmp",
         WallpaperLayout::Tiled, "'file:///d/a.bmp'", "'wallpaper'"},
        {"mateStretched", DesktopKind::Mate, "org.mate.background", "picture-filename", "/d/it's a.bmp",
         WallpaperLayout::Stretched, "\"/d/it's a.bmp\"", "'stretched'"},
    };
    for (const auto& r : rows) {
        ASSERT_TRUE(SetGsettingsWallpaper(gs.runner, r.kind, r.path, r.layout)) << r.name;
        EXPECT_EQ(gs.Get(r.schema, r.key), r.picture) << r.name;
        EXPECT_EQ(gs.Get(r.schema, "picture-options"), r.options) << r.name;
    }
    EXPECT_EQ(gs.Get(gnome, "picture-uri-dark"), "'file:///d/c.bmp'");
    // The entry's colour: the desktop's own, one plain colour.
    for (const auto& [kind, schema] : {std::pair{DesktopKind::Gnome, gnome},
                                       std::pair{DesktopKind::Mate, std::string("org.mate.background")}}) {
        ASSERT_TRUE(SetGsettingsWallpaper(gs.runner, kind, "/d/c.bmp", WallpaperLayout::Fit, 0x1E3A5F))
            << schema;
        EXPECT_EQ(gs.Get(schema, "primary-color"), "'#1e3a5f'") << schema;
        EXPECT_EQ(gs.Get(schema, "color-shading-type"), "'solid'") << schema;
    }

    // Without a style the desktop's own stays.
    ASSERT_EQ(gs.runner.Run({"gsettings", "set", gnome, "picture-options", "zoom"}).status, 0);
    ASSERT_TRUE(SetGsettingsWallpaper(gs.runner, DesktopKind::Gnome, "/d/it's.bmp", std::nullopt));
    EXPECT_EQ(gs.Get(gnome, "picture-options"), "'zoom'");
    EXPECT_EQ(gs.Get(gnome, "picture-uri"), "'file:///d/it%27s.bmp'");

    // A desktop whose schema is not installed has nothing that would read the values.
    gs.HideSchemas();
    for (DesktopKind kind : {DesktopKind::Gnome, DesktopKind::Cinnamon, DesktopKind::Mate})
        EXPECT_FALSE(SetGsettingsWallpaper(gs.runner, kind, "/d/a.bmp", WallpaperLayout::Centred));
}

TEST(GsettingsDesktopTest, WithoutASessionBusNothingIsStoredAndThatIsAFailure) {
    VEXAL_REQUIRE_TOOLS("gsettings");
    PrivateGsettings gs(false);
    const struct {
        DesktopKind kind;
        const char* schema;
        const char* key;
    } rows[] = {
        {DesktopKind::Gnome, "org.gnome.desktop.background", "picture-uri"},
        {DesktopKind::Cinnamon, "org.cinnamon.desktop.background", "picture-uri"},
        {DesktopKind::Mate, "org.mate.background", "picture-filename"},
    };
    for (const auto& r : rows) {
        const std::string before = gs.Get(r.schema, r.key);
        EXPECT_FALSE(SetGsettingsWallpaper(gs.runner, r.kind, "/d/a.bmp", WallpaperLayout::Centred))
            << r.schema;
        EXPECT_EQ(gs.Get(r.schema, r.key), before) << r.schema;
    }
}

TEST(GnomeBackendTest, ExactCommands) {
    RecordingRunner runner;
    runner.answers["gsettings list-keys"] = {0, "color-shading-type\npicture-uri\npicture-options\n", ""};
    ASSERT_TRUE(SetGsettingsWallpaper(runner, DesktopKind::Gnome, "/d/a.bmp", WallpaperLayout::Centred));
    const std::string s = "org.gnome.desktop.background";
    EXPECT_EQ(runner.calls, (std::vector<Argv>{{"gsettings", "list-keys", s},
                                               {"gsettings", "set", s, "picture-options", "'centered'"},
                                               {"gsettings", "set", s, "picture-uri", "'file:///d/a.bmp'"},
                                               {"gsettings", "get", s, "picture-uri"}}))
        << "an older GNOME without picture-uri-dark";

    // A value that does not read back was never stored, whatever gsettings said.
    runner.answers["gsettings get"] = {0, "'file:///usr/share/backgrounds/default.png'\n", ""};
    EXPECT_FALSE(SetGsettingsWallpaper(runner, DesktopKind::Gnome, "/d/a.bmp", WallpaperLayout::Centred));
    runner.answers["gsettings get"] = {0, "\"/d/it's.bmp\"\n", ""};
    EXPECT_TRUE(SetGsettingsWallpaper(runner, DesktopKind::Mate, "/d/it's.bmp", std::nullopt))
        << "gsettings prints a string holding ' in double quotes";
    // Nor does a change dconf says it could not commit.
    RecordingRunner warned;
    warned.answers["gsettings list-keys"] = {0, "picture-uri\npicture-options\n", ""};
    warned.setWarning = "(process:1): dconf-WARNING **: failed to commit changes to dconf: no bus\n";
    EXPECT_FALSE(SetGsettingsWallpaper(warned, DesktopKind::Gnome, "/d/a.bmp", WallpaperLayout::Centred));

    runner.answers["gsettings list-keys"] = {1, "", "No such schema"};
    runner.calls.clear();
    EXPECT_FALSE(SetGsettingsWallpaper(runner, DesktopKind::Gnome, "/d/a.bmp", WallpaperLayout::Centred));
    EXPECT_EQ(runner.calls.size(), 1u) << "nothing is written without the schema";
}

struct DesktopFixture {
    testing::TempDir home;
    RecordingRunner runner;
    QtImageDecoder decoder;
    std::map<std::string, std::string> env{{"HOME", home.path()}, {"VEXAL_DESKTOP", "gnome"}};
    std::string Folder() const { return home.path() + "/.local/share/vexal"; }
    LinuxDesktop Make() { return LinuxDesktop(decoder, runner, Env(env)); }
    DesktopFixture() { runner.answers["gsettings list-keys"] = {0, "picture-uri\npicture-options\n", ""}; }
};

TEST(LinuxDesktopTest, WallpaperFolderFollowsTheBaseDirectoryRules) {
    DesktopFixture f;
    std::string folder;
    ASSERT_TRUE(f.Make().WallpaperFolder(folder));
    EXPECT_EQ(folder, f.Folder());
    struct stat st {};
    EXPECT_TRUE(::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) << "created with its parents";

    f.env["XDG_DATA_HOME"] = f.home.path() + "/data";
    ASSERT_TRUE(f.Make().WallpaperFolder(folder));
    EXPECT_EQ(folder, f.home.path() + "/data/vexal");

    f.env["XDG_DATA_HOME"] = "relative/data";  // invalid, so ignored
    ASSERT_TRUE(f.Make().WallpaperFolder(folder));
    EXPECT_EQ(folder, f.Folder());

    f.env.clear();
    EXPECT_FALSE(f.Make().WallpaperFolder(folder));

    f.env["XDG_DATA_HOME"] = f.home / "file/below";
    std::ofstream(f.home / "file") << "not a folder";
    EXPECT_FALSE(f.Make().WallpaperFolder(folder));
}

TEST(LinuxDesktopTest, StyleIsRecordedAndOnlyAppliedWhenGiven) {
    DesktopFixture f;
    std::string folder;
    LinuxDesktop desktop = f.Make();
    ASSERT_TRUE(desktop.WallpaperFolder(folder));
    std::ofstream(folder + "/wall.bmp") << "bitmap 1";
    ASSERT_TRUE(desktop.SetWallpaper(folder + "/wall.bmp", {"2", "0"}));
    EXPECT_EQ(ReadFileText(folder + "/wallpaper-style"),
              "Control Panel\\Desktop\\TileWallpaper=0\nControl Panel\\Desktop\\WallpaperStyle=2\n");
    ASSERT_EQ(f.runner.calls.size(), 4u);
    EXPECT_EQ(f.runner.calls[1],
              (Argv{"gsettings", "set", "org.gnome.desktop.background", "picture-options", "'stretched'"}));
    const std::string firstUri = f.runner.LastSet("picture-uri");

    // A call without a style (an image named on the command line) keeps the desktop's
    // style, even from the desktop that was given one before, and points it at a new name.
    LinuxDesktop fresh = f.Make();
    for (LinuxDesktop* later : {&desktop, &fresh}) {
        f.runner.calls.clear();
        ASSERT_TRUE(later->SetWallpaper(folder + "/wall.bmp", {}));
        ASSERT_EQ(f.runner.calls.size(), 3u);
        EXPECT_EQ(f.runner.calls[1][3], "picture-uri");
        EXPECT_NE(f.runner.calls[1].back(), firstUri);
    }
    EXPECT_EQ(ReadFileText(folder + "/wallpaper-style"),
              "Control Panel\\Desktop\\TileWallpaper=0\nControl Panel\\Desktop\\WallpaperStyle=2\n");
}

TEST(LinuxDesktopTest, DesktopsSeeAFreshNameEachTimeAndOldNamesGo) {
    DesktopFixture f;
    std::string folder;
    LinuxDesktop desktop = f.Make();
    ASSERT_TRUE(desktop.WallpaperFolder(folder));
    const std::string bitmap = folder + "/wall.bmp";
    std::ofstream(bitmap) << "bitmap";
    auto shownFiles = [&folder] {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            if (e.path().filename().string().rfind(kShownPrefix, 0) == 0) names.push_back(e.path().string());
        return names;
    };
    auto uriPath = [](const std::string& gv) {
        return gv.substr(std::string("'file://").size(), gv.size() - 9);
    };

    ASSERT_TRUE(desktop.SetWallpaper(bitmap, {}));
    const std::string first = uriPath(f.runner.LastSet("picture-uri"));
    EXPECT_EQ(shownFiles(), std::vector<std::string>{first});
    struct stat a {
    }, b{};
    ASSERT_EQ(::stat(first.c_str(), &a), 0);
    ASSERT_EQ(::stat(bitmap.c_str(), &b), 0);
    EXPECT_EQ(a.st_ino, b.st_ino) << "a link, not a copy";

    ASSERT_TRUE(desktop.SetWallpaper(bitmap, {}));
    const std::string second = uriPath(f.runner.LastSet("picture-uri"));
    EXPECT_NE(second, first);
    EXPECT_EQ(shownFiles(), std::vector<std::string>{second}) << "the previous name is removed";

    // A refusing desktop keeps showing the last name that worked, and what its tool said
    // becomes the reason the user is given.
    f.runner.failWhenContains = "picture-uri";
    const DesktopResult refused = desktop.SetWallpaper(bitmap, {});
    EXPECT_FALSE(refused);
    EXPECT_EQ(shownFiles(), std::vector<std::string>{second});
    EXPECT_EQ(Reason(refused), Reason({DesktopFailure::ToolFailed, {}, "gsettings", "refused", 1}));

    // Regression: a copy that failed half way (here: a folder where the bitmap should be,
    // so linking fails and the copy reads nothing) left its partial file behind.
    f.runner.failWhenContains.clear();
    const std::string notAFile = folder + "/folder.bmp";
    ::mkdir(notAFile.c_str(), 0700);
    const DesktopResult notPrepared = desktop.SetWallpaper(notAFile, {});
    EXPECT_FALSE(notPrepared);
    EXPECT_EQ(shownFiles(), std::vector<std::string>{second});
    EXPECT_EQ(notPrepared.failure, DesktopFailure::FileNotPrepared);
    EXPECT_EQ(notPrepared.subject.rfind(folder + "/" + kShownPrefix, 0), 0u) << notPrepared.subject;

    f.env["VEXAL_DESKTOP"] = "";
    LinuxDesktop nowhere = f.Make();
    const DesktopResult noScreen = nowhere.SetWallpaper(bitmap, {});
    EXPECT_FALSE(noScreen) << "no desktop and no display";
    EXPECT_EQ(Reason(noScreen), Reason({DesktopFailure::NoScreen, {}, {}, {}, 0}));
}

// Everything in a folder, by name.
std::map<std::string, std::string> FolderContents(const std::string& folder) {
    std::map<std::string, std::string> contents;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        contents[e.path().filename().string()] = ReadFileText(e.path().string());
    return contents;
}

// Regression: the style was recorded before the desktop was asked, so a desktop that
// refused the picture was left with the new style all the same. Now a refused change
// leaves the data folder as it found it: the record keeps its bytes or stays absent, and
// no name made for the desktop stays.
TEST(LinuxDesktopTest, ARefusedChangeLeavesTheDataFolderAsItWas) {
    const struct {
        const char* name;
        std::map<std::string, std::string> env;  // besides HOME
        const char* failWhenContains;            // what the scripted tools refuse
        bool realGsettingsWithoutBus;
        DesktopFailure failure;  // None: any
    } rows[] = {
        {"x11RootWithoutAServer",
         {{"VEXAL_DESKTOP", "x11"}, {"DISPLAY", ":9999"}},
         "",
         false,
         DesktopFailure::NotDrawn},
        {"gnomeToolRefuses", {{"VEXAL_DESKTOP", "gnome"}}, "picture-uri", false, DesktopFailure::ToolFailed},
        // dconf's warning comes or not, by how far gsettings got before it found no bus; the
        // value does not read back either way.
        {"gnomeWithoutASessionBus", {{"VEXAL_DESKTOP", "gnome"}}, "", true, DesktopFailure::None},
        {"lxqtDesktopNotRunning",
         {{"VEXAL_DESKTOP", "lxqt"}, {"DISPLAY", ":9999"}},
         "",
         false,
         DesktopFailure::DesktopNotRunning},
    };
    // Not quite the record's own format, so that a record written again would show.
    const std::string kept =
        "Control Panel\\Desktop\\WallpaperStyle=0\nControl Panel\\Desktop\\TileWallpaper=1\nleft as it was";
    for (const auto& r : rows) {
        std::optional<PrivateGsettings> gsettings;
        if (r.realGsettingsWithoutBus) {
            if (const std::string missing = testing::MissingTool({"gsettings"}); !missing.empty()) {
                if (testing::InCi()) ADD_FAILURE() << missing << " is missing; scripts/setup installs it";
                continue;
            }
            gsettings.emplace(false);
        }
        for (const bool recorded : {false, true}) {
            DesktopFixture f;
            f.env = r.env;
            f.env["HOME"] = f.home.path();
            f.runner.failWhenContains = r.failWhenContains;
            CommandRunner& runner = gsettings ? static_cast<CommandRunner&>(gsettings->runner) : f.runner;
            LinuxDesktop desktop(f.decoder, runner, Env(f.env));
            std::string folder;
            ASSERT_TRUE(desktop.WallpaperFolder(folder)) << r.name;
            std::ofstream(folder + "/wall.bmp") << "bitmap";
            if (recorded) std::ofstream(folder + "/" + kStyleRecordName) << kept;
            const std::map<std::string, std::string> before = FolderContents(folder);

            const DesktopResult set = desktop.SetWallpaper(folder + "/wall.bmp", {"2", "0"});
            EXPECT_FALSE(set) << r.name;
            if (r.failure != DesktopFailure::None) {
                EXPECT_EQ(set.failure, r.failure) << r.name << " " << Reason(set);
            }
            EXPECT_EQ(FolderContents(folder), before) << r.name << (recorded ? ", recorded" : ", no record");
        }
    }
}

// Other Wayland compositors: a swaybg started to outlive the run, and the one an earlier run
// started ended once the new one runs. A stand-in on PATH records its arguments and waits
// to be ended; another that exits at once is a failure with what it said.
TEST(LinuxDesktopTest, SwaybgIsStartedAndThePreviousOneEnded) {
    DesktopFixture f;
    SpawnCommandRunner spawner;
    f.env = {{"HOME", f.home.path()}, {"WAYLAND_DISPLAY", "wayland-9"}};
    std::filesystem::create_directory(f.home / "bin");
    const std::string stub = f.home / "bin/swaybg";
    {
        std::ofstream script(stub);
        script << "#!/bin/sh\n"
                  "if [ -n \"$FAILING\" ]; then echo 'cannot reach the compositor' >&2; exit 3; fi\n"
                  "echo \"$@\" > \"$0.args.$$\"\n"
                  "echo \"drawing $$\" >&2\n"
                  "trap 'kill $child; exit 0' TERM\n"
                  "sleep 600 & child=$!\n"
                  "wait\n";
    }
    std::filesystem::permissions(stub, std::filesystem::perms::owner_all);
    testing::EnvironmentChange env;
    env.Set("PATH", f.home / "bin:/usr/bin:/bin");
    env.Set("FAILING", "");
    LinuxDesktop desktop(f.decoder, spawner, Env(f.env));
    std::string folder;
    ASSERT_TRUE(desktop.WallpaperFolder(folder));
    std::ofstream(folder + "/wall.bmp") << "bitmap";
    auto recorded = [&] {
        std::ifstream in(folder + "/" + kSwaybgPidName);
        std::string line;
        std::getline(in, line);
        return line.rfind("pid=", 0) == 0 ? std::stoi(line.substr(4)) : -1;
    };
    auto ended = [](int pid) {
        return testing::WaitUntil([pid] { return ::waitpid(pid, nullptr, WNOHANG) == pid; });
    };

    ASSERT_TRUE(desktop.SetWallpaper(folder + "/wall.bmp", {}));
    const int first = recorded();
    ASSERT_GT(first, 0);
    const std::string argsFile = stub + ".args." + std::to_string(first);
    std::string line;
    ASSERT_TRUE(testing::WaitUntil([&] {
        std::ifstream args(argsFile);
        return std::getline(args, line) && !line.empty();
    }));
    EXPECT_EQ(line.rfind("-o * -i " + folder + "/" + kShownPrefix, 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - 10), " -m center") << line;

    ASSERT_TRUE(desktop.SetWallpaper(folder + "/wall.bmp", {}));
    const int second = recorded();
    EXPECT_NE(second, first);
    EXPECT_TRUE(ended(first)) << "the earlier swaybg is ended";
    EXPECT_EQ(::kill(second, 0), 0) << "the new one keeps running";
    const std::string log = folder + "/" + kSwaybgLogName;
    EXPECT_TRUE(testing::WaitUntil([&] {
        return ReadFileText(log) == "drawing " + std::to_string(second) + "\n";
    })) << "the log is the running one's: "
        << ReadFileText(log);

    // One that gives up at once is a failure, and the running one stays.
    env.Set("FAILING", "1");
    const DesktopResult failed = desktop.SetWallpaper(folder + "/wall.bmp", {});
    EXPECT_FALSE(failed);
    EXPECT_EQ(Reason(failed),
              Reason({DesktopFailure::ToolFailed, {}, "swaybg", "cannot reach the compositor", 3}));
    EXPECT_EQ(recorded(), second);
    // Regression: the one that gave up wrote over the running one's log.
    EXPECT_EQ(ReadFileText(log), "drawing " + std::to_string(second) + "\n");
    for (const auto& e : std::filesystem::directory_iterator(folder))
        EXPECT_NE(e.path().filename().string().rfind(kTempPrefix, 0), 0u) << e.path();
    ::kill(second, SIGTERM);
    EXPECT_TRUE(ended(second));
}

// Regression: a tool that closed its output and kept running held the program in the
// final wait for as long as it ran, past the time limit.
TEST(CommandRunnerTest, TimeLimitCoversTheWholeRun) {
    const struct {
        const char* name;
        std::vector<std::string> argv;
        int status;
        const char* output;
    } rows[] = {
        {"exitsAtOnce", {"sh", "-c", "echo out; echo err >&2; exit 3"}, 3, "out\n"},
        {"closesOutputThenRuns", {"sh", "-c", "echo early; exec >&- 2>&-; sleep 20"}, -1, "early\n"},
        {"runsWithOutputOpen", {"sh", "-c", "sleep 20"}, -1, ""},
        {"missingTool", {"/nonexistent/tool"}, -1, ""},
    };
    for (const auto& row : rows) {
        SpawnCommandRunner runner(300);
        const CommandResult r = runner.Run(row.argv);
        EXPECT_EQ(r.status, row.status) << row.name;
        EXPECT_EQ(r.output, row.output) << row.name;
    }
}

}  // namespace
}  // namespace vexal
