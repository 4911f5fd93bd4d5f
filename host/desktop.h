// The system's wallpaper services as the installation needs them: the folder the bitmap
// goes into, and the call that makes a bitmap the wallpaper in its style.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/file_system.h"
#include "host/picture.h"

namespace vexal {

// Why the desktop could not do what it was asked.
enum class DesktopFailure : std::uint8_t {
    None,
    NoDataFolder,       // neither HOME nor XDG_DATA_HOME says where the user's data go
    FolderNotMade,      // the folder `subject` could not be made
    NoSystemFolder,     // the system did not say where its own folder is
    NoUserFolder,       // the system did not say where the user's application data go
    UserFolderNotMade,  // the user's folder `subject` could not be made
    NoScreen,           // no display to draw on and no desktop that keeps a wallpaper
    NoDisplay,          // DISPLAY is not set
    NotDrawn,           // the display `subject` could not be drawn on
    FileNotPrepared,    // the file `subject` the desktop is pointed at could not be made
    ToolWarned,         // `tool` exited 0 but wrote `said`, and the change did not hold
    ToolNotRun,         // `tool` could not be started or did not end in time
    ToolFailed,         // `tool` exited with `status`, having written `said` (maybe nothing)
    ValueNotKept,       // `tool` set the value, and reading it back found another
    Refused,            // the desktop refused and said nothing more
    SystemRefused,      // the system's call failed with the error number `status`
    DesktopCovers,      // the desktop `subject`, which vexal cannot reach, covers the root with a window
    DesktopNotRunning,  // `tool`, the program that draws the desktop's background, is not running
};

// What a call to the desktop did. True when it succeeded.
struct DesktopResult {
    DesktopFailure failure = DesktopFailure::None;
    std::string subject;
    std::string tool;
    std::string said;
    std::int64_t status = 0;
    FileFailure fileFailure = FileFailure::Nothing;  // why a folder was not made
    bool Ok() const { return failure == DesktopFailure::None; }
    explicit operator bool() const { return Ok(); }
};

// One screen (monitor) of the desktop: where it stands on the virtual screen, whose
// origin is the primary screen's top left corner (others may lie left of or above it),
// and the name the system knows it by ("HDMI-1"; empty where it gives none).
struct Screen {
    PixelRect rect;
    std::string name;
    bool operator==(const Screen&) const = default;
};

// The two style values a wallpaper is laid out by, as the system stores them under
// "Control Panel\Desktop": "WallpaperStyle" and "TileWallpaper" ("0" "0" centred, "0" "1"
// tiled, "2" "0" stretched, "10" "0" fill, "6" "0" fit, "22" "0" spanned). Both empty: no
// style, and the desktop keeps its own.
// `background`, when given, is the colour (0x00RRGGBB) the desktop shows around the
// picture from now on: set with the picture, and only when the picture is taken.
struct StyleValues {
    std::string wallpaperStyle;
    std::string tileWallpaper;
    std::optional<std::uint32_t> background{};
    bool Empty() const { return wallpaperStyle.empty(); }
    bool operator==(const StyleValues&) const = default;
};

// What a desktop that holds a picture for each screen did with them.
struct ScreenWallpapers {
    bool handled = false;  // false: it holds one picture only, to be spanned across them
    DesktopResult result;
};

class Desktop {
public:
    virtual ~Desktop() = default;
    // The folder the wallpaper bitmap is written into (the "Windows folder"), without a
    // trailing separator; a failure when there is none to be had.
    [[nodiscard]] virtual DesktopResult WallpaperFolder(std::string& folderOut) = 0;
    // The folder that holds the lock every run of this user shares, without a trailing
    // separator: beside the bitmap unless the system keeps it elsewhere (Windows keeps it
    // in the user's own folder, since the bitmap's folder may differ from run to run).
    [[nodiscard]] virtual DesktopResult LockFolder(std::string& folderOut) {
        return WallpaperFolder(folderOut);
    }
    // The screens as the system lists them; empty when it cannot tell, which counts as one
    // screen.
    virtual std::vector<Screen> Screens() { return {}; }
    // The colour (0x00RRGGBB) the desktop shows where no picture covers it.
    virtual std::uint32_t BackgroundColour() { return 0; }
    // Shows the bitmap `paths[i]`, made at the size of `screens[i]`, on that screen, where
    // the desktop holds a picture for each screen; unhandled where it does not.
    [[nodiscard]] virtual ScreenWallpapers SetScreenWallpapers(const std::vector<std::string>& /*paths*/,
                                                               const std::vector<Screen>& /*screens*/) {
        return {};
    }
    // Makes the bitmap at `path` the desktop's wallpaper, laid out in `style` (empty: as the
    // desktop shows its wallpaper now). The style is the desktop's only once the picture
    // is: a refused change leaves the style that was there, and says why.
    [[nodiscard]] virtual DesktopResult SetWallpaper(const std::string& path, const StyleValues& style) = 0;
};

}  // namespace vexal
