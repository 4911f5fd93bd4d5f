// Where the preview window's picture and buttons go for a given window size, in twips
// (1/1440 inch), so every front end lays the window out identically.
#pragma once

#include <cstdint>

namespace vexal {

struct TwipRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;

    bool operator==(const TwipRect&) const = default;
};

// The smallest outer size the window may have.
inline constexpr double kPreviewMinWidth = 3300;
inline constexpr double kPreviewMinHeight = 3000;

// The size of the client area the window opens with.
inline constexpr std::int32_t kPreviewClientWidth = 4935;
inline constexpr std::int32_t kPreviewClientHeight = 4395;

struct PreviewLayout {
    // The outer size the window must have: the size given, raised to the minimum.
    // When it differs from the size given, the window is to be resized to it.
    double Width = 0;
    double Height = 0;
    bool Resize = false;
    TwipRect imGrp;
    TwipRect cbSetWP;
    TwipRect cbRetry;
    TwipRect cbCancel;
};

// The layout for a window whose outer size is `width` x `height` twips. Positions are
// relative to the client area; every rounding goes half to even.
PreviewLayout LayoutPreview(double width, double height);

}  // namespace vexal
