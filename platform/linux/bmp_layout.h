// Laying a bitmap file out on the screen straight from the file, for the X11 root: only
// the rows the layout needs are read, and a scaled photo is averaged down row by row,
// so the full-size picture is never decoded into memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/root_layout.h"

namespace vexal {

enum class BmpLayoutResult {
    Done,
    // Not an uncompressed 24- or 32-bit bitmap, or a layout that needs enlarging: the
    // caller decodes the picture instead.
    NotHandled,
    Failed,  // the file could not be read
};

// As LayOutPicture, but from the bitmap file at `path`.
BmpLayoutResult LayOutBmpFile(const std::string& path, WallpaperLayout layout, std::int32_t width,
                              std::int32_t height, std::vector<std::uint32_t>& out,
                              std::uint32_t background = 0);

}  // namespace vexal
