// The progress window's cancel button without a toolkit: the request it raises is the one
// the retrieval's owner hands to the transfer, and the window goes away at once.
#include "ui/progress_presenter.h"

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "ui/retrieval_reporter.h"

namespace vexal {
namespace {

class WindowShown final : public ProgressView {
public:
    bool hidden = false;
    void SetMessage(const std::string&) override {}
    void SetProgressRange(double, double) override {}
    void SetProgressValue(double) override {}
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

}  // namespace
}  // namespace vexal
