// What a front end tells the user while a retrieval runs: the progress window's label and
// bar, the question on a silent server and the cancel button's request, in the texts of
// the table of messages.
#pragma once

#include <string>

#include "gather/retrieval_owner.h"
#include "host/dialogs.h"
#include "net/transfer.h"
#include "program/program.h"

namespace vexal {

class ProgressPresenter;

class RetrievalReporter final : public RetrievalOwner {
public:
    // Asks through `dialogs`; the cancel request is the program's CancelRequested.
    RetrievalReporter(Program& program, Dialogs& dialogs) : program_(program), dialogs_(dialogs) {}

    // The progress window's presenter, once the front end has made it (none when nobody
    // watches).
    void SetProgress(ProgressPresenter* progress) { progress_ = progress; }

    void Step(FetchStep step, std::string_view subject) override;
    void SocketTrouble(std::int16_t number) override;
    void BodyLength(std::int64_t length) override;
    void BodyProgress(std::int64_t bytes) override;
    [[nodiscard]] bool RetryOnSilence() override;
    void ClearCancel() override { program_.CancelRequested = false; }
    bool CancelRequested() const override { return program_.CancelRequested; }
    bool Unattended() const override { return dialogs_.Unattended(); }
    void Say(RetrievalStep step) override;
    void ShowProgress() override;
    void HideProgress() override;

private:
    void Label(const std::string& text);
    // A label that starts a step of its own: the last transfer's byte count goes with it.
    void StepLabel(const std::string& text);

    Program& program_;
    Dialogs& dialogs_;
    ProgressPresenter* progress_ = nullptr;
};

}  // namespace vexal
