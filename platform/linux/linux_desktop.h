// The Desktop on Linux: the bitmap and the style values live in the user's data folder
// ($XDG_DATA_HOME/vexal), and the wallpaper is handed to whichever desktop runs the
// session, or drawn on the X11 root window when no desktop keeps a wallpaper of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/desktop.h"
#include "host/image_decoder.h"
#include "platform/linux/command_runner.h"
#include "platform/linux/desktop_backends.h"

namespace vexal {

// The file beside the bitmap that records the style values, one "KEY\NAME=VALUE" a line.
inline constexpr const char* kStyleRecordName = "wallpaper-style";
// Names of the per-change links the desktops are pointed at (see SetWallpaper).
inline constexpr const char* kShownPrefix = "shown-";
// The swaybg this user's runs keep drawing ("pid=N"), and what it last said.
inline constexpr const char* kSwaybgPidName = "swaybg-pid";
inline constexpr const char* kSwaybgLogName = "swaybg.log";

class LinuxDesktop final : public Desktop {
public:
    LinuxDesktop(ImageDecoder& decoder, CommandRunner& runner, EnvLookup env = ProcessEnvironment())
        : decoder_(decoder), runner_(runner), env_(std::move(env)) {}

    // $XDG_DATA_HOME/vexal (or ~/.local/share/vexal), created when missing.
    DesktopResult WallpaperFolder(std::string& folderOut) override;
    // Lays the picture out in `style`, or without one in the style last recorded; a
    // desktop's own style is changed only when `style` is given. The style is recorded
    // once the desktop shows the picture: a refused change leaves the record as it was.
    DesktopResult SetWallpaper(const std::string& path, const StyleValues& style) override;
    // sway's outputs, or the X11 monitors of the display.
    std::vector<Screen> Screens() override;
    // sway, Plasma and xfdesktop hold a picture for each screen (xfdesktop where it draws
    // each as a monitor of its own); the others span one.
    ScreenWallpapers SetScreenWallpapers(const std::vector<std::string>& paths,
                                         const std::vector<Screen>& screens) override;

private:
    std::string DataFolder() const;
    std::string RecordedValue(const std::string& folder, const std::string& key,
                              const std::string& name) const;
    WallpaperLayout RecordedLayout(const std::string& folder) const;
    // Writes `style` into the record, unless it holds those values already.
    void RecordStyle(const std::string& folder, const StyleValues& style) const;
    // Which desktop shows the wallpaper: the session's, or the one whose window covers the
    // X11 root; a failure when there is none, or only one vexal cannot reach.
    DesktopResult ChooseDesktop(DesktopKind& kindOut) const;
    // Draws the picture at `path` on the X11 root window.
    // Where the picture does not reach, the root shows `background`.
    DesktopResult PaintRoot(const std::string& path, WallpaperLayout layout, std::uint32_t background);
    // Fills a screenful of `width` × `height` for the root, each of `monitors` on its own
    // when there are several; false to give up.
    bool LayOutOnMonitors(const std::string& path, WallpaperLayout layout,
                          const std::vector<Screen>& monitors, std::int32_t width, std::int32_t height,
                          std::uint32_t background, std::vector<std::uint32_t>& out);
    // Fills a screenful of `width` × `height` for the root; false to give up.
    bool LayOutForRoot(const std::string& path, WallpaperLayout layout, std::int32_t width,
                       std::int32_t height, std::uint32_t background, std::vector<std::uint32_t>& out);
    // Hands a fresh name for the picture at `path` to the desktop's tool, and sweeps up the
    // names it no longer shows.
    DesktopResult HandToDesktop(DesktopKind kind, const std::string& folder, const std::string& path,
                                WallpaperLayout layout, bool styleGiven, std::optional<std::uint32_t> colour);
    // Has the desktop's tool show `shown` in `layout`; a desktop with a style of its own is
    // given the layout only when `styleGiven`, and its background colour only when `colour`.
    DesktopResult RunDesktopTool(DesktopKind kind, const std::string& folder, const std::string& shown,
                                 WallpaperLayout layout, bool styleGiven,
                                 std::optional<std::uint32_t> colour);
    // Starts a swaybg that draws `path`, then ends the one an earlier run started.
    DesktopResult StartSwaybg(const std::string& folder, const std::string& path, WallpaperLayout layout,
                              std::optional<std::uint32_t> colour);

    ImageDecoder& decoder_;
    CommandRunner& runner_;
    EnvLookup env_;
};

}  // namespace vexal
