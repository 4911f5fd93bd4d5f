// A picture for each screen: each laid out on its own screen in the entry's style, and the
// one bitmap of the whole virtual screen composed from them for desktops that span a
// single picture across their screens.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/desktop.h"
#include "host/file_system.h"
#include "host/image_decoder.h"
#include "host/picture.h"
#include "program/site_entry.h"

namespace vexal {

// The smallest rectangle that holds every screen; all zero for none.
PixelRect VirtualScreen(const std::vector<Screen>& screens);

// Whether the screens call for a picture each: two or more that do not all stand on the
// same place (mirrored screens show one picture anyway).
bool SeveralScreens(const std::vector<Screen>& screens);

// `picture` laid out on a screen of width × height (each at least 1) in `style`: centred,
// tiled from the top left corner, stretched, filling the screen with its shape kept (cut
// evenly on both sides), or fitted whole. What it leaves uncovered is `background`
// (0x00RRGGBB); its own transparent parts show black, as in every bitmap the program
// writes. A style of no known value is centred. Shrinking averages the picture's pixels
// over each screen pixel, so a photo many times the screen's size stays smooth; enlarging
// interpolates between neighbours.
Picture LayOutOnScreen(const Picture& picture, WallpaperStyle style, std::int32_t width, std::int32_t height,
                       std::uint32_t background);

// Whether LayOutOnScreen takes a picture's rows once each, top to bottom, in `style`
// (the styles that scale it): a picture then need not be held whole to be laid out.
bool LaidOutAsRows(WallpaperStyle style);

// As LayOutOnScreen, from rows decoded as they are asked for, in a style LaidOutAsRows
// allows; nothing when a row cannot be had (rows.Result() says why) or the style is another.
std::optional<Picture> LayOutOnScreen(PictureRows& rows, WallpaperStyle style, std::int32_t width,
                                      std::int32_t height, std::uint32_t background);

// The size at which LayOutOnScreen shows the whole of a picture of pictureWidth ×
// pictureHeight on a screen of width × height: the screen's for stretched, the picture
// scaled to cover it for fill, scaled to fit for fit, the picture's own for centred and
// tiled.
ShownSize ShownSizeOf(WallpaperStyle style, std::int32_t pictureWidth, std::int32_t pictureHeight,
                      std::int32_t width, std::int32_t height);

// A picture already laid out on its screen, and where that screen stands.
struct PlacedPicture {
    PixelRect rect;
    Picture picture;  // rect.width × rect.height
};

// Writes the bitmap of `area` (coordinates of the virtual screen) in which each picture
// stands in its rectangle, a later one over an earlier, and the rest is `background`.
// The rows are made and written a few mebibytes at a time, bottom row first, so the
// composed bitmap is never held whole. False when the area is empty or too large for the
// format, or the file cannot be written.
[[nodiscard]] bool WriteComposedBmp(FileSystem& files, const std::string& path, PixelRect area,
                                    const std::vector<PlacedPicture>& placed, std::uint32_t background);

// The same composition held in memory, for an area small enough to hold (the preview's
// scaled-down screens); empty for an empty area.
Picture ComposeScreens(PixelRect area, const std::vector<PlacedPicture>& placed, std::uint32_t background);

}  // namespace vexal
