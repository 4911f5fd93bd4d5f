// The Windows wallpaper services: the folder the bitmap goes into (the Windows folder where
// the user may write there, else the user's own local application data folder), the style
// values under HKEY_CURRENT_USER\Control Panel\Desktop, and SystemParametersInfoW.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/desktop.h"

namespace vexal {

// What one value under a key of HKEY_CURRENT_USER held before it was written, to be put
// back exactly: its type and bytes, or that there was no such value.
struct SavedValue {
    std::string name;
    bool existed = false;
    std::uint32_t type = 0;
    std::vector<unsigned char> data;
};

// The values `names` of HKEY_CURRENT_USER\`key` as they stand; false when the key is not
// there or a value cannot be read whole.
[[nodiscard]] bool SaveValues(const std::string& key, const std::vector<std::string>& names,
                              std::vector<SavedValue>& savedOut);
// Writes each (name, text) as a string value of HKEY_CURRENT_USER\`key`, its NUL counted.
// The key is opened, never created: a user without it keeps a desktop without it.
void WriteStringValues(const std::string& key,
                       const std::vector<std::pair<std::string, std::string>>& values);
// Puts back what SaveValues found: the old type and bytes, or no value at all.
void PutBackValues(const std::string& key, const std::vector<SavedValue>& saved);

class Win32Desktop final : public Desktop {
public:
    DesktopResult WallpaperFolder(std::string& folderOut) override;
    // The user's own folder, "%LOCALAPPDATA%\vexal", made when missing.
    DesktopResult LockFolder(std::string& folderOut) override;
    // Writes the style values the system reads as it applies the wallpaper, and puts back
    // what they were when it refuses.
    DesktopResult SetWallpaper(const std::string& path, const StyleValues& style) override;
    // The monitors EnumDisplayMonitors lists, on the virtual screen.
    std::vector<Screen> Screens() override;
    // The desktop colour of the system's colour scheme.
    std::uint32_t BackgroundColour() override;
    // Windows 8 and later hold a wallpaper for each monitor, through the desktop-wallpaper
    // COM interface; without it (older systems) one bitmap is spanned. A refusal puts the
    // position and the style values back as they were.
    ScreenWallpapers SetScreenWallpapers(const std::vector<std::string>& paths,
                                         const std::vector<Screen>& screens) override;

    // The user's own folder for the program's files, made when missing; a failure, with
    // why, when it cannot be had.
    DesktopResult UserFolder(std::string& folderOut);

private:
    DesktopResult WindowsFolder(std::string& folderOut);

    // Chosen once per run, so that every step of one run names the same bitmap.
    std::string wallpaperFolder_;
};

}  // namespace vexal
