// The system's wallpaper services as the installation needs them: the folder the bitmap
// goes into, the two style values, and the call that makes a bitmap the wallpaper.
#pragma once

#include <string>

namespace vexal {

class Desktop {
public:
    virtual ~Desktop() = default;
    // The folder the wallpaper bitmap is written into (the "Windows folder"), without a
    // trailing separator; false when there is none to be had.
    [[nodiscard]] virtual bool WallpaperFolder(std::string& folderOut) = 0;
    // The folder that holds the lock every run of this user shares, without a trailing
    // separator: beside the bitmap unless the system keeps it elsewhere (Windows keeps it
    // in the user's own folder, since the bitmap's folder may differ from run to run).
    [[nodiscard]] virtual bool LockFolder(std::string& folderOut) { return WallpaperFolder(folderOut); }
    // Writes the string `valueSetting` as the value `valueName` of the key `keyName` (the
    // style values "WallpaperStyle" and "TileWallpaper" under "Control Panel\Desktop").
    // Failures are not reported: the installation goes on without them.
    virtual void SetKeyValue(const std::string& keyName, const std::string& valueName,
                             const std::string& valueSetting) = 0;
    // Makes the bitmap at `path` the desktop's wallpaper, in the style last written
    // through SetKeyValue; false when the system refused.
    [[nodiscard]] virtual bool SetWallpaper(const std::string& path) = 0;
    // Why the last WallpaperFolder or SetWallpaper that failed did so, as one line of
    // Japanese for the user (no display to reach, what the desktop's tool said, ...);
    // empty when there is nothing more to say than that it failed.
    virtual std::string FailureReason() const { return {}; }
};

}  // namespace vexal
