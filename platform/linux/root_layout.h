// Laying a picture out on a whole screen the way the wallpaper styles do: centred on
// black, tiled from the top left corner, stretched to the screen's size, filling the
// screen with its shape kept (cut evenly on both sides), or fitted whole on black.
#pragma once

#include <cstdint>
#include <vector>

#include "host/picture.h"

namespace vexal {

// Spanned: one picture of the whole virtual screen across every screen, from the top left
// corner of the root.
enum class WallpaperLayout { Centred, Tiled, Stretched, Fill, Fit, Spanned };

// The scaling layouts (stretched, fill, fit) as one step: the part of the picture used
// (from sourceX, sourceY, sourceWidth × sourceHeight) is scaled into the part of the
// screen (from screenX, screenY, screenWidth × screenHeight); the rest of the screen is
// black. Every size is at least 1.
struct ScaledPlacement {
    std::int32_t sourceX = 0, sourceY = 0, sourceWidth = 0, sourceHeight = 0;
    std::int32_t screenX = 0, screenY = 0, screenWidth = 0, screenHeight = 0;
    bool operator==(const ScaledPlacement&) const = default;
};
// For Stretched, Fill and Fit; a picture and a screen at least one pixel each way.
ScaledPlacement PlaceScaled(WallpaperLayout layout, std::int32_t pictureWidth, std::int32_t pictureHeight,
                            std::int32_t width, std::int32_t height);

// Fills `out` with width × height pixels 0x00RRGGBB, rows top to bottom, `background`
// where the picture does not reach; transparent parts of the picture show black.
void LayOutPicture(const Picture& picture, WallpaperLayout layout, std::int32_t width, std::int32_t height,
                   std::vector<std::uint32_t>& out, std::uint32_t background = 0);

}  // namespace vexal
