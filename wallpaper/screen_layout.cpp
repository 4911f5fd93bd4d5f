// Laying pictures out per screen with a portable scaler, and composing the virtual screen.
#include "wallpaper/screen_layout.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "wallpaper/bmp_writer.h"

namespace vexal {
namespace {

// Floor division, so a picture one pixel wider than the screen loses its extra column on
// the same side whatever the sign.
std::int32_t HalfOf(std::int32_t v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); }

std::uint32_t Opaque(std::uint32_t argb, bool hasAlpha) {
    return hasAlpha ? OverBlack(argb) : argb & 0xFFFFFFu;
}

// For each pixel of a target line, the source pixels it is made of and their weights
// (summing to 1): overlapping areas when shrinking, the two nearest neighbours when
// enlarging.
class Taps {
public:
    Taps(std::int32_t sourceCount, std::int32_t targetCount) : start_(targetCount), offset_(targetCount + 1) {
        const double ratio = static_cast<double>(sourceCount) / targetCount;
        for (std::int32_t t = 0; t < targetCount; ++t) {
            offset_[static_cast<std::size_t>(t)] = weights_.size();
            if (sourceCount >= targetCount) {
                const double from = t * ratio, to = (t + 1) * ratio;
                const std::int32_t first = static_cast<std::int32_t>(std::floor(from));
                const std::int32_t last = std::min(sourceCount, static_cast<std::int32_t>(std::ceil(to)));
                start_[static_cast<std::size_t>(t)] = first;
                for (std::int32_t s = first; s < last; ++s) {
                    const double covered = std::min<double>(s + 1, to) - std::max<double>(s, from);
                    weights_.push_back(static_cast<float>(covered / ratio));
                }
            } else {
                const double centre = (t + 0.5) * ratio - 0.5;
                std::int32_t first = static_cast<std::int32_t>(std::floor(centre));
                double frac = centre - first;
                if (first < 0) {
                    first = 0;
                    frac = 0;
                }
                if (first >= sourceCount - 1) {
                    first = sourceCount - 1;
                    frac = 0;
                }
                start_[static_cast<std::size_t>(t)] = first;
                weights_.push_back(static_cast<float>(1 - frac));
                if (frac > 0) weights_.push_back(static_cast<float>(frac));
            }
        }
        offset_[static_cast<std::size_t>(targetCount)] = weights_.size();
    }
    std::int32_t Start(std::int32_t t) const { return start_[static_cast<std::size_t>(t)]; }
    std::size_t Count(std::int32_t t) const {
        return offset_[static_cast<std::size_t>(t) + 1] - offset_[static_cast<std::size_t>(t)];
    }
    const float* Weights(std::int32_t t) const {
        return weights_.data() + offset_[static_cast<std::size_t>(t)];
    }

private:
    std::vector<std::int32_t> start_;
    std::vector<std::size_t> offset_;
    std::vector<float> weights_;
};

// A source picture's row `y`; null when it cannot be had.
using RowAt = std::function<const std::uint32_t*(std::int32_t)>;

// Scales the part `from` of the picture into the part `to` of the screen `out` (of
// `width` pixels a row): each source row is scaled across once, and the screen rows are
// weighted sums of those. The two rows last scaled across are kept, which is all that
// consecutive screen rows share, so the source rows are asked for once each, in
// increasing order. False when a row cannot be had.
bool Scale(const RowAt& rowAt, bool hasAlpha, PixelRect from, PixelRect to, std::uint32_t* out,
           std::int32_t width) {
    const Taps across(from.width, to.width), down(from.height, to.height);
    const std::size_t lineFloats = static_cast<std::size_t>(to.width) * 3;
    std::vector<float> cached[2] = {std::vector<float>(lineFloats), std::vector<float>(lineFloats)};
    std::int32_t cachedRow[2] = {-1, -1};
    int older = 0;
    auto scaledRow = [&](std::int32_t row) -> const float* {
        for (int i = 0; i < 2; ++i)
            if (cachedRow[i] == row) return cached[i].data();
        const std::uint32_t* source = rowAt(from.y + row);
        if (!source) return nullptr;
        source += from.x;
        float* line = cached[older].data();
        cachedRow[older] = row;
        older ^= 1;
        for (std::int32_t x = 0; x < to.width; ++x) {
            float r = 0, g = 0, b = 0;
            const float* w = across.Weights(x);
            const std::uint32_t* p = source + across.Start(x);
            for (std::size_t n = 0; n < across.Count(x); ++n) {
                const std::uint32_t c = Opaque(p[n], hasAlpha);
                r += w[n] * static_cast<float>((c >> 16) & 0xFF);
                g += w[n] * static_cast<float>((c >> 8) & 0xFF);
                b += w[n] * static_cast<float>(c & 0xFF);
            }
            line[3 * x] = r;
            line[3 * x + 1] = g;
            line[3 * x + 2] = b;
        }
        return line;
    };
    std::vector<float> sum(lineFloats);
    // Rounded half away from zero, as lround does, at a fraction of its cost: the part
    // below the point is taken exactly (no sum of a half that could round up).
    auto channel = [](float v) {
        if (v <= 0) return std::uint32_t{0};
        if (v >= 255) return std::uint32_t{255};
        const auto whole = static_cast<std::uint32_t>(v);
        return whole + (v - static_cast<float>(whole) >= 0.5f ? 1u : 0u);
    };
    for (std::int32_t y = 0; y < to.height; ++y) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        const float* w = down.Weights(y);
        for (std::size_t n = 0; n < down.Count(y); ++n) {
            const float* line = scaledRow(down.Start(y) + static_cast<std::int32_t>(n));
            if (!line) return false;
            for (std::size_t i = 0; i < lineFloats; ++i) sum[i] += w[n] * line[i];
        }
        std::uint32_t* target = out + static_cast<std::size_t>(to.y + y) * width + to.x;
        for (std::int32_t x = 0; x < to.width; ++x)
            target[x] = channel(sum[3 * x]) << 16 | channel(sum[3 * x + 1]) << 8 | channel(sum[3 * x + 2]);
    }
    return true;
}

// Scales the picture as `style` says (stretched, fill or fit) into `out`, a screen of
// width × height already filled with the background; false when a row cannot be had.
bool ScaleInStyle(const RowAt& rowAt, bool hasAlpha, std::int32_t pw, std::int32_t ph, WallpaperStyle style,
                  std::int32_t width, std::int32_t height, std::uint32_t* out) {
    switch (style) {
        case WallpaperStyle::Stretched:
            return Scale(rowAt, hasAlpha, {0, 0, pw, ph}, {0, 0, width, height}, out, width);
        case WallpaperStyle::Fill:
            // The largest part of the picture with the screen's shape, around its centre.
            return Scale(rowAt, hasAlpha, FitInside(width, height, pw, ph), {0, 0, width, height}, out,
                         width);
        case WallpaperStyle::Fit:
            return Scale(rowAt, hasAlpha, {0, 0, pw, ph}, FitInside(pw, ph, width, height), out, width);
        default:
            return false;
    }
}

// Row `y` of `area` (area.width pixels into `row`): each picture in its rectangle, a later
// one over an earlier, and the rest `background`.
void ComposeRow(PixelRect area, const std::vector<PlacedPicture>& placed, std::uint32_t background,
                std::int32_t y, std::uint32_t* row) {
    std::fill(row, row + area.width, background & 0xFFFFFFu);
    const std::int64_t screenY = std::int64_t{area.y} + y;
    for (const PlacedPicture& p : placed) {
        const PixelRect& r = p.rect;
        if (screenY < r.y || screenY >= std::int64_t{r.y} + r.height || p.picture.Empty()) continue;
        const std::int64_t x0 = std::max<std::int64_t>(r.x, area.x);
        const std::int64_t x1 = std::min<std::int64_t>(std::int64_t{r.x} + std::min(r.width, p.picture.width),
                                                       std::int64_t{area.x} + area.width);
        const std::int32_t pictureRow = static_cast<std::int32_t>(screenY - r.y);
        if (x1 <= x0 || pictureRow >= p.picture.height) continue;
        std::memcpy(row + (x0 - area.x), p.picture.Row(pictureRow) + (x0 - r.x),
                    sizeof(std::uint32_t) * static_cast<std::size_t>(x1 - x0));
    }
}

}  // namespace

PixelRect VirtualScreen(const std::vector<Screen>& screens) {
    if (screens.empty()) return {};
    std::int64_t left = screens[0].rect.x, top = screens[0].rect.y;
    std::int64_t right = left + screens[0].rect.width, bottom = top + screens[0].rect.height;
    for (const Screen& s : screens) {
        left = std::min<std::int64_t>(left, s.rect.x);
        top = std::min<std::int64_t>(top, s.rect.y);
        right = std::max<std::int64_t>(right, std::int64_t{s.rect.x} + s.rect.width);
        bottom = std::max<std::int64_t>(bottom, std::int64_t{s.rect.y} + s.rect.height);
    }
    return {static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
            static_cast<std::int32_t>(right - left), static_cast<std::int32_t>(bottom - top)};
}

bool SeveralScreens(const std::vector<Screen>& screens) {
    for (const Screen& s : screens)
        if (!(s.rect == screens[0].rect)) return true;
    return false;
}

ShownSize ShownSizeOf(WallpaperStyle style, std::int32_t pictureWidth, std::int32_t pictureHeight,
                      std::int32_t width, std::int32_t height) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || width <= 0 || height <= 0)
        return {pictureWidth, pictureHeight};
    switch (style) {
        case WallpaperStyle::Stretched:
            return {width, height};
        case WallpaperStyle::Fill: {
            // The part of the picture that covers the screen is shown at the screen's size.
            const PixelRect part = FitInside(width, height, pictureWidth, pictureHeight);
            auto up = [](std::int64_t a, std::int64_t b, std::int64_t c) {
                return static_cast<std::int32_t>((a * b + c - 1) / c);
            };
            return {up(pictureWidth, width, part.width), up(pictureHeight, height, part.height)};
        }
        case WallpaperStyle::Fit: {
            const PixelRect r = FitInside(pictureWidth, pictureHeight, width, height);
            return {r.width, r.height};
        }
        case WallpaperStyle::Centred:
        case WallpaperStyle::Tiled:
        default:
            return {pictureWidth, pictureHeight};
    }
}

Picture LayOutOnScreen(const Picture& picture, WallpaperStyle style, std::int32_t width, std::int32_t height,
                       std::uint32_t background) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                                      background & 0xFFFFFFu);
    if (!picture.Empty()) {
        const std::int32_t pw = picture.width, ph = picture.height;
        switch (style) {
            case WallpaperStyle::Tiled:
                for (std::int32_t y = 0; y < height; ++y) {
                    std::uint32_t* row = pixels.data() + static_cast<std::size_t>(y) * width;
                    const std::uint32_t* source = picture.Row(y % ph);
                    for (std::int32_t x = 0; x < width; ++x)
                        row[x] = Opaque(source[x % pw], picture.hasAlpha);
                }
                break;
            case WallpaperStyle::Stretched:
            case WallpaperStyle::Fill:
            case WallpaperStyle::Fit:
                ScaleInStyle([&picture](std::int32_t y) { return picture.Row(y); }, picture.hasAlpha, pw, ph,
                             style, width, height, pixels.data());
                break;
            case WallpaperStyle::Centred:
            default: {
                const std::int32_t left = HalfOf(width - pw), top = HalfOf(height - ph);
                const std::int32_t x0 = std::max(0, left), x1 = std::min(width, left + pw);
                const std::int32_t y0 = std::max(0, top), y1 = std::min(height, top + ph);
                for (std::int32_t y = y0; y < y1; ++y) {
                    const std::uint32_t* source = picture.Row(y - top) + (x0 - left);
                    std::uint32_t* row = pixels.data() + static_cast<std::size_t>(y) * width + x0;
                    for (std::int32_t x = 0; x < x1 - x0; ++x) row[x] = Opaque(source[x], picture.hasAlpha);
                }
                break;
            }
        }
    }
    return Picture::FromPixels(width, height, std::move(pixels));
}

bool LaidOutAsRows(WallpaperStyle style) {
    return style == WallpaperStyle::Stretched || style == WallpaperStyle::Fill ||
           style == WallpaperStyle::Fit;
}

std::optional<Picture> LayOutOnScreen(PictureRows& rows, WallpaperStyle style, std::int32_t width,
                                      std::int32_t height, std::uint32_t background) {
    if (!LaidOutAsRows(style) || rows.width <= 0 || rows.height <= 0) return std::nullopt;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                                      background & 0xFFFFFFu);
    if (!ScaleInStyle([&rows](std::int32_t y) { return rows.Row(y); }, rows.hasAlpha, rows.width, rows.height,
                      style, width, height, pixels.data()))
        return std::nullopt;
    return Picture::FromPixels(width, height, std::move(pixels));
}

bool WriteComposedBmp(FileSystem& files, const std::string& path, PixelRect area,
                      const std::vector<PlacedPicture>& placed, std::uint32_t background) {
    if (area.width <= 0 || area.height <= 0) return false;
    std::vector<std::uint32_t> row(static_cast<std::size_t>(area.width));
    return WriteBmpRows(files, path, area.width, area.height, false, [&](std::int32_t y) {
        ComposeRow(area, placed, background, y, row.data());
        return static_cast<const std::uint32_t*>(row.data());
    });
}

Picture ComposeScreens(PixelRect area, const std::vector<PlacedPicture>& placed, std::uint32_t background) {
    if (area.width <= 0 || area.height <= 0) return {};
    const std::size_t width = static_cast<std::size_t>(area.width);
    std::vector<std::uint32_t> pixels(width * static_cast<std::size_t>(area.height));
    for (std::int32_t y = 0; y < area.height; ++y)
        ComposeRow(area, placed, background, y, pixels.data() + width * static_cast<std::size_t>(y));
    return Picture::FromPixels(area.width, area.height, std::move(pixels));
}

}  // namespace vexal
