// The run controller.
#include "app/run_controller.h"

#include "gather/overlap.h"
#include "host/desktop.h"
#include "host/dialogs.h"
#include "host/process.h"
#include "ui/failure_texts.h"
#include "ui/host_services.h"
#include "ui/scheduled_run.h"

namespace vexal {

void RunController::Fail(Message kind, std::initializer_list<std::string_view> subjects) {
    failure_ = MessageText(program_.UserLanguage, kind, subjects);
    ShowError(program_, *host_.dialogs, failure_);
    End(kExitFailure);
}

void RunController::End(int status) {
    if (program_.Quiet) RecordQuietRun(status);
    host_.process->End(status);
}

void RunController::RecordQuietRun(int status) {
    std::string folder;
    if (!host_.desktop || !host_.desktop->LockFolder(folder).Ok()) return;
    // A failure nobody was told of (a stop, a preview nobody could answer) still counts.
    if (status != kExitSuccess && failure_.empty())
        failure_ = MessageText(program_.UserLanguage, Message::Cancelled);
    RecordScheduledRun(*host_.files, folder, program_.CurrentEntry().Name, now_(), status == kExitSuccess,
                       status == kExitSuccess ? std::string() : failure_);
}

void RunController::LetGo() {
    if (host_.guard) host_.guard->Unlock();
}

void RunController::RetrievalFailed(const RetrievalResult& result) {
    LetGo();
    // Some failures have been answered already (the user declined to wait for a silent
    // server): they end the run without a second box.
    const std::string text = RetrievalFailureText(program_.UserLanguage, result);
    failure_ = text;
    // A silent server was answered already: the question is what the run said, and what a
    // quiet run's record repeats.
    if (text.empty() && result.failure == RetrievalFailure::Fetch &&
        result.fetch.failure == FetchFailure::NoAnswer)
        failure_ = MessageText(program_.UserLanguage, Message::NoAnswerQuestion);
    if (!text.empty()) ShowError(program_, *host_.dialogs, text);
    End(kExitFailure);
}

void RunController::InstallFailed(const InstallResult& result) {
    LetGo();
    const FailureBox box = InstallFailureBox(program_.UserLanguage, result);
    failure_ = box.text;
    if (box.kind == BoxKind::Error) ShowError(program_, *host_.dialogs, box.text);
    if (box.kind == BoxKind::Notice) host_.dialogs->Notice(kPlainTitle, box.text);
}

void RunController::Interrupted() {
    RemoveInterruptedFiles(program_, RetrievalServicesOf(host_));
    End(kExitFailure);
}

}  // namespace vexal
