// The preview window's layout in twips: the minimum size, the button row and the picture.
#include "ui/preview_layout.h"

#include <gtest/gtest.h>

namespace vexal {
namespace {

TEST(PreviewLayoutTest, MinimumSize) {
    const PreviewLayout l = LayoutPreview(3300, 3000);
    EXPECT_FALSE(l.Resize);
    EXPECT_EQ(l.imGrp, (TwipRect{105, 75, 2950, 1800}));
    EXPECT_EQ(l.cbSetWP, (TwipRect{112, 2050, 917, 495}));
    EXPECT_EQ(l.cbRetry, (TwipRect{1141, 2050, 917, 495}));
    EXPECT_EQ(l.cbCancel, (TwipRect{2170, 2050, 917, 495}));
}

struct ShrinkRow {
    const char* name;
    double width, height;
    double wantWidth, wantHeight;
};

TEST(PreviewLayoutTest, ShrinkingBelowTheMinimumSnapsBack) {
    const ShrinkRow rows[] = {
        {"both", 1000, 500, 3300, 3000},
        {"widthOnly", 3299.5, 5000, 3300, 5000},
        {"heightOnly", 8000, 2999, 8000, 3000},
        {"zero", 0, 0, 3300, 3000},
    };
    for (const auto& row : rows) {
        const PreviewLayout l = LayoutPreview(row.width, row.height);
        EXPECT_TRUE(l.Resize) << row.name;
        EXPECT_EQ(l.Width, row.wantWidth) << row.name;
        EXPECT_EQ(l.Height, row.wantHeight) << row.name;
        // The rest is laid out for the corrected size.
        const PreviewLayout again = LayoutPreview(row.wantWidth, row.wantHeight);
        EXPECT_FALSE(again.Resize) << row.name;
        EXPECT_EQ(l.cbCancel, again.cbCancel) << row.name;
        EXPECT_EQ(l.imGrp, again.imGrp) << row.name;
    }
}

TEST(PreviewLayoutTest, WideWindowCapsButtonsAndWidensGaps) {
    const PreviewLayout l = LayoutPreview(20100, 6000);
    // W = 20000, B = 6516.67 - 150 capped at 2200, G = (20000 - 6600) / 4 = 3350.
    EXPECT_EQ(l.cbSetWP, (TwipRect{3350, 5050, 2200, 495}));
    EXPECT_EQ(l.cbRetry, (TwipRect{2200 + 2 * 3350, 5050, 2200, 495}));
    EXPECT_EQ(l.cbCancel, (TwipRect{2 * 2200 + 3 * 3350, 5050, 2200, 495}));
    EXPECT_EQ(l.imGrp, (TwipRect{105, 75, 19750, 4800}));
}

struct RoundingRow {
    const char* name;
    double width;
    std::int32_t button, gap;
};

TEST(PreviewLayoutTest, HalvesRoundToEven) {
    const RoundingRow rows[] = {
        // W = 3251: W/3 - 150 = 933.67 -> 934; (3251 - 2802) / 4 = 112.25 -> 112.
        {"plain", 3351, 934, 112},
        // W = 3300: B = 950; (3300 - 2850) / 4 = 112.5 -> 112 (even), not 113.
        {"gapHalfDown", 3400, 950, 112},
        // W = 3306: B = 952; (3306 - 2856) / 4 = 112.5 -> 112.
        {"gapHalfDown2", 3406, 952, 112},
        // W = 3314: B = 954.67 -> 955; (3314 - 2865) / 4 = 112.25 -> 112.
        {"buttonRoundsUp", 3414, 955, 112},
        // W = 3300.5 rounds to 3300 (half to even), so the gap is 112.5 -> 112; rounding
        // the half up would give W = 3301 and a gap of 112.75 -> 113.
        {"widthHalfToEven", 3400.5, 950, 112},
        // W = 7050: B = 2200 exactly; gap (7050 - 6600) / 4 = 112.5 -> 112.
        {"atTheCap", 7150, 2200, 112},
        // W = 7054: B capped; gap (7054 - 6600) / 4 = 113.5 -> 114.
        {"gapHalfUp", 7154, 2200, 114},
    };
    for (const auto& row : rows) {
        const PreviewLayout l = LayoutPreview(row.width, 4000);
        EXPECT_EQ(l.cbSetWP.Width, row.button) << row.name;
        EXPECT_EQ(l.cbSetWP.Left, row.gap) << row.name;
        EXPECT_EQ(l.cbRetry.Left, row.button + 2 * row.gap) << row.name;
        EXPECT_EQ(l.cbCancel.Left, 2 * row.button + 3 * row.gap) << row.name;
    }
}

TEST(PreviewLayoutTest, HeightOnlyMovesTheRowAndThePictureBottom) {
    const PreviewLayout l = LayoutPreview(5000, 4800.5);  // H = 4800 (half to even)
    EXPECT_EQ(l.imGrp.Height, 3600);
    EXPECT_EQ(l.cbSetWP.Top, 3850);
    EXPECT_EQ(l.cbCancel.Top, 3850);
    EXPECT_EQ(l.cbRetry.Height, 495);
}

}  // namespace
}  // namespace vexal
