// Turning pictures into the desktop wallpaper: the bitmaps in the wallpaper folder, the
// desktop's call with their style, and, once it took them, the wallpapers kept to go back to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/desktop.h"
#include "host/file_system.h"
#include "host/image_decoder.h"
#include "host/picture.h"
#include "host/run_guard.h"
#include "program/site_entry.h"

namespace vexal {

// What an installation talks to. `files` is never null; without `images` only a bitmap
// can be installed, and without `desktop` nothing can.
struct WallpaperServices {
    FileSystem* files = nullptr;
    ImageDecoder* images = nullptr;
    Desktop* desktop = nullptr;
    RunGuard* guard = nullptr;  // null: no stop to heed, temporary names without a process id
};

// The key and value names the style is stored under.
inline constexpr const char* kDesktopKey = "Control Panel\\Desktop";
inline constexpr const char* kWallpaperStyleName = "WallpaperStyle";
inline constexpr const char* kTileWallpaperName = "TileWallpaper";

// The "WallpaperStyle" of one picture spanned across every screen.
inline constexpr const char* kSpannedStyle = "22";

// The bitmap of screen `screen` (0 the first) beside the wallpaper's `destination`:
// "wallpaper-1.bmp", "wallpaper-2.bmp", ….
std::string ScreenBitmapPath(const std::string& destination, std::size_t screen);

// The two style values a WpState stands for (see StyleValues). Both empty for any other
// value, which has no style: nothing is written then and the desktop keeps its own.
StyleValues StyleCode(WallpaperStyle wpState);

// How an installation ended: installed, or why not.
enum class InstallOutcome : std::uint8_t {
    Installed,
    NoFolder,            // the desktop has no wallpaper folder: `desktop` says why (no desktop: nothing)
    NotWritten,          // the bitmap `subject` could not be written
    PictureRefused,      // `subject` (the picture the user chose) is no usable picture: `decode` says why
    PngUnreadable,       // a PNG that could not be read
    PngNotConverted,     // a PNG whose bitmap could not be written
    UnsupportedKind,     // no picture kind the installation knows
    Refused,             // the desktop refused the bitmap: `desktop` says why
    Stopped,             // a stop came while the bitmap was written: there is nothing to say
    NothingToGoBack,     // going back found no wallpaper before the current one
    NothingToGoForward,  // going forward found no wallpaper that going back replaced
};

struct InstallResult {
    InstallOutcome outcome = InstallOutcome::Installed;
    std::string subject;
    DecodeResult decode;
    DesktopResult desktop;
    FileFailure fileFailure = FileFailure::Nothing;  // why the bitmap was not written
    bool Ok() const { return outcome == InstallOutcome::Installed; }
};

// One picture to install: its file, and what a message about it names (the picture the
// user chose, as the user knows it; the file when empty). A `movable` file is the run's
// own working bitmap, which may be moved into place instead of copied.
struct WallpaperPicture {
    std::string file;
    std::string named;
    bool movable = false;
};

// What an installation is asked to do.
struct InstallRequest {
    // The pictures, the first screen's first; one unless each screen gets its own.
    std::vector<WallpaperPicture> pictures;
    // How the picture is laid out. None: the desktop keeps the style it has, and only one
    // picture is installed.
    std::optional<WallpaperStyle> style;
    // The bitmap's name in the wallpaper folder (WinFolderWPname).
    std::string wallpaperName;
    // Several screens: a picture for each, laid out on its own screen; none: one picture
    // covers the desktop.
    std::vector<Screen> screens;
    // The colour around a centred or fitted picture, and between screens; none: the
    // desktop's own, left as it is.
    std::optional<std::uint32_t> background;
    // The first picture as already decoded (the preview's), saving a second read; or none.
    const Picture* shown = nullptr;
};

// The screens a picture for each screen is installed on: the system's, when there are
// several and each picture can be laid out; none otherwise, and one picture covers the
// desktop.
std::vector<Screen> ScreensForEachPicture(const WallpaperServices& services);

// What the preview shows of a picture for each screen: the screens as they stand, scaled
// down to fit within the largest of them, each picture laid out on its screen in the
// request's style exactly as the installation lays it out, and the gaps between them in
// the desktop's colour. Only one picture is decoded at a time. PictureRefused names a
// picture that cannot be read.
[[nodiscard]] InstallResult PreviewEachScreen(const InstallRequest& request,
                                              const WallpaperServices& services, Picture& previewOut);

// Installs the request's pictures as the wallpaper, as one change: the new bitmaps are
// written beside the old ones and put in their place, and only once the desktop has taken
// them is the change kept: the bitmaps they replaced become the newest kept to go back to
// (the oldest beyond the bound goes) and the style is remembered. A change that fails
// anywhere, the desktop's refusal included, leaves the wallpaper folder and the style as
// they were.
[[nodiscard]] InstallResult InstallWallpaper(const InstallRequest& request,
                                             const WallpaperServices& services);

// Puts the wallpaper before the current one back, in its style: the newest bitmap kept
// beside the current one takes its place, so going back again reaches the one before
// that. NothingToGoBack when none is left. The wallpaper it replaces is kept to go forward
// to. A refused change leaves everything as it was.
[[nodiscard]] InstallResult GoBack(const std::string& wallpaperName, const WallpaperServices& services);

// Undoes the last step back: the wallpaper going back replaced last takes the place of the
// current one, which is kept to go back to. NothingToGoForward when no step back is left to
// undo (any other change of wallpaper since forgets them). A refused change leaves
// everything as it was.
[[nodiscard]] InstallResult GoForward(const std::string& wallpaperName, const WallpaperServices& services);

}  // namespace vexal
