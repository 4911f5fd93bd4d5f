// The Windows wallpaper services: the folder the bitmap goes into (the Windows folder where
// the user may write there, else the user's own local application data folder), the style
// values under HKEY_CURRENT_USER\Control Panel\Desktop, and SystemParametersInfoW.
#pragma once

#include <string>
#include <vector>

#include "host/desktop.h"

namespace vexal {

class Win32Desktop final : public Desktop {
public:
    DesktopResult WallpaperFolder(std::string& folderOut) override;
    // The user's own folder, "%LOCALAPPDATA%\vexal", made when missing.
    DesktopResult LockFolder(std::string& folderOut) override;
    void SetKeyValue(const std::string& keyName, const std::string& valueName,
                     const std::string& valueSetting) override;
    DesktopResult SetWallpaper(const std::string& path) override;
    // The monitors EnumDisplayMonitors lists, on the virtual screen.
    std::vector<Screen> Screens() override;
    // The desktop colour of the system's colour scheme.
    std::uint32_t BackgroundColour() override;
    // Windows 8 and later hold a wallpaper for each monitor, through the desktop-wallpaper
    // COM interface; without it (older systems) one bitmap is spanned.
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
