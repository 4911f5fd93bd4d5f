// Where a retrieval's end goes: the run controller's message and status, the preview shown
// or unloaded, and the working files gone once the run is over.
#include "ui/run_end.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/run_controller.h"
#include "core/wallpaper_fakes.h"
#include "host/process.h"
#include "ui/scheduled_run.h"
#include "ui/unattended_preview.h"

namespace vexal {
namespace {

// A preview as the front ends' own: it holds the pictures it shows, and unloading lets
// their working files go and ends the run.
class LoggingPreview final : public PreviewView {
public:
    explicit LoggingPreview(RunEnd& end) : end_(end) {}
    std::vector<std::string> log;
    RetrievedPictures held;
    void ShowWindow() override { log.push_back("show"); }
    void LoadWindow() override { log.push_back("load"); }
    void DispPre(RetrievedPictures pictures) override {
        log.push_back("disp");
        held = std::move(pictures);
    }
    void Unload(int status) override {
        log.push_back("unload " + std::to_string(status));
        held.working.DeleteAll();
        end_.Finish(status);
    }

private:
    RunEnd& end_;
};

// A run at its end: a working file, and the run controller as its end.
struct EndingRun {
    testing::TestHost t;
    Program program;
    RunController controller{program, t.host};
    testing::FakeRunGuard guard;
    // When the lock went: how many boxes had been shown, and whether the working file
    // was still there.
    std::size_t boxesAtUnlock = 0;
    bool fileAtUnlock = false;
    EndingRun() {
        InitGlobals(program, 1, 0);
        t.host.guard = &guard;
        guard.locked = true;
        guard.onUnlock = [this] {
            boxesAtUnlock = t.dialogs.boxes.size();
            fileAtUnlock = t.files.files.count("wpcache.jpg") > 0;
        };
    }
};

RetrievalOutcome Outcome(RetrievalEnd end) {
    RetrievalOutcome outcome;
    outcome.end = end;
    return outcome;
}

// A retrieval that hands its pictures on: their working files, and the outcome that
// owns them. Every other end has let its working files go already.
RetrievalOutcome Handing(RetrievalEnd end, testing::MemoryFileSystem& files,
                         const std::vector<std::string>& working = {"wpcache.jpg"}) {
    RetrievalOutcome outcome = Outcome(end);
    for (const std::string& file : working) {
        files.files[file] = "picture";
        outcome.pictures.screens.push_back({file, file, {}, false});
        outcome.pictures.working.Adopt(files, file);
    }
    return outcome;
}

TEST(RunEndTest, EachEndReachesTheUserAndTheProcess) {
    const struct {
        const char* name;
        RetrievalOutcome (*outcome)(testing::MemoryFileSystem&);
        std::vector<std::string> preview;
        std::vector<std::string> boxes;  // "kind|title|text"
        int status;                      // -1: the run goes on
        bool workingFileKept;
    } rows[] = {
        {"failed",
         [](testing::MemoryFileSystem&) {
             RetrievalOutcome failed = Outcome(RetrievalEnd::Failed);
             failed.failure.failure = RetrievalFailure::Cancelled;
             return failed;
         },
         {},
         {"error|vexal 1.00|ユーザーによってキャンセルされました。"},
         kExitFailure,
         false},
        {"interrupted",
         [](testing::MemoryFileSystem&) { return Outcome(RetrievalEnd::Interrupted); },
         {},
         {},
         kExitFailure,
         false},
        {"preview",
         [](testing::MemoryFileSystem& files) { return Handing(RetrievalEnd::Preview, files); },
         {"show", "disp"},
         {},
         -1,
         true},
        {"installed",
         [](testing::MemoryFileSystem&) { return Outcome(RetrievalEnd::Installed); },
         {"load", "unload 0"},
         {},
         kExitSuccess,
         false},
        {"installFailed",
         [](testing::MemoryFileSystem&) {
             RetrievalOutcome refused = Outcome(RetrievalEnd::Installed);
             refused.install.outcome = InstallOutcome::Refused;
             refused.install.desktop.failure = DesktopFailure::Refused;
             return refused;
         },
         {"load", "unload 1"},
         {"notice|vexal|壁紙の変更に失敗しました。\r\nデスクトップが壁紙の設定を受け付けませんでした。"},
         kExitFailure,
         false},
    };
    for (const auto& r : rows) {
        EndingRun run;
        testing::TestHost& t = run.t;
        LoggingPreview preview(run.controller);
        EndRetrieval(r.outcome(t.files), preview, run.controller);
        EXPECT_EQ(preview.log, r.preview) << r.name;
        std::vector<std::string> boxes;
        for (const auto& b : t.dialogs.boxes) boxes.push_back(b.kind + "|" + b.title + "|" + b.text);
        EXPECT_EQ(boxes, r.boxes) << r.name;
        EXPECT_EQ(t.process.status, r.status) << r.name;
        EXPECT_EQ(t.files.files.count("wpcache.jpg"), r.workingFileKept ? 1u : 0u) << r.name;
        // Regression: the lock was held until the last box was answered, so a scheduled run
        // waited behind a box nobody was looking at.
        if (!r.boxes.empty()) {
            EXPECT_FALSE(run.guard.locked) << r.name;
            EXPECT_EQ(run.boxesAtUnlock, 0u) << r.name << ": the lock goes before the box";
            EXPECT_FALSE(run.fileAtUnlock) << r.name << ": and after the working file";
        }
    }
}

// Nobody can answer a preview when nobody watches: it ends the run with failure, saying
// why, and an installation made at once ends the run as the window's would.
TEST(RunEndTest, UnattendedPreviewEndsAsItsCancelWould) {
    for (const RetrievalEnd end : {RetrievalEnd::Preview, RetrievalEnd::Installed}) {
        EndingRun run;
        testing::TestHost& t = run.t;
        UnattendedPreview preview(run.controller);
        // Regression: the other screens' pictures of an entry with one for each screen
        // were left behind.
        EndRetrieval(end == RetrievalEnd::Preview ? Handing(end, t.files, {"wpcache.jpg", "wpcache-2.jpg"})
                                                  : Outcome(end),
                     preview, run.controller);
        EXPECT_EQ(t.process.status, end == RetrievalEnd::Preview ? kExitFailure : kExitSuccess);
        EXPECT_TRUE(t.files.files.empty());
        // Regression: a preview asked for without a display ended with status 1 and no word.
        EXPECT_EQ(t.dialogs.boxes.size(), end == RetrievalEnd::Preview ? 1u : 0u);
    }
}

// A quiet run shows nothing, so its outcome is what it leaves in the data folder: the
// entry's last run whatever happened, and a log line for a failure.
TEST(RunEndTest, QuietRunLeavesItsOutcomeInTheDataFolder) {
    const auto refused = [] {
        RetrievalOutcome outcome = Outcome(RetrievalEnd::Installed);
        outcome.install.outcome = InstallOutcome::Refused;
        outcome.install.desktop.failure = DesktopFailure::Refused;
        return outcome;
    };
    const auto failed = [] {
        RetrievalOutcome outcome = Outcome(RetrievalEnd::Failed);
        outcome.failure.failure = RetrievalFailure::Cancelled;
        return outcome;
    };
    const auto silent = [] {
        RetrievalOutcome outcome = Outcome(RetrievalEnd::Failed);
        outcome.failure.failure = RetrievalFailure::Fetch;
        outcome.failure.fetch.failure = FetchFailure::NoAnswer;
        return outcome;
    };
    const auto installed = [] { return Outcome(RetrievalEnd::Installed); };
    const auto interrupted = [] { return Outcome(RetrievalEnd::Interrupted); };
    const std::string stamp = "2026-12-08 10:00:00";
    const std::string changeFailed =
        "壁紙の変更に失敗しました。 デスクトップが壁紙の設定を受け付けませんでした。";
    const std::string cancelled = "ユーザーによってキャンセルされました。";
    const std::string noAnswer = "接続先の応答がありません。";
    const struct {
        const char* name;
        std::function<RetrievalOutcome()> outcome;
        std::string lastRun;
        std::string log;
    } rows[] = {
        {"installed", installed, stamp + "\n0\n\n", ""},
        {"installFailed", refused, stamp + "\n1\n" + changeFailed + "\n", stamp + " Photos: " + changeFailed},
        {"failed", failed, stamp + "\n1\n" + cancelled + "\n", stamp + " Photos: " + cancelled},
        {"interrupted", interrupted, stamp + "\n1\n" + cancelled + "\n", stamp + " Photos: " + cancelled},
        // Regression: a server that stayed silent was logged as cancelled by the user,
        // while standard error said what the run had asked.
        {"silentServer", silent, stamp + "\n1\n" + noAnswer + "\n", stamp + " Photos: " + noAnswer},
    };
    const std::string folder = std::string("/data") + kFolderSeparator;
    for (const auto& r : rows) {
        EndingRun run;
        testing::FakeDesktop desktop(run.t.files);
        desktop.folder = "/data";
        run.t.host.desktop = &desktop;
        run.program.Quiet = true;
        run.program.CurrentEntry().Name = "Photos";
        run.controller.SetClock([&stamp] { return stamp; });
        // An earlier failure's line stays before this run's.
        run.t.files.files[folder + kScheduleLogName] = "earlier\n";
        UnattendedPreview preview(run.controller);
        EndRetrieval(r.outcome(), preview, run.controller);
        EXPECT_EQ(run.t.files.files[folder + "last-run-photos"], r.lastRun) << r.name;
        const std::string logLineEnd = kFolderSeparator == '\\' ? "\r\n" : "\n";
        EXPECT_EQ(run.t.files.files[folder + kScheduleLogName],
                  "earlier\n" + (r.log.empty() ? "" : r.log + logLineEnd))
            << r.name;
    }
}

TEST(ScheduledRunTest, EveryNameGivesOnePlainFileName) {
    const std::pair<const char*, const char*> rows[] = {
        {"Photos", "last-run-photos"},     {"a.b_c-d", "last-run-a.b_c-d"},
        {".hidden", "last-run-%2Ehidden"}, {"a/b\\c:d", "last-run-a%2Fb%5Cc%3Ad"},
        {"a b%", "last-run-a%20b%25"},     {"桜", "last-run-%E6%A1%9C"},
    };
    for (const auto& [name, file] : rows) EXPECT_EQ(LastRunFileName(name), file) << name;
}

}  // namespace
}  // namespace vexal
