// The image decoder on Linux, on Qt's image support (PNG, JPEG, GIF, BMP and whatever
// else the installed image plugins read), with libwebp for WebP pictures.
#pragma once

#include "host/image_decoder.h"

namespace vexal {

class QtImageDecoder final : public ImageDecoder {
public:
    DecodeResult Probe(const std::string& path) override;
    DecodeResult Decode(const std::string& path, Picture& pictureOut) override;
    // JPEG and WebP photos, and PNG photos of the kinds the fast PNG path reads.
    BmpFromFile DecodeToBmp(const std::string& path, const std::string& destination) override;
};

}  // namespace vexal
