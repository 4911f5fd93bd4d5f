// Reading image files into pixels: a platform service (Qt's image support on Linux, the
// system's imaging component on Windows) behind one interface, with the size limit that
// keeps a hostile file from exhausting memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/file_system.h"
#include "host/picture.h"

namespace vexal {

// Pictures above this many pixels are refused before they are decoded: a small file from
// a web page can announce a size whose pixels would not fit in memory. 8192 × 8192 (256
// MiB decoded) is far above any screen and any usual photo.
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{8192} * 8192;
// No side may exceed what bitmaps and display servers can address.
inline constexpr std::int64_t kMaxPictureSide = 32767;

inline bool PictureSizeAllowed(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height <= kMaxPicturePixels;
}

enum class DecodeError {
    None,
    Unreadable,  // missing, unreadable, not a picture, or damaged
    TooLarge,    // a readable picture whose size is above the limits
    Stopped,     // the run was asked to stop while the picture was decoded
    NoCodec,     // a picture of a kind the system has no decoder for (`codec` says which)
    NoLibrary,   // a picture of a kind whose library is not installed (`codec` says which)
};

// The newer picture kinds, whose decoders a system may lack (Windows installs them as
// extensions of its own; on Linux their libraries may have been removed).
enum class CodecKind : std::uint8_t { None, Heif, Avif, JpegXl, Svg };

// The size in pixels at which a picture is shown on its screen.
struct ShownSize {
    std::int32_t width = 0, height = 0;
};

struct DecodeResult {
    DecodeError error = DecodeError::None;
    // The size the file announces, when it could be read (also for TooLarge).
    std::int64_t width = 0;
    std::int64_t height = 0;
    // The picture's kind, for NoCodec and NoLibrary.
    CodecKind codec = CodecKind::None;

    bool Ok() const { return error == DecodeError::None; }
};

// The outcome of writing a picture file straight into a bitmap file.
struct BmpFromFile {
    // False when the decoder leaves this picture to Decode and the portable bitmap writer.
    bool handled = false;
    DecodeResult decoded;                             // why the picture could not be read
    bool written = false;                             // the picture was read and the whole bitmap written
    FileFailure writeFailure = FileFailure::Nothing;  // why the bitmap was not written
};

// A picture whose rows are decoded as they are asked for, top to bottom: a photo laid out
// on its screen as it decodes is never held whole, and two screens' photos can decode at
// once. An object belongs to one thread at a time.
class PictureRows {
public:
    virtual ~PictureRows() = default;
    // Row `y` as `width` 0xAARRGGBB pixels, valid until the next call. Rows are asked for in
    // increasing order, possibly with gaps; the same row may be asked for again. Null when
    // the picture turns out damaged or a stop came, which Result() then tells.
    virtual const std::uint32_t* Row(std::int32_t y) = 0;
    virtual DecodeResult Result() const = 0;

    std::int32_t width = 0, height = 0;
    bool hasAlpha = false;
};

class ImageDecoder {
public:
    virtual ~ImageDecoder() = default;
    // Reads the picture's header only: its format must be known and its size allowed.
    virtual DecodeResult Probe(const std::string& path) = 0;
    // Decodes the whole picture (the first frame of an animation) into `pictureOut`. The
    // format is told from the content, not from the name. The size is checked before any
    // pixel is decoded.
    virtual DecodeResult Decode(const std::string& path, Picture& pictureOut) = 0;
    // Writes the picture at `path` as a bitmap file at `destination`, byte for byte what
    // WriteBmp writes for the decoded picture, storing rows as they are decoded so that a
    // large photo is never held in memory whole. A destination that was there stays as
    // it was unless the whole new bitmap could be written. A decoder that cannot do this
    // for a picture leaves it unhandled.
    virtual BmpFromFile DecodeToBmp(const std::string& /*path*/, const std::string& /*destination*/) {
        return {};
    }

    // As Decode, for a picture shown at the size `shown` gives for its upright size: a
    // decoder that can decode a picture reduced (a JPEG at M/8 of its size) returns the
    // smallest such picture that is still no smaller than that, with the same shape to
    // the pixel's rounding. A picture shown smaller than it is then costs a fraction of
    // its full decode. The result's size is the picture returned.
    virtual DecodeResult DecodeToShow(const std::string& path,
                                      const std::function<ShownSize(std::int32_t, std::int32_t)>& /*shown*/,
                                      Picture& pictureOut) {
        return Decode(path, pictureOut);
    }

    // The picture DecodeToShow would give, as rows decoded when asked for; null when this
    // decoder cannot give this picture so (its header is damaged, it must be turned
    // upright, or its format decodes whole), and then DecodeToShow decodes it. Rows may be
    // asked for on another thread than the one that opened them.
    virtual std::unique_ptr<PictureRows> RowsToShow(
        const std::string& /*path*/, const std::function<ShownSize(std::int32_t, std::int32_t)>& /*shown*/) {
        return nullptr;
    }

    // Asked between bands of rows while a picture decodes: once it answers true, the
    // decode ends as Stopped, so a stop signal is heeded within a fraction of a second
    // even while a huge or hostile picture is being read.
    void StopWhen(std::function<bool()> asked) { stopAsked_ = std::move(asked); }

protected:
    const std::function<bool()>& StopAsked() const { return stopAsked_; }

private:
    std::function<bool()> stopAsked_;
};

}  // namespace vexal
