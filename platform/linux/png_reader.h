// A fast path for the PNG pictures photos usually are (8-bit RGB or RGBA, not
// interlaced): inflating runs on the calling thread while a second thread undoes the
// row filters and stores the pixels, so the two halves of the work overlap. Every other
// PNG is left to Qt's decoder.
#pragma once

#include <functional>
#include <string>

#include "host/image_decoder.h"

namespace vexal {

enum class PngReadResult {
    Decoded,
    NotHandled,  // not a PNG of the kinds above (the caller decodes it otherwise)
    Failed,      // a PNG of those kinds, damaged or cut short; `result` says why
};

// `stop` is asked before each band of rows is inflated; once it answers true the reading
// fails with DecodeError::Stopped.
PngReadResult ReadPng(const std::string& path, Picture& pictureOut, DecodeResult& result,
                      const std::function<bool()>& stop = {});

// The same kinds of PNG written straight into a bitmap file at `destination`, each row as
// it is unfiltered, without the picture ever being held in memory. Not handled for every
// other file, and when the bitmap cannot even be started.
BmpFromFile PngToBmp(const std::string& path, const std::string& destination,
                     const std::function<bool()>& stop = {});

}  // namespace vexal
