// Turning the working picture into the desktop wallpaper: the bitmap in the wallpaper
// folder, the two style values, and the system call, in that order.
#pragma once

#include <cstdint>
#include <string>

#include "host/host.h"
#include "host/preview_view.h"
#include "program/program.h"

namespace vexal {

// The key and value names the style is stored under.
inline constexpr const char* kDesktopKey = "Control Panel\\Desktop";
inline constexpr const char* kWallpaperStyleName = "WallpaperStyle";
inline constexpr const char* kTileWallpaperName = "TileWallpaper";

// The two-character style code of a WpState ("00" centred, "01" tiled, "20" stretched):
// the first character is WallpaperStyle, the second TileWallpaper. Empty for any other
// value, which has no style: nothing is written then and the desktop keeps its own.
std::string StyleCode(WallpaperStyle wpState);

// Writes one style value through the desktop.
void SetKeyValue(Host& host, const std::string& sKeyName, const std::string& sValueName,
                 const std::string& sValueSetting);

// Installs the picture file `imagePath` (bmp, gif, jpg or png by its last three letters)
// as the wallpaper. Every failure shows one plain notice and returns false; the desktop
// is then left as it was unless the system itself refused the new bitmap.
[[nodiscard]] bool InstallWallpaper(Program& program, Host& host, PreviewPicture& preview,
                                    const std::string& imagePath);

// Installation without a preview: the picture is read afresh, installed, and the preview
// window is unloaded, which ends the program (status 0 only when installed).
void Autowp(Program& program, Host& host, PreviewView& preview);

}  // namespace vexal
