// The Windows wallpaper services: the folder the bitmap goes into (the Windows folder where
// the user may write there, else the user's own local application data folder), the style
// values under HKEY_CURRENT_USER\Control Panel\Desktop, and SystemParametersInfoW.
#pragma once

#include <string>

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

    // The user's own folder for the program's files, made when missing; a failure, with
    // why, when it cannot be had.
    DesktopResult UserFolder(std::string& folderOut);

private:
    DesktopResult WindowsFolder(std::string& folderOut);

    // Chosen once per run, so that every step of one run names the same bitmap.
    std::string wallpaperFolder_;
};

}  // namespace vexal
