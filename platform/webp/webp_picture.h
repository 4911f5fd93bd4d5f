// WebP pictures decoded with libwebp from the file's bytes in memory, on both platforms:
// the format is told from the content, the declared size is checked before any pixel
// memory is taken, and an animation gives its first frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

// Decodes the picture into `pictureOut` as 0xAARRGGBB pixels (straight alpha). `stop`,
// when given, is asked between steps of the decoding; once it answers true the result is
// DecodeError::Stopped.
DecodeResult DecodeWebp(const unsigned char* data, std::size_t size, Picture& pictureOut,
                        const std::function<bool()>& stop = {});

// Where the rows of the program's 24-bit bitmap go while libwebp decodes the picture.
class WebpBmpSink {
public:
    virtual ~WebpBmpSink() = default;
    // Memory for the decoder's whole canvas, `bytes` long, or null when there is none;
    // it stays the sink's, and must last until the decoding ends.
    virtual unsigned char* Canvas(std::size_t bytes) = 0;
    // Picture rows [top, top + count) as the file stores them (the bottom one first,
    // padded to four bytes, transparent parts over black): byte for byte what WriteBmp
    // writes for the decoded picture. The decoder touches them no more, so the sink may
    // give their memory back. False stops the decoding.
    virtual bool Rows(std::int32_t top, std::int32_t count, const unsigned char* rows) = 0;
};

// Decodes the picture into the sink a band of rows at a time, each band handed on while
// it is still in the processor's cache. The result is the picture's: a sink that stopped
// the decoding knows that itself. `stop` is asked after each band, as for DecodeWebp.
DecodeResult DecodeWebpToBmp(const unsigned char* data, std::size_t size, WebpBmpSink& sink,
                             const std::function<bool()>& stop = {});

}  // namespace vexal
