// The picture kinds of today's phones and sites on Linux: HEIF and AVIF through libheif
// (with its HEVC and AV1 decoders), JPEG XL through libjxl, both loaded when first needed,
// SVG drawn by Qt's SVG module.
// Each call is for its own kind only, told from the content; every other file is left to
// the next decoder.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "host/image_decoder.h"
#include "platform/linux/modern_libraries.h"

namespace vexal {

// HEIF (HEIC) and AVIF, upright as the container's rotation and mirror say; JPEG XL,
// upright as its header says. The size is checked on the header before any pixel is
// decoded; a file cut short is refused. The kind's library is loaded by the first such
// picture; where it is not installed, the picture is refused as NoLibrary.
std::optional<DecodeResult> ProbeModern(const std::string& path, const ModernLibraries& libraries = {});
std::optional<DecodeResult> ReadModern(const std::string& path, Picture& pictureOut,
                                       const std::function<bool()>& stop,
                                       const ModernLibraries& libraries = {});

// SVG: its size is the one it declares (its width and height, or its view box); with
// `shown`, it is drawn at the size `shown` gives for that size, so it is sharp on any
// screen in any style. The drawn size is bounded as any picture's is.
std::optional<DecodeResult> ProbeSvg(const std::string& path);
std::optional<DecodeResult> ReadSvg(const std::string& path, Picture& pictureOut,
                                    const std::function<ShownSize(std::int32_t, std::int32_t)>* shown);

}  // namespace vexal
