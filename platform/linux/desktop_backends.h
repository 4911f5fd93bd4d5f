// The Linux desktops that keep their own wallpaper setting, each driven through its own
// command-line tool, and the choice of the desktop from the session's environment.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/desktop.h"
#include "platform/linux/command_runner.h"
#include "platform/linux/desktop_programs.h"
#include "platform/linux/root_layout.h"

namespace vexal {

// Pantheon and Budgie keep their wallpaper in GNOME's settings and count as GNOME here.
// Wayland stands for any other Wayland compositor, whose background swaybg draws.
enum class DesktopKind { None, X11, Gnome, Cinnamon, Mate, Kde, Xfce, Sway, Lxqt, Lxde, Hyprland, Wayland };

// Reads one environment variable; "" when unset.
using EnvLookup = std::function<std::string(const std::string& name)>;
EnvLookup ProcessEnvironment();

// VEXAL_DESKTOP (x11, gnome, pantheon, budgie, cinnamon, mate, kde, xfce, lxqt, lxde,
// sway, hyprland or swaybg) when set to one of those; otherwise the session's
// XDG_CURRENT_DESKTOP, DESKTOP_SESSION and the variables its compositor sets; otherwise
// swaybg on any other Wayland session, and X11 when a display is named.
DesktopKind DetectDesktop(const EnvLookup& env);

// The desktop whose program draws a desktop window of this class (WM_CLASS, any letter
// case) over the X11 root; None for a program vexal does not know.
DesktopKind FromDesktopWindowClass(std::string_view windowClass);

// The layout the two style values stand for; centred when they name none.
WallpaperLayout LayoutFromStyle(const std::string& wallpaperStyle, const std::string& tileWallpaper);

// "file://" and the path with every byte other than letters, digits, "-._~" and "/"
// percent-encoded.
std::string FileUri(const std::string& path);

// What a tool wrote, as one line a message can carry: line breaks and tabs as blanks,
// trimmed, and cut after 300 bytes without splitting a character.
std::string OneLine(const std::string& text);

// Each backend points the desktop at `path` and, when `layout` is given, sets its style
// first; without a layout the desktop keeps the style it has. A failure when the desktop's
// tool is missing, refuses, or the desktop's settings are not there: it names the last of
// the tools that failed (not run, or its status and what it said) or warned although it
// exited 0; when none did, the desktop refused without a word (for gsettings: the value
// did not read back). With a `colour` (0x00RRGGBB), the desktop's own background colour
// around the picture is set too, in its own key, before the picture.
[[nodiscard]] DesktopResult SetGsettingsWallpaper(CommandRunner& runner, DesktopKind kind,
                                                  const std::string& path,
                                                  std::optional<WallpaperLayout> layout,
                                                  std::optional<std::uint32_t> colour = std::nullopt);
// Plasma's shell takes its place on the session bus, and then makes its desktops, seconds
// into a session: while it is not there yet, or has no desktop, the call is made again
// every kPlasmaPollMs, up to `startPolls` times.
inline constexpr int kPlasmaPollMs = 100;
inline constexpr int kPlasmaStartPolls = 150;
[[nodiscard]] DesktopResult SetKdeWallpaper(CommandRunner& runner, const std::string& path,
                                            std::optional<WallpaperLayout> layout,
                                            int startPolls = kPlasmaStartPolls,
                                            std::optional<std::uint32_t> colour = std::nullopt);
// xfdesktop may not have made its monitors' backdrop properties yet (it does so when it
// first draws, seconds into a session): the listing is asked again every
// kXfdesktopPollMs, up to `startPolls` times, before only the older layout's properties
// are set.
// Within the same time `firstDrawn` (when given) must hold as well: xfdesktop makes the
// properties as it starts loading its first picture, and a change while it still loads
// one is painted over, or even ends xfdesktop.
// With `programs` given, a DesktopNotRunning failure naming xfdesktop when no xfdesktop
// runs after that wait, and at once when neither xfdesktop nor the session manager that
// would start it (xfce4-session) runs; without, xfdesktop is taken to be running.
inline constexpr int kXfdesktopPollMs = 100;
inline constexpr int kXfdesktopStartPolls = 150;
[[nodiscard]] DesktopResult SetXfceWallpaper(CommandRunner& runner, const std::string& path,
                                             std::optional<WallpaperLayout> layout,
                                             int startPolls = kXfdesktopStartPolls,
                                             const std::function<bool()>& firstDrawn = {},
                                             DesktopPrograms* programs = nullptr,
                                             std::optional<std::uint32_t> colour = std::nullopt);
// A picture for each monitor xfdesktop draws: `paths[i]`, made at the size of the
// monitor xfdesktop names `monitors[i]` (the name of its output, see X11MonitorConnectors),
// on every workspace of that monitor, after the same wait as SetXfceWallpaper; a screen on
// no output (an empty name) is none of xfdesktop's monitors and is passed over. Nothing
// (and nothing set) when xfdesktop does not draw each of the others as a monitor of its
// own, none is left, or it knows only the older layout: one picture spanned over them is
// the way then.
[[nodiscard]] std::optional<DesktopResult> SetXfceScreenWallpapers(
    CommandRunner& runner, const std::vector<std::string>& paths, const std::vector<std::string>& monitors,
    int startPolls = kXfdesktopStartPolls, const std::function<bool()>& firstDrawn = {},
    DesktopPrograms* programs = nullptr);
// A picture for each screen on Plasma: `paths[i]`, made at the size of `screens[i]`, on the
// desktop of that screen (see KdeScreensScript).
[[nodiscard]] DesktopResult SetKdeScreenWallpapers(CommandRunner& runner,
                                                   const std::vector<std::string>& paths,
                                                   const std::vector<Screen>& screens,
                                                   int startPolls = kPlasmaStartPolls);
// sway keeps no style to fall back on: its background is always set with one.
[[nodiscard]] DesktopResult SetSwayWallpaper(CommandRunner& runner, const std::string& path,
                                             WallpaperLayout layout,
                                             std::optional<std::uint32_t> colour = std::nullopt);
// sway's outputs as `swaymsg -t get_outputs` lists them: the active ones, with their
// names and their places in the layout.
std::vector<Screen> ParseSwayOutputs(const std::string& json);
std::vector<Screen> SwayOutputs(CommandRunner& runner);
// sway shows `paths[i]`, made at the size of `screens[i]`, on that output.
[[nodiscard]] DesktopResult SetSwayOutputWallpapers(CommandRunner& runner,
                                                    const std::vector<std::string>& paths,
                                                    const std::vector<Screen>& screens);
// LXQt's pcmanfm-qt and LXDE's pcmanfm, which draw the desktop, take the picture and
// their own wallpaper mode on the command line, and keep both in a settings file of the
// profile they run with, which they read when they start. The change counts once that
// file holds the picture and the mode: LXDE's pcmanfm writes it a moment after its tool
// has returned (it is read again every kXfdesktopPollMs, up to `savePolls` times). When it
// does not hold them, the running program is ended, the file written, and the program
// started again as it was; unless the program shows other windows than its desktop, when
// the change is not kept. A DesktopNotRunning failure, before anything is run, when
// `--desktop` of that program does not run on this display.
inline constexpr int kPcmanfmSavePolls = 30;
[[nodiscard]] DesktopResult SetPcmanfmWallpaper(CommandRunner& runner, DesktopPrograms& programs,
                                                DesktopKind kind, const std::string& path,
                                                std::optional<WallpaperLayout> layout,
                                                int savePolls = kPcmanfmSavePolls);
// The settings file of the desktop a pcmanfm-qt (LXQt) or pcmanfm (LXDE) shows, from its
// arguments (the profile) and its environment (where the user's settings are).
std::string PcmanfmSettingsFile(DesktopKind kind, const RunningProgram& desktop);
// Hyprland's hyprpaper through hyprctl: false at once, having asked nothing else, when
// hyprpaper does not answer (it is not running). It keeps no style either.
bool HyprpaperAnswers(CommandRunner& runner);
[[nodiscard]] DesktopResult SetHyprpaperWallpaper(CommandRunner& runner, const std::string& path,
                                                  WallpaperLayout layout);
// The command line of a swaybg that draws `path` on every output, as sway starts its own.
std::vector<std::string> SwaybgCommand(const std::string& path, WallpaperLayout layout,
                                       std::optional<std::uint32_t> colour = std::nullopt);

// The script evaluated in the Plasma shell for every desktop.
std::string KdeScript(const std::string& imageUri, std::optional<WallpaperLayout> layout,
                      std::optional<std::uint32_t> colour = std::nullopt);

// "#RRGGBB", the colour as the desktops' settings write it.
std::string HexColour(std::uint32_t colour);
// The script that gives each desktop the picture of its screen: `imageUris[i]` to the
// desktop of `screens[i]`, found by the screen's place, or by its number in this order.
std::string KdeScreensScript(const std::vector<std::string>& imageUris, const std::vector<Screen>& screens);

}  // namespace vexal
