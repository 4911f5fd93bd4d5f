// Whether a picture file holds the whole of its first picture, told by walking its
// structure without decoding a pixel: decoders fill what is missing with grey or black
// and report success, so a picture cut short in transfer would become the wallpaper. A
// JPEG's scans are counted on the way, before any is decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace vexal {

// Reads up to `size` bytes at `offset` into `out`: the count read, 0 at the end of the
// file, negative when it cannot be read.
using ReadAt = std::function<std::int64_t(std::uint64_t offset, unsigned char* out, std::size_t size)>;

enum class PictureWalk {
    Whole,         // the file holds everything its first picture needs
    CutShort,      // it ends before that
    TooManyScans,  // a JPEG with more than kMaxJpegScans scans
    NotFollowed,   // no JPEG, GIF or bitmap, or one the walk cannot follow: the decoder decides
};

// Every scan of a progressive JPEG passes over all of its coefficients again, so a small
// file that repeats its last scan thousands of times decodes for minutes. Usual encoders
// write 10 scans or fewer, those that search for the smallest file a few dozen; 500 is the
// bound libjpeg-turbo's own tools put on the same attack, so every photo they open opens
// here too.
inline constexpr int kMaxJpegScans = 500;

// JPEG: the markers up to the end-of-image marker (segments passed over by their length,
// so an Exif thumbnail's own scans do not count; entropy-coded data up to the next
// marker). GIF: the blocks up to the end of the first picture's data. Bitmap: the length
// its rows take against `fileSize`; run-length rows followed to their end. For a JPEG, `orientationOut` (when
// given) receives the Orientation of its first Exif block, 1 when there is none.
PictureWalk WalkPicture(const ReadAt& read, std::uint64_t fileSize, int* orientationOut = nullptr);

}  // namespace vexal
