// The X11 backend: draws the picture into a pixmap of the root window's size and makes
// it the root background, the way X11 wallpaper setters agree on so that compositors
// and pseudo-transparent programs find it and the next setter can free it.
#pragma once

#include <string>

#include "platform/linux/root_layout.h"
#include "wallpaper/picture.h"

namespace vexal {

// Connects to the display named by DISPLAY (or `display` when not empty); false when
// there is no display or the server refused any step.
bool SetRootBackground(const Picture& picture, WallpaperLayout layout, const std::string& display = {});

}  // namespace vexal
