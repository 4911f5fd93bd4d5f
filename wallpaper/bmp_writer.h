// The one bitmap writer of the program: 24-bit, uncompressed, bottom-up rows padded to
// four bytes, so every platform writes the same bytes for the same pixels.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "host/file_system.h"
#include "host/picture.h"

namespace vexal {

inline constexpr std::uint32_t kBmpHeaderSize = 14 + 40;

// Bytes of one stored row: three per pixel, padded to a multiple of four.
inline std::uint64_t BmpRowBytes(std::int32_t width) {
    return (static_cast<std::uint64_t>(width) * 3 + 3) & ~std::uint64_t{3};
}

// The file header and the information header of a picture of this size.
std::string BmpHeader(std::int32_t width, std::int32_t height);

// Appends one row in stored form (blue, green, red per pixel, transparent parts on
// black, zero padding) to `out`.
void AppendBmpRow(const std::uint32_t* row, std::int32_t width, bool hasAlpha, std::string& out);

// Writes a bitmap of `width` x `height` at `path`, replacing what was there, whose row y
// (0 the top) `row` gives; rows are asked for bottom first, and each pointer is used only
// until the next call. They are written in pieces of a few mebibytes, so the whole bitmap
// is never held. False when it is empty, too large for the format, or cannot be written.
[[nodiscard]] bool WriteBmpRows(FileSystem& files, const std::string& path, std::int32_t width,
                                std::int32_t height, bool hasAlpha,
                                const std::function<const std::uint32_t*(std::int32_t y)>& row);

// Writes `picture` as a bitmap file at `path`, replacing what was there. The rows are
// written in pieces of a few mebibytes, so a large picture is never held twice.
// False when the picture is empty or the file cannot be written.
[[nodiscard]] bool WriteBmp(FileSystem& files, const std::string& path, const Picture& picture);

}  // namespace vexal
