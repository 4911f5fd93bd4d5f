// What a front end tells the user while a retrieval runs: the progress window's label and
// bar, the question on a silent server, the cancel button's request, and why a fetch
// failed, in the texts of the table of messages.
#pragma once

#include <string>

#include "gather/retrieval_owner.h"
#include "host/host.h"
#include "host/preview_view.h"
#include "host/progress_view.h"
#include "net/transfer.h"
#include "program/program.h"
#include "ui/failure_texts.h"
#include "ui/run_end.h"

namespace vexal {

class RetrievalReporter final : public RetrievalOwner {
public:
    // Asks through host.dialogs; the cancel request is the program's CancelRequested;
    // failures go up to `end`.
    RetrievalReporter(Program& program, Host& host, RunEnd& end)
        : program_(program), host_(host), end_(end) {}

    // The windows, once the front end has made them: the progress window (none when
    // nobody watches) and the preview a retrieval hands over to.
    void SetWindows(ProgressView* progress, PreviewView* preview) {
        progress_ = progress;
        preview_ = preview;
    }

    void Step(FetchStep step, std::string_view subject) override;
    void SocketTrouble(std::int16_t number) override;
    void BodyLength(std::int64_t length) override;
    void BodyProgress(std::int64_t bytes) override;
    [[nodiscard]] bool RetryOnSilence() override;
    void ClearCancel() override { program_.CancelRequested = false; }
    bool CancelRequested() const override { return program_.CancelRequested; }
    bool Unattended() const override { return host_.dialogs->Unattended(); }
    void Say(RetrievalStep step) override;
    void ShowProgress() override;
    void HideProgress() override;
    PreviewView& Preview() override { return *preview_; }
    void Failed(const RetrievalResult& result) override { end_.RetrievalFailed(result); }
    void Interrupted() override { end_.Interrupted(); }
    void InstallFailed(const InstallResult& result) override { end_.InstallFailed(result); }

private:
    void Label(const std::string& text);

    Program& program_;
    Host& host_;
    RunEnd& end_;
    ProgressView* progress_ = nullptr;
    PreviewView* preview_ = nullptr;
};

}  // namespace vexal
