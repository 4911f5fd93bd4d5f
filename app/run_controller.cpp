// The run controller.
#include "app/run_controller.h"

#include "gather/overlap.h"
#include "host/dialogs.h"
#include "host/process.h"
#include "ui/failure_texts.h"
#include "ui/host_services.h"

namespace vexal {

void RunController::Fail(Message kind, std::initializer_list<std::string_view> subjects) {
    ShowError(program_, *host_.dialogs, MessageText(kind, subjects));
    End(kExitFailure);
}

void RunController::End(int status) { host_.process->End(status); }

void RunController::LetGo() {
    DeleteScreenImages(program_, *host_.files);
    DeleteWorkingFile(program_, *host_.files, program_.WorkImageFile);
    program_.WorkImageFile.clear();
    if (host_.guard) host_.guard->Unlock();
}

void RunController::RetrievalFailed(const RetrievalResult& result) {
    LetGo();
    // Some failures have been answered already (the user declined to wait for a silent
    // server): they end the run without a second box.
    const std::string text = RetrievalFailureText(result);
    if (!text.empty()) ShowError(program_, *host_.dialogs, text);
    End(kExitFailure);
}

void RunController::InstallFailed(const InstallResult& result) {
    LetGo();
    const FailureBox box = InstallFailureBox(result);
    if (box.kind == BoxKind::Error) ShowError(program_, *host_.dialogs, box.text);
    if (box.kind == BoxKind::Notice) host_.dialogs->Notice(kPlainTitle, box.text);
}

void RunController::Interrupted() {
    RemoveInterruptedFiles(program_, RetrievalServicesOf(host_));
    End(kExitFailure);
}

}  // namespace vexal
