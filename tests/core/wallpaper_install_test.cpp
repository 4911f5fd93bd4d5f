// Installing the working picture: bitmap, style values, system call, and every refusal.
#include <gtest/gtest.h>

#include "core/wallpaper_fakes.h"
#include "gather/hand_over.h"
#include "support/refused_changes.h"
#include "wallpaper/bmp_writer.h"
#include "wallpaper/history.h"
#include "wallpaper/install.h"

namespace vexal {
namespace {

using testing::PicFile;
using testing::WallpaperPath;

struct Fixture {
    testing::TestHost t;
    testing::FakeDecoder decoder{t.files};
    testing::FakeDesktop desktop{t.files};
    Program program;
    // The picture the preview decoded, if it did.
    struct {
        bool PictureLoaded = false;
        Picture picture;
    } preview;
    // The picture in hand beside the one installed: the run's own working file (moved
    // into place, never left behind), what a message names, the candidate it came from,
    // and the other screens' pictures.
    std::string work;
    bool workIsChosen = false;
    std::string chosen, candidate;
    std::vector<PictureInHand> more;
    Fixture() {
        t.host.images = &decoder;
        t.host.desktop = &desktop;
        program.WinFolderWPname = "wall.bmp";
        program.RunMode = RunModeValue::Entry;
        program.TitleText = "vexal 1.00";
    }
    InstallResult result;
    // What a retrieval that brought `path` hands on.
    RetrievedPictures Pictures(const std::string& path) {
        RetrievedPictures pictures;
        pictures.screens.push_back({path, chosen, candidate, workIsChosen && path == work});
        for (const PictureInHand& m : more) pictures.screens.push_back(m);
        if (path == work && !workIsChosen) pictures.working.Adopt(t.files, path);
        return pictures;
    }
    bool Install(const std::string& path) {
        RetrievedPictures pictures = Pictures(path);
        result = InstallRetrieved(program, pictures, t.Services().ForWallpaper(),
                                  preview.PictureLoaded ? &preview.picture : nullptr);
        return result.Ok();
    }
};

std::string BmpOf(int w, int h, std::uint32_t argb) {
    testing::MemoryFileSystem files;
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h, argb);
    EXPECT_TRUE(WriteBmp(files, "x", Picture::FromPixels(w, h, px)));
    return files.files["x"];
}

const std::vector<std::string> kCentredAndSet = {"set " + testing::WallpaperPath() +
                                                 " WallpaperStyle=0 TileWallpaper=0"};

TEST(InstallWallpaperTest, EachKindOfPictureBecomesTheBitmap) {
    const struct {
        const char* name;
        const char* path;
        std::string content;
        std::string expectedBitmap;
    } rows[] = {
        {"bmpCopiedByteForByte", "wp.bmp", PicFile(2, 2, 0xFF0000FF) + " trailing bytes kept",
         PicFile(2, 2, 0xFF0000FF) + " trailing bytes kept"},
        {"bmpCapitals", "wp.BMP", PicFile(1, 1, 0xFF000000), PicFile(1, 1, 0xFF000000)},
        {"jpgConverted", "wp.JPG", PicFile(3, 2, 0xFF123456), BmpOf(3, 2, 0xFF123456)},
        {"gifConverted", "wp.gif", PicFile(5, 1, 0xFFABCDEF), BmpOf(5, 1, 0xFFABCDEF)},
        {"pngConverted", "wp.png", PicFile(4, 4, 0xFF00FF00), BmpOf(4, 4, 0xFF00FF00)},
    };
    for (const auto& r : rows) {
        Fixture f;
        f.t.files.files[r.path] = r.content;
        EXPECT_TRUE(f.Install(r.path)) << r.name;
        EXPECT_EQ(f.desktop.log, kCentredAndSet) << r.name;
        EXPECT_EQ(f.desktop.bytesAtSet, r.expectedBitmap)
            << r.name << ": bitmap in place before the system call";
        EXPECT_EQ(f.t.files.files[r.path], r.content) << r.name << ": the working file is left alone";
        EXPECT_EQ(f.t.files.durablyRenamed, std::vector<std::string>{testing::WallpaperPath()})
            << r.name << ": on the disk before it takes the bitmap's name";
    }
    // The program's own working bitmap is moved into place rather than copied once more,
    // and the bitmap it replaces is kept beside it to go back to.
    Fixture f;
    f.work = "wpcache.bmp";
    f.t.files.files["wpcache.bmp"] = PicFile(2, 2, 0xFF0000FF);
    f.t.files.files[WallpaperPath()] = "old";
    EXPECT_TRUE(f.Install("wpcache.bmp"));
    f.t.files.files.erase(WallpaperPath("/win", kHistoryFileName));
    EXPECT_EQ(f.t.files.files,
              (std::map<std::string, std::string>{{testing::WallpaperPath(), PicFile(2, 2, 0xFF0000FF)},
                                                  {WallpaperPath("/win", "vexal-back-1.bmp"), "old"}}));
    EXPECT_EQ(f.t.files.durablyRenamed, std::vector<std::string>{testing::WallpaperPath()});
}

TEST(InstallWallpaperTest, RefusalsNameWhatWasRefusedAndChangeNothing) {
    // Regression: a file that is no picture was reported naming the working copy
    // ("wpcache.jpg") instead of the picture the user chose.
    const DecodeResult unreadable{DecodeError::Unreadable, 0, 0};
    const struct {
        const char* name;
        const char* path;
        std::string content;
        InstallOutcome outcome;
        std::string subject;
        DecodeResult decode;
        const char* chosen = "";
    } rows[] = {
        {"lastThreeLettersOfJpeg",
         "wp.peg",
         PicFile(1, 1, 0xFF000000),
         InstallOutcome::UnsupportedKind,
         "",
         {}},
        {"textFile", "wp.txt", "hello", InstallOutcome::UnsupportedKind, "", {}},
        {"noExtension", "wp", PicFile(1, 1, 0xFF000000), InstallOutcome::UnsupportedKind, "", {}},
        {"pngUnreadable", "wp.png", "<html>not found</html>", InstallOutcome::PngUnreadable, "wp.png", {}},
        {"pngMissing", "gone.png", "", InstallOutcome::PngUnreadable, "gone.png", {}},
        {"pngBomb",
         "wp.png",
         "BIG 70000 70000",
         InstallOutcome::PictureRefused,
         "wp.png",
         {DecodeError::TooLarge, 70000, 70000}},
        {"jpgUnreadable", "wp.jpg", "<html>not found</html>", InstallOutcome::PictureRefused, "wp.jpg",
         unreadable},
        // A stop signal during the decode is no fault of the picture: nothing is said.
        {"stoppedWhileDecoding", "wp.jpg", "STOPPED", InstallOutcome::Stopped, "", {}},
        {"gifBomb",
         "wp.gif",
         "BIG 9000 9000",
         InstallOutcome::PictureRefused,
         "wp.gif",
         {DecodeError::TooLarge, 9000, 9000}},
        {"bmpThatIsNoPicture", "wp.bmp", "<html>not found</html>", InstallOutcome::PictureRefused, "wp.bmp",
         unreadable},
        {"fetchedPageNamesTheUrl", "wpcache.jpg", "<html>not found</html>", InstallOutcome::PictureRefused,
         "http://h/a.jpg", unreadable, "http://h/a.jpg"},
        {"localBombNamesThePath",
         "wpcache.bmp",
         "BIG 9000 9000",
         InstallOutcome::PictureRefused,
         "/p/b.bmp",
         {DecodeError::TooLarge, 9000, 9000},
         "/p/b.bmp"},
    };
    for (const auto& r : rows) {
        Fixture f;
        f.chosen = r.chosen;
        if (std::string(r.name) != "pngMissing") f.t.files.files[r.path] = r.content;
        std::map<std::string, std::string> before = f.t.files.files;
        EXPECT_FALSE(f.Install(r.path)) << r.name;
        EXPECT_EQ(f.result.outcome, r.outcome) << r.name;
        EXPECT_EQ(f.result.subject, r.subject) << r.name;
        EXPECT_EQ(f.result.decode.error, r.decode.error) << r.name;
        EXPECT_EQ(f.result.decode.width, r.decode.width) << r.name;
        EXPECT_TRUE(f.desktop.log.empty()) << r.name << ": no style value and no system call";
        EXPECT_EQ(f.t.files.files.count(testing::WallpaperPath()), 0u) << r.name;
    }
}

// Regression: the change failed without saying why, so an unattended run learnt nothing.
// The bitmap is written under a name of its own and renamed over the old one: whatever
// fails before the rename leaves the old wallpaper whole and no half-written file behind.
TEST(InstallWallpaperTest, FailedWritesAndARefusingSystemSayWhyTheChangeFailed) {
    const InstallOutcome notWritten = InstallOutcome::NotWritten;
    const struct {
        const char* name;
        const char* path;
        bool failWrites;
        bool failRename;
        bool haveFolder;
        bool accept;
        bool stop;
        DesktopResult reason;    // what the desktop says
        InstallOutcome outcome;  // with the bitmap as its subject when NotWritten
        std::size_t logEntries;
        bool replaced;
        bool failFlush = false;  // the bitmap's data cannot be written out to the disk
    } rows[] = {
        {"bmpCopyFails", "wp.bmp", true, false, true, true, false, {}, notWritten, 0, false},
        {"jpgWriteFails", "wp.jpg", true, false, true, true, false, {}, notWritten, 0, false},
        {"pngWriteFails",
         "wp.png",
         true,
         false,
         true,
         true,
         false,
         {},
         InstallOutcome::PngNotConverted,
         0,
         false},
        {"renameFails", "wp.jpg", false, true, true, true, false, {}, notWritten, 0, false},
        {"flushFails", "wp.png", false, false, true, true, false, {}, notWritten, 0, false, true},
        {"flushOfTheMovedBitmapFails",
         "wpcache.bmp",
         false,
         false,
         true,
         true,
         false,
         {},
         notWritten,
         0,
         false,
         true},
        {"noWallpaperFolder", "wp.bmp", false, false, false, true, false,
         DesktopResult{DesktopFailure::FolderNotMade, "/x", {}, {}, 0}, InstallOutcome::NoFolder, 0, false},
        {"refusedWithoutWords",
         "wp.bmp",
         false,
         false,
         false,
         true,
         false,
         {},
         InstallOutcome::NoFolder,
         0,
         false},
        // Told to stop (a signal) while the bitmap was written: silently, nothing changes.
        {"stopRequested", "wp.png", false, false, true, true, true, {}, InstallOutcome::Stopped, 0, false},
        // Regression: when only the system refused, the new bitmap stayed in place, the old
        // one was kept to go back to and the history said so. The change is undone now.
        {"systemRefuses", "wp.png", false, false, true, false, false,
         DesktopResult{DesktopFailure::ToolFailed, {}, "gsettings", "refused", 1}, InstallOutcome::Refused, 1,
         false},
        {"systemRefusesTheMovedBitmap",
         "wpcache.bmp",
         false,
         false,
         true,
         false,
         false,
         {},
         InstallOutcome::Refused,
         1,
         false},
    };
    for (const auto& r : rows) {
        Fixture f;
        testing::FakeRunGuard guard;
        f.t.host.guard = &guard;
        guard.stop = r.stop;
        const std::string old = BmpOf(1, 1, 0xFF010203);
        if (r.haveFolder) f.t.files.files[testing::WallpaperPath()] = old;
        f.t.files.files[r.path] = PicFile(2, 2, 0xFF808080);
        f.t.files.failWrites = r.failWrites;
        f.t.files.failRenames = r.failRename;
        f.t.files.failFlushes = r.failFlush;
        f.work = "wpcache.bmp";
        f.desktop.haveFolder = r.haveFolder;
        f.desktop.accept = r.accept;
        f.desktop.reason = r.reason;
        std::map<std::string, std::string> before = f.t.files.files;
        EXPECT_FALSE(f.Install(r.path)) << r.name;
        EXPECT_EQ(f.result.outcome, r.outcome) << r.name;
        EXPECT_EQ(f.result.subject, r.outcome == notWritten ? testing::WallpaperPath() : "") << r.name;
        if (r.outcome == InstallOutcome::NoFolder || r.outcome == InstallOutcome::Refused) {
            EXPECT_EQ(f.result.desktop.failure, r.reason.Ok() ? DesktopFailure::Refused : r.reason.failure)
                << r.name;
            EXPECT_EQ(f.result.desktop.subject, r.reason.subject) << r.name;
        }
        EXPECT_EQ(f.desktop.log.size(), r.logEntries) << r.name;
        if (r.haveFolder) {
            EXPECT_EQ(f.t.files.files[testing::WallpaperPath()] == old, !r.replaced) << r.name;
        }
        // Nothing half-written is left, and the run's own working file goes.
        if (r.path == f.work) before.erase(r.path);
        EXPECT_EQ(f.t.files.files, before) << r.name << ": the folder as it was";
    }
    // Without a desktop at all there is no reason to give: the message stands alone.
    Fixture none;
    none.t.host.desktop = nullptr;
    none.t.files.files["wp.bmp"] = PicFile(1, 1, 0xFF000000);
    EXPECT_FALSE(none.Install("wp.bmp"));
    EXPECT_EQ(none.result.outcome, InstallOutcome::NoFolder);
    EXPECT_TRUE(none.result.desktop.Ok());
}

TEST(InstallWallpaperTest, StyleValuesByWpStateAndRunMode) {
    const struct {
        const char* name;
        RunModeValue runMode;
        std::uint8_t wpState;
        const char* style;  // as the fake logs it after the path; "" none: the desktop keeps its own
    } rows[] = {
        {"centred", RunModeValue::Entry, 0, " WallpaperStyle=0 TileWallpaper=0"},
        {"tiled", RunModeValue::Entry, 1, " WallpaperStyle=0 TileWallpaper=1"},
        {"stretched", RunModeValue::Entry, 2, " WallpaperStyle=2 TileWallpaper=0"},
        {"editorRunsWriteToo", RunModeValue::Editor, 1, " WallpaperStyle=0 TileWallpaper=1"},
        {"fill", RunModeValue::Entry, 3, " WallpaperStyle=10 TileWallpaper=0"},
        {"fit", RunModeValue::Entry, 4, " WallpaperStyle=6 TileWallpaper=0"},
        {"directImageKeepsTheStyle", RunModeValue::Direct, 2, ""},
        {"directImageKeepsFill", RunModeValue::Direct, 3, ""},
        {"unknownStyleKeepsTheStyle", RunModeValue::Entry, 5, ""},
        {"largestStyleKeepsTheStyle", RunModeValue::Entry, 255, ""},
    };
    for (const auto& r : rows) {
        Fixture f;
        f.program.RunMode = r.runMode;
        f.program.CurrentEntry().WpState = WallpaperStyle{r.wpState};
        f.t.files.files["wp.bmp"] = PicFile(1, 1, 0xFF000000);
        EXPECT_TRUE(f.Install("wp.bmp")) << r.name;
        EXPECT_EQ(f.desktop.log, std::vector<std::string>{"set " + testing::WallpaperPath() + r.style})
            << r.name;
    }
}

// The entry's colour goes to the desktop with the picture and fills what the pictures
// leave of a spanned bitmap; a picture named on the command line leaves the colour alone.
TEST(InstallWallpaperTest, EntryColourGoesWithThePicture) {
    const std::string navy = " Background=" + std::to_string(0x1E3A5F);
    const struct {
        const char* name;
        RunModeValue mode;
        bool eachScreen;
        std::string log;
    } rows[] = {
        {"entry", RunModeValue::Entry, false, " WallpaperStyle=6 TileWallpaper=0" + navy},
        {"spanned", RunModeValue::Entry, true, " WallpaperStyle=22 TileWallpaper=0" + navy},
        {"direct", RunModeValue::Direct, false, ""},
    };
    for (const auto& r : rows) {
        Fixture f;
        f.program.RunMode = r.mode;
        f.desktop.background = 0x777777;
        f.desktop.screens = {{{0, 0, 4, 2}, "L"}, {{4, 0, 4, 2}, "R"}};
        f.program.CurrentEntry().EachScreen = r.eachScreen;
        f.program.CurrentEntry().WpState = WallpaperStyle::Fit;
        f.program.CurrentEntry().Background = 0x1E3A5F;
        f.t.files.files["wp.jpg"] = PicFile(1, 1, 0xFF111111);
        ASSERT_TRUE(f.Install("wp.jpg")) << r.name;
        EXPECT_EQ(f.desktop.log, std::vector<std::string>{"set " + testing::WallpaperPath() + r.log})
            << r.name;
        if (!r.eachScreen) continue;
        // Each 1 × 1 picture fitted on its 4 × 2 screen: two columns of the colour beside it.
        Picture set;
        ASSERT_TRUE(f.decoder.Decode(testing::WallpaperPath(), set).Ok());
        EXPECT_EQ(set.Row(0)[0], 0xFF1E3A5Fu);
        EXPECT_EQ(set.Row(0)[7], 0xFF1E3A5Fu);
    }
}

TEST(InstallWallpaperTest, DestinationKeepsTheConfiguredName) {
    Fixture f;
    f.program.WinFolderWPname = "wallpaper.dat";
    f.desktop.folder = "/data/vexal";
    f.t.files.files["wp.jpg"] = PicFile(1, 1, 0xFF000000);
    EXPECT_TRUE(f.Install("wp.jpg"));
    EXPECT_EQ(f.desktop.log.back(), "set " + testing::WallpaperPath("/data/vexal", "wallpaper.dat") +
                                        " WallpaperStyle=0 TileWallpaper=0");
    EXPECT_EQ(f.t.files.files[testing::WallpaperPath("/data/vexal", "wallpaper.dat")],
              BmpOf(1, 1, 0xFF000000));
}

TEST(InstallWallpaperTest, ShownPictureIsSavedWithoutReadingTheFileAgain) {
    Fixture f;
    f.preview.PictureLoaded = true;
    f.preview.picture = Picture::FromPixels(2, 1, {0xFF0000FF, 0xFF0000FF});
    f.t.files.files["wp.gif"] = "changed on disk since it was shown";
    EXPECT_TRUE(f.Install("wp.gif"));
    EXPECT_EQ(f.decoder.decodes, 0);
    EXPECT_EQ(f.desktop.bytesAtSet, BmpOf(2, 1, 0xFF0000FF));
}

TEST(AutowpTest, InstallsFromDiskWithTheOutcome) {
    const struct {
        const char* name;
        std::string content;
        bool installed;
    } rows[] = {
        {"installed", PicFile(2, 2, 0xFF00FF00), true},
        {"unreadable", "garbage", false},
    };
    for (const auto& r : rows) {
        Fixture f;
        f.work = "wpcache.jpg";
        f.t.files.files["wpcache.jpg"] = r.content;
        const bool ok = f.Install("wpcache.jpg");
        const InstallResult& result = f.result;
        (void)ok;
        EXPECT_EQ(f.decoder.decodedPaths, std::vector<std::string>{"wpcache.jpg"}) << r.name;
        EXPECT_EQ(result.Ok(), r.installed) << r.name;
        EXPECT_EQ(f.desktop.bytesAtSet == BmpOf(2, 2, 0xFF00FF00), r.installed) << r.name;
    }
}

TEST(AutowpTest, StyleCodes) {
    EXPECT_EQ(StyleCode(WallpaperStyle::Centred), (StyleValues{"0", "0"}));
    EXPECT_EQ(StyleCode(WallpaperStyle::Tiled), (StyleValues{"0", "1"}));
    EXPECT_EQ(StyleCode(WallpaperStyle::Stretched), (StyleValues{"2", "0"}));
    EXPECT_EQ(StyleCode(WallpaperStyle::Fill), (StyleValues{"10", "0"}));
    EXPECT_EQ(StyleCode(WallpaperStyle::Fit), (StyleValues{"6", "0"}));
    EXPECT_TRUE(StyleCode(WallpaperStyle{5}).Empty());
}

// Each installation keeps the bitmap it replaces with the style it was shown in; going back
// takes the newest kept one, as far as the bound lets it reach.
TEST(GoBackTest, PutsThePreviousWallpapersBackInTheirStyles) {
    Fixture f;
    const std::string history = WallpaperPath("/win", kHistoryFileName);
    const WallpaperStyle styles[] = {WallpaperStyle::Fill, WallpaperStyle::Tiled, WallpaperStyle::Stretched,
                                     WallpaperStyle::Fit, WallpaperStyle::Centred};
    for (std::uint32_t i = 0; i < 5; ++i) {
        f.program.CurrentEntry().Name = "Pics";
        f.program.CurrentEntry().WpState = styles[i];
        f.candidate = "/p/" + std::to_string(i) + ".bmp";
        f.t.files.files["wp.bmp"] = PicFile(1, 1, 0xFF000000 + i);
        ASSERT_TRUE(f.Install("wp.bmp")) << i;
    }
    std::size_t kept = 0;
    for (const auto& [path, bytes] : f.t.files.files) kept += path.find("vexal-back-") != std::string::npos;
    EXPECT_EQ(kept, kBackKept) << "only the last few bitmaps are kept";
    EXPECT_EQ(ReadHistory(f.t.files, history).RecentPicks("PICS"),
              (std::vector<std::string>{"/p/0.bmp", "/p/1.bmp", "/p/2.bmp", "/p/3.bmp", "/p/4.bmp"}));

    const struct {
        std::uint32_t picture;
        const char* wallpaperStyle;
        const char* tileWallpaper;
    } steps[] = {{3, "6", "0"}, {2, "2", "0"}, {1, "0", "1"}};
    for (const auto& step : steps) {
        f.desktop.log.clear();
        const InstallResult back = GoBack(f.program.WinFolderWPname, f.t.Services().ForWallpaper());
        ASSERT_TRUE(back.Ok()) << step.picture;
        EXPECT_EQ(f.t.files.files[WallpaperPath()], PicFile(1, 1, 0xFF000000 + step.picture));
        EXPECT_EQ(f.desktop.log, (std::vector<std::string>{"set " + WallpaperPath() +
                                                           " WallpaperStyle=" + step.wallpaperStyle +
                                                           " TileWallpaper=" + step.tileWallpaper}));
    }
    f.desktop.log.clear();
    EXPECT_EQ(GoBack(f.program.WinFolderWPname, f.t.Services().ForWallpaper()).outcome,
              InstallOutcome::NothingToGoBack);
    EXPECT_TRUE(f.desktop.log.empty());
    EXPECT_EQ(f.t.files.files[WallpaperPath()], PicFile(1, 1, 0xFF000001)) << "the wallpaper stays";
}

// Going forward undoes the steps back, each wallpaper in its style, as far as they went;
// any other change of wallpaper forgets what lay ahead.
TEST(GoBackTest, GoingForwardUndoesTheStepsBack) {
    Fixture f;
    const WallpaperStyle styles[] = {WallpaperStyle::Fill, WallpaperStyle::Tiled, WallpaperStyle::Stretched,
                                     WallpaperStyle::Fit, WallpaperStyle::Centred};
    const auto install = [&](std::uint32_t i) {
        f.program.CurrentEntry().Name = "Pics";
        f.program.CurrentEntry().WpState = styles[i];
        f.candidate = "/p/" + std::to_string(i) + ".bmp";
        f.t.files.files["wp.bmp"] = PicFile(1, 1, 0xFF000000 + i);
        return f.Install("wp.bmp");
    };
    for (std::uint32_t i = 0; i < 4; ++i) ASSERT_TRUE(install(i)) << i;
    const auto kept = [&](const char* prefix) {
        std::size_t n = 0;
        for (const auto& [path, bytes] : f.t.files.files) n += path.find(prefix) != std::string::npos;
        return n;
    };
    constexpr int kNothing = -1;
    const struct {
        bool forward;
        int picture;  // what is shown after the step; kNothing: the step found nothing
        const char* style = "";
    } steps[] = {
        {false, 2, "2 0"},     {false, 1, "0 1"}, {true, 2, "2 0"},  {true, 3, "6 0"},
        {true, kNothing, ""},  {false, 2, "2 0"}, {false, 1, "0 1"}, {false, 0, "10 0"},
        {false, kNothing, ""}, {true, 1, "0 1"},  {true, 2, "2 0"},  {true, 3, "6 0"},
        {true, kNothing, ""},  {false, 2, "2 0"},
    };
    int shown = 3;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const auto& step = steps[i];
        f.desktop.log.clear();
        const WallpaperServices services = f.t.Services().ForWallpaper();
        const InstallResult r = step.forward ? GoForward(f.program.WinFolderWPname, services)
                                             : GoBack(f.program.WinFolderWPname, services);
        if (step.picture == kNothing) {
            EXPECT_EQ(r.outcome,
                      step.forward ? InstallOutcome::NothingToGoForward : InstallOutcome::NothingToGoBack)
                << i;
            EXPECT_TRUE(f.desktop.log.empty()) << i;
        } else {
            ASSERT_TRUE(r.Ok()) << i;
            shown = step.picture;
            const std::string style = step.style;
            EXPECT_EQ(f.desktop.log,
                      (std::vector<std::string>{"set " + WallpaperPath() +
                                                " WallpaperStyle=" + style.substr(0, style.find(' ')) +
                                                " TileWallpaper=" + style.substr(style.find(' ') + 1)}))
                << i;
        }
        EXPECT_EQ(f.t.files.files[WallpaperPath()], PicFile(1, 1, 0xFF000000 + shown)) << i;
        EXPECT_LE(kept("vexal-back-"), kBackKept) << i;
        EXPECT_LE(kept("vexal-back-") + kept("vexal-next-"), kBackKept) << i << ": each kept wallpaper once";
    }
    // A new wallpaper: what going back replaced is no longer ahead, and its bitmap goes.
    ASSERT_TRUE(install(4));
    EXPECT_EQ(kept("vexal-next-"), 0u);
    EXPECT_EQ(GoForward(f.program.WinFolderWPname, f.t.Services().ForWallpaper()).outcome,
              InstallOutcome::NothingToGoForward);
    ASSERT_TRUE(GoBack(f.program.WinFolderWPname, f.t.Services().ForWallpaper()).Ok());
    EXPECT_EQ(f.t.files.files[WallpaperPath()], PicFile(1, 1, 0xFF000002));
}

// A damaged history costs what it remembered and nothing more: the installation goes on,
// and no file it names outside the kept bitmaps' names is ever touched.
TEST(GoBackTest, DamagedHistoryNeitherStopsARunNorReachesOtherFiles) {
    const std::string history = WallpaperPath("/win", kHistoryFileName);
    const std::string own = WallpaperPath("/win", "photo.bmp");
    const char* damaged[] = {
        "\x01\xff\xfe garbage\nback\tvexal-back-1.bmp", "back\tphoto.bmp\t0\t0\nback\t../wall.bmp\t0\t0\n",
        "back\tvexal-back-1.bmp\t0; rm -rf /\t0\nstyle\tx\ty\n",
        "back\tvexal-back-2.bmp\t0\t0\n",  // its bitmap is gone
    };
    for (const char* text : damaged) {
        Fixture f;
        f.t.files.files[history] = text;
        f.t.files.files[own] = "the user's own";
        f.t.files.files[WallpaperPath()] = PicFile(1, 1, 0xFF0000AA);
        EXPECT_EQ(GoBack(f.program.WinFolderWPname, f.t.Services().ForWallpaper()).outcome,
                  InstallOutcome::NothingToGoBack)
            << text;
        EXPECT_EQ(f.t.files.files[own], "the user's own") << text;
        f.t.files.files["wp.bmp"] = PicFile(1, 1, 0xFF0000BB);
        EXPECT_TRUE(f.Install("wp.bmp")) << text;
        ASSERT_TRUE(GoBack(f.program.WinFolderWPname, f.t.Services().ForWallpaper()).Ok()) << text;
        EXPECT_EQ(f.t.files.files[WallpaperPath()], PicFile(1, 1, 0xFF0000AA)) << text;
        EXPECT_EQ(f.t.files.files[own], "the user's own") << text;
    }
}

TEST(HistoryTest, FieldsSurviveTheirRoundTrip) {
    History history;
    history.AddPick("Pics", "/home/u/odd\tname\\with\nbreaks.jpg");
    history.AddPick("other", "http://h/a.jpg");
    history.current = {"10", "0"};
    history.back = {{"vexal-back-2.bmp", {"0", "1"}}, {"vexal-back-1.bmp", {}}};
    EXPECT_EQ(ParseHistory(HistoryText(history)), history);
    history.forward = {{"vexal-next-1.bmp", {"2", "0"}},
                       {{}, {"6", "0"}, {"vexal-next-2-1.bmp", "vexal-next-2-2.bmp"}}};
    EXPECT_EQ(ParseHistory(HistoryText(history)), history);
    history.forward.clear();
    for (int i = 0; i < 15; ++i) history.AddPick("PICS", std::to_string(i));
    EXPECT_EQ(history.RecentPicks("pics").size(), kPicksKept);
    EXPECT_EQ(history.RecentPicks("pics").front(), "5");
    EXPECT_EQ(history.RecentPicks("other").size(), 1u) << "another entry's pictures stay";

    // Entries that come and go do not make the file grow without end.
    std::string text;
    for (int i = 0; i < 6000; ++i)
        text += "pick\te" + std::to_string(i % 700) + "\tp" + std::to_string(i) + "\n";
    const History many = ParseHistory(text);
    EXPECT_EQ(many.picks.size(), kPicksKeptInAll);
    EXPECT_EQ(many.picks.back().picture, "p5999");
    EXPECT_EQ(many.RecentPicks("e699").size(), 3u) << "the newest of an entry are the ones kept";
}

}  // namespace
}  // namespace vexal

namespace vexal {
namespace {

// A picture for each screen: each screen's bitmap beside the wallpaper's, and either the
// desktop's own per-screen call or the composed bitmap spanned across them.
TEST(InstallWallpaperTest, EachScreenGetsItsOwnPicture) {
    const std::vector<Screen> twoScreens = {{{0, 0, 4, 2}, "L"}, {{4, 0, 2, 2}, "R"}};
    const std::string wall = testing::WallpaperPath();
    const std::string one = testing::WallpaperPath("/win", "wall-1.bmp");
    const std::string two = testing::WallpaperPath("/win", "wall-2.bmp");
    const std::vector<std::string> spanned = {"set " + wall + " WallpaperStyle=22 TileWallpaper=0"};
    const std::vector<std::string> stretched = {"set " + wall + " WallpaperStyle=2 TileWallpaper=0"};
    const struct {
        const char* name;
        std::vector<Screen> screens;
        bool eachScreen;
        RunModeValue mode;
        bool perScreen;
        std::vector<std::string> log;
        std::vector<std::uint32_t> composedRow;  // the top row of the bitmap set, when one is
    } rows[] = {
        {"spanned",
         twoScreens,
         true,
         RunModeValue::Entry,
         false,
         spanned,
         {0x111111, 0x111111, 0x111111, 0x111111, 0x222222, 0x222222}},
        {"perScreenDesktop",
         twoScreens,
         true,
         RunModeValue::Entry,
         true,
         {"screen L " + one, "screen R " + two},
         {}},
        {"oneScreenAsBefore", {{{0, 0, 4, 2}, "L"}}, true, RunModeValue::Entry, false, stretched, {0x111111}},
        {"withoutTheSettingAsBefore", twoScreens, false, RunModeValue::Entry, false, stretched, {0x111111}},
        {"pictureOnTheCommandLineAsBefore",
         twoScreens,
         true,
         RunModeValue::Direct,
         false,
         {"set " + wall},
         {0x111111}},
    };
    for (const bool asRows : {false, true})
        for (const auto& row : rows) {
            Fixture f;
            f.decoder.rows = asRows;
            f.desktop.screens = row.screens;
            f.desktop.perScreen = row.perScreen;
            f.program.RunMode = row.mode;
            f.program.CurrentEntry().EachScreen = row.eachScreen;
            f.program.CurrentEntry().WpState = WallpaperStyle::Stretched;
            f.more = {{"wp2.jpg", "b.jpg"}};
            f.t.files.files["wp.jpg"] = PicFile(1, 1, 0xFF111111);
            f.t.files.files["wp2.jpg"] = PicFile(3, 3, 0xFF222222);
            ASSERT_TRUE(f.Install("wp.jpg")) << row.name;
            EXPECT_EQ(f.desktop.log, row.log) << row.name;
            const bool each = row.eachScreen && row.screens.size() > 1 && row.mode != RunModeValue::Direct;
            EXPECT_EQ(f.t.files.files.count(two), each ? 1u : 0u) << row.name;
            if (row.composedRow.empty()) continue;
            Picture set;
            ASSERT_TRUE(f.decoder.Decode(wall, set).Ok()) << row.name;
            EXPECT_EQ(std::vector<std::uint32_t>(set.Row(0), set.Row(0) + set.width), [&] {
                std::vector<std::uint32_t> v;
                for (auto c : row.composedRow) v.push_back(0xFF000000u | c);
                return v;
            }()) << row.name;
        }
}

// Fewer pictures than screens repeat them, and a picture that cannot be read is named.
TEST(InstallWallpaperTest, EachScreenRepeatsPicturesAndNamesAnUnreadableOne) {
    Fixture f;
    f.desktop.screens = {{{0, 0, 1, 1}, "A"}, {{1, 0, 1, 1}, "B"}, {{2, 0, 1, 1}, "C"}};
    f.program.CurrentEntry().EachScreen = true;
    f.more = {{"wp2.jpg", "http://example.org/b.jpg"}};
    f.t.files.files["wp.jpg"] = PicFile(1, 1, 0xFF111111);
    f.t.files.files["wp2.jpg"] = PicFile(1, 1, 0xFF222222);
    ASSERT_TRUE(f.Install("wp.jpg"));
    Picture set;
    ASSERT_TRUE(f.decoder.Decode(testing::WallpaperPath(), set).Ok());
    EXPECT_EQ(std::vector<std::uint32_t>(set.Row(0), set.Row(0) + 3),
              (std::vector<std::uint32_t>{0xFF111111, 0xFF222222, 0xFF111111}));

    // Not a picture at all, and a photo found damaged while its rows were laid out (two
    // screens' photos then decode at once).
    f.program.CurrentEntry().WpState = WallpaperStyle::Fill;
    f.decoder.rows = true;
    for (const char* second : {"<html>", "DAMAGED 2 2 4279308561"}) {
        f.desktop.log.clear();
        f.t.files.files["wp2.jpg"] = second;
        EXPECT_FALSE(f.Install("wp.jpg")) << second;
        EXPECT_EQ(f.result.outcome, InstallOutcome::PictureRefused) << second;
        EXPECT_EQ(f.result.subject, "http://example.org/b.jpg") << second;
        EXPECT_TRUE(f.desktop.log.empty()) << second;
    }
}

// Regression: a change the desktop refused still replaced the wallpaper's bitmap, kept
// the one before to go back to (dropping the oldest kept one) and wrote the history; the
// next run's going back then showed pictures that were never on the screen.
TEST(InstallWallpaperTest, RefusedChangeLeavesEveryFileAsItWas) {
    using Change = testing::RefusedChange;
    for (const auto& row : testing::kRefusedChanges) {
        Fixture f;
        f.desktop.screens = {{{0, 0, 2, 1}, "L"}, {{2, 0, 2, 1}, "R"}};
        f.desktop.perScreen = row.perScreen;
        f.program.CurrentEntry().Name = "Pics";
        f.more = {{"wp2.jpg", "b.jpg", "b", false}};
        const auto install = [&](bool eachScreen, std::uint32_t colour) {
            f.program.CurrentEntry().EachScreen = eachScreen;
            f.program.CurrentEntry().WpState = WallpaperStyle::Fill;
            f.candidate = "p" + std::to_string(colour);
            f.t.files.files["wp.jpg"] = PicFile(1, 1, 0xFF000000 | colour);
            f.t.files.files["wp2.jpg"] = PicFile(1, 1, 0xFF000000 | (colour + 1));
            return f.Install("wp.jpg");
        };
        // Four wallpapers, the last two of each kind, so every change has something to
        // replace and to go back to, and the bound of kept ones is reached.
        ASSERT_TRUE(install(false, 0x10)) << row.name;
        ASSERT_TRUE(install(true, 0x20)) << row.name;
        ASSERT_TRUE(install(true, 0x30)) << row.name;
        const bool step = row.change == Change::Back || row.change == Change::Forward;
        ASSERT_TRUE(install(step && row.perScreen, 0x40)) << row.name;
        if (row.change == Change::Forward) {
            ASSERT_TRUE(GoBack(f.program.WinFolderWPname, f.t.Services().ForWallpaper()).Ok()) << row.name;
        }
        const std::map<std::string, std::string> before = f.t.files.files;
        f.desktop.accept = false;
        f.desktop.log.clear();
        InstallResult refused;
        if (row.change == Change::Back) {
            refused = GoBack(f.program.WinFolderWPname, f.t.Services().ForWallpaper());
        } else if (row.change == Change::Forward) {
            refused = GoForward(f.program.WinFolderWPname, f.t.Services().ForWallpaper());
        } else {
            install(row.change == Change::EachScreen, 0x50);
            refused = f.result;
        }
        EXPECT_EQ(refused.outcome, InstallOutcome::Refused) << row.name;
        EXPECT_FALSE(f.desktop.log.empty()) << row.name << ": the desktop was asked";
        std::map<std::string, std::string> after = f.t.files.files;
        after.erase("wp.jpg");
        after.erase("wp2.jpg");
        std::map<std::string, std::string> expected = before;
        expected.erase("wp.jpg");
        expected.erase("wp2.jpg");
        EXPECT_EQ(after, expected) << row.name;
    }
}

// Going back after runs with a picture on each screen puts back what each run replaced,
// as it was: the one bitmap, the composed one spanned, or each screen's own bitmap; and
// every picture an each-screen run showed joins the entry's history.
TEST(GoBackTest, EachScreenRunsGoBackToWhatTheyReplaced) {
    Fixture f;
    const std::vector<Screen> twoScreens = {{{0, 0, 2, 1}, "L"}, {{2, 0, 2, 1}, "R"}};
    const std::string wall = WallpaperPath(), one = WallpaperPath("/win", "wall-1.bmp"),
                      two = WallpaperPath("/win", "wall-2.bmp");
    f.desktop.screens = twoScreens;
    f.program.CurrentEntry().Name = "Pics";
    const auto install = [&](bool eachScreen, bool perScreen, std::uint32_t colour) {
        f.desktop.perScreen = perScreen;
        f.program.CurrentEntry().EachScreen = eachScreen;
        f.program.CurrentEntry().WpState = eachScreen ? WallpaperStyle::Stretched : WallpaperStyle::Fill;
        f.candidate = "p" + std::to_string(colour);
        f.more = {{"wp2.jpg", "b.jpg", "q" + std::to_string(colour), false}};
        f.t.files.files["wp.jpg"] = PicFile(1, 1, 0xFF000000 | colour);
        f.t.files.files["wp2.jpg"] = PicFile(1, 1, 0xFF000000 | (colour + 1));
        return f.Install("wp.jpg");
    };
    ASSERT_TRUE(install(false, false, 0x10));
    const std::string single = f.t.files.files[wall];
    ASSERT_TRUE(install(true, false, 0x20));
    const std::string composed = f.t.files.files[wall];
    ASSERT_TRUE(install(true, true, 0x30));
    EXPECT_TRUE(std::any_of(f.t.files.files.begin(), f.t.files.files.end(), [&](const auto& file) {
        return file.first != wall && file.second == composed;
    })) << "the composed bitmap is kept to go back to";
    const std::string first = f.t.files.files[one], second = f.t.files.files[two];
    EXPECT_EQ(first, BmpOf(2, 1, 0xFF000030));
    ASSERT_TRUE(install(false, false, 0x40));
    EXPECT_EQ(ReadHistory(f.t.files, WallpaperPath("/win", kHistoryFileName)).RecentPicks("Pics"),
              (std::vector<std::string>{"p16", "p32", "q32", "p48", "q48", "p64"}));

    f.desktop.perScreen = true;
    const struct {
        std::vector<std::string> log;
        std::map<std::string, std::string> files;
    } steps[] = {
        {{"screen L " + one, "screen R " + two}, {{one, first}, {two, second}}},
        {{"set " + wall + " WallpaperStyle=22 TileWallpaper=0"}, {{wall, composed}}},
        {{"set " + wall + " WallpaperStyle=10 TileWallpaper=0"}, {{wall, single}}},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        f.desktop.log.clear();
        ASSERT_TRUE(GoBack(f.program.WinFolderWPname, f.t.Services().ForWallpaper()).Ok()) << i;
        EXPECT_EQ(f.desktop.log, steps[i].log) << i;
        for (const auto& [path, bytes] : steps[i].files) EXPECT_EQ(f.t.files.files[path], bytes) << i << path;
    }
    EXPECT_EQ(GoBack(f.program.WinFolderWPname, f.t.Services().ForWallpaper()).outcome,
              InstallOutcome::NothingToGoBack);
}

// Screen bitmaps kept on a desktop that holds one picture only now (or with other
// screens) come back spanned across the screens as they stand, or alone on one screen;
// one of them gone passes the wallpaper over.
TEST(GoBackTest, KeptScreenBitmapsOnAnotherDesktop) {
    const std::string history = WallpaperPath("/win", kHistoryFileName);
    const std::string keptOne = WallpaperPath("/win", "vexal-back-1-1.bmp"),
                      keptTwo = WallpaperPath("/win", "vexal-back-1-2.bmp");
    const struct {
        const char* name;
        std::vector<Screen> screens;
        bool bothKept;
        std::vector<std::string> log;
    } rows[] = {
        {"spanned",
         {{{0, 0, 1, 1}, "L"}, {{1, 0, 1, 1}, "R"}},
         true,
         {"set " + WallpaperPath() + " WallpaperStyle=22 TileWallpaper=0"}},
        {"oneScreen",
         {},
         true,
         {"set " + WallpaperPath("/win", "wall-1.bmp") + " WallpaperStyle=2 TileWallpaper=0"}},
        {"oneGone", {}, false, {}},
    };
    for (const auto& row : rows) {
        Fixture f;
        f.desktop.screens = row.screens;
        f.t.files.files[history] =
            "vexal-history 1\nbackscreens\t10\t0\tvexal-back-1-1.bmp\tvexal-back-1-2.bmp\n";
        f.t.files.files[keptOne] = BmpOf(1, 1, 0xFF0000AA);
        if (row.bothKept) f.t.files.files[keptTwo] = BmpOf(1, 1, 0xFF0000BB);
        const InstallResult back = GoBack(f.program.WinFolderWPname, f.t.Services().ForWallpaper());
        EXPECT_EQ(back.outcome, row.bothKept ? InstallOutcome::Installed : InstallOutcome::NothingToGoBack)
            << row.name;
        EXPECT_EQ(f.desktop.log, row.log) << row.name;
        if (row.name == std::string("spanned")) {
            Picture set;
            ASSERT_TRUE(f.decoder.Decode(WallpaperPath(), set).Ok());
            EXPECT_EQ(std::vector<std::uint32_t>(set.Row(0), set.Row(0) + 2),
                      (std::vector<std::uint32_t>{0xFF0000AA, 0xFF0000BB}));
        }
    }
}

TEST(HistoryTest, ScreenRecordsSurviveTheirRoundTripAndOnlyTheirNames) {
    History history;
    history.currentScreens = 3;
    history.back = {{"vexal-back-2.bmp", {"0", "1"}, {}},
                    {{}, {"22", "0"}, {"vexal-back-1-1.bmp", "vexal-back-1-2.bmp"}}};
    EXPECT_EQ(ParseHistory(HistoryText(history)), history);
    history.currentScreens = 0;
    history.back.pop_back();
    EXPECT_EQ(HistoryText(history), "vexal-history 1\nback\tvexal-back-2.bmp\t0\t1\n")
        << "a history without screens is written as before";
    const char* refused[] = {
        "backscreens\t0\t0\tvexal-back-1-1.bmp\t../wall.bmp\n",
        "backscreens\t0\t0\tvexal-back-1-0.bmp\tvexal-back-1-2.bmp\n",
        "backscreens\t0\t0\tvexal-back-1.bmp\tvexal-back-1-17.bmp\n",
        "backscreens\t0\t0\n",
        "screens\t17\nscreens\t0\nscreens\tx\n",
        // The ways forward keep to names of their own, and the ways back to theirs.
        "next\tvexal-back-1.bmp\t0\t0\nback\tvexal-next-1.bmp\t0\t0\n",
        "nextscreens\t0\t0\tvexal-back-1-1.bmp\tvexal-next-1-2.bmp\n",
    };
    for (const char* text : refused) EXPECT_EQ(ParseHistory(text), History{}) << text;
}

// The preview of a picture for each screen: the screens as they stand, scaled down to fit
// within the largest, each picture laid out as it is installed, the gaps in the desktop's
// colour; the pictures are only read, nothing is written.
TEST(InstallWallpaperTest, PreviewShowsEachScreensPictureWhereItStands) {
    constexpr std::uint32_t a = 0x111111, b = 0x222222, gap = 0x0000FF;
    struct Sample {
        int x, y;
        std::uint32_t rgb;
    };
    const struct {
        const char* name;
        std::vector<Screen> screens;
        WallpaperStyle style;
        std::string second;  // the second screen's working file
        int width, height;
        std::vector<Sample> samples;
    } rows[] = {
        // Two screens of 40×30 side by side: 80×30 scaled to 40×15, halved.
        {"twoSideBySide",
         {{{0, 0, 40, 30}, "L"}, {{40, 0, 40, 30}, "R"}},
         WallpaperStyle::Fill,
         PicFile(9, 3, 0xFF000000 | b),
         40,
         15,
         {{0, 0, a}, {19, 14, a}, {20, 0, b}, {39, 14, b}}},
        // Three screens, the third lower and smaller: above it is no screen at all.
        {"threeWithAGap",
         {{{0, 0, 40, 30}, "A"}, {{40, 0, 40, 30}, "B"}, {{80, 10, 20, 20}, "C"}},
         WallpaperStyle::Stretched,
         PicFile(1, 1, 0xFF000000 | b),
         40,
         12,
         {{0, 0, a},
          {15, 11, a},
          {16, 0, b},
          {31, 11, b},
          {32, 3, gap},
          {39, 3, gap},
          {32, 4, a},
          {39, 11, a}}},
        // A screen left of the first and above it: coordinates below zero.
        {"negativeOrigin",
         {{{0, 0, 20, 20}, "A"}, {{-20, -10, 20, 20}, "B"}},
         WallpaperStyle::Stretched,
         PicFile(1, 1, 0xFF000000 | b),
         20,
         15,
         {{0, 0, b}, {9, 9, b}, {10, 12, a}, {19, 14, a}, {19, 0, gap}, {0, 14, gap}}},
        // Centred pictures keep their size against their screen: laid out at the screen's
        // size, then shrunk with it.
        {"centredKeepsItsSize",
         {{{0, 0, 40, 40}, "L"}, {{40, 0, 40, 40}, "R"}},
         WallpaperStyle::Centred,
         PicFile(20, 20, 0xFF000000 | b),
         40,
         20,
         {{0, 0, gap}, {4, 4, gap}, {5, 5, a}, {14, 14, a}, {15, 15, gap}, {25, 10, b}, {24, 10, gap}}},
    };
    for (const auto& row : rows) {
        Fixture f;
        f.desktop.screens = row.screens;
        f.desktop.background = gap;
        f.program.CurrentEntry().EachScreen = true;
        f.program.CurrentEntry().WpState = row.style;
        f.more = {{"wp2.jpg", "b.jpg"}};
        f.t.files.files["wp.jpg"] =
            PicFile(row.style == WallpaperStyle::Centred ? 20 : 3, 20, 0xFF000000 | a);
        f.t.files.files["wp2.jpg"] = row.second;
        const auto filesBefore = f.t.files.files;
        const std::vector<Screen> screens = ScreensOfEntry(f.program, f.t.Services().ForWallpaper());
        ASSERT_EQ(screens, row.screens) << row.name;
        Picture shown;
        ASSERT_TRUE(PreviewEachScreen(InstallRequestFor(f.program, f.Pictures("wp.jpg"), screens),
                                      f.t.Services().ForWallpaper(), shown)
                        .Ok())
            << row.name;
        ASSERT_EQ(shown.width, row.width) << row.name;
        ASSERT_EQ(shown.height, row.height) << row.name;
        for (const Sample& s : row.samples)
            EXPECT_EQ(shown.Row(s.y)[s.x] & 0xFFFFFFu, s.rgb) << row.name << " at " << s.x << "," << s.y;
        EXPECT_EQ(f.decoder.decodes, static_cast<int>(row.screens.size())) << row.name;
        EXPECT_EQ(f.t.files.files, filesBefore) << row.name << ": nothing written";
        EXPECT_TRUE(f.desktop.log.empty()) << row.name;
    }
}

}  // namespace
}  // namespace vexal
