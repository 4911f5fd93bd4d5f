// The one thing the program reads from a photo's Exif block: how the camera was held,
// so that the picture is turned upright before it becomes a bitmap.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexal {

// The Orientation tag (1 to 8) of an Exif APP1 segment's payload ("Exif\0\0" and the TIFF
// structure after it); 1, upright as stored, when the block is damaged, says nothing or
// holds a value outside 1 to 8. Every offset is checked against `size`.
int ExifOrientation(const std::uint8_t* data, std::size_t size);

// Where the stored pixel (x, y) of a width × height picture lands once the picture is
// turned upright for `orientation`; for 5 to 8 the upright picture is height × width.
struct Upright {
    std::int32_t width, height;  // of the upright picture
    // Offset of the stored pixel (0, 0) and steps for x + 1 and y + 1, in upright pixels.
    std::ptrdiff_t origin, stepX, stepY;
};
Upright UprightLayout(int orientation, std::int32_t width, std::int32_t height);

}  // namespace vexal
