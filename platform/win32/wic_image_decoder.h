// Picture decoding on Windows through the Windows Imaging Component: PNG, GIF, JPEG and BMP,
// HEIF, AVIF and JPEG XL where the system has their extensions (NoCodec naming the kind
// where it has not), and WebP through libwebp, told apart by their content, delivered as
// the core's 0xAARRGGBB pixels. SVG is not drawn: NoCodec.
#pragma once

#include "host/image_decoder.h"

namespace vexal {

class WicImageDecoder final : public ImageDecoder {
public:
    // COM is initialised for the calling thread (single-threaded apartment, as the windows
    // need) and released again when the decoder goes.
    WicImageDecoder();
    ~WicImageDecoder() override;
    WicImageDecoder(const WicImageDecoder&) = delete;
    WicImageDecoder& operator=(const WicImageDecoder&) = delete;

    DecodeResult Probe(const std::string& path) override;
    DecodeResult Decode(const std::string& path, Picture& pictureOut) override;

private:
    DecodeResult Open(const std::string& path, bool decode, Picture* pictureOut);

    void* factory_ = nullptr;  // IWICImagingFactory
    bool comInitialized_ = false;
};

}  // namespace vexal
