// Fuzz target: the structure walk that tells a whole picture from one cut short, and the
// Exif orientation reader, on arbitrary bytes: neither may read outside what it is given.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/picture/exif_orientation.h"
#include "platform/picture/whole_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const vexal::PictureWalk walk = vexal::WalkPicture(
        [&](std::uint64_t offset, unsigned char* out, std::size_t want) -> std::int64_t {
            if (offset >= size) return 0;
            const std::size_t n = std::min<std::size_t>(want, size - static_cast<std::size_t>(offset));
            std::memcpy(out, data + offset, n);
            return static_cast<std::int64_t>(n);
        },
        size);
    (void)walk;
    const int orientation = vexal::ExifOrientation(data, size);
    if (orientation < 1 || orientation > 8) std::abort();
    return 0;
}
