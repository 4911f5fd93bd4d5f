// Laying a picture out on a whole screen the way the wallpaper styles do: centred on
// black, tiled from the top left corner, or stretched to the screen's size.
#pragma once

#include <cstdint>
#include <vector>

#include "host/picture.h"

namespace vexal {

enum class WallpaperLayout { Centred, Tiled, Stretched };

// Fills `out` with width × height pixels 0x00RRGGBB, rows top to bottom; transparent
// parts of the picture show black.
void LayOutPicture(const Picture& picture, WallpaperLayout layout, std::int32_t width, std::int32_t height,
                   std::vector<std::uint32_t>& out);

}  // namespace vexal
