// WebP files on Linux: read from the file, decoded with libwebp, and written straight
// into the program's bitmap file. Each call is for WebP files only, told from the content.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "host/image_decoder.h"

namespace vexal {

// Nothing when the file is no WebP file (or cannot be opened): another decoder decides.
std::optional<DecodeResult> ProbeWebpFile(const std::string& path);
std::optional<DecodeResult> ReadWebp(const std::string& path, Picture& pictureOut,
                                     const std::function<bool()>& stop = {});

// Not handled for every other file, and when the bitmap cannot even be started.
BmpFromFile WebpToBmp(const std::string& path, const std::string& destination,
                      const std::function<bool()>& stop = {});

}  // namespace vexal
