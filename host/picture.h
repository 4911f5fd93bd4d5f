// A decoded picture as the core passes it around: pixels in memory that the decoder of
// each platform fills, without the core knowing whose buffer they live in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vexal {

// Rows run top to bottom; each pixel is one 32-bit value 0xAARRGGBB (straight alpha).
// `storage` owns the pixels, so a decoder can hand over its own buffer without a copy:
// a large photo must never be held twice.
struct Picture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::ptrdiff_t stride = 0;  // pixels from the start of one row to the next
    const std::uint32_t* pixels = nullptr;
    // False when every pixel is opaque, so writers may skip blending.
    bool hasAlpha = false;
    std::shared_ptr<const void> storage;

    bool Empty() const { return pixels == nullptr || width <= 0 || height <= 0; }
    const std::uint32_t* Row(std::int32_t y) const {
        return pixels + static_cast<std::ptrdiff_t>(y) * stride;
    }

    // A picture that owns a copy of `rowMajor` (width × height pixels, top row first).
    static Picture FromPixels(std::int32_t width, std::int32_t height, std::vector<std::uint32_t> rowMajor,
                              bool hasAlpha = false) {
        auto owned = std::make_shared<std::vector<std::uint32_t>>(std::move(rowMajor));
        Picture p;
        p.width = width;
        p.height = height;
        p.stride = width;
        p.pixels = owned->data();
        p.hasAlpha = hasAlpha;
        p.storage = std::move(owned);
        return p;
    }
};

// A part of a picture, a screen or a window, in pixels.
struct PixelRect {
    std::int32_t x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PixelRect&) const = default;
};

// The largest rectangle of the shape width × height inside an area of areaWidth ×
// areaHeight, around the area's centre (an odd pixel left over goes right or below): a
// picture fitted into a window or onto a screen with its shape kept, or the part of a
// picture that covers a screen of that shape. Each side is rounded to the nearest pixel
// and at least 1; every size given must be at least 1.
inline PixelRect FitInside(std::int32_t width, std::int32_t height, std::int32_t areaWidth,
                           std::int32_t areaHeight) {
    PixelRect r{0, 0, areaWidth, areaHeight};
    // Compared as cross products, so an area of exactly the shape is used whole.
    const std::int64_t wide = static_cast<std::int64_t>(width) * areaHeight;
    const std::int64_t areaWide = static_cast<std::int64_t>(areaWidth) * height;
    // a × b / c rounded to the nearest, within 1..limit.
    auto scale = [](std::int64_t a, std::int64_t b, std::int64_t c, std::int32_t limit) {
        const std::int64_t v = (a * b + c / 2) / c;
        return static_cast<std::int32_t>(v < 1 ? 1 : v > limit ? limit : v);
    };
    if (wide > areaWide) {
        r.height = scale(areaWidth, height, width, areaHeight);
        r.y = (areaHeight - r.height) / 2;
    } else if (wide < areaWide) {
        r.width = scale(areaHeight, width, height, areaWidth);
        r.x = (areaWidth - r.width) / 2;
    }
    return r;
}

// The colour a pixel shows on a black background: transparent parts become black, so
// both platforms turn the same picture into the same opaque bytes.
inline std::uint32_t OverBlack(std::uint32_t argb) {
    const std::uint32_t a = argb >> 24;
    if (a == 0xFF) return argb & 0xFFFFFFu;
    auto blend = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return blend((argb >> 16) & 0xFF) << 16 | blend((argb >> 8) & 0xFF) << 8 | blend(argb & 0xFF);
}

}  // namespace vexal
