// Photos as a phone stores them: a JPEG with an Exif block whose Orientation tag says how
// the camera was held, written by the tests into any JPEG.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vexal::testing {

// An Exif APP1 segment whose first directory holds only the Orientation tag, in Motorola
// (big-endian) or Intel byte order.
inline std::string ExifSegment(int orientation, bool motorola) {
    auto u16 = [motorola](std::uint32_t v) {
        return motorola ? std::string{static_cast<char>(v >> 8), static_cast<char>(v)}
                        : std::string{static_cast<char>(v), static_cast<char>(v >> 8)};
    };
    auto u32 = [&](std::uint32_t v) { return motorola ? u16(v >> 16) + u16(v) : u16(v) + u16(v >> 16); };
    const std::string tiff = (motorola ? "MM" : "II") + u16(42) + u32(8) + u16(1) + u16(0x0112) + u16(3) +
                             u32(1) + u16(static_cast<std::uint32_t>(orientation)) + u16(0) + u32(0);
    const std::string payload = std::string("Exif\0\0", 6) + tiff;
    const std::size_t length = payload.size() + 2;
    return std::string("\xff\xe1", 2) + static_cast<char>(length >> 8) + static_cast<char>(length) + payload;
}

// `jpeg` with that segment right after its start-of-image marker.
inline std::string WithOrientation(const std::string& jpeg, int orientation) {
    return jpeg.substr(0, 2) + ExifSegment(orientation, orientation % 2 == 1) + jpeg.substr(2);
}

// Which stored corner shows at the upright top left, top right, bottom left and bottom
// right for each orientation (corners stored in that order).
inline constexpr int kCornerShown[9][4] = {{},           {0, 1, 2, 3}, {1, 0, 3, 2},
                                           {3, 2, 1, 0}, {2, 3, 0, 1}, {0, 2, 1, 3},
                                           {2, 0, 3, 1}, {3, 1, 2, 0}, {1, 3, 0, 2}};

}  // namespace vexal::testing
