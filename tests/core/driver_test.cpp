// The retrieval driver's paths from the entry or the command line to the picture for the
// preview or the installed wallpaper, and how each ends: its outcome, not its message.
#include "gather/driver.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "core/wallpaper_fakes.h"
#include "gather/overlap.h"
#include "net/url.h"
#include "settings/source_kind.h"
#include "support/logging_owner.h"
#include "wallpaper/bmp_writer.h"
#include "wallpaper/history.h"
#include "wallpaper/install.h"

namespace vexal {
namespace {

using testing::PicFile;

// Everything the driver touches, in one log: "progress show", "say ConvertingPng", "pump",
// "get URL", "data IMAGE", ...
struct Log {
    std::vector<std::string> lines;
    void Add(const std::string& s) { lines.push_back(s); }
    bool Has(const std::string& s) const { return std::find(lines.begin(), lines.end(), s) != lines.end(); }
    std::ptrdiff_t At(const std::string& s) const {
        return std::find(lines.begin(), lines.end(), s) - lines.begin();
    }
};

class LoggingPump final : public EventPump {
public:
    explicit LoggingPump(Log& log) : log_(log) {}
    void Pump(int) override { log_.Add("pump"); }

private:
    Log& log_;
};

// The fetches, scripted: a page fetch appends `page` to SourceText, an image fetch writes
// `image` to the working file; either fails when its text is empty.
class ScriptedFetches final : public Fetches {
public:
    ScriptedFetches(Program& p, testing::MemoryFileSystem& f, Log& log) : program(p), files(f), log_(log) {}
    Program& program;
    testing::MemoryFileSystem& files;
    std::string page;
    std::string image;
    std::map<std::string, std::string> images;  // by ChosenImage, before `image`
    // The picture arrives whole and is named, then the fetch fails (a stop in its last pass).
    bool failOnceWritten = false;

    FetchResult SetGrpUrl(RetrievalState&) override {
        log_.Add("get " + program.CurrentEntry().Url + " source=" + program.SourceText);
        if (page.empty()) return {FetchFailure::NoAnswer, 0, {}};
        program.ServerUrl = SplitUrl(program.CurrentEntry().Url);
        program.SourceText += page;
        return {};
    }
    FetchResult SetGrpData(RetrievalState& state) override {
        const std::string& chosen = state.image.ChosenImage;
        log_.Add("data " + chosen + (state.RelativeToPage ? " relative" : ""));
        const auto named = images.find(chosen);
        const std::string& bytes = named == images.end() ? image : named->second;
        if (bytes.empty()) return {FetchFailure::NoAnswer, 0, {}};
        state.image.WorkImageFile = WorkImageFileName(state.workName, chosen, true);
        files.files[state.image.WorkImageFile] = bytes;
        if (failOnceWritten) return {FetchFailure::Cancelled, 0, {}};
        return {};
    }

private:
    Log& log_;
};

struct Fixture {
    Log log;
    testing::TestHost t;
    Program program;
    testing::FakeDecoder decoder{t.files};
    testing::FakeDesktop desktop{t.files};
    testing::LoggingOwner owner{log.lines, program};
    LoggingPump pump{log};
    ScriptedFetches fetches{program, t.files, log};
    RetrievalState state;
    RetrievalOutcome outcome;

    Fixture() {
        InitGlobals(program, 1, 0);
        program.CacheFileName = "wpcache";
        program.WinFolderWPname = "wall.bmp";
        t.host.images = &decoder;
        t.host.desktop = &desktop;
        t.host.pump = &pump;
    }
    void Direct(const std::string& image) {
        program.RunMode = RunModeValue::Direct;
        program.CommandLineImage = image;
        outcome = RunRetrieval(program, t.Services(), fetches, owner, false);
    }
    void Entry(const std::string& url, std::function<void(SiteEntry&)> edit = nullptr) {
        program.RunMode = RunModeValue::Entry;
        SiteEntry& e = program.CurrentEntry();
        e.Url = url;
        e.Ext = {true, true, true, true};
        e.Filter = {false, true, true, false, true, false};
        e.No = ChoiceMode::Nth;
        e.No_n = 1;
        if (edit) edit(e);
        outcome = RunRetrieval(program, t.Services(), fetches, owner, true);
    }
    bool Installed() const { return outcome.end == RetrievalEnd::Installed && outcome.install.Ok(); }
    // The pictures the retrieval handed on: the first screen's, and the others'.
    PictureInHand First() const {
        return outcome.pictures.Empty() ? PictureInHand{} : outcome.pictures.First();
    }
    std::vector<PictureInHand> More() const {
        if (outcome.pictures.Empty()) return {};
        return {outcome.pictures.screens.begin() + 1, outcome.pictures.screens.end()};
    }
    RetrievalFailure Failure() const {
        return outcome.end == RetrievalEnd::Failed ? outcome.failure.failure : RetrievalFailure::None;
    }
    // The files left, the wallpaper aside.
    std::vector<std::string> Left() const {
        std::vector<std::string> left;
        for (const auto& [file, bytes] : t.files.files)
            if (file != testing::WallpaperPath()) left.push_back(file);
        return left;
    }
};

std::string BmpOf(int w, int h, std::uint32_t argb) {
    testing::MemoryFileSystem files;
    EXPECT_TRUE(WriteBmp(
        files, "x",
        Picture::FromPixels(w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w) * h, argb))));
    return files.files["x"];
}

TEST(DriverTest, DirectLocalImagesAreCopiedConvertedAndInstalled) {
    const struct {
        const char* name;
        const char* image;
        const char* work;  // the working file the preview would unload
        std::string installed;
        std::vector<std::string> left;  // the wallpaper aside
    } rows[] = {
        // A bitmap working file is moved into place.
        {"bmp", "pics/a.bmp", "wpcache.bmp", PicFile(2, 2, 0xFF0000FF), {"pics/a.bmp"}},
        {"jpg", "pics/a.jpg", "wpcache.jpg", BmpOf(2, 2, 0xFF0000FF), {"pics/a.jpg"}},
        // The working file keeps the capitals; the PNG test ignores them; the bitmap
        // beside it ends in lower-case "bmp".
        {"pngCapitals", "pics/a.PNG", "wpcache.bmp", BmpOf(2, 2, 0xFF0000FF), {"pics/a.PNG"}},
        // A JPEG named ".jpeg" is worked on and installed as "jpg".
        {"jpeg", "pics/a.JPEG", "wpcache.jpg", BmpOf(2, 2, 0xFF0000FF), {"pics/a.JPEG"}},
    };
    for (const auto& r : rows) {
        Fixture f;
        f.t.files.files[r.image] = PicFile(2, 2, 0xFF0000FF);
        f.Direct(r.image);
        EXPECT_TRUE(f.Installed()) << r.name;
        EXPECT_EQ(f.desktop.log, std::vector<std::string>{"set " + testing::WallpaperPath()})
            << r.name << ": mode 2 keeps the style";
        EXPECT_EQ(f.desktop.bytesAtSet, r.installed) << r.name;
        EXPECT_EQ(f.First().WorkImageFile, r.work) << r.name;
        EXPECT_EQ(f.Left(), r.left) << r.name << ": the source stays, the working file goes";
        EXPECT_FALSE(f.log.Has("get pics/a.bmp source=")) << r.name;
    }
}

TEST(DriverTest, PngConversionSaysSoAndReplacesTheWorkingFile) {
    Fixture f;
    f.t.files.files["a.png"] = PicFile(3, 1, 0xFF00FF00);
    f.program.ShowPreview = true;
    f.Direct("a.png");
    EXPECT_TRUE(f.log.Has("say ConvertingPng"));
    EXPECT_EQ(f.First().WorkImageFile, "wpcache.bmp");
    EXPECT_EQ(f.t.files.files["wpcache.bmp"], BmpOf(3, 1, 0xFF00FF00));
    EXPECT_EQ(f.t.files.files.count("wpcache.png"), 0u);
    // The progress window goes and the events run before the preview gets the picture.
    EXPECT_EQ(f.log.lines.back(), "pump");
    EXPECT_EQ(f.log.lines[f.log.lines.size() - 2], "progress hide");
    EXPECT_EQ(f.outcome.end, RetrievalEnd::Preview);
    EXPECT_TRUE(f.desktop.log.empty());
}

TEST(DriverTest, DirectFailuresAndWhatTheyName) {
    const struct {
        const char* name;
        std::string image;
        std::string content;  // of `image`; none when empty
        RetrievalFailure failure;
        std::string subject;
        DecodeResult decode;
        std::vector<std::string> filesLeft;
    } rows[] = {
        {"missing", "C:pics/none.jpg", "", RetrievalFailure::ImageMissing, "C:pics/none.jpg", {}, {}},
        {"emptyImage", "", "", RetrievalFailure::NothingNamed, "", {}, {}},
        {"folder", "pics" + std::string(1, kFolderSeparator), "", RetrievalFailure::NothingNamed, "", {}, {}},
        {"page", "list.txt", "", RetrievalFailure::NothingNamed, "", {}, {}},
        // A local name is taken whole: "?" is part of it, so it names no picture.
        {"queryIsPartOfALocalName", "a.jpg?x=1", "x", RetrievalFailure::NothingNamed, "", {}, {"a.jpg?x=1"}},
        {"pngUnreadable", "a.png", "<html>", RetrievalFailure::PngUnreadable, "a.png", {}, {"a.png"}},
        {"pngTooLarge",
         "a.png",
         "BIG 60000 60000",
         RetrievalFailure::PictureRefused,
         "a.png",
         {DecodeError::TooLarge, 60000, 60000},
         {"a.png"}},
        // Regression: a stop from outside while the PNG was read was told as the user's cancel.
        {"pngStoppedWhileRead", "a.png", "STOPPED", RetrievalFailure::None, "", {}, {"a.png"}},
    };
    for (const auto& r : rows) {
        Fixture f;
        if (!r.content.empty()) f.t.files.files[r.image] = r.content;
        f.Direct(r.image);
        EXPECT_EQ(f.Failure(), r.failure) << r.name;
        if (r.failure == RetrievalFailure::None) {
            EXPECT_EQ(f.outcome.end, RetrievalEnd::Interrupted) << r.name;
        }
        EXPECT_EQ(f.outcome.failure.subject, r.subject) << r.name;
        EXPECT_EQ(f.outcome.failure.decode.error, r.decode.error) << r.name;
        EXPECT_EQ(f.outcome.failure.decode.width, r.decode.width) << r.name;
        EXPECT_EQ(f.outcome.failure.decode.height, r.decode.height) << r.name;
        EXPECT_EQ(f.Left(), r.filesLeft) << r.name << ": the PNG working file is deleted";
        EXPECT_FALSE(f.log.Has("progress hide")) << r.name;
    }
}

TEST(DriverTest, PngThatCannotBeWrittenAsBitmapIsDeleted) {
    // Copying the PNG works, writing its bitmap does not.
    class NoBitmaps final : public FileSystem {
    public:
        testing::MemoryFileSystem inner;
        bool ReadFile(const std::string& p, std::string& b) override { return inner.ReadFile(p, b); }
        bool ReplaceFile(const std::string& p, std::string_view b) override {
            return inner.ReplaceFile(p, b);
        }
        bool WriteFile(const std::string& p, std::string_view b) override {
            return p.ends_with(".bmp") ? false : inner.WriteFile(p, b);
        }
        bool IsNormalFile(const std::string& p) override { return inner.IsNormalFile(p); }
        bool CopyFile(const std::string& a, const std::string& b) override { return inner.CopyFile(a, b); }
        bool DeleteFile(const std::string& p) override { return inner.DeleteFile(p); }
        bool ListFolder(const std::string& d, std::vector<DirEntry>& o) override {
            return inner.ListFolder(d, o);
        }
        bool FolderIdentity(const std::string& d, std::string& o) override {
            return inner.FolderIdentity(d, o);
        }
    } files;
    Fixture f;
    testing::FakeDecoder decoder(files.inner);
    f.t.host.files = &files;
    f.t.host.images = &decoder;
    files.inner.files["a.png"] = PicFile(2, 2, 0xFF000000);
    f.Direct("a.png");
    EXPECT_EQ(f.Failure(), RetrievalFailure::PngNotConverted);
    EXPECT_EQ(files.inner.files.count("wpcache.png"), 0u);
}

TEST(DriverTest, WebImagesAreFetchedAndFetchFailuresEndTheRetrieval) {
    Fixture f;
    f.fetches.image = PicFile(1, 1, 0xFFFFFFFF);
    f.Direct("http://example.test/p/a.gif");
    EXPECT_TRUE(f.log.Has("data http://example.test/p/a.gif"));
    EXPECT_TRUE(f.Installed());
    EXPECT_EQ(f.desktop.bytesAtSet, BmpOf(1, 1, 0xFFFFFFFF));
    EXPECT_EQ(f.First().WorkImageFile, "wpcache.gif");

    Fixture g;
    g.Direct("http://example.test/p/a.gif");
    EXPECT_EQ(g.Failure(), RetrievalFailure::Fetch);
    EXPECT_EQ(g.outcome.failure.fetch.failure, FetchFailure::NoAnswer);
    EXPECT_FALSE(g.log.Has("progress hide"));

    // A fetch that failed after naming its working file leaves none behind.
    Fixture h;
    h.fetches.image = PicFile(1, 1, 0xFFFFFFFF);
    h.fetches.failOnceWritten = true;
    h.Direct("http://example.test/p/a.gif");
    EXPECT_EQ(h.Failure(), RetrievalFailure::Fetch);
    EXPECT_TRUE(h.Left().empty());
}

TEST(DriverTest, GatheringByKindOfSource) {
    Fixture page;
    page.fetches.page = "<img src=\"img/a.jpg\"><img src=\"http://other.test/b.png\">\r\n";
    page.fetches.image = PicFile(1, 1, 0xFF000000);
    page.program.SourceText = "left over from an earlier run\r\n";
    page.Entry("http://example.test/pics/index.html",
               [](SiteEntry& e) { e.WpState = WallpaperStyle::Tiled; });
    EXPECT_TRUE(page.log.Has("get http://example.test/pics/index.html source="))
        << "SourceText emptied first";
    EXPECT_TRUE(page.log.Has("data /pics/img/a.jpg relative"));
    EXPECT_TRUE(page.Installed());
    EXPECT_EQ(page.desktop.log, (std::vector<std::string>{"set " + testing::WallpaperPath() +
                                                          " WallpaperStyle=0 TileWallpaper=1"}));

    Fixture image;
    image.fetches.image = PicFile(1, 1, 0xFF000000);
    image.Entry("http://example.test/a.jpg");
    EXPECT_EQ(image.First().ChosenImage, "http://example.test/a.jpg");
    EXPECT_FALSE(image.log.Has("get http://example.test/a.jpg source=")) << "no page fetch, no choice";
    EXPECT_TRUE(image.log.Has("data http://example.test/a.jpg"));

    Fixture list;
    list.t.files.files["list.txt"] = "  b.bmp  \r\nc.gif\r\n";
    list.t.files.files["c.gif"] = PicFile(1, 1, 0xFF000000);
    list.Entry("list.txt", [](SiteEntry& e) { e.No_n = 2; });
    EXPECT_EQ(list.First().ChosenImage, "c.gif");
    EXPECT_TRUE(list.Installed());

    Fixture local;
    local.t.files.files["p/a.jpg"] = PicFile(1, 1, 0xFF000000);
    local.Entry("p/a.jpg");
    EXPECT_EQ(local.First().WorkImageFile, "wpcache.jpg");
    EXPECT_TRUE(local.Installed());
}

TEST(DriverTest, GatheringFailuresEndTheRetrieval) {
    const struct {
        const char* name;
        std::string url;
        std::string page;
        RetrievalFailure failure;
        std::string subject;
        std::string winFolderWPname = "";
    } rows[] = {
        {"pageFetchFails", "http://example.test/", "", RetrievalFailure::Fetch, ""},
        {"listMissing", "none.txt", "", RetrievalFailure::SourceMissing, "none.txt"},
        {"noLinks", "http://example.test/", "<p>no pictures</p>\r\n", RetrievalFailure::NoMatch, ""},
        {"emptyFolder", "pics" + std::string(1, kFolderSeparator), "", RetrievalFailure::NoMatch,
         "pics" + std::string(1, kFolderSeparator)},
        // Refused before the page is fetched, so nothing is written anywhere.
        {"bitmapNameIsAFolder", "http://example.test/", "<img src=\"a.jpg\">",
         RetrievalFailure::UnusableFileName, "..", ".."},
    };
    for (const auto& r : rows) {
        Fixture f;
        f.fetches.page = r.page;
        if (!r.winFolderWPname.empty()) f.program.WinFolderWPname = r.winFolderWPname;
        f.Entry(r.url);
        EXPECT_EQ(f.Failure(), r.failure) << r.name;
        EXPECT_EQ(f.outcome.failure.subject, r.subject) << r.name;
        EXPECT_FALSE(f.log.Has("progress hide")) << r.name << ": frDispGo never ran";
        EXPECT_TRUE(f.desktop.log.empty()) << r.name;
        if (!r.winFolderWPname.empty()) {
            EXPECT_EQ(f.outcome.failure.file, "vexal.ini") << r.name;
            EXPECT_EQ(f.outcome.failure.target, "WinFolderWPname") << r.name;
            EXPECT_TRUE(f.log.lines.empty()) << r.name << ": nothing fetched";
        }
    }
}

TEST(DriverTest, GatheringRunsOnlyInEditorAndEntryModes) {
    Fixture f;
    f.program.RunMode = RunModeValue::Direct;
    f.program.CurrentEntry().Url = "http://example.test/";
    f.state.image.ChosenImage = "kept.jpg";
    EXPECT_TRUE(frDispGet(f.program, f.state, f.t.Services(), f.fetches, f.owner).Ok());
    EXPECT_TRUE(f.log.lines.empty());
    EXPECT_EQ(f.state.image.ChosenImage, "kept.jpg");

    f.program.RunMode = RunModeValue::Editor;
    f.program.CurrentEntry().Url = "http://example.test/a.bmp";
    EXPECT_TRUE(frDispGet(f.program, f.state, f.t.Services(), f.fetches, f.owner).Ok());
    EXPECT_EQ(f.state.image.ChosenImage, "http://example.test/a.bmp");
}

TEST(DriverTest, SearchAgainGathersOnlyTheNewPage) {
    Fixture f;
    f.program.RunMode = RunModeValue::Entry;
    SiteEntry& e = f.program.CurrentEntry();
    e.Url = "http://example.test/";
    e.Filter[1] = true;
    e.Ext = {true, true, true, true};
    e.No = ChoiceMode::Containing;
    e.Refstr = "";
    f.fetches.page = "<img src=\"/first.jpg\">\r\n";
    ASSERT_TRUE(frDispGet(f.program, f.state, f.t.Services(), f.fetches, f.owner).Ok());
    EXPECT_EQ(f.state.image.ChosenImage, "/first.jpg");
    f.fetches.page = "<img src=\"/second.jpg\">\r\n";
    ASSERT_TRUE(frDispGet(f.program, f.state, f.t.Services(), f.fetches, f.owner).Ok());
    EXPECT_EQ(f.program.Candidates, (std::vector<std::string>{"", "/second.jpg"}));
    EXPECT_EQ(f.state.image.ChosenImage, "/second.jpg");
}

// Regression: `-wp wpcache.jpg` in the working folder copied the file onto itself (which
// empties it) and deleted it once installed.
TEST(DriverTest, TheWorkingFileItselfIsInstalledAndKept) {
    for (const char* name : {"wpcache.jpg", "wpcache.bmp", "wpcache.png"}) {
        Fixture f;
        const std::string picture =
            std::string(name) == "wpcache.bmp" ? BmpOf(2, 2, 0xFF112233) : PicFile(2, 2, 0xFF112233);
        f.t.files.files[name] = picture;
        f.Direct(name);
        EXPECT_TRUE(f.Installed()) << name;
        EXPECT_EQ(f.desktop.bytesAtSet, BmpOf(2, 2, 0xFF112233)) << name;
        std::vector<std::string> left;
        for (const auto& [file, bytes] : f.t.files.files)
            if (file.find("wall.bmp") == std::string::npos) left.push_back(file);
        EXPECT_EQ(left, std::vector<std::string>{name}) << name;
        EXPECT_EQ(f.t.files.files[name], picture) << name;
    }
}

TEST(DriverTest, FailedInstallationIsTheOutcome) {
    Fixture f;
    f.desktop.accept = false;
    f.t.files.files["a.bmp"] = PicFile(1, 1, 0xFF000000);
    f.Direct("a.bmp");
    EXPECT_EQ(f.outcome.end, RetrievalEnd::Installed);
    EXPECT_EQ(f.outcome.install.outcome, InstallOutcome::Refused);
    EXPECT_EQ(f.outcome.install.desktop.failure, DesktopFailure::Refused);
}

// Runs that overlap: the lock comes before anything is written, a run waiting for it says
// so and can give up, and what dead runs were writing goes while live runs' files stay:
// in the working folder, beside the settings file (a save killed half way) and in the
// wallpaper folder.
TEST(DriverTest, OverlappingRunsWaitForTheLockAndClearDeadRunsFiles) {
    const std::string deadBitmap = testing::WallpaperPath("/win", ".vexal-tmp-7-wall.bmp");
    const std::string deadSave = ".vexal-tmp-7-vexal.ini", liveSave = ".vexal-tmp-8-vexal.ini";
    const struct {
        const char* name;
        int busyTries;
        bool cancel;  // the progress window's cancel button during the wait
        bool stop;    // a signal during the wait
        bool expire;  // the wait's bound passes
        RetrievalEnd end;
        RetrievalFailure failure;
    } rows[] = {
        {"free", 0, false, false, false, RetrievalEnd::Installed, RetrievalFailure::None},
        {"waits", 3, false, false, false, RetrievalEnd::Installed, RetrievalFailure::None},
        {"cancelledWhileWaiting", 3, true, false, false, RetrievalEnd::Failed, RetrievalFailure::Cancelled},
        {"stoppedWhileWaiting", 3, false, true, false, RetrievalEnd::Interrupted, RetrievalFailure::None},
        // Broke: a run kept waiting behind a lock that was never freed.
        {"gaveUpWaiting", 1000, false, false, true, RetrievalEnd::Failed, RetrievalFailure::LockNotFreed},
    };
    for (const auto& r : rows) {
        const std::string dead = ".vexal-tmp-7-wpcache.jpg";
        const std::string live = ".vexal-tmp-8-wpcache.jpg";
        Fixture f;
        testing::FakeRunGuard guard;
        guard.busyTries = r.busyTries;
        guard.stopWhileBusy = r.stop;
        guard.alive = {8};
        f.t.host.guard = &guard;
        if (r.cancel) f.program.CancelRequested = true;
        struct CancelOnPump final : public EventPump {
            Program* program = nullptr;
            void Pump(int) override {
                if (program) program->CancelRequested = true;
            }
        } cancelling;
        if (r.cancel) {
            cancelling.program = &f.program;
            f.t.host.pump = &cancelling;
        }
        // A watch timer whose period has passed by the second wait.
        struct Expiring final : public EventPump, public Timer {
            TimerListener* listener = nullptr;
            bool enabled = false;
            int pumps = 0;
            void Pump(int) override {
                if (enabled && ++pumps == 2) listener->Timer_Timer();
            }
            void SetListener(TimerListener* l) override { listener = l; }
            void SetEnabled(bool e) override { enabled = e; }
            bool Enabled() const override { return enabled; }
            void SetInterval(std::int64_t) override {}
            std::int64_t Interval() const override { return kLockWaitLimitMs; }
        } expiring;
        if (r.expire) {
            f.t.host.pump = &expiring;
            f.t.host.watch = &expiring;
        }
        for (const std::string& leftover : {dead, live, deadBitmap, deadSave, liveSave})
            f.t.files.files[leftover] = "part";
        f.t.files.files["a.bmp"] = PicFile(1, 1, 0xFF000000);
        f.Direct("a.bmp");
        EXPECT_EQ(f.outcome.end, r.end) << r.name;
        EXPECT_EQ(f.outcome.failure.failure, r.failure) << r.name;
        if (r.expire) {
            EXPECT_EQ(f.outcome.failure.wanted, kLockWaitLimitMs);
            EXPECT_FALSE(expiring.enabled) << "the watch is free again";
        }
        EXPECT_EQ(guard.lockedFolders.front(), "/win") << r.name << ": the wallpaper folder's lock";
        EXPECT_EQ(f.log.Has("say WaitingForOtherRun"), r.busyTries > 0) << r.name;
        const bool ran = r.end == RetrievalEnd::Installed;
        EXPECT_EQ(f.outcome.install.Ok(), true) << r.name;
        EXPECT_EQ(f.t.files.files.count(dead), ran ? 0u : 1u) << r.name;
        EXPECT_EQ(f.t.files.files.count(deadBitmap), ran ? 0u : 1u) << r.name;
        EXPECT_EQ(f.t.files.files.count(deadSave), ran ? 0u : 1u) << r.name;
        EXPECT_EQ(f.t.files.files.count(live), 1u) << r.name << ": a live run's file is its own";
        EXPECT_EQ(f.t.files.files.count(liveSave), 1u) << r.name << ": a live save's file is its own";
        EXPECT_EQ(f.desktop.log.empty(), !ran) << r.name;
        EXPECT_EQ(f.t.files.files.count("wpcache.bmp"), 0u) << r.name;
    }
}

// Regression: a stop that came while the program was starting was heard only at the
// installation, after the picture had been fetched and converted.
TEST(DriverTest, StopBeforeTheRunEndsItBeforeAnythingIsFetchedOrLocked) {
    for (const bool entry : {false, true}) {
        Fixture f;
        testing::FakeRunGuard guard;
        guard.stop = true;
        f.t.host.guard = &guard;
        f.fetches.page = "<img src=\"a.jpg\">";
        f.fetches.image = "bytes";
        f.t.files.files["a.bmp"] = PicFile(1, 1, 0xFF000000);
        if (entry)
            f.Entry("http://example.test/");
        else
            f.Direct("a.bmp");
        EXPECT_EQ(f.outcome.end, RetrievalEnd::Interrupted) << entry;
        EXPECT_TRUE(f.log.lines.empty()) << entry;
        EXPECT_TRUE(guard.lockedFolders.empty()) << entry;
        EXPECT_TRUE(f.desktop.log.empty()) << entry;
        EXPECT_EQ(f.t.files.files.size(), 1u) << entry;
    }
}

// Interrupted from outside while the preview shows the picture (or while a fetch writes):
// everything this run was writing goes, other runs' files stay.
TEST(DriverTest, InterruptedRunsFilesAreRemoved) {
    Fixture f;
    testing::FakeRunGuard guard;
    guard.alive = {8};
    f.t.host.guard = &guard;
    // Names that only look like the program's own are someone else's.
    const std::vector<std::string> kept = {".vexal-tmp-100", ".vexal-tmp-100x-a", ".vexal-tmp--a",
                                           ".vexal-tmp-8-wpcache.jpg", testing::WallpaperPath()};
    for (const std::string& file : kept) f.t.files.files[file] = "bytes";
    for (const std::string& file : {std::string(".vexal-tmp-100-wpcache.png"),
                                    testing::WallpaperPath("/win", ".vexal-tmp-100-wall.bmp")})
        f.t.files.files[file] = "bytes";
    // The preview shows a picture brought for it: the stop ends the run from the event
    // loop, where no owner of the working file gets to say goodbye.
    f.program.ShowPreview = true;
    f.fetches.image = PicFile(1, 1, 0xFF000000);
    f.Direct("http://example.test/a.jpg");
    ASSERT_EQ(f.outcome.end, RetrievalEnd::Preview);
    ASSERT_EQ(f.t.files.files.count("wpcache.jpg"), 1u);
    RemoveInterruptedFiles(f.program, f.t.Services());
    std::vector<std::string> left;
    for (const auto& [path, bytes] : f.t.files.files) left.push_back(path);
    std::vector<std::string> expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);

    // Regression: a stop while the user's own picture served as the working file deleted it.
    Fixture own;
    own.t.host.guard = &guard;
    own.program.ShowPreview = true;
    own.t.files.files["wpcache.jpg"] = PicFile(1, 1, 0xFF000000);
    own.Direct("wpcache.jpg");
    ASSERT_EQ(own.outcome.end, RetrievalEnd::Preview);
    RemoveInterruptedFiles(own.program, own.t.Services());
    EXPECT_EQ(own.t.files.files.count("wpcache.jpg"), 1u);
}

// With the page rules each address is asked for once a retrieval: the same picture named
// twice (relative and whole) is passed over without a request and without using a try.
TEST(DriverTest, EachAddressIsAskedForOnce) {
    Fixture f;
    f.fetches.page = "<img src=\"a.png\"><img src=\"http://example.test/a.png\"><img src=\"b.png\">";
    f.fetches.images = {{"/a.png", PicFile(10, 10, 0xFF000000)},
                        {"http://example.test/b.png", PicFile(700, 400, 0xFF000000)}};
    f.Entry("http://example.test/", [](SiteEntry& e) { e.MinWidth = 640; });
    EXPECT_TRUE(f.Installed());
    EXPECT_EQ(std::count_if(f.log.lines.begin(), f.log.lines.end(),
                            [](const std::string& l) { return l.rfind("data ", 0) == 0; }),
              2);
    // After the first try a link on the page goes by its whole address.
    EXPECT_TRUE(f.log.Has("data http://example.test/b.png"));
    EXPECT_FALSE(f.log.Has("data http://example.test/a.png"));
}

// A picture wide enough but of a shape no screen takes (a header's 990 x 120 banner) is
// passed over like a narrow one; the last one's message says why.
TEST(DriverTest, PicturesOfAnUnusableShapeArePassedOver) {
    Fixture f;
    f.fetches.page = "<img src=\"http://example.test/banner.png\"><img src=\"http://example.test/b.png\">";
    f.fetches.images = {{"http://example.test/banner.png", PicFile(990, 120, 0xFF000000)},
                        {"http://example.test/b.png", PicFile(700, 400, 0xFF000000)}};
    f.Entry("http://example.test/", [](SiteEntry& e) { e.MinWidth = 640; });
    ASSERT_TRUE(f.Installed());
    EXPECT_EQ(f.First().candidate, "http://example.test/b.png");

    Fixture tall;
    tall.fetches.page = "<img src=\"http://example.test/tall.png\">";
    tall.fetches.images = {{"http://example.test/tall.png", PicFile(640, 2600, 0xFF000000)}};
    tall.Entry("http://example.test/", [](SiteEntry& e) { e.MinWidth = 640; });
    EXPECT_EQ(tall.Failure(), RetrievalFailure::UnusableShape);
}

}  // namespace
}  // namespace vexal

namespace vexal {
namespace {

// An entry with a picture for each screen brings one candidate per screen into working
// files of their own, and a failure of any of them fails the run and leaves none behind.
TEST(DriverTest, EachScreenBringsAPictureForEachScreen) {
    const std::vector<Screen> screens = {{{0, 0, 2, 1}, "A"}, {{2, 0, 2, 1}, "B"}, {{4, 0, 2, 1}, "C"}};
    Fixture f;
    f.desktop.screens = screens;
    f.fetches.page = "<img src=\"a.jpg\"><img src=\"b.jpg\">\r\n";
    f.fetches.images["/pics/b.jpg"] = PicFile(1, 1, 0xFF222222);
    f.fetches.images["http://example.test/pics/a.jpg"] = PicFile(1, 1, 0xFF111111);
    f.Entry("http://example.test/pics/index.html", [](SiteEntry& e) {
        e.No_n = 2;
        e.EachScreen = true;
        e.WpState = WallpaperStyle::Stretched;
    });
    ASSERT_TRUE(f.Installed());
    // The second screen's link goes by its whole address: the transfer may be elsewhere by then.
    EXPECT_TRUE(f.log.Has("data /pics/b.jpg relative"));
    EXPECT_TRUE(f.log.Has("data http://example.test/pics/a.jpg"));
    EXPECT_EQ(f.First().ChosenImage, "/pics/b.jpg") << "the first screen's picture is the one in hand";
    EXPECT_EQ(f.More(),
              (std::vector<PictureInHand>{{"wpcache-2.jpg", "http://example.test/pics/a.jpg", "a.jpg", false},
                                          {"wpcache.jpg", "/pics/b.jpg", "b.jpg", false}}));
    Picture set;
    ASSERT_TRUE(f.decoder.Decode(testing::WallpaperPath(), set).Ok());
    EXPECT_EQ(
        std::vector<std::uint32_t>(set.Row(0), set.Row(0) + 6),
        (std::vector<std::uint32_t>{0xFF222222, 0xFF222222, 0xFF111111, 0xFF111111, 0xFF222222, 0xFF222222}));
    EXPECT_EQ(f.t.files.files.count("wpcache-2.jpg"), 0u) << "the working files go with the installation";
    EXPECT_EQ(f.t.files.files.count("wpcache.jpg"), 0u);

    // With the preview, every screen's picture is brought and left for it, and nothing is
    // installed before the user says so.
    Fixture previewing;
    previewing.desktop.screens = screens;
    previewing.program.ShowPreview = true;
    previewing.fetches.page = f.fetches.page;
    previewing.fetches.images = f.fetches.images;
    previewing.Entry("http://example.test/pics/index.html", [](SiteEntry& e) {
        e.No_n = 2;
        e.EachScreen = true;
    });
    EXPECT_EQ(previewing.outcome.end, RetrievalEnd::Preview);
    EXPECT_EQ(previewing.More().size(), 2u);
    EXPECT_EQ(previewing.Left(), (std::vector<std::string>{"wpcache-2.jpg", "wpcache.jpg"}));
    EXPECT_EQ(previewing.t.files.files.count(testing::WallpaperPath()), 0u);
    EXPECT_TRUE(previewing.desktop.log.empty());

    Fixture failing;
    failing.desktop.screens = screens;
    failing.fetches.page = "<img src=\"a.jpg\"><img src=\"b.jpg\">\r\n";
    failing.fetches.images["/pics/a.jpg"] = PicFile(1, 1, 0xFF111111);
    failing.Entry("http://example.test/pics/index.html", [](SiteEntry& e) { e.EachScreen = true; });
    EXPECT_EQ(failing.Failure(), RetrievalFailure::Fetch);
    EXPECT_TRUE(failing.log.Has("data http://example.test/pics/b.jpg"));
    EXPECT_TRUE(failing.outcome.pictures.Empty());
    EXPECT_TRUE(failing.Left().empty());
    EXPECT_TRUE(failing.desktop.log.empty());
}

// An entry that passes over narrow pictures does so for every screen: a screen whose
// candidate is too narrow takes another that no screen shows, never one that failed, and
// repeats the first screen's picture only when none is left. No address is asked twice.
TEST(DriverTest, EachScreenPassesOverWhatItCannotUse) {
    const struct {
        const char* name;
        ChoiceMode mode;
        std::vector<std::pair<const char*, int>> pictures;  // name, width
        std::set<std::string> shown;                        // first and second screen, in any order
        const char* first;                                  // when the order is known
    } rows[] = {
        {"N-th: both screens pass over",
         ChoiceMode::Nth,
         {{"a", 10}, {"b", 700}, {"c", 10}, {"d", 700}},
         {"b", "d"},
         "b"},
        {"N-th: none left repeats", ChoiceMode::Nth, {{"a", 700}, {"b", 10}}, {"a"}, "a"},
        {"contains",
         ChoiceMode::Containing,
         {{"pa", 10}, {"pb", 700}, {"x", 700}, {"pc", 700}},
         {"pb", "pc"},
         "pb"},
        {"random", ChoiceMode::Random, {{"a", 10}, {"b", 700}, {"c", 10}, {"d", 700}}, {"b", "d"}, nullptr},
    };
    for (const auto& row : rows) {
        for (int draw = 0; draw < (row.mode == ChoiceMode::Random ? 8 : 1); ++draw) {
            Fixture f;
            f.desktop.screens = {{{0, 0, 1, 1}, "A"}, {{1, 0, 1, 1}, "B"}};
            for (const auto& [name, width] : row.pictures) {
                const std::string address = std::string("http://example.test/") + name + ".png";
                f.fetches.page += "<img src=\"" + address + "\">";
                f.fetches.images[address] = PicFile(width, width / 2, 0xFF000000);
            }
            f.Entry("http://example.test/", [&](SiteEntry& e) {
                e.No = row.mode;
                e.Refstr = "/p";
                e.MinWidth = 640;
                e.EachScreen = true;
            });
            ASSERT_TRUE(f.Installed()) << row.name;
            ASSERT_EQ(f.More().size(), 1u) << row.name;
            const auto bare = [](const std::string& link) { return link.substr(20, link.size() - 24); };
            const std::string first = bare(f.First().candidate), second = bare(f.More()[0].candidate);
            EXPECT_EQ((std::set<std::string>{first, second}), row.shown) << row.name;
            if (row.first) {
                EXPECT_EQ(first, row.first) << row.name;
            }
            std::set<std::string> asked;
            for (const std::string& line : f.log.lines)
                EXPECT_TRUE(line.rfind("data ", 0) != 0 || asked.insert(line).second)
                    << row.name << ": " << line;
        }
    }
}

// Random pictures on two screens over four: each run shows two the last runs did not,
// and once only one is left the other is the one shown longest ago rather than a repeat.
TEST(DriverTest, EachScreenRandomChoiceKeepsToTheHistory) {
    Fixture f;
    f.desktop.screens = {{{0, 0, 1, 1}, "A"}, {{1, 0, 1, 1}, "B"}};
    f.fetches.page = "<img src=\"a.jpg\"><img src=\"b.jpg\"><img src=\"c.jpg\"><img src=\"d.jpg\">";
    f.fetches.image = PicFile(1, 1, 0xFF111111);
    std::vector<std::vector<std::string>> runs;
    for (int run = 0; run < 3; ++run) {
        f.Entry("http://example.test/", [](SiteEntry& e) {
            e.Name = "Pics";
            e.No = ChoiceMode::Random;
            e.EachScreen = true;
        });
        ASSERT_TRUE(f.Installed()) << run;
        ASSERT_EQ(f.More().size(), 1u) << run;
        runs.push_back({f.First().candidate, f.More()[0].candidate});
        EXPECT_NE(runs.back()[0], runs.back()[1]) << run;
    }
    std::set<std::string> firstTwo = {runs[0][0], runs[0][1], runs[1][0], runs[1][1]};
    EXPECT_EQ(firstTwo.size(), 4u) << "the second run shows the two the first did not";
    EXPECT_EQ((std::set<std::string>{runs[2][0], runs[2][1]}),
              (std::set<std::string>{runs[0][0], runs[0][1]}))
        << "the one left, then the one shown longest ago";
    EXPECT_EQ(
        ReadHistory(f.t.files, testing::WallpaperPath("/win", kHistoryFileName)).RecentPicks("Pics"),
        (std::vector<std::string>{runs[0][0], runs[0][1], runs[1][0], runs[1][1], runs[2][0], runs[2][1]}));

    // Two pictures on two screens change places now and then rather than never (each run
    // draws the order: forty runs the same way round would be a chance of one in 2^39).
    Fixture two;
    two.desktop.screens = f.desktop.screens;
    two.fetches.page = "<img src=\"a.jpg\"><img src=\"b.jpg\">";
    two.fetches.image = f.fetches.image;
    std::set<std::string> firstScreen;
    for (int run = 0; run < 40; ++run) {
        two.Entry("http://example.test/", [](SiteEntry& e) {
            e.No = ChoiceMode::Random;
            e.EachScreen = true;
        });
        ASSERT_TRUE(two.Installed()) << run;
        firstScreen.insert(two.First().candidate);
    }
    EXPECT_EQ(firstScreen.size(), 2u);
}

}  // namespace
}  // namespace vexal
