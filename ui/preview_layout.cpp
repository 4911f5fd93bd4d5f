// The preview window's layout: a row of three equal buttons under a picture that takes
// the rest of the window. The buttons grow with the window up to a fixed width, and the
// four gaps around them take whatever is left.
#include "ui/preview_layout.h"

#include "text/number.h"

namespace vexal {
namespace {

constexpr std::int32_t kImageLeft = 105;
constexpr std::int32_t kImageTop = 75;
constexpr std::int32_t kButtonHeight = 495;
constexpr double kMaxButtonWidth = 2200;

std::int32_t Round(double value) { return static_cast<std::int32_t>(RoundHalfEven(value)); }

}  // namespace

PreviewLayout LayoutPreview(double width, double height) {
    PreviewLayout out;
    out.Width = width < kPreviewMinWidth ? kPreviewMinWidth : width;
    out.Height = height < kPreviewMinHeight ? kPreviewMinHeight : height;
    out.Resize = out.Width != width || out.Height != height;

    const std::int32_t w = Round(out.Width - 100);
    const std::int32_t h = Round(out.Height);
    std::int32_t b = Round(w / 3.0 - 150);
    if (b > kMaxButtonWidth) b = static_cast<std::int32_t>(kMaxButtonWidth);
    const std::int32_t g = Round((w - 3.0 * b) / 4.0);

    out.imGrp = {kImageLeft, kImageTop, w - 250, h - 1200};
    const std::int32_t top = h - 950;
    out.cbSetWP = {g, top, b, kButtonHeight};
    out.cbRetry = {b + 2 * g, top, b, kButtonHeight};
    out.cbCancel = {2 * b + 3 * g, top, b, kButtonHeight};
    return out;
}

}  // namespace vexal
