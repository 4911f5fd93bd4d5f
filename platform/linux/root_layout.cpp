// Centring and tiling are plain copies; stretching, fill and fit use Qt's area-averaging
// scaler, which keeps a photo many times the screen's size smooth instead of sampling
// every n-th pixel.
#include "platform/linux/root_layout.h"

#include <QImage>
#include <algorithm>
#include <cstring>

namespace vexal {
namespace {

// Floor division, so a picture one pixel wider than the screen loses its extra column on
// the same side whatever the sign.
std::int32_t HalfOf(std::int32_t v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); }

void CopyRow(const std::uint32_t* from, std::uint32_t* to, std::int32_t count, bool hasAlpha) {
    if (hasAlpha) {
        for (std::int32_t i = 0; i < count; ++i) to[i] = OverBlack(from[i]);
    } else {
        for (std::int32_t i = 0; i < count; ++i) to[i] = from[i] & 0xFFFFFFu;
    }
}

}  // namespace

ScaledPlacement PlaceScaled(WallpaperLayout layout, std::int32_t pictureWidth, std::int32_t pictureHeight,
                            std::int32_t width, std::int32_t height) {
    ScaledPlacement p{0, 0, pictureWidth, pictureHeight, 0, 0, width, height};
    if (layout == WallpaperLayout::Fill) {
        // The largest part of the picture with the screen's shape, around its centre.
        const PixelRect used = FitInside(width, height, pictureWidth, pictureHeight);
        p.sourceX = used.x;
        p.sourceY = used.y;
        p.sourceWidth = used.width;
        p.sourceHeight = used.height;
    } else if (layout == WallpaperLayout::Fit) {
        // The largest part of the screen with the picture's shape, around its centre.
        const PixelRect drawn = FitInside(pictureWidth, pictureHeight, width, height);
        p.screenX = drawn.x;
        p.screenY = drawn.y;
        p.screenWidth = drawn.width;
        p.screenHeight = drawn.height;
    }
    return p;
}

void LayOutPicture(const Picture& picture, WallpaperLayout layout, std::int32_t width, std::int32_t height,
                   std::vector<std::uint32_t>& out, std::uint32_t background) {
    out.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), background & 0xFFFFFFu);
    if (picture.Empty() || width <= 0 || height <= 0) return;
    const std::int32_t pw = picture.width, ph = picture.height;

    switch (layout) {
        case WallpaperLayout::Centred: {
            const std::int32_t left = HalfOf(width - pw), top = HalfOf(height - ph);
            const std::int32_t x0 = std::max(0, left), x1 = std::min(width, left + pw);
            const std::int32_t y0 = std::max(0, top), y1 = std::min(height, top + ph);
            for (std::int32_t y = y0; y < y1; ++y)
                CopyRow(picture.Row(y - top) + (x0 - left),
                        out.data() + static_cast<std::size_t>(y) * width + x0, x1 - x0, picture.hasAlpha);
            break;
        }
        case WallpaperLayout::Tiled:
        case WallpaperLayout::Spanned: {
            for (std::int32_t y = 0; y < height; ++y) {
                std::uint32_t* row = out.data() + static_cast<std::size_t>(y) * width;
                // The first tile of each row is converted once, then copied across.
                const std::int32_t first = std::min(width, pw);
                CopyRow(picture.Row(y % ph), row, first, picture.hasAlpha);
                for (std::int32_t x = first; x < width; x += pw)
                    std::memcpy(row + x, row,
                                sizeof(std::uint32_t) * static_cast<std::size_t>(std::min(pw, width - x)));
            }
            break;
        }
        case WallpaperLayout::Stretched:
        case WallpaperLayout::Fill:
        case WallpaperLayout::Fit: {
            const ScaledPlacement at = PlaceScaled(layout, pw, ph, width, height);
            // A view of the picture's own pixels: no copy of a large photo is made.
            const QImage view(reinterpret_cast<const uchar*>(picture.Row(at.sourceY) + at.sourceX),
                              at.sourceWidth, at.sourceHeight, static_cast<qsizetype>(picture.stride * 4),
                              picture.hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
            QImage scaled =
                view.scaled(at.screenWidth, at.screenHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            // Premultiplied pixels are the picture on black.
            if (picture.hasAlpha) scaled.convertTo(QImage::Format_ARGB32_Premultiplied);
            if (scaled.width() != at.screenWidth || scaled.height() != at.screenHeight) return;
            for (std::int32_t y = 0; y < at.screenHeight; ++y)
                CopyRow(reinterpret_cast<const std::uint32_t*>(scaled.constScanLine(y)),
                        out.data() + static_cast<std::size_t>(at.screenY + y) * width + at.screenX,
                        at.screenWidth, false);
            break;
        }
    }
}

}  // namespace vexal
