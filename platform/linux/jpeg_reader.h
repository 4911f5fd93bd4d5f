// JPEG photos decoded with libjpeg-turbo straight into the rows of the program's bitmap:
// the library stores blue, green, red in the bitmap's own order, so the rows go to the
// file as the library produces them, on a second thread, while the next rows decode.
// Nothing is scaled or approximated: the bytes are those the general decoder's pixels
// make through the portable bitmap writer. Colour spaces other than grey, YCbCr and RGB
// (CMYK from print work) are left to the general decoder.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "host/image_decoder.h"

namespace vexal {

// Not handled when the file is no JPEG of those kinds, or the bitmap cannot even be
// started (the caller then decodes first, and reports a picture error before a write error).
// A photo whose Exif block says it was taken on its side is left to ReadJpeg, which turns
// it upright. `stop` is asked after every row of blocks.
BmpFromFile JpegToBmp(const std::string& path, const std::string& destination,
                      const std::function<bool()>& stop);

// The picture upright as its Exif block says; nothing when the file is no JPEG of those
// kinds (the general decoder then reads it).
// With `shown`, the picture comes at the smallest of libjpeg's scales M/8 at which it is
// still no smaller than `shown` says it is shown for its full upright size.
std::optional<DecodeResult> ReadJpeg(
    const std::string& path, Picture& pictureOut, const std::function<bool()>& stop,
    const std::function<ShownSize(std::int32_t, std::int32_t)>* shown = nullptr);
// The picture ReadJpeg gives with `shown`, as rows decoded when asked for; null for a photo
// that must be turned upright, a damaged or cut header or file, and every other file.
std::unique_ptr<PictureRows> JpegRowsToShow(
    const std::string& path, const std::function<bool()>& stop,
    const std::function<ShownSize(std::int32_t, std::int32_t)>& shown);
// The size ReadJpeg would give, from the header alone.
std::optional<DecodeResult> ProbeJpeg(const std::string& path);

}  // namespace vexal
