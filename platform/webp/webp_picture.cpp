// Decoding with libwebp into memory the caller's layout asks for: the core's pixels, or
// the bitmap file's rows (libwebp flips the picture itself and stores blue, green, red in
// the bitmap's order, so an opaque picture needs no second pass).
#include "platform/webp/webp_picture.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
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

enum class FrameOutcome { Done, Damaged, Stopped };

// Told, as the decoding goes on, how many canvas rows from the top are final; false
// stops the decoding.
using RowsDone = std::function<bool(std::int32_t)>;

// The bitstream fed to libwebp a step at a time, for rows to be handed on while they
// are still in the processor's cache. libwebp's helper thread is idle whenever a step
// returns, so the rows it reports are final.
FrameOutcome DecodeInSteps(const unsigned char* bytes, std::size_t size, WebPDecoderConfig& config,
                           std::int32_t height, const RowsDone& rowsDone) {
    // About a megabyte of a photo's rows a step; a small picture still takes several.
    const std::size_t step = std::clamp<std::size_t>(size / 16, std::size_t{4} << 10, std::size_t{64} << 10);
    WebPIDecoder* decoder = WebPIDecode(nullptr, 0, &config);
    if (!decoder) return FrameOutcome::Damaged;
    FrameOutcome outcome = FrameOutcome::Damaged;
    std::size_t fed = 0;
    std::int32_t reported = 0;
    for (;;) {
        fed = std::min(size, fed + step);
        const VP8StatusCode status = WebPIUpdate(decoder, bytes, fed);
        if (status != VP8_STATUS_OK && status != VP8_STATUS_SUSPENDED) break;
        int lastRow = 0;
        if (!WebPIDecGetRGB(decoder, &lastRow, nullptr, nullptr, nullptr)) lastRow = 0;
        if (lastRow > reported) {
            if (!rowsDone(lastRow)) {
                outcome = FrameOutcome::Stopped;
                break;
            }
            reported = lastRow;
        }
        if (status == VP8_STATUS_OK) {
            if (reported == height) outcome = FrameOutcome::Done;
            break;
        }
        if (fed == size) break;  // the data end before the picture does
    }
    WebPIDelete(decoder);
    return outcome;
}

// Decodes the first frame into `canvas` (the picture's size, `stride` bytes a row, the
// bottom row first when `bottomUp`) in `mode`, in one go or, with `progress`, in steps.
FrameOutcome DecodeFirstFrame(const unsigned char* data, std::size_t size,
                              const WebPBitstreamFeatures& features, WEBP_CSP_MODE mode,
                              unsigned char* canvas, std::size_t stride, bool bottomUp,
                              const RowsDone* progress = nullptr) {
    const std::size_t pixelBytes = mode == MODE_BGR ? 3 : 4;
    Frame frame{data, size, 0, 0, features.width, features.height};
    WebPDemuxer* demux = nullptr;
    WebPIterator iter{};
    if (features.has_animation) {
        const WebPData whole{data, size};
        demux = WebPDemux(&whole);
        if (!demux || !WebPDemuxGetFrame(demux, 1, &iter)) {
            WebPDemuxDelete(demux);
            return FrameOutcome::Damaged;
        }
        frame = {iter.fragment.bytes, iter.fragment.size, iter.x_offset,
                 iter.y_offset,       iter.width,         iter.height};
        // The demuxer has checked that the frame lies inside the canvas.
        std::memset(canvas, 0, stride * static_cast<std::size_t>(features.height));
    }
    // The frame's own bitstream must have the size the container gives it, or its rows
    // would not fit the place made for them.
    WebPBitstreamFeatures own;
    FrameOutcome outcome =
        WebPGetFeatures(frame.bytes, frame.size, &own) == VP8_STATUS_OK && own.width == frame.width &&
                own.height == frame.height && frame.left >= 0 && frame.top >= 0 &&
                frame.left + frame.width <= features.width && frame.top + frame.height <= features.height
            ? FrameOutcome::Done
            : FrameOutcome::Damaged;
    if (outcome == FrameOutcome::Done) {
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
        if (!progress) {
            if (WebPDecode(frame.bytes, frame.size, &config) != VP8_STATUS_OK)
                outcome = FrameOutcome::Damaged;
        } else {
            // Canvas rows above the frame are final from the start, those below it only
            // once the whole frame is.
            outcome = DecodeInSteps(frame.bytes, frame.size, config, frame.height, [&](std::int32_t rows) {
                return (*progress)(rows == frame.height ? features.height : frame.top + rows);
            });
        }
        WebPFreeDecBuffer(&config.output);
    }
    if (demux) {
        WebPDemuxReleaseIterator(&iter);
        WebPDemuxDelete(demux);
    }
    return outcome;
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

DecodeResult DecodeWebp(const unsigned char* data, std::size_t size, Picture& pictureOut,
                        const std::function<bool()>& stop) {
    WebPBitstreamFeatures features;
    bool needsMore = false;
    DecodeResult result = ReadHeader(data, size, features, needsMore);
    if (!result.Ok()) return result;
    const std::size_t count = static_cast<std::size_t>(features.width) * features.height;
    std::shared_ptr<std::uint32_t[]> pixels(new (std::nothrow) std::uint32_t[count]);
    // With a stop to heed, the picture is decoded in steps, asked between them; the
    // steps would not notice a file shorter than its container, which one go refuses.
    const RowsDone heed = [&stop](std::int32_t) { return !stop(); };
    const FrameOutcome outcome =
        !pixels ? FrameOutcome::Damaged
        : stop && WebpDeclaredBytes(data, size) > size
            ? FrameOutcome::Damaged
            : DecodeFirstFrame(data, size, features, kNativeArgb,
                               reinterpret_cast<unsigned char*>(pixels.get()),
                               static_cast<std::size_t>(features.width) * 4, false, stop ? &heed : nullptr);
    if (outcome != FrameOutcome::Done) {
        result.error = outcome == FrameOutcome::Stopped ? DecodeError::Stopped : DecodeError::Unreadable;
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

DecodeResult DecodeWebpToBmp(const unsigned char* data, std::size_t size, WebpBmpSink& sink,
                             const std::function<bool()>& stop) {
    WebPBitstreamFeatures features;
    bool needsMore = false;
    DecodeResult result = ReadHeader(data, size, features, needsMore);
    if (!result.Ok()) return result;
    // Decoding in one go refuses a file shorter than its container says, even when the
    // picture in it is whole; decoding in steps would not notice, and both must agree.
    if (WebpDeclaredBytes(data, size) > size) {
        result.error = DecodeError::Unreadable;
        return result;
    }
    const std::int32_t width = features.width, height = features.height;
    const std::size_t rowBytes = static_cast<std::size_t>(BmpRowBytes(width));
    const std::size_t pixelBytes = static_cast<std::size_t>(width) * 3;
    const bool opaque = !features.has_alpha && !features.has_animation;
    // A picture with transparency is decoded with its alpha, four bytes a pixel, and each
    // band then blended over black into its own memory from its start: a row of the
    // bitmap is never longer than a row of four-byte pixels, so no row is overwritten
    // before it is read.
    const std::size_t stride = opaque ? rowBytes : static_cast<std::size_t>(width) * 4;
    unsigned char* canvas = sink.Canvas(stride * static_cast<std::size_t>(height));
    if (!canvas) {
        result.error = DecodeError::Unreadable;
        return result;
    }
    // The canvas is stored bottom row first, so picture rows [top, bottom) are the
    // canvas's rows [height - bottom, height - top).
    std::int32_t handed = 0;
    bool stopped = false;
    const RowsDone bandDone = [&](std::int32_t bottom) {
        unsigned char* band = canvas + static_cast<std::size_t>(height - bottom) * stride;
        const std::int32_t count = bottom - handed;
        for (std::int32_t i = 0; i < count; ++i) {
            unsigned char* to = band + static_cast<std::size_t>(i) * rowBytes;
            if (!opaque) {
                const unsigned char* from = band + static_cast<std::size_t>(i) * stride;
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
        if (!sink.Rows(handed, count, band)) return false;
        handed = bottom;
        stopped = stop && stop();
        return !stopped;
    };
    const FrameOutcome outcome = DecodeFirstFrame(data, size, features, opaque ? MODE_BGR : MODE_BGRA, canvas,
                                                  stride, true, &bandDone);
    if (outcome == FrameOutcome::Damaged) result.error = DecodeError::Unreadable;
    if (outcome == FrameOutcome::Stopped && stopped) result.error = DecodeError::Stopped;
    return result;
}

}  // namespace vexal
