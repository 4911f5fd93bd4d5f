// Turning the working picture into the desktop wallpaper: the bitmap in the wallpaper
// folder, the two style values, and the system call, in that order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/desktop.h"
#include "host/file_system.h"
#include "host/image_decoder.h"
#include "host/preview_view.h"
#include "host/run_guard.h"
#include "program/program.h"

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
    NoFolder,         // the desktop has no wallpaper folder: `desktop` says why (no desktop: nothing)
    NotWritten,       // the bitmap `subject` could not be written
    PictureRefused,   // `subject` (the picture the user chose) is no usable picture: `decode` says why
    PngUnreadable,    // a PNG that could not be read
    PngNotConverted,  // a PNG whose bitmap could not be written
    UnsupportedKind,  // no picture kind the installation knows
    Refused,          // the desktop refused the bitmap: `desktop` says why
    Stopped,          // a stop came while the bitmap was written: there is nothing to say
    NothingToGoBack,  // going back found no wallpaper before the current one
};

struct InstallResult {
    InstallOutcome outcome = InstallOutcome::Installed;
    std::string subject;
    DecodeResult decode;
    DesktopResult desktop;
    FileFailure fileFailure = FileFailure::Nothing;  // why the bitmap was not written
    bool Ok() const { return outcome == InstallOutcome::Installed; }
};

// The screens an installation gives a picture each: the system's screens, for an entry
// with a picture for each screen (not a picture named on the command line), when there
// are several; none otherwise, and one picture covers the desktop.
std::vector<Screen> ScreensForEachPicture(const Program& program, const WallpaperServices& services);

// What the preview shows of a picture for each screen (WorkImageFile for the first, then
// MoreScreens): the screens as they stand, scaled down to fit within the largest of them,
// each picture laid out on its screen in the entry's style exactly as the installation
// lays it out, and the gaps between them in the desktop's colour. Only one picture is
// decoded at a time. PictureRefused names a picture that cannot be read.
[[nodiscard]] InstallResult PreviewEachScreen(const Program& program, const WallpaperServices& services,
                                              const std::vector<Screen>& screens, Picture& previewOut);

// Installs the picture file `imagePath` (bmp, gif, jpg or png by its last three letters)
// as the wallpaper. After a failure the desktop is left as it was unless the system
// itself refused the new bitmap. The bitmap it replaces is kept to go back to, and the
// history remembers the candidate the entry installed.
[[nodiscard]] InstallResult InstallWallpaper(Program& program, const WallpaperServices& services,
                                             PreviewPicture& preview, const std::string& imagePath);

// Installation without a preview: the working picture is read afresh and installed.
[[nodiscard]] InstallResult Autowp(Program& program, const WallpaperServices& services);

// Puts the wallpaper before the current one back, in its style: the newest bitmap kept
// beside the current one takes its place, so going back again reaches the one before
// that. NothingToGoBack when none is left.
[[nodiscard]] InstallResult GoBack(const Program& program, const WallpaperServices& services);

}  // namespace vexal
