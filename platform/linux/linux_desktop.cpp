// The data folder, the style record, and the hand-over to a backend.
//
// Desktops that keep the wallpaper as a setting ignore a setting that does not change,
// and the bitmap's name never changes. They are therefore pointed at a new name each
// time: a hard link to the bitmap (a copy where links are not possible) named after the
// moment, and the previous links are removed once the desktop has taken the new one.
#include "platform/linux/linux_desktop.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include "host/run_guard.h"
#include "platform/linux/bmp_layout.h"
#include "platform/linux/ini_text.h"
#include "platform/linux/x11_root.h"
#include "platform/posix/posix_file_system.h"
#include "text/case.h"
#include "wallpaper/install.h"
#include "wallpaper/screen_layout.h"

namespace vexal {
namespace {

bool MakeFolders(const std::string& path) {
    std::string partial;
    std::size_t from = 0;
    while (from <= path.size()) {
        std::size_t slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        partial = path.substr(0, slash);
        from = slash + 1;
        if (partial.empty()) continue;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CopyBytes(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    if (!in || !out) return false;
    out << in.rdbuf();
    return static_cast<bool>(out.flush());
}

// `screen` tells apart the names of one change's screens.
std::string UniqueShownName(const std::string& folder, std::size_t screen = 0) {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    char name[96];
    std::snprintf(name, sizeof name, "%s%lld%09ld-%d%s.bmp", kShownPrefix, static_cast<long long>(ts.tv_sec),
                  static_cast<long>(ts.tv_nsec), static_cast<int>(::getpid()),
                  screen ? ("-" + std::to_string(screen)).c_str() : "");
    return folder + "/" + name;
}

void RemoveShownExcept(const std::string& folder, const std::vector<std::string>& keep) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> doomed;
    const std::string prefix = kShownPrefix;
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.rfind(prefix, 0) == 0 &&
            std::find(keep.begin(), keep.end(), folder + "/" + name) == keep.end())
            doomed.push_back(folder + "/" + name);
    }
    ::closedir(dir);
    for (const std::string& path : doomed) ::unlink(path.c_str());
}

using StyleRecord = std::map<std::string, std::string>;

StyleRecord ReadRecord(const std::string& file) {
    StyleRecord record;
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos) record[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return record;
}

bool WriteRecord(const std::string& file, const StyleRecord& record) {
    // The file system's one replacement: written beside under the name by which the next
    // run recognises what a killed one left, renamed over, the folder flushed.
    std::string text;
    for (const auto& [name, value] : record) text += name + '=' + value + '\n';
    PosixFileSystem files;
    return files.ReplaceOwnFile(file, text);
}

DesktopResult Failure(DesktopFailure failure, std::string subject = {}) {
    return {failure, std::move(subject), {}, {}, 0};
}

}  // namespace

std::string LinuxDesktop::DataFolder() const {
    // A relative XDG_DATA_HOME is invalid and is ignored, as the base directory rules say.
    const std::string xdg = env_("XDG_DATA_HOME");
    if (!xdg.empty() && xdg[0] == '/') return xdg + "/vexal";
    const std::string home = env_("HOME");
    if (home.empty()) return {};
    return home + "/.local/share/vexal";
}

DesktopResult LinuxDesktop::WallpaperFolder(std::string& folderOut) {
    folderOut = DataFolder();
    if (folderOut.empty()) return Failure(DesktopFailure::NoDataFolder);
    if (!MakeFolders(folderOut)) {
        const FileFailure why = FileFailureOf(errno);
        DesktopResult result = Failure(DesktopFailure::FolderNotMade, folderOut);
        result.fileFailure = why;
        return result;
    }
    return {};
}

std::string LinuxDesktop::RecordedValue(const std::string& folder, const std::string& key,
                                        const std::string& name) const {
    const StyleRecord record = ReadRecord(folder + "/" + kStyleRecordName);
    auto it = record.find(key + "\\" + name);
    return it == record.end() ? std::string() : it->second;
}

WallpaperLayout LinuxDesktop::RecordedLayout(const std::string& folder) const {
    return LayoutFromStyle(RecordedValue(folder, kDesktopKey, kWallpaperStyleName),
                           RecordedValue(folder, kDesktopKey, kTileWallpaperName));
}

void LinuxDesktop::RecordStyle(const std::string& folder, const StyleValues& style) const {
    const std::string file = folder + "/" + kStyleRecordName;
    const StyleRecord before = ReadRecord(file);
    StyleRecord record = before;
    record[std::string(kDesktopKey) + "\\" + kWallpaperStyleName] = style.wallpaperStyle;
    record[std::string(kDesktopKey) + "\\" + kTileWallpaperName] = style.tileWallpaper;
    // A record that cannot be written costs the next run without a style its layout, not
    // this change, which the desktop shows already.
    if (record != before) (void)WriteRecord(file, record);
}

DesktopResult LinuxDesktop::SetWallpaper(const std::string& path, const StyleValues& style) {
    std::string folder;
    if (DesktopResult made = WallpaperFolder(folder); !made) return made;
    DesktopKind kind = DesktopKind::None;
    if (DesktopResult chosen = ChooseDesktop(kind); !chosen) return chosen;
    const bool styleGiven = !style.Empty();
    const WallpaperLayout layout =
        styleGiven ? LayoutFromStyle(style.wallpaperStyle, style.tileWallpaper) : RecordedLayout(folder);
    const DesktopResult result =
        kind == DesktopKind::X11 ? PaintRoot(path, layout, style.background.value_or(0))
                                 : HandToDesktop(kind, folder, path, layout, styleGiven, style.background);
    if (result && styleGiven) RecordStyle(folder, style);
    return result;
}

std::vector<Screen> LinuxDesktop::Screens() {
    const DesktopKind kind = DetectDesktop(env_);
    if (kind == DesktopKind::Sway) return SwayOutputs(runner_);
    // Other Wayland compositors name no outputs vexal could ask for; X11 desktops, and those
    // on Wayland with an X server beside them, list their monitors there.
    if (kind == DesktopKind::Wayland || kind == DesktopKind::Hyprland || kind == DesktopKind::None) return {};
    return X11Monitors(env_("DISPLAY"));
}

ScreenWallpapers LinuxDesktop::SetScreenWallpapers(const std::vector<std::string>& paths,
                                                   const std::vector<Screen>& screens) {
    DesktopKind kind = DesktopKind::None;
    if (!ChooseDesktop(kind)) return {};
    if (kind != DesktopKind::Sway && kind != DesktopKind::Xfce && kind != DesktopKind::Kde) return {};
    const std::string display = env_("DISPLAY");
    // xfdesktop names its monitors by their outputs; a screen on no output is none of its
    // monitors (see SetXfceScreenWallpapers).
    std::vector<std::string> monitors;
    if (kind == DesktopKind::Xfce) {
        const std::vector<Screen> listed = X11Monitors(display);
        const std::vector<std::string> connectors = X11MonitorConnectors(display);
        for (const Screen& screen : screens) {
            const auto it = std::find(listed.begin(), listed.end(), screen);
            const std::size_t at = static_cast<std::size_t>(it - listed.begin());
            if (it == listed.end() || at >= connectors.size()) return {};
            monitors.push_back(connectors[at]);
        }
    }
    // The desktop is pointed at each screen's own bitmap; the names change with every run,
    // for the same reason as the one bitmap's (see HandToDesktop).
    std::string folder;
    if (DesktopResult made = WallpaperFolder(folder); !made) return {true, made};
    std::vector<std::string> shown;
    DesktopResult result;
    for (std::size_t i = 0; i < paths.size() && result; ++i) {
        shown.push_back(UniqueShownName(folder, i + 1));
        if (::link(paths[i].c_str(), shown.back().c_str()) != 0 && !CopyBytes(paths[i], shown.back()))
            result = Failure(DesktopFailure::FileNotPrepared, shown.back());
    }
    bool handled = true;
    if (result) {
        if (kind == DesktopKind::Sway) {
            result = SetSwayOutputWallpapers(runner_, shown, screens);
        } else if (kind == DesktopKind::Kde) {
            result = SetKdeScreenWallpapers(runner_, shown, screens);
        } else {
            ProcDesktopPrograms programs(runner_, display, env_("WAYLAND_DISPLAY"), folder);
            const std::optional<DesktopResult> set = SetXfceScreenWallpapers(
                runner_, shown, monitors, kXfdesktopStartPolls,
                [&display] { return RootHasBackgroundPixmap(display).value_or(true); }, &programs);
            handled = set.has_value();
            if (set) result = *set;
        }
    }
    if (handled && result) {
        RemoveShownExcept(folder, shown);
    } else {
        for (const std::string& path : shown) ::unlink(path.c_str());
    }
    if (!handled) return {};
    return {true, result};
}

DesktopResult LinuxDesktop::ChooseDesktop(DesktopKind& kindOut) const {
    kindOut = DetectDesktop(env_);
    if (kindOut == DesktopKind::None) return Failure(DesktopFailure::NoScreen);
    // A desktop that draws a window of its own over the root hides whatever is drawn
    // there: changing the root would be a success nobody sees. A desktop known by its
    // window is asked the way it is asked in its own session; unless the root was asked
    // for by name, any other such desktop is a failure.
    if (kindOut != DesktopKind::X11 || ToLower(env_("VEXAL_DESKTOP")) == "x11") return {};
    const std::optional<std::string> window = DesktopWindowOverRoot(env_("DISPLAY"));
    if (!window) return {};
    kindOut = FromDesktopWindowClass(*window);
    if (kindOut != DesktopKind::None) return {};
    std::string name = env_("XDG_CURRENT_DESKTOP");
    if (name.empty()) name = env_("DESKTOP_SESSION");
    if (name.empty()) name = *window;
    return Failure(DesktopFailure::DesktopCovers, name.empty() ? "?" : name);
}

DesktopResult LinuxDesktop::PaintRoot(const std::string& path, WallpaperLayout layout,
                                      std::uint32_t background) {
    const std::string display = env_("DISPLAY");
    // Filling and fitting are worked out for each monitor, not across the gap between two;
    // the other layouts are the root's as a whole.
    const std::vector<Screen> monitors = layout == WallpaperLayout::Fill || layout == WallpaperLayout::Fit
                                             ? X11Monitors(display)
                                             : std::vector<Screen>();
    const auto draw = [&](std::int32_t width, std::int32_t height, std::vector<std::uint32_t>& out) {
        return LayOutOnMonitors(path, layout, monitors, width, height, background, out);
    };
    if (SetRootBackground(draw, display)) return {};
    // A scheduled run without a session has no display at all; say so rather than name an
    // empty one.
    if (display.empty()) return Failure(DesktopFailure::NoDisplay);
    return Failure(DesktopFailure::NotDrawn, display);
}

bool LinuxDesktop::LayOutOnMonitors(const std::string& path, WallpaperLayout layout,
                                    const std::vector<Screen>& monitors, std::int32_t width,
                                    std::int32_t height, std::uint32_t background,
                                    std::vector<std::uint32_t>& out) {
    if (!SeveralScreens(monitors)) return LayOutForRoot(path, layout, width, height, background, out);
    out.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), background & 0xFFFFFFu);
    std::vector<std::uint32_t> part;
    for (const Screen& monitor : monitors) {
        // Only the part of a monitor that lies on the root can be drawn.
        const std::int32_t x0 = std::max(0, monitor.rect.x), y0 = std::max(0, monitor.rect.y);
        const std::int32_t x1 = std::min(width, monitor.rect.x + monitor.rect.width);
        const std::int32_t y1 = std::min(height, monitor.rect.y + monitor.rect.height);
        if (x1 <= x0 || y1 <= y0) continue;
        if (!LayOutForRoot(path, layout, monitor.rect.width, monitor.rect.height, background, part))
            return false;
        for (std::int32_t y = y0; y < y1; ++y)
            std::copy_n(part.data() + static_cast<std::size_t>(y - monitor.rect.y) * monitor.rect.width +
                            (x0 - monitor.rect.x),
                        x1 - x0, out.data() + static_cast<std::size_t>(y) * width + x0);
    }
    return true;
}

bool LinuxDesktop::LayOutForRoot(const std::string& path, WallpaperLayout layout, std::int32_t width,
                                 std::int32_t height, std::uint32_t background,
                                 std::vector<std::uint32_t>& out) {
    // The program's own bitmaps are laid out straight from the file; anything else is
    // decoded first.
    switch (LayOutBmpFile(path, layout, width, height, out, background)) {
        case BmpLayoutResult::Done:
            return true;
        case BmpLayoutResult::Failed:
            return false;
        case BmpLayoutResult::NotHandled:
            break;
    }
    Picture picture;
    if (!decoder_.Decode(path, picture).Ok()) return false;
    LayOutPicture(picture, layout, width, height, out, background);
    return true;
}

DesktopResult LinuxDesktop::HandToDesktop(DesktopKind kind, const std::string& folder,
                                          const std::string& path, WallpaperLayout layout, bool styleGiven,
                                          std::optional<std::uint32_t> colour) {
    const std::string shown = UniqueShownName(folder);
    if (::link(path.c_str(), shown.c_str()) != 0 && !CopyBytes(path, shown)) {
        // A copy broken off half way would be left for the next run to sweep up at best.
        ::unlink(shown.c_str());
        return Failure(DesktopFailure::FileNotPrepared, shown);
    }
    const DesktopResult result = RunDesktopTool(kind, folder, shown, layout, styleGiven, colour);
    if (result)
        RemoveShownExcept(folder, {shown});
    else
        ::unlink(shown.c_str());
    return result;
}

DesktopResult LinuxDesktop::RunDesktopTool(DesktopKind kind, const std::string& folder,
                                           const std::string& shown, WallpaperLayout layout, bool styleGiven,
                                           std::optional<std::uint32_t> colour) {
    // Desktops with a style of their own keep it unless this call gives one.
    const std::optional<WallpaperLayout> own = styleGiven ? std::optional(layout) : std::nullopt;
    ProcDesktopPrograms programs(runner_, env_("DISPLAY"), env_("WAYLAND_DISPLAY"), folder);
    switch (kind) {
        case DesktopKind::Gnome:
        case DesktopKind::Cinnamon:
        case DesktopKind::Mate:
            return SetGsettingsWallpaper(runner_, kind, shown, own, colour);
        case DesktopKind::Kde:
            return SetKdeWallpaper(runner_, shown, own, kPlasmaStartPolls, colour);
        case DesktopKind::Xfce: {
            // Drawn once the root names its background; without a display to ask, there
            // is nothing to wait for.
            const std::string display = env_("DISPLAY");
            return SetXfceWallpaper(
                runner_, shown, own, kXfdesktopStartPolls,
                [&display] { return RootHasBackgroundPixmap(display).value_or(true); }, &programs, colour);
        }
        case DesktopKind::Sway:
            return SetSwayWallpaper(runner_, shown, layout, colour);
        case DesktopKind::Lxqt:
        case DesktopKind::Lxde:
            return SetPcmanfmWallpaper(runner_, programs, kind, shown, own);
        case DesktopKind::Hyprland:
            // Hyprland draws no background of its own: hyprpaper when it runs, else swaybg.
            if (HyprpaperAnswers(runner_)) return SetHyprpaperWallpaper(runner_, shown, layout);
            [[fallthrough]];
        case DesktopKind::Wayland:
            return StartSwaybg(folder, shown, layout, colour);
        case DesktopKind::X11:
        case DesktopKind::None:
            break;
    }
    return Failure(DesktopFailure::Refused);
}

DesktopResult LinuxDesktop::StartSwaybg(const std::string& folder, const std::string& path,
                                        WallpaperLayout layout, std::optional<std::uint32_t> colour) {
    // Kept as a compositor keeps its own: running on after this run, the previous one
    // ended once the new one draws. Its process is recorded beside the bitmap, and only a
    // process that is still a swaybg is ended (the number may have been reused).
    const std::string pidFile = folder + "/" + kSwaybgPidName;
    // The new one writes under a working name: the log of the one drawing now stays whole
    // until the new one takes over, and one that gives up at once leaves it as it was
    // (what it said is in the result).
    const std::string log = folder + "/" + kSwaybgLogName;
    const std::string newLog = TempPathFor(log, static_cast<std::uint32_t>(::getpid()));
    const StartResult started = runner_.Start(SwaybgCommand(path, layout, colour), newLog);
    if (!started.running) {
        ::unlink(newLog.c_str());
        if (started.ended.status < 0 && started.ended.errors.empty())
            return {DesktopFailure::ToolNotRun, {}, "swaybg", {}, 0};
        return {
            DesktopFailure::ToolFailed, {}, "swaybg", OneLine(started.ended.errors), started.ended.status};
    }
    // It keeps writing into the file under its new name.
    ::rename(newLog.c_str(), log.c_str());
    StyleRecord previous = ReadRecord(pidFile);
    const std::string old = previous["pid"];
    StyleRecord record;
    record["pid"] = std::to_string(started.pid);
    WriteRecord(pidFile, record);
    if (!old.empty() && old != record["pid"]) {
        const long pid = std::strtol(old.c_str(), nullptr, 10);
        const std::string name = ReadFileText("/proc/" + std::to_string(pid) + "/comm");
        if (pid > 1 && name == "swaybg\n") ::kill(static_cast<pid_t>(pid), SIGTERM);
    }
    return {};
}

}  // namespace vexal
