// The desktops' commands, the choice of desktop, and the Linux wallpaper folder: GNOME
// against the real gsettings with a private keyfile, the others down to the exact
// command lines they issue.
#include "platform/linux/desktop_backends.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/linux/linux_desktop.h"
#include "platform/linux/qt_image_decoder.h"
#include "posix/temp_dir.h"
#include "wallpaper/install.h"

namespace vexal {
namespace {

using Argv = std::vector<std::string>;

// Records the commands that change a setting and keeps what they set, so that reading a
// key back ("gsettings get") finds it; reads are kept apart in `reads`.
class RecordingRunner final : public CommandRunner {
public:
    std::vector<Argv> calls;
    std::vector<Argv> reads;
    // Canned answers by argv[0] + " " + argv[1]; status 0 and no output otherwise.
    std::map<std::string, CommandResult> answers;
    // Calls whose argv contains this fail with status 1.
    std::string failWhenContains;
    // Settings written (by schema and key), as gsettings prints them back.
    std::map<std::string, std::string> stored;
    // A desktop that answers the set but keeps the old value (dconf without its bus).
    bool forgetSettings = false;
    std::string setWarning;

    CommandResult Run(const Argv& argv) override {
        if (argv.size() == 4 && argv[0] == "gsettings" && argv[1] == "get") {
            reads.push_back(argv);
            return {0, stored[argv[2] + " " + argv[3]] + "\n", ""};
        }
        if (argv.size() == 5 && argv[0] == "xfconf-query" && argv[3] == "-p") {
            reads.push_back(argv);
            return {0, stored[argv[2] + " " + argv[4]] + "\n", ""};
        }
        calls.push_back(argv);
        for (const auto& a : argv)
            if (!failWhenContains.empty() && a.find(failWhenContains) != std::string::npos)
                return {1, "", "refused"};
        if (argv.size() == 5 && argv[0] == "gsettings" && argv[1] == "set") {
            if (!forgetSettings) stored[argv[2] + " " + argv[3]] = argv[4];
            return {0, "", setWarning};
        }
        if (argv[0] == "xfconf-query" && argv.size() >= 7 && argv[argv.size() - 2] == "-s" && !forgetSettings)
            stored[argv[2] + " " + argv[4]] = argv.back();
        auto it = answers.find(argv[0] + " " + (argv.size() > 1 ? argv[1] : ""));
        if (it != answers.end()) return it->second;
        return {0, "", ""};
    }
};

EnvLookup Env(std::map<std::string, std::string> vars) {
    return [vars](const std::string& name) {
        auto it = vars.find(name);
        return it == vars.end() ? std::string() : it->second;
    };
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
        // An unknown Wayland compositor's X11 root is invisible: better to fail.
        {"unknownWayland", {{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}}, DesktopKind::None},
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
    EXPECT_EQ(LayoutFromStyle("6", "0"), WallpaperLayout::Centred);
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
    // A URI can never close the string literal early.
    EXPECT_NE(KdeScript("file:///a\"b\\c", std::nullopt).find(R"(var image = "file:///a\"b\\c";)"),
              std::string::npos);

    runner.failWhenContains = "evaluateScript";
    EXPECT_FALSE(SetKdeWallpaper(runner, "/d/x.bmp", WallpaperLayout::Tiled))
        << "a script error fails the call";
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
        {"centred", WallpaperLayout::Centred, 5, "1"},
        {"stretched", WallpaperLayout::Stretched, 5, "3"},
        {"keepStyle", std::nullopt, 3, nullptr},
    };
    for (const auto& r : rows) {
        runner.calls.clear();
        ASSERT_TRUE(SetXfceWallpaper(runner, "/d/x.bmp", r.layout)) << r.name;
        EXPECT_EQ(runner.calls.size(), r.calls) << r.name;
        if (r.style) {
            EXPECT_EQ(runner.calls[1].back(), r.style) << r.name;
        }
    }

    EXPECT_EQ(runner.reads.back(), (Argv{"xfconf-query", "-c", "xfce4-desktop", "-p", virt + "last-image"}))
        << "each image is read back";
    runner.forgetSettings = true;
    EXPECT_FALSE(SetXfceWallpaper(runner, "/d/y.bmp", std::nullopt)) << "a setting that did not take";
    runner.forgetSettings = false;
    runner.failWhenContains = "last-image";
    EXPECT_FALSE(SetXfceWallpaper(runner, "/d/x.bmp", std::nullopt));
    RecordingRunner empty;
    EXPECT_FALSE(SetXfceWallpaper(empty, "/d/x.bmp", std::nullopt)) << "no backdrop property at all";
    RecordingRunner missing;
    missing.answers["xfconf-query -c"] = {-1, "", ""};
    EXPECT_FALSE(SetXfceWallpaper(missing, "/d/x.bmp", std::nullopt)) << "no xfconf-query";
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
    RecordingRunner refusing;
    refusing.failWhenContains = "bg";
    EXPECT_FALSE(SetSwayWallpaper(refusing, "/d/a.bmp", WallpaperLayout::Centred));
}

// Points gsettings at a keyfile of its own for the life of the test, and lets schemas be
// added from a private folder.
class PrivateGsettings {
public:
    PrivateGsettings() {
        Save("GSETTINGS_BACKEND");
        Save("XDG_CONFIG_HOME");
        Save("GSETTINGS_SCHEMA_DIR");
        ::setenv("GSETTINGS_BACKEND", "keyfile", 1);
        ::setenv("XDG_CONFIG_HOME", (config_ / "config").c_str(), 1);
    }
    ~PrivateGsettings() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }
    std::string Get(const std::string& schema, const std::string& key) {
        CommandResult r = runner.Run({"gsettings", "get", schema, key});
        while (!r.output.empty() && r.output.back() == '\n') r.output.pop_back();
        return r.status == 0 ? r.output : "<status " + std::to_string(r.status) + ">";
    }
    // Compiles a schema with the given keys (all strings or the options enum) into a
    // private folder that gsettings then also reads.
    bool AddSchema(const std::string& id, const std::vector<std::string>& keys) {
        const std::string dir = config_ / "schemas";
        ::mkdir(dir.c_str(), 0700);
        std::ofstream xml(dir + "/" + id + ".gschema.xml");
        xml << "<schemalist><enum id='" << id << ".options'>"
            << "<value nick='none' value='0'/><value nick='wallpaper' value='1'/><value nick='centered' "
               "value='2'/>"
            << "<value nick='scaled' value='3'/><value nick='stretched' value='4'/><value nick='zoom' "
               "value='5'/>"
            << "<value nick='spanned' value='6'/></enum><schema id='" << id << "' path='/" << id << "/'>";
        for (const auto& k : keys) {
            if (k == "picture-options")
                xml << "<key name='picture-options' enum='" << id
                    << ".options'><default>'zoom'</default></key>";
            else
                xml << "<key name='" << k << "' type='s'><default>''</default></key>";
        }
        xml << "</schema></schemalist>";
        xml.close();
        if (runner.Run({"glib-compile-schemas", dir}).status != 0) return false;
        ::setenv("GSETTINGS_SCHEMA_DIR", dir.c_str(), 1);
        return true;
    }
    SpawnCommandRunner runner;

private:
    void Save(const char* name) {
        const char* v = std::getenv(name);
        saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
    }
    testing::TempDir config_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(GnomeBackendTest, RealGsettingsStoreUriOptionsAndDarkUri) {
    PrivateGsettings gs;
    if (gs.runner.Run({"gsettings", "list-keys", "org.gnome.desktop.background"}).status != 0)
        GTEST_SKIP() << "gsettings or the GNOME schemas are not installed";
    const std::string schema = "org.gnome.desktop.background";
    ASSERT_TRUE(SetGsettingsWallpaper(gs.runner, DesktopKind::Gnome, "/d/my pics/shown-1.bmp",
                                      WallpaperLayout::Tiled));
    EXPECT_EQ(gs.Get(schema, "picture-uri"), "'file:///d/my%20pics/shown-1.bmp'");
    EXPECT_EQ(gs.Get(schema, "picture-uri-dark"), "'file:///d/my%20pics/shown-1.bmp'");
    EXPECT_EQ(gs.Get(schema, "picture-options"), "'wallpaper'");

    ASSERT_TRUE(SetGsettingsWallpaper(gs.runner, DesktopKind::Gnome, "/d/b.bmp", WallpaperLayout::Stretched));
    EXPECT_EQ(gs.Get(schema, "picture-options"), "'stretched'");
    ASSERT_TRUE(SetGsettingsWallpaper(gs.runner, DesktopKind::Gnome, "/d/c.bmp", WallpaperLayout::Centred));
    EXPECT_EQ(gs.Get(schema, "picture-options"), "'centered'");

    // Without a style the desktop's own stays.
    ASSERT_EQ(gs.runner.Run({"gsettings", "set", schema, "picture-options", "zoom"}).status, 0);
    ASSERT_TRUE(SetGsettingsWallpaper(gs.runner, DesktopKind::Gnome, "/d/it's.bmp", std::nullopt));
    EXPECT_EQ(gs.Get(schema, "picture-options"), "'zoom'");
    EXPECT_EQ(gs.Get(schema, "picture-uri"), "'file:///d/it%27s.bmp'");
}

TEST(GnomeBackendTest, CinnamonAndMateNeedTheirSchema) {
    PrivateGsettings gs;
    if (gs.runner.Run({"gsettings", "--version"}).status != 0) GTEST_SKIP() << "gsettings is not installed";
    for (DesktopKind kind : {DesktopKind::Cinnamon, DesktopKind::Mate})
        EXPECT_FALSE(SetGsettingsWallpaper(gs.runner, kind, "/d/a.bmp", WallpaperLayout::Centred))
            << "no schema, nothing that would read it";

    if (!gs.AddSchema("org.cinnamon.desktop.background", {"picture-uri", "picture-options"}) ||
        !gs.AddSchema("org.mate.background", {"picture-filename", "picture-options"}))
        GTEST_SKIP() << "glib-compile-schemas is not installed";
    // glib-compile-schemas compiles every schema of the folder, so both are now known.
    ASSERT_TRUE(
        SetGsettingsWallpaper(gs.runner, DesktopKind::Mate, "/d/it's a.bmp", WallpaperLayout::Stretched));
    EXPECT_EQ(gs.Get("org.mate.background", "picture-filename"), "\"/d/it's a.bmp\"");
    EXPECT_EQ(gs.Get("org.mate.background", "picture-options"), "'stretched'");
    ASSERT_TRUE(SetGsettingsWallpaper(gs.runner, DesktopKind::Cinnamon, "/d/a.bmp", WallpaperLayout::Tiled));
    EXPECT_EQ(gs.Get("org.cinnamon.desktop.background", "picture-uri"), "'file:///d/a.bmp'");
    EXPECT_EQ(gs.Get("org.cinnamon.desktop.background", "picture-options"), "'wallpaper'");
}

TEST(GnomeBackendTest, ExactCommands) {
    RecordingRunner runner;
    runner.answers["gsettings list-keys"] = {0, "color-shading-type\npicture-uri\npicture-options\n", ""};
    ASSERT_TRUE(SetGsettingsWallpaper(runner, DesktopKind::Gnome, "/d/a.bmp", WallpaperLayout::Centred));
    const std::string s = "org.gnome.desktop.background";
    EXPECT_EQ(runner.calls, (std::vector<Argv>{{"gsettings", "list-keys", s},
                                               {"gsettings", "set", s, "picture-options", "'centered'"},
                                               {"gsettings", "set", s, "picture-uri", "'file:///d/a.bmp'"}}))
        << "an older GNOME without picture-uri-dark";
    EXPECT_EQ(runner.reads.size(), 2u) << "every key is read back";

    // A set that exits 0 without taking is a failure: dconf without its session bus warns
    // and keeps the old value.
    const struct {
        const char* name;
        bool forget;
        const char* warning;
    } untaken[] = {
        {"valueNotStored", true, ""},
        {"commitWarning", false,
         "(process:1): dconf-WARNING **: failed to commit changes to dconf: no bus\n"},
    };
    for (const auto& r : untaken) {
        RecordingRunner refusing;
        refusing.answers = runner.answers;
        refusing.forgetSettings = r.forget;
        refusing.setWarning = r.warning;
        EXPECT_FALSE(SetGsettingsWallpaper(refusing, DesktopKind::Gnome, "/d/b.bmp", std::nullopt)) << r.name;
    }

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

TEST(LinuxDesktopTest, StyleIsRecordedAndOnlyAppliedWhenWrittenThisRun) {
    DesktopFixture f;
    std::string folder;
    {
        LinuxDesktop desktop = f.Make();
        ASSERT_TRUE(desktop.WallpaperFolder(folder));
        std::ofstream(folder + "/wall.bmp") << "bitmap 1";
        desktop.SetKeyValue(kDesktopKey, kWallpaperStyleName, "2");
        desktop.SetKeyValue(kDesktopKey, kTileWallpaperName, "0");
        ASSERT_TRUE(desktop.SetWallpaper(folder + "/wall.bmp"));
    }
    std::ifstream record(folder + "/wallpaper-style");
    std::string text((std::istreambuf_iterator<char>(record)), {});
    EXPECT_EQ(text, "Control Panel\\Desktop\\TileWallpaper=0\nControl Panel\\Desktop\\WallpaperStyle=2\n");
    ASSERT_EQ(f.runner.calls.size(), 3u);
    EXPECT_EQ(f.runner.calls[1],
              (Argv{"gsettings", "set", "org.gnome.desktop.background", "picture-options", "'stretched'"}));
    const std::string firstUri = f.runner.calls[2].back();

    // A later run that writes no values (an image named on the command line) keeps the
    // desktop's style, and points it at a new name.
    f.runner.calls.clear();
    ASSERT_TRUE(f.Make().SetWallpaper(folder + "/wall.bmp"));
    ASSERT_EQ(f.runner.calls.size(), 2u);
    EXPECT_EQ(f.runner.calls[1][3], "picture-uri");
    EXPECT_NE(f.runner.calls[1].back(), firstUri);
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

    ASSERT_TRUE(desktop.SetWallpaper(bitmap));
    const std::string first = uriPath(f.runner.calls.back().back());
    EXPECT_EQ(shownFiles(), std::vector<std::string>{first});
    struct stat a {
    }, b{};
    ASSERT_EQ(::stat(first.c_str(), &a), 0);
    ASSERT_EQ(::stat(bitmap.c_str(), &b), 0);
    EXPECT_EQ(a.st_ino, b.st_ino) << "a link, not a copy";

    ASSERT_TRUE(desktop.SetWallpaper(bitmap));
    const std::string second = uriPath(f.runner.calls.back().back());
    EXPECT_NE(second, first);
    EXPECT_EQ(shownFiles(), std::vector<std::string>{second}) << "the previous name is removed";

    // A refusing desktop keeps showing the last name that worked.
    f.runner.failWhenContains = "picture-uri";
    EXPECT_FALSE(desktop.SetWallpaper(bitmap));
    EXPECT_EQ(shownFiles(), std::vector<std::string>{second});

    f.env["VEXAL_DESKTOP"] = "";
    EXPECT_FALSE(f.Make().SetWallpaper(bitmap)) << "no desktop and no display";
}

}  // namespace
}  // namespace vexal
