// The preview window: its layout in twips (the minimum size, the button row, the
// picture) and its presenter (showing, searching again, installing, giving up).
#include "ui/preview_layout.h"

#include <gtest/gtest.h>

#include <map>

#include "app/run_controller.h"
#include "core/wallpaper_fakes.h"
#include "gather/hand_over.h"
#include "host/picture.h"
#include "settings/source_kind.h"
#include "ui/host_services.h"
#include "ui/preview_presenter.h"
#include "wallpaper/history.h"
#include "wallpaper/install.h"

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

// The picture inside its area (pixels), as both front ends paint it.
TEST(PreviewLayoutTest, PictureKeepsItsShapeInsideTheArea) {
    const struct {
        const char* name;
        int width, height, areaWidth, areaHeight;
        PixelRect shown;
    } rows[] = {
        {"portraitPhoto", 3000, 4000, 320, 240, {70, 0, 180, 240}},
        {"widescreen", 1920, 1080, 320, 240, {0, 30, 320, 180}},
        {"sameShape", 640, 480, 320, 240, {0, 0, 320, 240}},
        {"smallIsEnlarged", 40, 30, 320, 240, {0, 0, 320, 240}},
        {"oddLeftoverGoesRight", 100, 100, 321, 240, {40, 0, 240, 240}},
        {"sliverKeepsAPixel", 1, 10000, 320, 240, {159, 0, 1, 240}},
        {"tinyArea", 4000, 3000, 1, 1, {0, 0, 1, 1}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(FitInside(r.width, r.height, r.areaWidth, r.areaHeight), r.shown) << r.name;
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

// ---- The preview window's presenter ----

namespace vexal {
namespace {

using testing::FakeDecoder;
using testing::FakeDesktop;
using testing::PicFile;

class FakePreviewWindow final : public PreviewWindowView {
public:
    std::string caption;
    bool visible = false;
    bool setWPEnabled = true;  // wrong on purpose: the presenter must disable it
    Picture picture;
    int pictureWidth = 0;
    double resizedWidth = 0, resizedHeight = 0;
    std::map<PreviewControl, TwipRect> places;
    std::vector<std::string> log;

    void SetCaption(const std::string& text) override { caption = text; }
    void ShowWindow() override {
        visible = true;
        log.push_back("show");
    }
    void HideWindow() override {
        visible = false;
        log.push_back("hide");
    }
    void ResizeWindow(double w, double h) override {
        resizedWidth = w;
        resizedHeight = h;
    }
    void PlaceControl(PreviewControl control, const TwipRect& rect) override { places[control] = rect; }
    void SetPicture(const Picture& shown) override {
        picture = shown;
        pictureWidth = shown.width;
        log.push_back("picture");
    }
    void ClearPicture() override {
        picture = {};
        pictureWidth = 0;
        log.push_back("clear");
    }
    void SetSetWPEnabled(bool enabled) override { setWPEnabled = enabled; }
    std::optional<std::uint32_t> backdrop = 0xABCDEF;  // wrong on purpose: the presenter must set it
    void SetBackdrop(std::optional<std::uint32_t> colour) override { backdrop = colour; }
};

class CountingPump final : public EventPump {
public:
    int pumps = 0;
    void Pump(int) override { ++pumps; }
};

class CountingFrontEnd final : public FrontEnd {
public:
    std::vector<bool> retrievals;
    void ShowEditor() override {}
    void RunRetrieval(bool gather) override { retrievals.push_back(gather); }
};

// A presenter on a fake window and host; a table's rows each take a rig of their own.
struct PreviewRig {
    Program program;
    testing::TestHost host;
    FakeDecoder decoder{host.files};
    FakeDesktop desktop{host.files};
    CountingPump pump;
    FakePreviewWindow window;
    CountingFrontEnd frontEnd;
    RunController controller{program, host.host};
    PreviewPresenter preview{program, host.host, window, frontEnd, controller};

    PreviewRig() {
        InitGlobals(program, 1, 0);
        program.WinFolderWPname = "wallpaper.bmp";
        host.files.files["wpcache.jpg"] = PicFile(4, 3, 0xFF102030);
        host.host.images = &decoder;
        host.host.desktop = &desktop;
        host.host.pump = &pump;
    }
    // What a retrieval hands the preview: these pictures, their working files its own.
    RetrievedPictures Pictures(std::vector<PictureInHand> screens) {
        RetrievedPictures pictures;
        for (const PictureInHand& screen : screens) pictures.working.Adopt(host.files, screen.WorkImageFile);
        pictures.screens = std::move(screens);
        return pictures;
    }
    void Show(const std::string& chosen = {}) {
        preview.DispPre(Pictures({{"wpcache.jpg", chosen, {}, false}}));
    }
};

struct PreviewFixture : ::testing::Test, PreviewRig {};

TEST_F(PreviewFixture, ShowLoadsOnceWithCaptionAndSetWallpaperDisabled) {
    preview.LoadWindow();
    EXPECT_EQ(window.caption, "vexal 1.00");
    EXPECT_FALSE(window.setWPEnabled);
    EXPECT_FALSE(window.visible);
    preview.ShowWindow();
    EXPECT_TRUE(window.visible);
}

TEST_F(PreviewFixture, ResizePlacesControlsAndSnapsBackBelowTheMinimum) {
    preview.Form_Resize(2000, 2500);
    EXPECT_EQ(window.resizedWidth, 3300);
    EXPECT_EQ(window.resizedHeight, 3000);
    EXPECT_EQ(window.places[PreviewControl::imGrp], (TwipRect{105, 75, 2950, 1800}));
    EXPECT_EQ(window.places[PreviewControl::cbRetry], (TwipRect{1141, 2050, 917, 495}));
    window.resizedWidth = 0;
    preview.Form_Resize(5035, 4800);
    EXPECT_EQ(window.resizedWidth, 0) << "a size above the minimum is left alone";
    EXPECT_EQ(window.places[PreviewControl::imGrp], (TwipRect{105, 75, 4685, 3600}));
}

TEST_F(PreviewFixture, DispPrePaintsFirstThenShowsThePictureAndEnablesInstalling) {
    preview.ShowWindow();
    Show();
    EXPECT_EQ(pump.pumps, 1);
    EXPECT_EQ(window.pictureWidth, 4);
    EXPECT_TRUE(window.setWPEnabled);
    EXPECT_FALSE(preview.shownPicture().Empty());
    EXPECT_TRUE(host.dialogs.boxes.empty());
}

// Around one centred or fitted picture the preview shows the entry's colour, as the desktop
// will; other styles, an entry without a colour and a picture named on the command line
// show the window's own background.
TEST(PreviewBackdropTest, EntryColourAroundACentredOrFittedPicture) {
    const struct {
        const char* name;
        WallpaperStyle style;
        std::optional<std::uint32_t> colour;
        RunModeValue mode;
        std::optional<std::uint32_t> backdrop;
    } rows[] = {
        {"centred", WallpaperStyle::Centred, 0x1E3A5F, RunModeValue::Entry, 0x1E3A5F},
        {"fit", WallpaperStyle::Fit, 0x1E3A5F, RunModeValue::Editor, 0x1E3A5F},
        {"stretched", WallpaperStyle::Stretched, 0x1E3A5F, RunModeValue::Entry, std::nullopt},
        {"fill", WallpaperStyle::Fill, 0x1E3A5F, RunModeValue::Entry, std::nullopt},
        {"noColour", WallpaperStyle::Fit, std::nullopt, RunModeValue::Entry, std::nullopt},
        {"commandLinePicture", WallpaperStyle::Fit, 0x1E3A5F, RunModeValue::Direct, std::nullopt},
    };
    for (const auto& r : rows) {
        PreviewRig f;
        f.program.RunMode = r.mode;
        f.program.CurrentEntry().WpState = r.style;
        f.program.CurrentEntry().Background = r.colour;
        f.Show();
        EXPECT_EQ(f.window.backdrop, r.backdrop) << r.name;
    }
}

TEST_F(PreviewFixture, UnreadablePictureIsReportedAndCannotBeInstalled) {
    host.files.files["wpcache.jpg"] = "<html>not found</html>";
    preview.ShowWindow();
    Show("http://h/a.jpg");
    ASSERT_EQ(host.dialogs.boxes.size(), 1u);
    EXPECT_EQ(host.dialogs.boxes[0].kind, "error");
    // Regression: the message named the working copy, not the picture the user chose.
    EXPECT_EQ(host.dialogs.boxes[0].text, "画像ファイル http://h/a.jpg を画像として読み込めませんでした。");
    EXPECT_FALSE(window.setWPEnabled);
    EXPECT_TRUE(preview.shownPicture().Empty());
    EXPECT_FALSE(host.process.ended) << "searching again or giving up stays possible";
}

TEST_F(PreviewFixture, SearchAgainHidesRunsTheRetrievalAndKeepsInstallingEnabled) {
    preview.ShowWindow();
    Show();
    window.log.clear();
    preview.cbRetry_Click();
    EXPECT_EQ(window.log, (std::vector<std::string>{"clear", "hide"}));
    EXPECT_EQ(frontEnd.retrievals, (std::vector<bool>{true}));
    // Regression: the next picture may get another working file name (another kind), and
    // the old working file was left behind.
    EXPECT_EQ(host.files.files.count("wpcache.jpg"), 0u);
    EXPECT_TRUE(preview.pictures().Empty());
    EXPECT_TRUE(window.setWPEnabled);
    // The retrieval ends by showing the window again with the new picture.
    host.files.files["wpcache.jpg"] = PicFile(8, 6, 0xFF405060);
    preview.ShowWindow();
    Show();
    EXPECT_EQ(window.pictureWidth, 8);
    EXPECT_EQ(preview.shownPicture().width, 8);
}

TEST_F(PreviewFixture, CancelAndCloseBoxDeleteTheWorkingFileAndEndWithFailure) {
    for (auto action : {&PreviewPresenter::cbCancel_Click, &PreviewPresenter::Form_Unload}) {
        host.files.files["wpcache.jpg"] = PicFile(4, 3, 0xFF102030);
        host.process = {};
        preview.ShowWindow();
        Show();
        (preview.*action)();
        EXPECT_FALSE(window.visible);
        EXPECT_EQ(host.files.files.count("wpcache.jpg"), 0u);
        EXPECT_TRUE(host.process.ended);
        EXPECT_EQ(host.process.status, kExitFailure);
    }
}

TEST_F(PreviewFixture, SetWallpaperInstallsTheShownPictureThenEnds) {
    program.CurrentEntry().WpState = WallpaperStyle::Tiled;
    preview.ShowWindow();
    Show();
    preview.cbSetWP_Click();
    EXPECT_EQ(decoder.decodes, 1) << "the picture already shown is not read again";
    EXPECT_EQ(desktop.log, (std::vector<std::string>{std::string("set /win") + kFolderSeparator +
                                                     "wallpaper.bmp WallpaperStyle=0 TileWallpaper=1"}));
    EXPECT_EQ(host.files.files.count("wpcache.jpg"), 0u);
    EXPECT_EQ(host.process.status, kExitSuccess);
}

TEST_F(PreviewFixture, RefusedWallpaperEndsWithFailure) {
    desktop.accept = false;
    preview.ShowWindow();
    Show();
    preview.cbSetWP_Click();
    EXPECT_EQ(host.dialogs.Texts(),
              (std::vector<std::string>{
                  "壁紙の変更に失敗しました。\r\nデスクトップが壁紙の設定を受け付けませんでした。"}));
    EXPECT_EQ(host.process.status, kExitFailure);
}

// An entry with a picture for each screen on two screens: the window shows both side by
// side, 壁紙に設定する installs exactly what a run without the preview installs, and giving
// up installs nothing and leaves no file of the run behind.
TEST_F(PreviewFixture, EachScreenShowsThePicturesSideBySideAndInstallsAllOrNothing) {
    desktop.screens = {{{0, 0, 40, 30}, "L"}, {{40, 0, 40, 30}, "R"}};
    program.CurrentEntry().EachScreen = true;
    program.CurrentEntry().WpState = WallpaperStyle::Fill;
    const std::string wall = std::string("/win") + kFolderSeparator + "wallpaper";
    auto ours = [&] {  // the wallpaper folder's files and the working files
        std::map<std::string, std::string> left = host.files.files;
        left.erase(std::string("/win") + kFolderSeparator + kHistoryFileName);
        return left;
    };
    std::map<std::string, std::string> installedAtOnce;
    const struct {
        const char* name;
        bool preview;
        void (PreviewPresenter::*action)();
        int status;
    } rows[] = {
        {"withoutPreview", false, nullptr, kExitSuccess},
        {"setWallpaper", true, &PreviewPresenter::cbSetWP_Click, kExitSuccess},
        {"cancel", true, &PreviewPresenter::cbCancel_Click, kExitFailure},
    };
    for (const auto& row : rows) {
        host.files.files = {{"wpcache.jpg", PicFile(4, 3, 0xFFFF0000)},
                            {"wpcache-2.jpg", PicFile(3, 4, 0xFF00FF00)}};
        host.process = {};
        desktop.log.clear();
        std::vector<PictureInHand> screens = {{"wpcache.jpg", "a.jpg", {}, false},
                                              {"wpcache-2.jpg", "b.jpg", {}, false}};
        if (!row.preview) {
            RetrievedPictures pictures = Pictures(screens);
            ASSERT_TRUE(InstallRetrieved(program, pictures, WallpaperServicesOf(host.host)).Ok());
            installedAtOnce = ours();
            continue;
        }
        preview.ShowWindow();
        preview.DispPre(Pictures(screens));
        ASSERT_TRUE(host.dialogs.boxes.empty()) << row.name << ": " << host.dialogs.boxes[0].text;
        EXPECT_EQ(window.picture.width, 40) << row.name << ": 80×30 within the largest screen";
        EXPECT_EQ(window.picture.height, 15) << row.name;
        EXPECT_TRUE(window.setWPEnabled) << row.name;
        EXPECT_TRUE(preview.shownPicture().Empty()) << row.name << ": the window holds no screen's picture";
        EXPECT_TRUE(desktop.log.empty()) << row.name;

        (preview.*row.action)();
        EXPECT_EQ(host.process.status, row.status) << row.name;
        EXPECT_TRUE(preview.pictures().Empty()) << row.name;
        if (row.status == kExitSuccess) {
            EXPECT_EQ(ours(), installedAtOnce) << row.name;
            EXPECT_EQ(desktop.log.back(), "set " + wall + ".bmp WallpaperStyle=22 TileWallpaper=0")
                << row.name;
        } else {
            EXPECT_TRUE(ours().empty()) << row.name << ": nothing installed, nothing left";
            EXPECT_TRUE(desktop.log.empty()) << row.name;
        }
    }
    EXPECT_EQ(installedAtOnce.count(wall + ".bmp"), 1u);
    EXPECT_EQ(installedAtOnce.count(wall + "-1.bmp"), 1u);
    EXPECT_EQ(installedAtOnce.count(wall + "-2.bmp"), 1u);
}

}  // namespace
}  // namespace vexal
