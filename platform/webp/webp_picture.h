// WebP pictures decoded with libwebp from the file's bytes in memory, on both platforms:
// the format is told from the content, the declared size is checked before any pixel
// memory is taken, and an animation gives its first frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "host/image_decoder.h"

namespace vexal {

// No side of a WebP picture may exceed this: the format's own frames cannot, so only a
// container that lies about its canvas declares more.
inline constexpr std::int64_t kMaxWebpSide = 16384;

// The bytes begin as a WebP file does ("RIFF", a length, "WEBP").
bool LooksLikeWebp(const unsigned char* data, std::size_t size);

// The file's length as its container declares it, for reading no more than that.
std::uint64_t WebpDeclaredBytes(const unsigned char* data, std::size_t size);

// Reads the headers in `data`, which may be only the start of the file: NeedsMore is set
// when the size cannot be told from so few bytes.
DecodeResult ProbeWebp(const unsigned char* data, std::size_t size, bool& needsMoreOut);

// Decodes the picture into `pictureOut` as 0xAARRGGBB pixels (straight alpha).
DecodeResult DecodeWebp(const unsigned char* data, std::size_t size, Picture& pictureOut);

// The pixel rows of the program's 24-bit bitmap file for the picture (bottom row first,
// rows padded to four bytes, transparent parts over black): byte for byte what WriteBmp
// writes for the decoded picture, without the picture being held a second time.
struct WebpBmpRows {
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t rowBytes = 0;
};
DecodeResult DecodeWebpToBmpRows(const unsigned char* data, std::size_t size, WebpBmpRows& rowsOut);

}  // namespace vexal
