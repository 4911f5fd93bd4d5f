// Centring and tiling are plain copies; stretching uses Qt's area-averaging scaler, which
// keeps a photo many times the screen's size smooth instead of sampling every n-th pixel.
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

void LayOutPicture(const Picture& picture, WallpaperLayout layout, std::int32_t width, std::int32_t height,
                   std::vector<std::uint32_t>& out) {
    out.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
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
        case WallpaperLayout::Tiled: {
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
        case WallpaperLayout::Stretched: {
            // A view of the picture's own pixels: no copy of a large photo is made.
            const QImage view(reinterpret_cast<const uchar*>(picture.pixels), pw, ph,
                              static_cast<qsizetype>(picture.stride * 4),
                              picture.hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
            QImage scaled = view.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            // Premultiplied pixels are the picture on black.
            if (picture.hasAlpha) scaled.convertTo(QImage::Format_ARGB32_Premultiplied);
            if (scaled.width() != width || scaled.height() != height) return;
            for (std::int32_t y = 0; y < height; ++y)
                CopyRow(reinterpret_cast<const std::uint32_t*>(scaled.constScanLine(y)),
                        out.data() + static_cast<std::size_t>(y) * width, width, false);
            break;
        }
    }
}

}  // namespace vexal
