// The run controller.
#include "app/run_controller.h"

namespace vexal {

void RunController::Fail(Message kind, std::initializer_list<std::string_view> subjects) {
    ShowError(program_, *host_.dialogs, MessageText(kind, subjects));
    End(kExitFailure);
}

void RunController::End(int status) { host_.process->End(status); }

}  // namespace vexal
