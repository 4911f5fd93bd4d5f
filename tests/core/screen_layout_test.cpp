// A picture for each screen: the layout on one screen in each style, and the bitmap of the
// virtual screen composed for a table of monitor arrangements.
#include "wallpaper/screen_layout.h"

#include <gtest/gtest.h>

#include "core/wallpaper_fakes.h"

namespace vexal {
namespace {

constexpr std::uint32_t R = 0xFF0000, G = 0x00FF00, B = 0x0000FF, K = 0x000000, W = 0xFFFFFF, Bg = 0x3A6EA5;

Picture Opaque(std::int32_t w, std::int32_t h, std::vector<std::uint32_t> rgb) {
    for (auto& p : rgb) p |= 0xFF000000u;
    return Picture::FromPixels(w, h, std::move(rgb));
}

std::vector<std::uint32_t> PixelsOf(const Picture& p) {
    std::vector<std::uint32_t> out;
    for (std::int32_t y = 0; y < p.height; ++y) out.insert(out.end(), p.Row(y), p.Row(y) + p.width);
    return out;
}

TEST(ScreenLayoutTest, EachStyleWithinItsScreen) {
    const struct {
        const char* name;
        Picture picture;
        WallpaperStyle style;
        std::int32_t width, height;
        std::vector<std::uint32_t> expected;
    } rows[] = {
        {"centredOnTheBackground",
         Opaque(2, 1, {R, G}),
         WallpaperStyle::Centred,
         4,
         3,
         {Bg, Bg, Bg, Bg, Bg, R, G, Bg, Bg, Bg, Bg, Bg}},
        {"centredLargerIsCutEvenly", Opaque(4, 1, {R, G, B, W}), WallpaperStyle::Centred, 2, 1, {G, B}},
        {"tiledFromTheTopLeft",
         Opaque(2, 1, {R, G}),
         WallpaperStyle::Tiled,
         5,
         2,
         {R, G, R, G, R, R, G, R, G, R}},
        {"stretchedKeepsAPlainColourPlain", Opaque(3, 3, std::vector<std::uint32_t>(9, 0x123456)),
         WallpaperStyle::Stretched, 7, 2, std::vector<std::uint32_t>(14, 0x123456)},
        {"shrinkingAverages", Opaque(2, 2, {K, W, W, K}), WallpaperStyle::Stretched, 1, 1, {0x808080}},
        {"enlargingInterpolates", Opaque(2, 1, {K, B}), WallpaperStyle::Stretched, 4, 1, {K, 0x40, 0xBF, B}},
        {"fillCutsTheSidesEvenly", Opaque(4, 1, {R, G, B, W}), WallpaperStyle::Fill, 2, 1, {G, B}},
        {"fillCutsTopAndBottom", Opaque(1, 3, {R, G, B}), WallpaperStyle::Fill, 2, 2, {G, G, G, G}},
        {"fitLeavesTheBackgroundAboveAndBelow",
         Opaque(2, 1, {R, G}),
         WallpaperStyle::Fit,
         2,
         3,
         {Bg, Bg, R, G, Bg, Bg}},
        {"fitLeavesTheBackgroundBeside", Opaque(1, 1, {G}), WallpaperStyle::Fit, 3, 1, {Bg, G, Bg}},
        {"transparentPartsShowBlackNotTheBackground",
         Picture::FromPixels(1, 1, {0x00FFFFFF}, true),
         WallpaperStyle::Centred,
         1,
         1,
         {K}},
        {"unknownStyleIsCentred", Opaque(1, 1, {R}), WallpaperStyle{9}, 3, 1, {Bg, R, Bg}},
    };
    for (const auto& row : rows) {
        const Picture laidOut = LayOutOnScreen(row.picture, row.style, row.width, row.height, Bg);
        ASSERT_EQ(laidOut.width, row.width) << row.name;
        ASSERT_EQ(laidOut.height, row.height) << row.name;
        EXPECT_EQ(PixelsOf(laidOut), row.expected) << row.name;
        // The styles that scale take the same picture as rows decoded top to bottom.
        testing::FakeRows asRows(row.picture);
        const std::optional<Picture> fromRows = LayOutOnScreen(asRows, row.style, row.width, row.height, Bg);
        ASSERT_EQ(fromRows.has_value(), LaidOutAsRows(row.style)) << row.name;
        if (!fromRows) continue;
        EXPECT_EQ(PixelsOf(*fromRows), row.expected) << row.name << " from rows";
        EXPECT_FALSE(asRows.outOfOrder) << row.name;
    }
    // A row that cannot be had (a photo damaged half way) lays out nothing.
    testing::FakeRows damaged(Opaque(1, 3, {R, G, B}), 2);
    EXPECT_FALSE(LayOutOnScreen(damaged, WallpaperStyle::Stretched, 2, 6, Bg));
}

// Monitor arrangements as Windows and X11 report them; each screen is filled with a colour
// of its own, and one pixel per screen and one in every gap are read back.
TEST(ScreenLayoutTest, ComposedVirtualScreen) {
    const struct {
        const char* name;
        std::vector<Screen> screens;
        PixelRect area;
        std::vector<std::pair<std::int32_t, std::int32_t>> gaps;  // pixels no screen covers
    } rows[] = {
        {"sideBySide", {{{0, 0, 4, 3}, "L"}, {{4, 0, 4, 3}, "R"}}, {0, 0, 8, 3}, {}},
        {"stacked", {{{0, 0, 3, 2}, "T"}, {{0, 2, 3, 2}, "B"}}, {0, 0, 3, 4}, {}},
        {"shorterRightLeavesAGapBelow", {{{0, 0, 4, 4}, "L"}, {{4, 0, 3, 2}, "R"}}, {0, 0, 7, 4}, {{5, 3}}},
        {"leftOfThePrimary", {{{0, 0, 4, 3}, "P"}, {{-3, 1, 3, 2}, "S"}}, {-3, 0, 7, 3}, {{-2, 0}}},
        {"threeInARowWithOneRaised",
         {{{0, 0, 2, 2}, "A"}, {{2, -1, 2, 2}, "B"}, {{4, 0, 2, 2}, "C"}},
         {0, -1, 6, 3},
         {{0, -1}, {5, -1}, {3, 1}}},
    };
    const std::uint32_t colours[] = {R, G, B};
    for (const auto& row : rows) {
        EXPECT_EQ(VirtualScreen(row.screens), row.area) << row.name;
        std::vector<PlacedPicture> placed;
        for (std::size_t i = 0; i < row.screens.size(); ++i) {
            const PixelRect& r = row.screens[i].rect;
            placed.push_back({r, LayOutOnScreen(Opaque(1, 1, {colours[i]}), WallpaperStyle::Stretched,
                                                r.width, r.height, Bg)});
        }
        testing::MemoryFileSystem files;
        ASSERT_TRUE(WriteComposedBmp(files, "v.bmp", row.area, placed, Bg)) << row.name;
        testing::FakeDecoder decoder(files);
        Picture composed;
        ASSERT_TRUE(decoder.Decode("v.bmp", composed).Ok()) << row.name;
        ASSERT_EQ(composed.width, row.area.width) << row.name;
        ASSERT_EQ(composed.height, row.area.height) << row.name;
        auto at = [&](std::int32_t x, std::int32_t y) {
            return composed.Row(y - row.area.y)[x - row.area.x] & 0xFFFFFFu;
        };
        for (std::size_t i = 0; i < row.screens.size(); ++i) {
            const PixelRect& r = row.screens[i].rect;
            EXPECT_EQ(at(r.x, r.y), colours[i]) << row.name << " " << row.screens[i].name;
            EXPECT_EQ(at(r.x + r.width - 1, r.y + r.height - 1), colours[i])
                << row.name << " " << row.screens[i].name;
        }
        for (const auto& [x, y] : row.gaps) EXPECT_EQ(at(x, y), Bg) << row.name << " gap " << x << "," << y;
    }
}

TEST(ScreenLayoutTest, ScreensThatCallForAPictureEach) {
    EXPECT_FALSE(SeveralScreens({}));
    EXPECT_FALSE(SeveralScreens({{{0, 0, 800, 600}, "A"}}));
    EXPECT_FALSE(SeveralScreens({{{0, 0, 800, 600}, "A"}, {{0, 0, 800, 600}, "mirror"}}));
    EXPECT_TRUE(SeveralScreens({{{0, 0, 800, 600}, "A"}, {{800, 0, 800, 600}, "B"}}));
}

// What a reduced decode of a photo must still cover on a 1920 × 1080 screen.
TEST(ScreenLayoutTest, SizeEachStyleShowsAPictureAt) {
    const struct {
        const char* name;
        WallpaperStyle style;
        std::int32_t width, height;
        ShownSize shown;
    } rows[] = {
        {"stretchedPhoto", WallpaperStyle::Stretched, 6000, 4000, {1920, 1080}},
        {"filledWiderPhoto", WallpaperStyle::Fill, 6000, 2000, {3240, 1080}},
        {"filledTallerPhoto", WallpaperStyle::Fill, 6000, 4000, {1920, 1280}},
        {"filledSmallPicture", WallpaperStyle::Fill, 960, 540, {1920, 1080}},
        {"fittedPhoto", WallpaperStyle::Fit, 6000, 4000, {1620, 1080}},
        {"centredPhoto", WallpaperStyle::Centred, 6000, 4000, {6000, 4000}},
        {"tiledPhoto", WallpaperStyle::Tiled, 6000, 4000, {6000, 4000}},
    };
    for (const auto& r : rows) {
        const ShownSize s = ShownSizeOf(r.style, r.width, r.height, 1920, 1080);
        EXPECT_EQ(s.width, r.shown.width) << r.name;
        EXPECT_EQ(s.height, r.shown.height) << r.name;
    }
}

}  // namespace
}  // namespace vexal
