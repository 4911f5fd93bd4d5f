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
    // A JPEG shown smaller than it is comes reduced where the system's codec can scale it
    // while it decodes (not under Wine, whose codec decodes it whole).
    DecodeResult DecodeToShow(const std::string& path,
                              const std::function<ShownSize(std::int32_t, std::int32_t)>& shown,
                              Picture& pictureOut) override;

private:
    DecodeResult Open(const std::string& path, bool decode, Picture* pictureOut,
                      const std::function<ShownSize(std::int32_t, std::int32_t)>* shown);

    void* factory_ = nullptr;  // IWICImagingFactory
    bool comInitialized_ = false;
};

}  // namespace vexal
