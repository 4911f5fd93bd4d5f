// The Windows wallpaper services: the Windows folder, the style values under
// HKEY_CURRENT_USER\Control Panel\Desktop, and SystemParametersInfoW.
#pragma once

#include "host/desktop.h"

namespace vexal {

class Win32Desktop final : public Desktop {
public:
    bool WallpaperFolder(std::string& folderOut) override;
    void SetKeyValue(const std::string& keyName, const std::string& valueName,
                     const std::string& valueSetting) override;
    bool SetWallpaper(const std::string& path) override;
};

}  // namespace vexal
