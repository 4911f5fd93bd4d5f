// The image decoder on Linux, on Qt's image support (PNG, JPEG, GIF, BMP and whatever
// else the installed image plugins read), with libwebp for WebP pictures, libheif for
// HEIF and AVIF, libjxl for JPEG XL and Qt's SVG module for SVG.
#pragma once

#include "host/image_decoder.h"

namespace vexal {

class QtImageDecoder final : public ImageDecoder {
public:
    DecodeResult Probe(const std::string& path) override;
    DecodeResult Decode(const std::string& path, Picture& pictureOut) override;
    // JPEG photos at libjpeg's reduced scales, SVG drawings at the size they are shown;
    // every other picture whole.
    DecodeResult DecodeToShow(const std::string& path,
                              const std::function<ShownSize(std::int32_t, std::int32_t)>& shown,
                              Picture& pictureOut) override;
    // Upright JPEG photos, each band scaled as DecodeToShow scales the whole.
    std::unique_ptr<PictureRows> RowsToShow(
        const std::string& path, const std::function<ShownSize(std::int32_t, std::int32_t)>& shown) override;
    // JPEG and WebP photos, and PNG photos of the kinds the fast PNG path reads.
    BmpFromFile DecodeToBmp(const std::string& path, const std::string& destination) override;
};

}  // namespace vexal
