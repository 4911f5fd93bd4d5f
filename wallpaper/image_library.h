// The image library's three calls over the platform's decoder and the BMP writer. Their
// results carry the outcome: a handle of 0 is a failure, and a non-zero result from
// DIBtoBMP means the file was written.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "host/file_system.h"
#include "host/image_decoder.h"

namespace vexal {

class ImageLibrary {
public:
    ImageLibrary(ImageDecoder& decoder, FileSystem& files) : decoder_(decoder), files_(files) {}

    // Decodes the picture file at `path` and returns a handle to it; 0 when it cannot be
    // read (LastDecode says why).
    std::int32_t PNGtoDIB(const std::string& path);
    // Writes the picture of `handle` as a bitmap file at `path`: non-zero when written.
    std::int32_t DIBtoBMP(const std::string& path, std::int32_t handle);
    // Releases the picture of `handle`; an unknown handle is ignored.
    void DeleteDIB(std::int32_t handle);

    // The outcome of the last PNGtoDIB.
    const DecodeResult& LastDecode() const { return lastDecode_; }

private:
    ImageDecoder& decoder_;
    FileSystem& files_;
    std::map<std::int32_t, Picture> pictures_;
    std::int32_t nextHandle_ = 1;
    DecodeResult lastDecode_;
};

// The one conversion of a picture file into a bitmap file: rows are written as they are
// decoded where the platform can, so the writing overlaps the decoding and a photo is
// never held whole; anything else is decoded through the image library and written. The
// result is always handled: `decoded` says whether `source` was a picture, `written`
// whether the whole bitmap reached `destination`.
BmpFromFile ConvertToBmp(ImageDecoder& decoder, FileSystem& files, const std::string& source,
                         const std::string& destination);

}  // namespace vexal
