// A bounded walk of the TIFF structure inside the Exif block: the header, the first
// directory, its Orientation entry. Nothing else in the block is looked at.
#include "platform/picture/exif_orientation.h"

#include <cstring>

namespace vexal {

int ExifOrientation(const std::uint8_t* data, std::size_t size) {
    static const std::uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (size < sizeof kExif + 8 || std::memcmp(data, kExif, sizeof kExif) != 0) return 1;
    const std::uint8_t* tiff = data + sizeof kExif;
    const std::size_t n = size - sizeof kExif;
    bool little;
    if (tiff[0] == 'I' && tiff[1] == 'I')
        little = true;
    else if (tiff[0] == 'M' && tiff[1] == 'M')
        little = false;
    else
        return 1;
    auto u16 = [&](std::size_t at) -> std::uint32_t {
        return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
    };
    auto u32 = [&](std::size_t at) -> std::uint32_t {
        return little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
    };
    if (u16(2) != 42) return 1;
    const std::size_t ifd = u32(4);
    if (ifd < 8 || ifd > n - 2) return 1;
    const std::size_t entries = u16(ifd);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t at = ifd + 2 + i * 12;
        if (n < 12 || at > n - 12) return 1;
        if (u16(at) != 0x0112) continue;
        // SHORT, one value, stored in the entry itself.
        if (u16(at + 2) != 3 || u32(at + 4) != 1) return 1;
        const std::uint32_t value = u16(at + 8);
        return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
}

Upright UprightLayout(int orientation, std::int32_t width, std::int32_t height) {
    const std::ptrdiff_t w = width, h = height;
    switch (orientation) {
        case 2:  // mirrored left to right
            return {width, height, w - 1, -1, w};
        case 3:  // upside down
            return {width, height, w * h - 1, -1, -w};
        case 4:  // mirrored top to bottom
            return {width, height, (h - 1) * w, 1, -w};
        case 5:  // mirrored along the diagonal: stored rows become columns
            return {height, width, 0, h, 1};
        case 6:  // stored on its left side: turned a quarter clockwise
            return {height, width, h - 1, h, -1};
        case 7:  // mirrored along the other diagonal
            return {height, width, (w - 1) * h + h - 1, -h, -1};
        case 8:  // stored on its right side: turned a quarter anticlockwise
            return {height, width, (w - 1) * h, -h, 1};
        default:
            return {width, height, 0, 1, w};
    }
}

}  // namespace vexal
