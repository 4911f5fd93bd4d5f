// JPEG photos decoded with libjpeg-turbo straight into the rows of the program's bitmap:
// the library stores blue, green, red in the bitmap's own order, so the rows go to the
// file as the library produces them, on a second thread, while the next rows decode.
// Nothing is scaled or approximated: the bytes are those the general decoder's pixels
// make through the portable bitmap writer. Colour spaces other than grey, YCbCr and RGB
// (CMYK from print work) are left to the general decoder.
#pragma once

#include <string>

#include "host/image_decoder.h"

namespace vexal {

// Not handled when the file is no JPEG of those kinds, or the bitmap cannot even be
// started (the caller then decodes first, and reports a picture error before a write error).
BmpFromFile JpegToBmp(const std::string& path, const std::string& destination);

}  // namespace vexal
