// The Qt program's windows.
#include "ui/qt/front_end.h"

#include "gather/driver.h"
#include "net/transfer.h"
#include "ui/editor.h"
#include "ui/preview_presenter.h"
#include "ui/qt/editor_window.h"
#include "ui/qt/preview_window.h"
#include "ui/qt/progress_window.h"

namespace vexal {

QtFrontEnd::QtFrontEnd(Program& program, Host& host) : program_(program), host_(host) {}

// Members go in reverse order of declaration: the transfer first (before the socket and
// timer it listens to, which belong to the caller), then each presenter before its window.
QtFrontEnd::~QtFrontEnd() {
    if (host_.progress == progressWindow_.get()) host_.progress = nullptr;
    if (host_.preview == preview_.get()) host_.preview = nullptr;
}

void QtFrontEnd::ShowEditor() {
    if (!editorWindow_) {
        editorWindow_ = std::make_unique<QtEditorWindow>();
        editor_ = std::make_unique<EditorPresenter>(program_, host_, *editorWindow_, *this);
        editorWindow_->Bind(*editor_);
        editor_->Form_Load();
    }
    editorWindow_->ShowWindow();
}

void QtFrontEnd::LoadRetrievalWindows() {
    if (!progressWindow_) {
        progressWindow_ = std::make_unique<QtProgressWindow>(program_);
        host_.progress = progressWindow_.get();
    }
    if (!previewWindow_) {
        previewWindow_ = std::make_unique<QtPreviewWindow>();
        preview_ = std::make_unique<PreviewPresenter>(program_, host_, *previewWindow_, *this);
        previewWindow_->Bind(*preview_);
        host_.preview = preview_.get();
    }
    if (!transfer_ && host_.socket && host_.timer) {
        transfer_ = std::make_unique<Transfer>(host_, TransferStateOf(program_));
        fetches_ = std::make_unique<TransferFetches>(program_, *transfer_);
    }
}

void QtFrontEnd::RunRetrieval(bool gather) {
    LoadRetrievalWindows();
    if (!fetches_) {
        host_.process->End(kExitFailure);
        return;
    }
    vexal::RunRetrieval(program_, host_, *fetches_, gather);
}

}  // namespace vexal
