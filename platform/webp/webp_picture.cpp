// Decoding with libwebp into memory the caller's layout asks for: the core's pixels, or
// the bitmap file's rows (libwebp flips the picture itself and stores blue, green, red in
// the bitmap's order, so an opaque picture needs no second pass).
#include "platform/webp/webp_picture.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <bit>
#include <cstring>
#include <new>

#include "wallpaper/bmp_writer.h"

namespace vexal {
namespace {

std::uint32_t Le24(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16;
}

std::uint32_t Le32(const unsigned char* p) { return Le24(p) | static_cast<std::uint32_t>(p[3]) << 24; }

bool SizeAllowed(std::int64_t width, std::int64_t height) {
    return width <= kMaxWebpSide && height <= kMaxWebpSide && PictureSizeAllowed(width, height);
}

// The header's verdict, with the features the decoding needs.
DecodeResult ReadHeader(const unsigned char* data, std::size_t size, WebPBitstreamFeatures& features,
                        bool& needsMore) {
    needsMore = false;
    if (!LooksLikeWebp(data, size)) return {DecodeError::Unreadable, 0, 0};
    // An extended file's canvas is read here first: libwebp turns an absurd canvas into a
    // plain format error, where the program reports a size above its limits.
    if (size >= 30 && std::memcmp(data + 12, "VP8X", 4) == 0) {
        const std::int64_t width = std::int64_t{1} + Le24(data + 24);
        const std::int64_t height = std::int64_t{1} + Le24(data + 27);
        if (!SizeAllowed(width, height)) return {DecodeError::TooLarge, width, height};
    }
    const VP8StatusCode status = WebPGetFeatures(data, size, &features);
    if (status == VP8_STATUS_NOT_ENOUGH_DATA) needsMore = true;
    if (status != VP8_STATUS_OK || features.width <= 0 || features.height <= 0)
        return {DecodeError::Unreadable, 0, 0};
    const std::int64_t width = features.width, height = features.height;
    if (!SizeAllowed(width, height)) return {DecodeError::TooLarge, width, height};
    return {DecodeError::None, width, height};
}

// Where the first frame goes: a still picture fills its canvas; an animation's first
// frame may cover only part of it, and the rest stays transparent.
struct Frame {
    const unsigned char* bytes;
    std::size_t size;
    std::int32_t left = 0, top = 0, width = 0, height = 0;
};

// Decodes the first frame into `canvas` (the picture's size, `stride` bytes a row, the
// bottom row first when `bottomUp`) in `mode`; false when the data are damaged.
bool DecodeFirstFrame(const unsigned char* data, std::size_t size, const WebPBitstreamFeatures& features,
                      WEBP_CSP_MODE mode, unsigned char* canvas, std::size_t stride, bool bottomUp) {
    const std::size_t pixelBytes = mode == MODE_BGR ? 3 : 4;
    Frame frame{data, size, 0, 0, features.width, features.height};
    WebPDemuxer* demux = nullptr;
    WebPIterator iter{};
    if (features.has_animation) {
        const WebPData whole{data, size};
        demux = WebPDemux(&whole);
        if (!demux || !WebPDemuxGetFrame(demux, 1, &iter)) {
            WebPDemuxDelete(demux);
            return false;
        }
        frame = {iter.fragment.bytes, iter.fragment.size, iter.x_offset,
                 iter.y_offset,       iter.width,         iter.height};
        // The demuxer has checked that the frame lies inside the canvas.
        std::memset(canvas, 0, stride * static_cast<std::size_t>(features.height));
    }
    // The frame's own bitstream must have the size the container gives it, or its rows
    // would not fit the place made for them.
    WebPBitstreamFeatures own;
    bool ok = WebPGetFeatures(frame.bytes, frame.size, &own) == VP8_STATUS_OK && own.width == frame.width &&
              own.height == frame.height && frame.left >= 0 && frame.top >= 0 &&
              frame.left + frame.width <= features.width && frame.top + frame.height <= features.height;
    if (ok) {
        WebPDecoderConfig config;
        WebPInitDecoderConfig(&config);
        // The loop filter of lossy pictures runs on a second thread.
        config.options.use_threads = 1;
        config.options.flip = bottomUp ? 1 : 0;
        config.output.colorspace = mode;
        config.output.is_external_memory = 1;
        const std::int32_t firstRow = bottomUp ? features.height - frame.top - frame.height : frame.top;
        config.output.u.RGBA.rgba = canvas + static_cast<std::size_t>(firstRow) * stride +
                                    static_cast<std::size_t>(frame.left) * pixelBytes;
        config.output.u.RGBA.stride = static_cast<int>(stride);
        config.output.u.RGBA.size = static_cast<std::size_t>(frame.height - 1) * stride +
                                    static_cast<std::size_t>(frame.width) * pixelBytes;
        ok = WebPDecode(frame.bytes, frame.size, &config) == VP8_STATUS_OK;
        WebPFreeDecBuffer(&config.output);
    }
    if (demux) {
        WebPDemuxReleaseIterator(&iter);
        WebPDemuxDelete(demux);
    }
    return ok;
}

// The pixels in memory as 32-bit values 0xAARRGGBB.
constexpr WEBP_CSP_MODE kNativeArgb = std::endian::native == std::endian::little ? MODE_BGRA : MODE_ARGB;

}  // namespace

bool LooksLikeWebp(const unsigned char* data, std::size_t size) {
    return size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0;
}

std::uint64_t WebpDeclaredBytes(const unsigned char* data, std::size_t size) {
    return size >= 8 ? std::uint64_t{8} + Le32(data + 4) : 0;
}

DecodeResult ProbeWebp(const unsigned char* data, std::size_t size, bool& needsMoreOut) {
    WebPBitstreamFeatures features;
    return ReadHeader(data, size, features, needsMoreOut);
}

DecodeResult DecodeWebp(const unsigned char* data, std::size_t size, Picture& pictureOut) {
    WebPBitstreamFeatures features;
    bool needsMore = false;
    DecodeResult result = ReadHeader(data, size, features, needsMore);
    if (!result.Ok()) return result;
    const std::size_t count = static_cast<std::size_t>(features.width) * features.height;
    std::shared_ptr<std::uint32_t[]> pixels(new (std::nothrow) std::uint32_t[count]);
    if (!pixels ||
        !DecodeFirstFrame(data, size, features, kNativeArgb, reinterpret_cast<unsigned char*>(pixels.get()),
                          static_cast<std::size_t>(features.width) * 4, false)) {
        result.error = DecodeError::Unreadable;
        return result;
    }
    Picture p;
    p.width = features.width;
    p.height = features.height;
    p.stride = p.width;
    p.pixels = pixels.get();
    // An animation's canvas is transparent wherever the first frame leaves it uncovered.
    p.hasAlpha = features.has_alpha || features.has_animation;
    p.storage = std::move(pixels);
    pictureOut = std::move(p);
    return result;
}

DecodeResult DecodeWebpToBmpRows(const unsigned char* data, std::size_t size, WebpBmpRows& rowsOut) {
    WebPBitstreamFeatures features;
    bool needsMore = false;
    DecodeResult result = ReadHeader(data, size, features, needsMore);
    if (!result.Ok()) return result;
    const std::int32_t width = features.width, height = features.height;
    const std::size_t rowBytes = static_cast<std::size_t>(BmpRowBytes(width));
    const std::size_t pixelBytes = static_cast<std::size_t>(width) * 3;
    const bool opaque = !features.has_alpha && !features.has_animation;
    // A picture with transparency is decoded with its alpha, four bytes a pixel, and then
    // blended over black into the same memory, row by row from the start: a row of the
    // bitmap is never longer than a row of four-byte pixels, so no row is overwritten
    // before it is read.
    const std::size_t stride = opaque ? rowBytes : static_cast<std::size_t>(width) * 4;
    std::unique_ptr<unsigned char[]> rows(new (std::nothrow) unsigned char[stride * height]);
    if (!rows ||
        !DecodeFirstFrame(data, size, features, opaque ? MODE_BGR : MODE_BGRA, rows.get(), stride, true)) {
        result.error = DecodeError::Unreadable;
        return result;
    }
    for (std::int32_t y = 0; y < height; ++y) {
        unsigned char* to = rows.get() + static_cast<std::size_t>(y) * rowBytes;
        if (!opaque) {
            const unsigned char* from = rows.get() + static_cast<std::size_t>(y) * stride;
            for (std::int32_t x = 0; x < width; ++x, from += 4, to += 3) {
                const std::uint32_t c = OverBlack(static_cast<std::uint32_t>(from[3]) << 24 |
                                                  static_cast<std::uint32_t>(from[2]) << 16 |
                                                  static_cast<std::uint32_t>(from[1]) << 8 | from[0]);
                to[0] = static_cast<unsigned char>(c);
                to[1] = static_cast<unsigned char>(c >> 8);
                to[2] = static_cast<unsigned char>(c >> 16);
            }
        } else {
            to += pixelBytes;
        }
        std::memset(to, 0, rowBytes - pixelBytes);
    }
    rowsOut.bytes = std::move(rows);
    rowsOut.rowBytes = rowBytes;
    return result;
}

}  // namespace vexal
