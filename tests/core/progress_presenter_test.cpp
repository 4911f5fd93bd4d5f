// The progress window without a toolkit: the cancel button's request reaches the retrieval's
// owner and the window goes away at once; the line under the bar tells what a transfer has
// brought and, from the pace seen on a clock the test moves, how long the rest will take.
#include "ui/progress_presenter.h"

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "ui/retrieval_reporter.h"

namespace vexal {
namespace {

class WindowShown final : public ProgressView {
public:
    bool hidden = false;
    std::string bytes;
    int bytesUpdates = 0;
    double max = 0, value = 0;
    void SetMessage(const std::string&) override {}
    void SetProgressRange(double, double top) override { max = top; }
    void SetProgressValue(double v) override { value = v; }
    void SetBytesText(const std::string& text) override {
        bytes = text;
        ++bytesUpdates;
    }
    void ShowWindow() override { hidden = false; }
    void HideWindow() override { hidden = true; }
};

TEST(ProgressPresenterTest, CancelReachesTheTransfersOwnerAndHidesTheWindow) {
    Program program;
    testing::RecordingDialogs dialogs;
    WindowShown window;
    ProgressPresenter presenter{program, window};
    RetrievalReporter owner{program, dialogs};
    owner.ClearCancel();
    window.ShowWindow();
    presenter.cbCancel_Click();
    EXPECT_TRUE(owner.CancelRequested());
    EXPECT_TRUE(window.hidden);
    owner.ClearCancel();  // as the next fetch starts
    EXPECT_FALSE(program.CancelRequested);
}

TEST(ProgressPresenterTest, ByteCounts) {
    const struct {
        std::int64_t bytes;
        const char* text;
    } rows[] = {
        {-5, "0 バイト"},       {0, "0 バイト"},
        {1023, "1023 バイト"},  {1024, "1.0 KB"},
        {1075, "1.0 KB"},       {1076, "1.1 KB"},  // rounded, not cut
        {102348, "99.9 KB"},    {102349, "100 KB"},
        {1048575, "1024 KB"},  // rounds up within its unit
        {1258291, "1.2 MB"},    {3565158, "3.4 MB"},
        {5368709120, "5.0 GB"}, {std::int64_t{1} << 62, "4194304 TB"},  // the largest unit goes on counting
    };
    for (const auto& row : rows)
        EXPECT_EQ(ByteCountText(Language::Japanese, row.bytes), row.text) << row.bytes;
}

// Feeds a transfer through the reporter, as the transfer's callbacks would, with the
// presenter reading a clock the test moves.
struct Watched {
    Program program;
    testing::RecordingDialogs dialogs;
    WindowShown window;
    std::int64_t now = 50000;
    ProgressPresenter presenter{program, window, [this] { return now; }};
    RetrievalReporter reporter{program, dialogs};
    Watched() {
        reporter.SetProgress(&presenter);
        reporter.Step(FetchStep::Image, "http://h/a.jpg");
        reporter.BodyProgress(0);
    }
};

TEST(ProgressPresenterTest, TimeLeftOnceTheTotalIsKnownAndASecondWatched) {
    constexpr std::int64_t kTotal = 3565158;  // 3.4 MB
    Watched w;
    EXPECT_EQ(w.window.bytes, "") << "nothing has come yet";
    w.reporter.BodyLength(kTotal);
    w.reporter.BodyProgress(0);
    EXPECT_EQ(w.window.bytes, "0 バイト / 3.4 MB");
    w.now += 999;
    w.reporter.BodyProgress(600000);
    EXPECT_EQ(w.window.bytes, "586 KB / 3.4 MB") << "too soon to tell the pace";
    w.now += 1;
    w.reporter.BodyProgress(600000);
    EXPECT_EQ(w.window.bytes, "586 KB / 3.4 MB　残り 5 秒") << "2965158 bytes at 600 a millisecond";
    w.now += 1000;
    w.reporter.BodyProgress(1258291);
    EXPECT_EQ(w.window.bytes, "1.2 MB / 3.4 MB　残り 4 秒");
    EXPECT_EQ(w.window.value / w.window.max, 1258291.0 / kTotal);
    w.reporter.BodyProgress(kTotal);
    EXPECT_EQ(w.window.bytes, "3.4 MB / 3.4 MB") << "nothing left to wait for";

    const int updates = w.window.bytesUpdates;
    w.reporter.BodyProgress(kTotal);
    EXPECT_EQ(w.window.bytesUpdates, updates) << "an unchanged line is not set again";

    // The next step starts afresh: the line goes, and so does the last total.
    w.reporter.Step(FetchStep::ImageLoaded, {});
    EXPECT_EQ(w.window.bytes, "");
    w.reporter.Step(FetchStep::Image, "http://h/b.jpg");
    w.reporter.BodyProgress(2048);
    EXPECT_EQ(w.window.bytes, "2.0 KB 受信");
}

TEST(ProgressPresenterTest, SlowTransfersCountInMinutesAndHours) {
    const struct {
        const char* name;
        std::int64_t total, bytes, afterMs;
        const char* text;
    } rows[] = {
        {"minutes", 1000000, 1000, 1000, "1000 バイト / 977 KB　残り 16 分 39 秒"},
        {"hours", 100000000, 1000, 1000, "1000 バイト / 95.4 MB　残り 27 時間 46 分"},
        {"beyondAnyUse", std::int64_t{1} << 40, 1, 1000, "1 バイト / 1.0 TB"},
    };
    for (const auto& row : rows) {
        Watched w;
        w.reporter.BodyLength(row.total);
        w.reporter.BodyProgress(0);
        w.now += row.afterMs;
        w.reporter.BodyProgress(row.bytes);
        EXPECT_EQ(w.window.bytes, row.text) << row.name;
    }
}

TEST(ProgressPresenterTest, WithoutATotalTheBarStaysAndOnlyTheCountMoves) {
    Watched w;
    w.window.max = 100;  // the range the last transfer left
    w.reporter.BodyProgress(5000);
    w.now += 60000;
    w.reporter.BodyProgress(1258291);
    EXPECT_EQ(w.window.bytes, "1.2 MB 受信");
    EXPECT_EQ(w.window.value, 0);
}

}  // namespace
}  // namespace vexal
