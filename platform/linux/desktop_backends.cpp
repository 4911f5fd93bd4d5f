// Commands for GNOME (with Budgie and Pantheon), Cinnamon, MATE, KDE Plasma, XFCE, LXQt,
// LXDE, sway, Hyprland and swaybg.
#include "platform/linux/desktop_backends.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string_view>
#include <thread>

#include "platform/linux/ini_text.h"
#include "text/case.h"
#include "text/json.h"

namespace vexal {
namespace {

// Names as XDG_CURRENT_DESKTOP and DESKTOP_SESSION spell them (lower-cased), matched as
// prefixes, so "gnome-xorg", "plasmawayland" or "xfce4" are recognised as well.
const struct {
    const char* prefix;
    DesktopKind kind;
} kSessionNames[] = {
    {"gnome", DesktopKind::Gnome},         {"ubuntu", DesktopKind::Gnome},
    {"unity", DesktopKind::Gnome},         {"budgie", DesktopKind::Gnome},
    {"x-cinnamon", DesktopKind::Cinnamon}, {"cinnamon", DesktopKind::Cinnamon},
    {"mate", DesktopKind::Mate},           {"kde", DesktopKind::Kde},
    {"plasma", DesktopKind::Kde},          {"xfce", DesktopKind::Xfce},
    {"swaybg", DesktopKind::Wayland},      {"sway", DesktopKind::Sway},
    {"pantheon", DesktopKind::Gnome},      {"lxqt", DesktopKind::Lxqt},
    {"lxde", DesktopKind::Lxde},           {"hyprland", DesktopKind::Hyprland},
};

// The windows in which desktop programs draw the background and icons, by their class:
// a session that names no desktop (a window manager of the user's choice with one of
// these for the icons, or a run from cron) still has its background drawn by them.
const struct {
    const char* windowClass;
    DesktopKind kind;
} kDesktopWindows[] = {
    {"xfdesktop", DesktopKind::Xfce},        {"caja", DesktopKind::Mate},
    {"nemo-desktop", DesktopKind::Cinnamon}, {"pcmanfm", DesktopKind::Lxde},
    {"pcmanfm-qt", DesktopKind::Lxqt},       {"plasmashell", DesktopKind::Kde},
};

DesktopKind FromSessionName(std::string_view name) {
    const std::string lower = ToLower(name);
    for (const auto& n : kSessionNames)
        if (lower.rfind(n.prefix, 0) == 0) return n.kind;
    return DesktopKind::None;
}

// GVariant text of a string: single quotes, with backslash and quote escaped.
std::string GVariantString(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\\' || c == '\'') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('\'');
    return out;
}

// A JavaScript string literal.
std::string JsString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += "\\u00";
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    out.push_back('"');
    return out;
}

// The string a GVariant text stands for ('…' or "…", as gsettings prints it); nullopt when
// the text is no string.
std::optional<std::string> ParseGVariantString(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    if (text.size() < 2 || (text[0] != '\'' && text[0] != '"') || text.back() != text[0]) return std::nullopt;
    std::string out;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 2 < text.size()) {
            c = text[++i];
            switch (c) {
                case 'n':
                    c = '\n';
                    break;
                case 't':
                    c = '\t';
                    break;
                case 'r':
                    c = '\r';
                    break;
                default:
                    break;
            }
        }
        out.push_back(c);
    }
    return out;
}

// Runs one backend's tools and keeps why the last of them that failed or warned did so:
// when the change then does not hold, that is the reason the user is given.
class Tools {
public:
    explicit Tools(CommandRunner& runner) : runner_(runner) {}
    // `tool` names the tool when argv[0] is a program that starts it.
    CommandResult Run(const std::vector<std::string>& argv, const std::string& tool = {}) {
        CommandResult result = runner_.Run(argv);
        Note(tool.empty() ? argv.front() : tool, result);
        return result;
    }
    bool Ran(const std::vector<std::string>& argv, const std::string& tool = {}) {
        return Run(argv, tool).status == 0;
    }
    // The reason kept, or `silent` when every tool ended well and quietly.
    DesktopResult Failure(DesktopResult silent = {DesktopFailure::Refused, {}, {}, {}, 0}) const {
        return reason_.Ok() ? silent : reason_;
    }

private:
    void Note(const std::string& tool, const CommandResult& result) {
        if (result.status == 0) {
            // Some tools report a change they could not make only as a warning (gsettings
            // without its session bus): the warning is the reason if the change then fails.
            const std::string said = OneLine(result.errors);
            if (!said.empty()) reason_ = {DesktopFailure::ToolWarned, {}, tool, said, 0};
        } else if (result.status < 0) {
            reason_ = {DesktopFailure::ToolNotRun, {}, tool, {}, 0};
        } else {
            const std::string said = OneLine(result.errors.empty() ? result.output : result.errors);
            reason_ = {DesktopFailure::ToolFailed, {}, tool, said, result.status};
        }
    }

    CommandRunner& runner_;
    DesktopResult reason_;
};

// A gsettings change: dconf without its session bus warns that it could not commit and
// still exits 0.
bool SetGsetting(Tools& tools, const std::string& schema, const std::string& key, const std::string& value) {
    const CommandResult set = tools.Run({"gsettings", "set", schema, key, GVariantString(value)});
    return set.status == 0 && set.errors.find("failed to commit") == std::string::npos;
}

// gsettings exits 0 even when the value never reached the settings store (dconf without a
// session bus only warns), so a change counts when a fresh process reads it back.
bool SetAndConfirm(Tools& tools, const std::string& schema, const std::string& key,
                   const std::string& value) {
    if (!SetGsetting(tools, schema, key, value)) return false;
    const CommandResult read = tools.Run({"gsettings", "get", schema, key});
    return read.status == 0 && ParseGVariantString(read.output) == value;
}

std::set<std::string> Lines(const std::string& text) {
    std::set<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.insert(line);
    }
    return lines;
}

const char* GnomeOption(WallpaperLayout layout) {
    switch (layout) {
        case WallpaperLayout::Tiled:
            return "wallpaper";
        case WallpaperLayout::Stretched:
            return "stretched";
        case WallpaperLayout::Fill:
            return "zoom";
        case WallpaperLayout::Fit:
            return "scaled";
        case WallpaperLayout::Spanned:
            return "spanned";
        case WallpaperLayout::Centred:
            break;
    }
    return "centered";
}

}  // namespace

std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) line.push_back(c == '\n' || c == '\r' || c == '\t' ? ' ' : c);
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    line = line.substr(first, line.find_last_not_of(' ') - first + 1);
    constexpr std::size_t kMax = 300;
    if (line.size() > kMax) {
        std::size_t cut = kMax;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
        line = line.substr(0, cut) + "…";
    }
    return line;
}

EnvLookup ProcessEnvironment() {
    return [](const std::string& name) {
        const char* v = std::getenv(name.c_str());
        return std::string(v ? v : "");
    };
}

DesktopKind DetectDesktop(const EnvLookup& env) {
    const std::string forced = ToLower(env("VEXAL_DESKTOP"));
    if (forced == "x11") return DesktopKind::X11;
    if (!forced.empty()) {
        const DesktopKind k = FromSessionName(forced);
        if (k != DesktopKind::None) return k;
    }
    std::istringstream current(env("XDG_CURRENT_DESKTOP"));
    for (std::string token; std::getline(current, token, ':');) {
        const DesktopKind k = FromSessionName(token);
        if (k != DesktopKind::None) return k;
    }
    if (const DesktopKind k = FromSessionName(env("DESKTOP_SESSION")); k != DesktopKind::None) return k;
    if (!env("SWAYSOCK").empty()) return DesktopKind::Sway;
    if (!env("HYPRLAND_INSTANCE_SIGNATURE").empty()) return DesktopKind::Hyprland;
    if (env("KDE_FULL_SESSION") == "true") return DesktopKind::Kde;
    // On a Wayland session the X11 root is not what the user sees; a background drawn
    // through the compositor's layer shell is.
    if (!env("WAYLAND_DISPLAY").empty()) return DesktopKind::Wayland;
    if (ToLower(env("XDG_SESSION_TYPE")) == "wayland") return DesktopKind::None;
    if (!env("DISPLAY").empty()) return DesktopKind::X11;
    return DesktopKind::None;
}

DesktopKind FromDesktopWindowClass(std::string_view windowClass) {
    const std::string lower = ToLower(windowClass);
    for (const auto& w : kDesktopWindows)
        if (lower == w.windowClass) return w.kind;
    return DesktopKind::None;
}

WallpaperLayout LayoutFromStyle(const std::string& wallpaperStyle, const std::string& tileWallpaper) {
    if (tileWallpaper == "1") return WallpaperLayout::Tiled;
    if (wallpaperStyle == "22") return WallpaperLayout::Spanned;
    if (wallpaperStyle == "2") return WallpaperLayout::Stretched;
    if (wallpaperStyle == "10") return WallpaperLayout::Fill;
    if (wallpaperStyle == "6") return WallpaperLayout::Fit;
    return WallpaperLayout::Centred;
}

std::string FileUri(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : path) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            uri.push_back(static_cast<char>(c));
        } else {
            uri.push_back('%');
            uri.push_back(hex[c >> 4]);
            uri.push_back(hex[c & 15]);
        }
    }
    return uri;
}

namespace {

bool SetGsettings(Tools& tools, DesktopKind kind, const std::string& path,
                  std::optional<WallpaperLayout> layout, std::optional<std::uint32_t> colour) {
    const char* schema = kind == DesktopKind::Cinnamon ? "org.cinnamon.desktop.background"
                         : kind == DesktopKind::Mate   ? "org.mate.background"
                                                       : "org.gnome.desktop.background";
    // A desktop whose schema is not installed has nothing that would read the values.
    const CommandResult keys = tools.Run({"gsettings", "list-keys", schema});
    if (keys.status != 0) return false;
    const std::set<std::string> known = Lines(keys.output);

    if (layout && !SetGsetting(tools, schema, "picture-options", GnomeOption(*layout))) return false;
    if (kind == DesktopKind::Mate) {
        if (!SetAndConfirm(tools, schema, "picture-filename", path)) return false;
    } else {
        const std::string uri = FileUri(path);
        if (!SetAndConfirm(tools, schema, "picture-uri", uri)) return false;
        // GNOME 42 and later show this one while the dark style is on.
        if (known.count("picture-uri-dark") && !SetGsetting(tools, schema, "picture-uri-dark", uri))
            return false;
    }
    // The colour only once the picture is taken, as one plain colour (the shading would
    // blend in the second); the picture is shown whatever becomes of it.
    if (colour && known.count("primary-color") &&
        SetGsetting(tools, schema, "primary-color", HexColour(*colour)) && known.count("color-shading-type"))
        (void)SetGsetting(tools, schema, "color-shading-type", "solid");
    return true;
}

}  // namespace

DesktopResult SetGsettingsWallpaper(CommandRunner& runner, DesktopKind kind, const std::string& path,
                                    std::optional<WallpaperLayout> layout,
                                    std::optional<std::uint32_t> colour) {
    Tools tools(runner);
    if (SetGsettings(tools, kind, path, layout, colour)) return {};
    // dconf without its session bus does not always get to warn before gsettings exits;
    // the read-back is then the only witness.
    return tools.Failure({DesktopFailure::ValueNotKept, {}, "gsettings", {}, 0});
}

std::string HexColour(std::uint32_t colour) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text = "#";
    for (int shift = 20; shift >= 0; shift -= 4) text.push_back(kHex[(colour >> shift) & 15]);
    return text;
}

std::string KdeScript(const std::string& imageUri, std::optional<WallpaperLayout> layout,
                      std::optional<std::uint32_t> colour) {
    // FillMode values of the image plugin: 0 stretched, 1 fit (the shape kept, whole),
    // 2 fill (the shape kept, cut), 3 tiled, 6 centred. Plasma 6.6
    // moved tiling into a plugin of its own; it is used when installed, and without it a
    // tiled wallpaper is refused there (the error fails the D-Bus call).
    std::string fill = "null";
    bool tiled = false;
    if (layout) {
        switch (*layout) {
            case WallpaperLayout::Centred:
                fill = "6";
                break;
            case WallpaperLayout::Stretched:
            case WallpaperLayout::Spanned:
                fill = "0";
                break;
            case WallpaperLayout::Fit:
                fill = "1";
                break;
            case WallpaperLayout::Fill:
                fill = "2";
                break;
            case WallpaperLayout::Tiled:
                fill = "3";
                tiled = true;
                break;
        }
    }
    std::string s;
    s += "var image = " + JsString(imageUri) + ";\n";
    s += "var fill = " + fill + ";\n";
    s += "var tiled = " + std::string(tiled ? "true" : "false") + ";\n";
    s += "var color = " + (colour ? JsString(HexColour(*colour)) : std::string("null")) + ";\n";
    s += R"(var plugin = "org.kde.image";
function isTilePlugin(id) { return id != "org.kde.image" && id.toLowerCase().indexOf("tile") >= 0; }
if (tiled) {
    var found = "";
    var known = knownWallpaperPlugins();
    for (var id in known) if (isTilePlugin(id)) found = id;
    var v = applicationVersion.split(".");
    var major = parseInt(v[0]), minor = parseInt(v[1]);
    if (found) { plugin = found; fill = null; }
    else if (major > 6 || (major == 6 && minor >= 6)) throw new Error("no tiled wallpaper plugin");
}
var all = desktops();
if (all.length == 0) throw new Error("vexal: no desktop yet");
for (var i = 0; i < all.length; i++) {
    var d = all[i];
    var p = plugin;
    if (fill === null && !tiled && isTilePlugin(d.wallpaperPlugin)) p = d.wallpaperPlugin;
    d.wallpaperPlugin = p;
    d.currentConfigGroup = ["Wallpaper", p, "General"];
    d.writeConfig("Image", image);
    if (fill !== null) d.writeConfig("FillMode", fill);
    if (color !== null) d.writeConfig("Color", color);
}
)";
    return s;
}

std::string KdeScreensScript(const std::vector<std::string>& imageUris, const std::vector<Screen>& screens) {
    std::string images, rects;
    for (std::size_t i = 0; i < imageUris.size(); ++i) {
        images += (i ? ", " : "") + JsString(imageUris[i]);
        const PixelRect r = i < screens.size() ? screens[i].rect : PixelRect{};
        rects += std::string(i ? ", " : "") + "[" + std::to_string(r.x) + ", " + std::to_string(r.y) + ", " +
                 std::to_string(r.width) + ", " + std::to_string(r.height) + "]";
    }
    // A desktop's screen is Plasma's number for it: the screen whose place it has, and
    // by number where no place matches (the primary screen is 0, as it is first in the
    // list given). A desktop on no screen (-1) is left alone. Each bitmap is made at its
    // screen's size, so it is stretched (FillMode 0) to stand exactly as made.
    std::string s;
    s += "var images = [" + images + "];\n";
    s += "var rects = [" + rects + "];\n";
    s += R"(function imageFor(screen) {
    if (screen < 0) return null;
    var g = null;
    try { g = screenGeometry(screen); } catch (e) { g = null; }
    for (var i = 0; g && i < rects.length; i++)
        if (g.x == rects[i][0] && g.y == rects[i][1] && g.width == rects[i][2] && g.height == rects[i][3])
            return images[i];
    return screen < images.length ? images[screen] : null;
}
var all = desktops();
if (all.length == 0) throw new Error("vexal: no desktop yet");
for (var i = 0; i < all.length; i++) {
    var d = all[i];
    var image = imageFor(d.screen);
    if (image === null) continue;
    d.wallpaperPlugin = "org.kde.image";
    d.currentConfigGroup = ["Wallpaper", "org.kde.image", "General"];
    d.writeConfig("Image", image);
    d.writeConfig("FillMode", 0);
}
)";
    return s;
}

namespace {

DesktopResult RunPlasmaScript(CommandRunner& runner, const std::string& script, int startPolls) {
    const std::vector<std::string> call = {
        "dbus-send",     "--session",    "--dest=org.kde.plasmashell",         "--type=method_call",
        "--print-reply", "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript", "string:" + script};
    // At session start the shell may not be on the bus yet, or be there without its
    // desktops, when a script would change nothing and still succeed (the script refuses
    // that). Both pass within seconds; anything else is an answer.
    Tools tools(runner);
    for (int poll = 0;; ++poll) {
        const CommandResult result = tools.Run(call);
        if (result.status == 0) return {};
        const std::string said = result.output + result.errors;
        const bool starting = said.find("org.freedesktop.DBus.Error.ServiceUnknown") != std::string::npos ||
                              said.find("org.freedesktop.DBus.Error.NameHasNoOwner") != std::string::npos ||
                              said.find("vexal: no desktop yet") != std::string::npos;
        if (!starting || poll >= startPolls) return tools.Failure();
        std::this_thread::sleep_for(std::chrono::milliseconds(kPlasmaPollMs));
    }
}

}  // namespace

DesktopResult SetKdeWallpaper(CommandRunner& runner, const std::string& path,
                              std::optional<WallpaperLayout> layout, int startPolls,
                              std::optional<std::uint32_t> colour) {
    return RunPlasmaScript(runner, KdeScript(FileUri(path), layout, colour), startPolls);
}

DesktopResult SetKdeScreenWallpapers(CommandRunner& runner, const std::vector<std::string>& paths,
                                     const std::vector<Screen>& screens, int startPolls) {
    std::vector<std::string> uris;
    for (const std::string& path : paths) uris.push_back(FileUri(path));
    return RunPlasmaScript(runner, KdeScreensScript(uris, screens), startPolls);
}

namespace {

bool EndsWith(const std::string& text, std::string_view end) {
    return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The backdrops xfdesktop draws are one per monitor and workspace
// ("/backdrop/screen0/monitorHDMI-1/workspace0/last-image"); "monitor0/last-image" without
// a workspace is an older layout, which system defaults (Debian's desktop-base among them)
// still ship and which nothing on the screen follows any more.
std::set<std::string> ShownBackdrops(const std::set<std::string>& properties, bool& legacyOut) {
    std::set<std::string> shown, legacy;
    for (const std::string& property : properties) {
        if (!EndsWith(property, "/last-image")) continue;
        (property.find("/workspace") != std::string::npos ? shown : legacy).insert(property);
    }
    legacyOut = shown.empty();
    return shown.empty() ? legacy : shown;
}

const DesktopResult kXfdesktopNotRunning{DesktopFailure::DesktopNotRunning, {}, "xfdesktop", {}, 0};

// The backdrop properties xfdesktop shows, once it has made them and drawn (see
// SetXfceWallpaper): `properties` all of the channel's, `legacyOut` whether only the older
// layout's are there.
DesktopResult WaitForBackdrops(Tools& tools, int startPolls, const std::function<bool()>& firstDrawn,
                               DesktopPrograms* programs, std::set<std::string>& propertiesOut,
                               std::set<std::string>& backdropsOut, bool& legacyOut) {
    // With neither xfdesktop nor the session manager that starts it running, nothing
    // could come to draw while the wait lasts.
    if (programs && !programs->Find("xfdesktop") && !programs->Find("xfce4-session"))
        return kXfdesktopNotRunning;
    CommandResult listed = tools.Run({"xfconf-query", "-c", "xfce4-desktop", "-l"});
    if (listed.status != 0) return tools.Failure();
    propertiesOut = Lines(listed.output);
    backdropsOut = ShownBackdrops(propertiesOut, legacyOut);
    // At session start xfdesktop makes its monitor's properties, from its default picture,
    // only when it first draws, up to seconds after the session's settings exist; a picture
    // set before that is drawn over. Its properties appearing is the sign to wait for: set
    // from then on, the picture stays.
    const auto drawn = [&] { return !firstDrawn || firstDrawn(); };
    for (int poll = 0; (legacyOut || !drawn()) && poll < startPolls; ++poll) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kXfdesktopPollMs));
        listed = tools.Run({"xfconf-query", "-c", "xfce4-desktop", "-l"});
        if (listed.status != 0) return tools.Failure();
        propertiesOut = Lines(listed.output);
        backdropsOut = ShownBackdrops(propertiesOut, legacyOut);
    }
    // The settings outlive xfdesktop (the system's defaults, the last session's), and
    // nothing on the screen would follow them.
    if (programs && !programs->Find("xfdesktop")) return kXfdesktopNotRunning;
    return {};
}

// A colour channel 0..255 as the fraction xfconf stores ("0.501961"), with a decimal point
// whatever the locale says.
std::string UnitFraction(std::uint32_t channel) {
    const std::uint32_t millionths = (channel * 1000000 + 127) / 255;
    std::string digits = std::to_string(millionths % 1000000);
    return std::to_string(millionths / 1000000) + "." + std::string(6 - digits.size(), '0') + digits;
}

// Sets each of `backdrops` ("…/last-image") to the picture `pathFor` gives it, in `style`
// (xfdesktop's image-style; null keeps the monitor's own), and reads each back.
DesktopResult SetBackdrops(Tools& tools, const std::set<std::string>& properties,
                           const std::set<std::string>& backdrops, const char* style,
                           const std::function<std::string(const std::string&)>& pathFor) {
    const std::string suffix = "/last-image";
    for (const std::string& property : backdrops) {
        const std::string path = pathFor(property);
        if (style) {
            const std::string styleProperty =
                property.substr(0, property.size() - suffix.size()) + "/image-style";
            std::vector<std::string> set = {"xfconf-query", "-c", "xfce4-desktop", "-p", styleProperty};
            if (!properties.count(styleProperty)) set.insert(set.end(), {"-n", "-t", "int"});
            set.insert(set.end(), {"-s", style});
            if (!tools.Ran(set)) return tools.Failure();
        }
        if (!tools.Ran({"xfconf-query", "-c", "xfce4-desktop", "-p", property, "-s", path}))
            return tools.Failure();
        // Read back: a daemon that is not there can leave the call without an error.
        const CommandResult shown = tools.Run({"xfconf-query", "-c", "xfce4-desktop", "-p", property});
        std::string value = shown.output;
        while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
        if (shown.status != 0 || value != path) return tools.Failure();
    }
    return {};
}

// Gives each of `backdrops` ("…/last-image") the solid colour (color-style 0) `colour` in
// rgba1, four doubles from 0 to 1: only once their pictures are taken, and the pictures are
// shown whatever becomes of it.
void SetBackdropColours(Tools& tools, const std::set<std::string>& properties,
                        const std::set<std::string>& backdrops, std::uint32_t colour) {
    const std::string suffix = "/last-image";
    for (const std::string& property : backdrops) {
        const std::string base = property.substr(0, property.size() - suffix.size());
        std::vector<std::string> solid = {"xfconf-query", "-c", "xfce4-desktop", "-p", base + "/color-style"};
        if (!properties.count(base + "/color-style")) solid.insert(solid.end(), {"-n", "-t", "int"});
        solid.insert(solid.end(), {"-s", "0"});
        std::vector<std::string> rgba = {"xfconf-query", "-c", "xfce4-desktop", "-p", base + "/rgba1",
                                         "-n",           "-a"};
        for (int shift : {16, 8, 0})
            rgba.insert(rgba.end(), {"-t", "double", "-s", UnitFraction((colour >> shift) & 255)});
        rgba.insert(rgba.end(), {"-t", "double", "-s", "1.000000"});
        if (!tools.Ran(solid) || !tools.Ran(rgba)) return;
    }
}

// image-style: 1 centred, 2 tiled, 3 stretched, 4 scaled (fit), 5 zoomed (fill), 6 spanning
// screens.
const char* XfceStyle(std::optional<WallpaperLayout> layout) {
    return !layout                                 ? nullptr
           : *layout == WallpaperLayout::Spanned   ? "6"
           : *layout == WallpaperLayout::Tiled     ? "2"
           : *layout == WallpaperLayout::Stretched ? "3"
           : *layout == WallpaperLayout::Fit       ? "4"
           : *layout == WallpaperLayout::Fill      ? "5"
                                                   : "1";
}

// The monitor a backdrop property belongs to: "HDMI-1" of
// "/backdrop/screen0/monitorHDMI-1/workspace0/last-image"; empty for none.
std::string BackdropMonitor(const std::string& property) {
    const std::size_t start = property.find("/monitor");
    const std::size_t end = start == std::string::npos ? start : property.find("/workspace", start);
    if (end == std::string::npos) return {};
    return property.substr(start + 8, end - start - 8);
}

}  // namespace

DesktopResult SetXfceWallpaper(CommandRunner& runner, const std::string& path,
                               std::optional<WallpaperLayout> layout, int startPolls,
                               const std::function<bool()>& firstDrawn, DesktopPrograms* programs,
                               std::optional<std::uint32_t> colour) {
    Tools tools(runner);
    std::set<std::string> properties, backdrops;
    bool legacy = false;
    if (DesktopResult waited =
            WaitForBackdrops(tools, startPolls, firstDrawn, programs, properties, backdrops, legacy);
        !waited)
        return waited;
    if (DesktopResult set = SetBackdrops(tools, properties, backdrops, XfceStyle(layout),
                                         [&](const std::string&) { return path; });
        !set)
        return set;
    if (colour) SetBackdropColours(tools, properties, backdrops, *colour);
    // Without any monitor's property there is no backdrop that would take the picture.
    return backdrops.empty() ? tools.Failure() : DesktopResult{};
}

std::optional<DesktopResult> SetXfceScreenWallpapers(CommandRunner& runner,
                                                     const std::vector<std::string>& paths,
                                                     const std::vector<std::string>& monitors, int startPolls,
                                                     const std::function<bool()>& firstDrawn,
                                                     DesktopPrograms* programs) {
    Tools tools(runner);
    std::set<std::string> properties, backdrops;
    bool legacy = false;
    if (DesktopResult waited =
            WaitForBackdrops(tools, startPolls, firstDrawn, programs, properties, backdrops, legacy);
        !waited)
        return waited;
    if (legacy || monitors.size() != paths.size()) return std::nullopt;
    // A screen on no output (a RandR monitor made on none) is no monitor to xfdesktop,
    // which draws nothing there: neither its own picture nor a spanned one (that would be
    // squeezed into the monitors it knows) can be shown on it, and the others get their
    // own. Every other screen must be a monitor xfdesktop draws, each its own; otherwise
    // one would keep its old picture, and the caller spans one over them all instead.
    std::map<std::string, std::string> pathOf;
    for (std::size_t i = 0; i < monitors.size(); ++i)
        if (!monitors[i].empty() && !pathOf.emplace(monitors[i], paths[i]).second) return std::nullopt;
    if (pathOf.empty()) return std::nullopt;
    std::set<std::string> ours;
    for (const std::string& property : backdrops)
        if (pathOf.count(BackdropMonitor(property))) ours.insert(property);
    for (const auto& [monitor, path] : pathOf)
        if (std::none_of(ours.begin(), ours.end(),
                         [&](const std::string& p) { return BackdropMonitor(p) == monitor; }))
            return std::nullopt;
    // Each bitmap is made at its monitor's size: stretched, it stands exactly as made.
    return SetBackdrops(tools, properties, ours, XfceStyle(WallpaperLayout::Stretched),
                        [&](const std::string& property) { return pathOf[BackdropMonitor(property)]; });
}

namespace {

// swaymsg joins its arguments into one sway command, which is split at blanks again: a
// path or name is quoted so a blank inside it survives.
std::string SwayQuoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted.push_back('\\');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

std::int32_t Whole(const JsonValue* value) {
    if (!value || value->kind != JsonValue::Kind::Number) return 0;
    const double v = value->number;
    return v < -1e9 || v > 1e9 ? 0 : static_cast<std::int32_t>(std::lround(v));
}

}  // namespace

std::vector<Screen> ParseSwayOutputs(const std::string& json) {
    std::vector<Screen> screens;
    JsonValue all;
    if (!ParseJson(json, all) || all.kind != JsonValue::Kind::Array) return screens;
    for (const JsonValue& output : all.items) {
        const JsonValue* active = output.Member("active");
        const JsonValue* name = output.Member("name");
        const JsonValue* rect = output.Member("rect");
        // A disabled output keeps a name but shows nothing.
        if ((active && active->kind == JsonValue::Kind::Bool && !active->truth) || !name || !rect) continue;
        const Screen screen{{Whole(rect->Member("x")), Whole(rect->Member("y")), Whole(rect->Member("width")),
                             Whole(rect->Member("height"))},
                            name->text};
        if (screen.rect.width > 0 && screen.rect.height > 0) screens.push_back(screen);
    }
    return screens;
}

std::vector<Screen> SwayOutputs(CommandRunner& runner) {
    const CommandResult listed = runner.Run({"swaymsg", "-r", "-t", "get_outputs"});
    return listed.status == 0 ? ParseSwayOutputs(listed.output) : std::vector<Screen>();
}

DesktopResult SetSwayOutputWallpapers(CommandRunner& runner, const std::vector<std::string>& paths,
                                      const std::vector<Screen>& screens) {
    Tools tools(runner);
    // Each bitmap has its output's size already: stretched, it is drawn as it is, also on an
    // output that sway scales.
    for (std::size_t i = 0; i < paths.size() && i < screens.size(); ++i)
        if (!tools.Ran(
                {"swaymsg", "output", SwayQuoted(screens[i].name), "bg", SwayQuoted(paths[i]), "stretch"}))
            return tools.Failure();
    return {};
}

namespace {

// The style names sway's `output bg` and swaybg share; neither spans one picture across
// outputs, so a spanned picture is stretched.
const char* SwayMode(WallpaperLayout layout) {
    switch (layout) {
        case WallpaperLayout::Tiled:
            return "tile";
        case WallpaperLayout::Stretched:
        case WallpaperLayout::Spanned:
            return "stretch";
        case WallpaperLayout::Fill:
            return "fill";
        case WallpaperLayout::Fit:
            return "fit";
        case WallpaperLayout::Centred:
            break;
    }
    return "center";
}

}  // namespace

DesktopResult SetSwayWallpaper(CommandRunner& runner, const std::string& path, WallpaperLayout layout,
                               std::optional<std::uint32_t> colour) {
    const std::string quoted = SwayQuoted(path);
    const char* mode = SwayMode(layout);
    Tools tools(runner);
    std::vector<std::string> call = {"swaymsg", "output", "*", "bg", quoted, mode};
    if (colour) call.push_back(HexColour(*colour));
    if (tools.Ran(call)) return {};
    return tools.Failure();
}

namespace {

// The two name filling the screen with the picture's shape kept differently.
const char* PcmanfmMode(bool lxqt, WallpaperLayout layout) {
    switch (layout) {
        case WallpaperLayout::Centred:
            break;
        case WallpaperLayout::Tiled:
            return "tile";
        case WallpaperLayout::Stretched:
            return "stretch";
        case WallpaperLayout::Fill:
            return lxqt ? "zoom" : "crop";
        case WallpaperLayout::Fit:
            return "fit";
        case WallpaperLayout::Spanned:
            // LXDE's "screen" stretches one picture across every monitor.
            return lxqt ? "stretch" : "screen";
    }
    return "center";
}

// "--profile NAME", "--profile=NAME", "-p NAME" or "-pNAME"; "default" without one.
std::string PcmanfmProfile(const std::vector<std::string>& argv) {
    for (std::size_t i = 1; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if ((a == "--profile" || a == "-p") && i + 1 < argv.size()) return argv[i + 1];
        if (a.rfind("--profile=", 0) == 0) return a.substr(10);
        if (a.size() > 2 && a[0] == '-' && a[1] == 'p') return a.substr(2);
    }
    return "default";
}

// The profile's file as the program reads it when the user has none of their own yet:
// the first of the system's configuration folders that has one.
std::string SystemSettingsText(const RunningProgram& desktop, const std::string& relative) {
    std::string dirs = desktop.Variable("XDG_CONFIG_DIRS");
    if (dirs.empty()) dirs = "/etc/xdg";
    std::istringstream list(dirs);
    for (std::string dir; std::getline(list, dir, ':');) {
        if (dir.empty() || dir[0] != '/') continue;
        if (::access((dir + "/" + relative).c_str(), F_OK) == 0) return ReadFileText(dir + "/" + relative);
    }
    return {};
}

std::string RelativeSettingsFile(bool lxqt, const RunningProgram& desktop) {
    const std::string profile = PcmanfmProfile(desktop.argv);
    return lxqt ? "pcmanfm-qt/" + profile + "/settings.conf" : "pcmanfm/" + profile + "/desktop-items-0.conf";
}

// True when the settings text shows `path` in `mode` (any mode when null). pcmanfm-qt
// keeps them under [Desktop]; pcmanfm under [*], the picture as "wallpaper" when one is
// shown on every workspace and as "wallpaperN" for workspace N otherwise.
bool PcmanfmHolds(bool lxqt, const std::string& text, const std::string& path, const char* mode) {
    auto values = IniSection(text, lxqt ? "Desktop" : "*");
    if (mode && values[lxqt ? "WallpaperMode" : "wallpaper_mode"] != mode) return false;
    if (lxqt) {
        std::string wallpaper;
        return FromQtIniString(values["Wallpaper"], wallpaper) && wallpaper == path;
    }
    for (const auto& [key, value] : values)
        if (key.rfind("wallpaper", 0) == 0 && key.find_first_not_of("0123456789", 9) == std::string::npos &&
            FromKeyFileString(value) == path)
            return true;
    return false;
}

std::string WithPcmanfmValues(bool lxqt, const std::string& text, const std::string& path, const char* mode) {
    std::vector<std::pair<std::string, std::string>> values;
    if (lxqt) {
        values.emplace_back("Wallpaper", QtIniString(path));
        if (mode) values.emplace_back("WallpaperMode", mode);
        return WithIniValues(text, "Desktop", values);
    }
    if (mode) values.emplace_back("wallpaper_mode", mode);
    values.emplace_back("wallpaper_common", "1");
    values.emplace_back("wallpaper", KeyFileString(path));
    return WithIniValues(text, "*", values);
}

}  // namespace

std::string PcmanfmSettingsFile(DesktopKind kind, const RunningProgram& desktop) {
    std::string home = desktop.Variable("XDG_CONFIG_HOME");
    if (home.empty() || home[0] != '/') home = desktop.Variable("HOME") + "/.config";
    return home + "/" + RelativeSettingsFile(kind == DesktopKind::Lxqt, desktop);
}

DesktopResult SetPcmanfmWallpaper(CommandRunner& runner, DesktopPrograms& programs, DesktopKind kind,
                                  const std::string& path, std::optional<WallpaperLayout> layout,
                                  int savePolls) {
    const bool lxqt = kind == DesktopKind::Lxqt;
    const std::string program = lxqt ? "pcmanfm-qt" : "pcmanfm";
    // Without its desktop running, LXDE's pcmanfm puts up an error box and waits until it
    // is closed; pcmanfm-qt changes only its settings file.
    const std::optional<RunningProgram> desktop = programs.Find(program, "--desktop");
    if (!desktop) return {DesktopFailure::DesktopNotRunning, {}, program, {}, 0};
    const char* mode = layout ? PcmanfmMode(lxqt, *layout) : nullptr;
    // The tool hands its arguments to the running program through a socket in the runtime
    // (or cache) folder, or over the session bus: with the session's values, which a run
    // from cron lacks, it finds the program instead of starting one of its own.
    std::vector<std::string> argv;
    for (const char* name :
         {"DISPLAY", "HOME", "XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "DBUS_SESSION_BUS_ADDRESS"}) {
        const std::string value = desktop->Variable(name);
        if (!value.empty()) argv.push_back(name + ("=" + value));
    }
    if (!argv.empty()) argv.insert(argv.begin(), "env");
    argv.insert(argv.end(), {program, "--set-wallpaper=" + path});
    if (mode) argv.push_back(std::string("--wallpaper-mode=") + mode);
    Tools tools(runner);
    if (!tools.Ran(argv, program)) return tools.Failure();

    const std::string file = PcmanfmSettingsFile(kind, *desktop);
    std::string text = ReadFileText(file);
    // A desktop without a mode shows no picture at all: it is centred, as on the desktops
    // that keep no style.
    if (!mode && lxqt) {
        const std::string shown = IniSection(text, "Desktop")["WallpaperMode"];
        if (shown.empty() || shown == "none") mode = PcmanfmMode(true, WallpaperLayout::Centred);
    }
    for (int poll = 0; !lxqt && poll < savePolls && !PcmanfmHolds(lxqt, text, path, mode); ++poll) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kXfdesktopPollMs));
        text = ReadFileText(file);
    }
    if (PcmanfmHolds(lxqt, text, path, mode)) return {};

    // pcmanfm-qt 1.2 takes no "zoom" from its command line, keeps any other mode given
    // there for the screen only, and writes the mode it started with into its file
    // whenever it saves, also as it ends: what it reads as it starts is what stays. So the
    // file is written while it is not running, and read again as it starts.
    const DesktopResult notKept{DesktopFailure::ValueNotKept, {}, program, {}, 0};
    // The program's file-manager windows would close with it, with whatever they are doing
    // (a copy half done): the change is left as the tool made it.
    if (programs.HasOtherWindows(*desktop) || !programs.Stop(*desktop)) return notKept;
    if (::access(file.c_str(), F_OK) != 0)
        text = SystemSettingsText(*desktop, RelativeSettingsFile(lxqt, *desktop));
    else
        text = ReadFileText(file);
    const bool written = ReplaceFileText(file, WithPcmanfmValues(lxqt, text, path, mode));
    if (!programs.Restart(*desktop)) return {DesktopFailure::ToolNotRun, {}, program, {}, 0};
    if (!written || !PcmanfmHolds(lxqt, ReadFileText(file), path, mode)) return notKept;
    return {};
}

namespace {

// hyprctl exits 0 whatever hyprpaper answered; hyprpaper says "ok" to a request it carried out.
bool HyprpaperOk(Tools& tools, const std::vector<std::string>& argv) {
    const CommandResult r = tools.Run(argv);
    std::string said = r.output;
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == ' '))
        said.pop_back();
    return r.status == 0 && said == "ok";
}

}  // namespace

bool HyprpaperAnswers(CommandRunner& runner) {
    // Without hyprpaper, hyprctl says it could not connect to its socket.
    const CommandResult r = runner.Run({"hyprctl", "hyprpaper", "listloaded"});
    return r.status == 0 && ToLower(r.output).find("couldn't") == std::string::npos &&
           ToLower(r.output).find("could not") == std::string::npos;
}

DesktopResult SetHyprpaperWallpaper(CommandRunner& runner, const std::string& path, WallpaperLayout layout) {
    // hyprpaper fills the screen by default, keeping the proportions; it also knows
    // "contain:" (the whole picture, bars beside it) and "tile:". It cannot centre a
    // picture unscaled or stretch it, so those come closest as "contain:" and the default.
    const char* mode = "";
    switch (layout) {
        case WallpaperLayout::Tiled:
            mode = "tile:";
            break;
        case WallpaperLayout::Centred:
        case WallpaperLayout::Fit:
            mode = "contain:";
            break;
        case WallpaperLayout::Stretched:
        case WallpaperLayout::Fill:
        case WallpaperLayout::Spanned:
            break;
    }
    Tools tools(runner);
    if (!HyprpaperOk(tools, {"hyprctl", "hyprpaper", "preload", path})) return tools.Failure();
    // An empty monitor name means every monitor.
    if (!HyprpaperOk(tools, {"hyprctl", "hyprpaper", "wallpaper", "," + std::string(mode) + path}))
        return tools.Failure();
    // The pictures of earlier runs stay in memory until they are unloaded.
    tools.Run({"hyprctl", "hyprpaper", "unload", "unused"});
    return {};
}

std::vector<std::string> SwaybgCommand(const std::string& path, WallpaperLayout layout,
                                       std::optional<std::uint32_t> colour) {
    const char* mode = SwayMode(layout);
    std::vector<std::string> command = {"swaybg", "-o", "*", "-i", path, "-m", mode};
    if (colour) command.insert(command.end(), {"-c", HexColour(*colour)});
    return command;
}

}  // namespace vexal
