// The retrieval driver's paths from the entry or the command line to the installed
// wallpaper or the preview, and every way it ends the program.
#include "gather/driver.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/startup.h"
#include "core/wallpaper_fakes.h"
#include "gather/overlap.h"
#include "host/progress_view.h"
#include "net/url.h"
#include "settings/source_kind.h"
#include "ui/host_services.h"
#include "ui/retrieval_reporter.h"
#include "ui/run_end.h"
#include "ui/unattended_preview.h"
#include "wallpaper/bmp_writer.h"
#include "wallpaper/install.h"

namespace vexal {
namespace {

using testing::PicFile;

// Everything the driver touches, in one log: "progress show", "message TEXT", "pump",
// "get URL", "data IMAGE", "preview show", "preview disp", "preview load", ...
struct Log {
    std::vector<std::string> lines;
    void Add(const std::string& s) { lines.push_back(s); }
    bool Has(const std::string& s) const { return std::find(lines.begin(), lines.end(), s) != lines.end(); }
    std::ptrdiff_t At(const std::string& s) const {
        return std::find(lines.begin(), lines.end(), s) - lines.begin();
    }
};

class LoggingProgress final : public ProgressView {
public:
    explicit LoggingProgress(Log& log) : log_(log) {}
    void SetMessage(const std::string& text) override { log_.Add("message " + text); }
    void SetProgressRange(double, double) override {}
    void SetProgressValue(double) override {}
    void ShowWindow() override { log_.Add("progress show"); }
    void HideWindow() override { log_.Add("progress hide"); }

private:
    Log& log_;
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

    // A failed fetch says nothing here: the transfer's own tests cover its messages.
    FetchResult SetGrpUrl(RetrievalState&) override {
        log_.Add("get " + program.CurrentEntry().Url + " source=" + program.SourceText);
        if (page.empty()) return {FetchFailure::NoAnswer, 0, {}};
        program.ServerUrl = SplitUrl(program.CurrentEntry().Url);
        program.SourceText += page;
        return {};
    }
    FetchResult SetGrpData(RetrievalState&) override {
        log_.Add("data " + program.ChosenImage + (program.RelativeToPage ? " relative" : ""));
        if (image.empty()) return {FetchFailure::NoAnswer, 0, {}};
        program.WorkImageFile = WorkImageFileName(program.CacheFileName, program.ChosenImage, true);
        files.files[program.WorkImageFile] = image;
        return {};
    }

private:
    Log& log_;
};

class LoggingPreview final : public PreviewView {
public:
    LoggingPreview(Program& p, Host& h, Log& log) : program_(p), host_(h), log_(log) {}
    PreviewPicture state;
    void ShowWindow() override { log_.Add("preview show"); }
    void LoadWindow() override { log_.Add("preview load"); }
    void DispPre() override { log_.Add("preview disp " + program_.WorkImageFile); }
    PreviewPicture& PictureState() override { return state; }
    // What a front end's preview does when it unloads.
    void Unload(int status) override {
        log_.Add("preview unload " + std::to_string(status));
        DeleteWorkingFile(program_, *host_.files, program_.WorkImageFile);
        host_.process->End(status);
    }

private:
    Program& program_;
    Host& host_;
    Log& log_;
};

struct Fixture {
    Log log;
    testing::TestHost t;
    Program program;
    testing::FakeDecoder decoder{t.files};
    testing::FakeDesktop desktop{t.files};
    LoggingProgress progress{log};
    LoggingPump pump{log};
    ScriptedFetches fetches{program, t.files, log};
    LoggingPreview preview{program, t.host, log};
    RunController controller{program, t.host};
    RetrievalReporter reporter{program, t.dialogs};
    PreviewView* shownPreview = &preview;
    RetrievalState state;
    void Run(bool gather) {
        EndRetrieval(RunRetrieval(program, RetrievalServicesOf(t.host), fetches, reporter, gather),
                     *shownPreview, controller);
    }

    Fixture() {
        InitGlobals(program, 1, 0);
        program.CacheFileName = "wpcache";
        program.WinFolderWPname = "wall.bmp";
        t.host.images = &decoder;
        t.host.desktop = &desktop;
        t.host.pump = &pump;
        reporter.SetProgress(&progress);
    }
    void Direct(const std::string& image) {
        program.RunMode = RunModeValue::Direct;
        program.ChosenImage = image;
        Run(false);
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
        Run(true);
    }
    std::vector<std::string> Errors() const {
        std::vector<std::string> out;
        for (const auto& b : t.dialogs.boxes) out.push_back(b.kind + "|" + b.title + "|" + b.text);
        return out;
    }
    std::string Error(const std::string& text) const { return "error|vexal 1.00|" + text; }
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
        const char* work;  // the working file before any conversion
        std::string installed;
    } rows[] = {
        {"bmp", "pics/a.bmp", "wpcache.bmp", PicFile(2, 2, 0xFF0000FF)},
        {"jpg", "pics/a.jpg", "wpcache.jpg", BmpOf(2, 2, 0xFF0000FF)},
        // The working file keeps the capitals; the PNG test ignores them; the bitmap
        // beside it ends in lower-case "bmp".
        {"pngCapitals", "pics/a.PNG", "wpcache.PNG", BmpOf(2, 2, 0xFF0000FF)},
        // A JPEG named ".jpeg" is worked on and installed as "jpg".
        {"jpeg", "pics/a.JPEG", "wpcache.jpg", BmpOf(2, 2, 0xFF0000FF)},
    };
    for (const auto& r : rows) {
        Fixture f;
        f.t.files.files[r.image] = PicFile(2, 2, 0xFF0000FF);
        f.Direct(r.image);
        EXPECT_TRUE(f.t.dialogs.boxes.empty()) << r.name;
        EXPECT_EQ(f.t.process.status, kExitSuccess) << r.name;
        EXPECT_EQ(f.desktop.log, std::vector<std::string>{"set " + testing::WallpaperPath()})
            << r.name << ": mode 2 keeps the style";
        EXPECT_EQ(f.desktop.bytesAtSet, r.installed) << r.name;
        EXPECT_EQ(f.t.files.files.count(r.work), 0u) << r.name << ": working file deleted at the end";
        EXPECT_EQ(f.t.files.files.count("wpcache.bmp"), 0u) << r.name;
        EXPECT_EQ(f.t.files.files.count(r.image), 1u) << r.name << ": the source stays";
        EXPECT_FALSE(f.log.Has("get pics/a.bmp source=")) << r.name;
    }
}

TEST(DriverTest, PngConversionShowsItsLabelAndReplacesTheWorkingFile) {
    Fixture f;
    f.t.files.files["a.png"] = PicFile(3, 1, 0xFF00FF00);
    f.program.ShowPreview = true;
    f.Direct("a.png");
    EXPECT_TRUE(f.log.Has("message pngファイルを変換しています..."));
    EXPECT_EQ(f.program.WorkImageFile, "wpcache.bmp");
    EXPECT_EQ(f.t.files.files["wpcache.bmp"], BmpOf(3, 1, 0xFF00FF00));
    EXPECT_EQ(f.t.files.files.count("wpcache.png"), 0u);
    // The progress window goes, the events run, then the preview shows the bitmap.
    const auto hide = f.log.At("progress hide");
    EXPECT_LT(hide, f.log.At("preview show"));
    EXPECT_EQ(f.log.lines[static_cast<std::size_t>(hide) + 1], "pump");
    EXPECT_EQ(f.log.lines.back(), "preview disp wpcache.bmp");
    EXPECT_FALSE(f.t.process.ended) << "the preview carries the run on";
    EXPECT_TRUE(f.desktop.log.empty());
}

TEST(DriverTest, DirectFailuresEndTheProgramWithTheirMessage) {
    const struct {
        const char* name;
        std::string image;
        std::string content;  // of `image`; none when empty
        std::vector<std::string> errors;
        std::vector<std::string> filesLeft;
    } rows[] = {
        {"missing", "C:pics/none.jpg", "", {"画像ファイル C:pics/none.jpg が見つかりません。"}, {}},
        {"emptyImage", "", "", {"画像ファイルが指定されませんでした。"}, {}},
        {"folder",
         "pics" + std::string(1, kFolderSeparator),
         "",
         {"画像ファイルが指定されませんでした。"},
         {}},
        {"page", "list.txt", "", {"画像ファイルが指定されませんでした。"}, {}},
        // A local name is taken whole: "?" is part of it, so it names no picture.
        {"queryIsPartOfALocalName",
         "a.jpg?x=1",
         "x",
         {"画像ファイルが指定されませんでした。"},
         {"a.jpg?x=1"}},
        {"pngUnreadable", "a.png", "<html>", {"pngファイルの読み出しに失敗しました"}, {"a.png"}},
        {"pngTooLarge",
         "a.png",
         "BIG 60000 60000",
         {"画像ファイル a.png は大きすぎるため読み込めません（60000×60000 画素）。"},
         {"a.png"}},
    };
    for (const auto& r : rows) {
        Fixture f;
        if (!r.content.empty()) f.t.files.files[r.image] = r.content;
        f.Direct(r.image);
        std::vector<std::string> expected;
        for (const auto& e : r.errors) expected.push_back(f.Error(e));
        EXPECT_EQ(f.Errors(), expected) << r.name;
        EXPECT_TRUE(f.t.process.ended) << r.name;
        EXPECT_EQ(f.t.process.status, kExitFailure) << r.name;
        std::vector<std::string> left;
        for (const auto& [name, bytes] : f.t.files.files) left.push_back(name);
        EXPECT_EQ(left, r.filesLeft) << r.name << ": the PNG working file is deleted";
        EXPECT_FALSE(f.log.Has("preview load")) << r.name;
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
    EXPECT_EQ(f.Errors(), std::vector<std::string>{f.Error("pngファイルの変換に失敗しました")});
    EXPECT_EQ(f.t.process.status, kExitFailure);
    EXPECT_EQ(files.inner.files.count("wpcache.png"), 0u);
}

TEST(DriverTest, WebImagesAreFetchedAndFetchFailuresEndSilently) {
    Fixture f;
    f.fetches.image = PicFile(1, 1, 0xFFFFFFFF);
    f.Direct("http://example.test/p/a.gif");
    EXPECT_TRUE(f.log.Has("data http://example.test/p/a.gif"));
    EXPECT_EQ(f.t.process.status, kExitSuccess);
    EXPECT_EQ(f.desktop.bytesAtSet, BmpOf(1, 1, 0xFFFFFFFF));
    EXPECT_EQ(f.t.files.files.count("wpcache.gif"), 0u);

    Fixture g;
    g.Direct("http://example.test/p/a.gif");  // the fetch shows its own messages
    EXPECT_TRUE(g.t.dialogs.boxes.empty());
    EXPECT_EQ(g.t.process.status, kExitFailure);
    EXPECT_FALSE(g.log.Has("preview load"));
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
    EXPECT_EQ(page.t.process.status, kExitSuccess);
    EXPECT_EQ(page.desktop.log, (std::vector<std::string>{"key Control Panel\\Desktop\\WallpaperStyle=0",
                                                          "key Control Panel\\Desktop\\TileWallpaper=1",
                                                          "set " + testing::WallpaperPath()}));

    Fixture image;
    image.fetches.image = PicFile(1, 1, 0xFF000000);
    image.Entry("http://example.test/a.jpg");
    EXPECT_EQ(image.program.ChosenImage, "http://example.test/a.jpg");
    EXPECT_FALSE(image.log.Has("get http://example.test/a.jpg source=")) << "no page fetch, no choice";
    EXPECT_TRUE(image.log.Has("data http://example.test/a.jpg"));

    Fixture list;
    list.t.files.files["list.txt"] = "  b.bmp  \r\nc.gif\r\n";
    list.t.files.files["c.gif"] = PicFile(1, 1, 0xFF000000);
    list.Entry("list.txt", [](SiteEntry& e) { e.No_n = 2; });
    EXPECT_EQ(list.program.ChosenImage, "c.gif");
    EXPECT_EQ(list.t.process.status, kExitSuccess);

    Fixture local;
    local.t.files.files["p/a.jpg"] = PicFile(1, 1, 0xFF000000);
    local.Entry("p/a.jpg");
    EXPECT_EQ(local.program.WorkImageFile, "wpcache.jpg");
    EXPECT_EQ(local.t.process.status, kExitSuccess);
}

TEST(DriverTest, GatheringFailuresEndTheProgram) {
    const struct {
        const char* name;
        std::string url;
        std::string page;
        std::vector<std::string> errors;
        std::string winFolderWPname = "";
    } rows[] = {
        {"pageFetchFails", "http://example.test/", "", {}},
        {"listMissing", "none.txt", "", {"元ファイル none.txt が見つかりせん。"}},
        {"noLinks",
         "http://example.test/",
         "<p>no pictures</p>\r\n",
         {"条件に合致する画像ファイルがありません。"}},
        {"emptyFolder",
         "pics" + std::string(1, kFolderSeparator),
         "",
         {"条件に合致する画像ファイルがありません。"}},
        // Refused before the page is fetched, so nothing is written anywhere.
        {"bitmapNameIsAFolder",
         "http://example.test/",
         "<img src=\"a.jpg\">",
         {"設定ファイル vexal.ini の WinFolderWPname = .. はファイル名として使えません。\r\n空欄、.、.. や / "
          "\\ "
          "を含む名前は使えません。"},
         ".."},
    };
    for (const auto& r : rows) {
        Fixture f;
        f.fetches.page = r.page;
        if (!r.winFolderWPname.empty()) f.program.WinFolderWPname = r.winFolderWPname;
        f.Entry(r.url);
        std::vector<std::string> expected;
        for (const auto& e : r.errors) expected.push_back(f.Error(e));
        EXPECT_EQ(f.Errors(), expected) << r.name;
        EXPECT_EQ(f.t.process.status, kExitFailure) << r.name;
        EXPECT_FALSE(f.log.Has("progress hide")) << r.name << ": frDispGo never ran";
        EXPECT_TRUE(f.desktop.log.empty()) << r.name;
        if (!r.winFolderWPname.empty()) {
            EXPECT_TRUE(f.log.lines.empty()) << r.name << ": nothing fetched";
        }
    }
}

TEST(DriverTest, GatheringRunsOnlyInEditorAndEntryModes) {
    Fixture f;
    f.program.RunMode = RunModeValue::Direct;
    f.program.CurrentEntry().Url = "http://example.test/";
    f.program.ChosenImage = "kept.jpg";
    EXPECT_TRUE(frDispGet(f.program, f.state, RetrievalServicesOf(f.t.host), f.fetches, f.reporter).Ok());
    EXPECT_TRUE(f.log.lines.empty());
    EXPECT_EQ(f.program.ChosenImage, "kept.jpg");

    f.program.RunMode = RunModeValue::Editor;
    f.program.CurrentEntry().Url = "http://example.test/a.bmp";
    EXPECT_TRUE(frDispGet(f.program, f.state, RetrievalServicesOf(f.t.host), f.fetches, f.reporter).Ok());
    EXPECT_EQ(f.program.ChosenImage, "http://example.test/a.bmp");
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
    ASSERT_TRUE(frDispGet(f.program, f.state, RetrievalServicesOf(f.t.host), f.fetches, f.reporter).Ok());
    EXPECT_EQ(f.program.ChosenImage, "/first.jpg");
    f.fetches.page = "<img src=\"/second.jpg\">\r\n";
    ASSERT_TRUE(frDispGet(f.program, f.state, RetrievalServicesOf(f.t.host), f.fetches, f.reporter).Ok());
    EXPECT_EQ(f.program.Candidates, (std::vector<std::string>{"", "/second.jpg"}));
    EXPECT_EQ(f.program.ChosenImage, "/second.jpg");
}

TEST(DriverTest, UnattendedPreviewEndsAsItsCancelWould) {
    Fixture f;
    UnattendedPreview unattended(f.program, f.t.host, f.controller);
    f.shownPreview = &unattended;
    f.t.files.files["a.jpg"] = PicFile(1, 1, 0xFF000000);
    f.program.ShowPreview = true;
    f.Direct("a.jpg");
    EXPECT_EQ(f.t.process.status, kExitFailure);
    EXPECT_EQ(f.t.files.files.count("wpcache.jpg"), 0u);
    EXPECT_TRUE(f.desktop.log.empty());
    EXPECT_TRUE(f.t.dialogs.boxes.empty());

    Fixture g;
    UnattendedPreview installs(g.program, g.t.host, g.controller);
    g.shownPreview = &installs;
    g.t.files.files["a.jpg"] = PicFile(1, 1, 0xFF000000);
    g.Direct("a.jpg");
    EXPECT_EQ(g.t.process.status, kExitSuccess);
    EXPECT_EQ(g.desktop.log, std::vector<std::string>{"set " + testing::WallpaperPath()});
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
        EXPECT_EQ(f.t.process.status, kExitSuccess) << name;
        EXPECT_EQ(f.desktop.bytesAtSet, BmpOf(2, 2, 0xFF112233)) << name;
        std::vector<std::string> left;
        for (const auto& [file, bytes] : f.t.files.files)
            if (file.find("wall.bmp") == std::string::npos) left.push_back(file);
        EXPECT_EQ(left, std::vector<std::string>{name}) << name;
        EXPECT_EQ(f.t.files.files[name], picture) << name;
    }
}

TEST(DriverTest, FailedInstallationEndsWithFailure) {
    Fixture f;
    f.desktop.accept = false;
    f.t.files.files["a.bmp"] = PicFile(1, 1, 0xFF000000);
    f.Direct("a.bmp");
    EXPECT_EQ(
        f.Errors(),
        std::vector<std::string>{
            "notice|vexal|壁紙の変更に失敗しました。\r\nデスクトップが壁紙の設定を受け付けませんでした。"});
    EXPECT_TRUE(f.log.Has("preview unload 1"));
    EXPECT_EQ(f.t.process.status, kExitFailure);
    EXPECT_EQ(f.t.files.files.count("wpcache.bmp"), 0u);
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
        int status;
        std::vector<std::string> errors;
    } rows[] = {
        {"free", 0, false, false, kExitSuccess, {}},
        {"waits", 3, false, false, kExitSuccess, {}},
        {"cancelledWhileWaiting",
         3,
         true,
         false,
         kExitFailure,
         {"error|vexal 1.00|ユーザーによってキャンセルされました。"}},
        {"stoppedWhileWaiting", 3, false, true, kExitFailure, {}},
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
        for (const std::string& leftover : {dead, live, deadBitmap, deadSave, liveSave})
            f.t.files.files[leftover] = "part";
        f.t.files.files["a.bmp"] = PicFile(1, 1, 0xFF000000);
        f.Direct("a.bmp");
        EXPECT_EQ(f.t.process.status, r.status) << r.name;
        EXPECT_EQ(f.Errors(), r.errors) << r.name;
        EXPECT_EQ(guard.lockedFolders.front(), "/win") << r.name << ": the wallpaper folder's lock";
        EXPECT_EQ(f.log.Has("message 他のvexalの処理が終わるのを待っています..."), r.busyTries > 0) << r.name;
        const bool ran = r.status == kExitSuccess;
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
        EXPECT_EQ(f.t.process.status, kExitFailure) << entry;
        EXPECT_TRUE(f.t.dialogs.boxes.empty()) << entry;
        EXPECT_TRUE(f.log.lines.empty()) << entry;
        EXPECT_TRUE(guard.lockedFolders.empty()) << entry;
        EXPECT_TRUE(f.desktop.log.empty()) << entry;
        EXPECT_EQ(f.t.files.files.size(), 1u) << entry;
    }
}

// Interrupted from outside while the preview shows the picture (or while a fetch writes):
// the working file and everything this run was writing go, other runs' files stay.
TEST(DriverTest, InterruptedRunRemovesWhatItWasWriting) {
    Fixture f;
    testing::FakeRunGuard guard;
    guard.alive = {8};
    f.t.host.guard = &guard;
    f.program.WorkImageFile = "wpcache.jpg";
    // Names that only look like the program's own are someone else's.
    const std::vector<std::string> kept = {".vexal-tmp-100", ".vexal-tmp-100x-a", ".vexal-tmp--a",
                                           ".vexal-tmp-8-wpcache.jpg", testing::WallpaperPath()};
    for (const std::string& file : kept) f.t.files.files[file] = "bytes";
    for (const std::string& file : {std::string("wpcache.jpg"), std::string(".vexal-tmp-100-wpcache.png"),
                                    testing::WallpaperPath("/win", ".vexal-tmp-100-wall.bmp")})
        f.t.files.files[file] = "bytes";
    RunController(f.program, f.t.host).Interrupted();
    EXPECT_EQ(f.t.process.status, kExitFailure);
    EXPECT_TRUE(f.t.dialogs.boxes.empty());
    std::vector<std::string> left;
    for (const auto& [path, bytes] : f.t.files.files) left.push_back(path);
    std::vector<std::string> expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);

    // Regression: a stop while the user's own picture served as the working file deleted it.
    Fixture own;
    own.t.host.guard = &guard;
    own.program.WorkImageFile = "wpcache.jpg";
    own.program.WorkImageIsChosen = true;
    own.t.files.files["wpcache.jpg"] = "the user's picture";
    RunController(own.program, own.t.host).Interrupted();
    EXPECT_EQ(own.t.files.files.count("wpcache.jpg"), 1u);
}

}  // namespace
}  // namespace vexal
