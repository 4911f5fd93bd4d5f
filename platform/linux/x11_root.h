// The X11 backend: draws the picture into a pixmap of the root window's size and makes
// it the root background, the way X11 wallpaper setters agree on so that compositors
// and pseudo-transparent programs find it and the next setter can free it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/desktop.h"
#include "host/picture.h"
#include "platform/linux/root_layout.h"

namespace vexal {

// Fills the root's pixels (width × height, 0x00RRGGBB, rows top to bottom); false to
// give up without changing anything.
using RootDrawing =
    std::function<bool(std::int32_t width, std::int32_t height, std::vector<std::uint32_t>& out)>;

// Connects to the display named by DISPLAY (or `display` when not empty), lets `draw`
// fill a screenful, and makes it the root background; false when there is no display,
// `draw` gave up, or the server refused any step.
bool SetRootBackground(const RootDrawing& draw, const std::string& display = {});

// A desktop program's own background window (type _NET_WM_WINDOW_TYPE_DESKTOP) that is
// mapped and covers the whole root: what the user sees instead of the root background.
// Its WM_CLASS class (or instance) name, "" when it has none; nullopt when there is no such
// window or no display.
std::optional<std::string> DesktopWindowOverRoot(const std::string& display = {});

// Whether the process `pid` has a window on DISPLAY (or `display`) other than a desktop
// window: one the window manager lists as its client (minimised ones too), or one mapped
// straight on the root; nullopt when there is no display to ask.
std::optional<bool> ProcessHasOtherWindows(int pid, const std::string& display = {});

// Whether the root of DISPLAY (or `display`) names a background pixmap (_XROOTPMAP_ID),
// which a desktop program publishes once it has drawn a backdrop; nullopt when there is no
// display to ask.
std::optional<bool> RootHasBackgroundPixmap(const std::string& display = {});

// The monitors of DISPLAY (or `display`) as RandR 1.5 lists the active ones, in root
// coordinates and with their names; empty when there is no display or the server cannot
// tell.
std::vector<Screen> X11Monitors(const std::string& display = {});
// The same monitors, each with the name of the first output (connector) it shows on
// ("HDMI-1"), which is the name toolkits give a monitor; empty for one made on no output.
std::vector<std::string> X11MonitorConnectors(const std::string& display = {});

// The picture laid out by LayOutPicture.
bool SetRootBackground(const Picture& picture, WallpaperLayout layout, const std::string& display = {});

}  // namespace vexal
