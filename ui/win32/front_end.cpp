// The Windows program's windows.
#include "ui/win32/front_end.h"

#include "gather/driver.h"
#include "net/transfer.h"
#include "platform/win32/win32_event_pump.h"
#include "ui/editor.h"
#include "ui/preview_presenter.h"
#include "ui/win32/editor_window.h"
#include "ui/win32/preview_window.h"
#include "ui/win32/progress_window.h"

namespace vexal {

Win32FrontEnd::Win32FrontEnd(Program& program, Host& host, Win32EventPump& pump)
    : program_(program), host_(host), pump_(pump) {}

Win32FrontEnd::~Win32FrontEnd() {
    if (host_.progress == progressWindow_.get()) host_.progress = nullptr;
    if (host_.preview == preview_.get()) host_.preview = nullptr;
}

void Win32FrontEnd::ShowEditor() {
    if (!editorWindow_) {
        editorWindow_ = std::make_unique<Win32EditorWindow>();
        editor_ = std::make_unique<EditorPresenter>(program_, host_, *editorWindow_, *this);
        editorWindow_->Bind(*editor_);
        pump_.AddDialogWindow(editorWindow_->hwnd());
        editor_->Form_Load();
    }
    editorWindow_->ShowWindow();
}

void Win32FrontEnd::LoadRetrievalWindows() {
    if (!progressWindow_) {
        progressWindow_ = std::make_unique<Win32ProgressWindow>(program_);
        pump_.AddDialogWindow(progressWindow_->hwnd());
        host_.progress = progressWindow_.get();
    }
    if (!previewWindow_) {
        previewWindow_ = std::make_unique<Win32PreviewWindow>();
        preview_ = std::make_unique<PreviewPresenter>(program_, host_, *previewWindow_, *this);
        previewWindow_->Bind(*preview_);
        pump_.AddDialogWindow(previewWindow_->hwnd());
        host_.preview = preview_.get();
    }
    if (!transfer_ && host_.socket && host_.timer) {
        transfer_ = std::make_unique<Transfer>(host_, TransferStateOf(program_));
        fetches_ = std::make_unique<TransferFetches>(program_, *transfer_);
    }
}

void Win32FrontEnd::RunRetrieval(bool gather) {
    LoadRetrievalWindows();
    if (!fetches_) {
        host_.process->End(kExitFailure);
        return;
    }
    vexal::RunRetrieval(program_, host_, *fetches_, gather);
}

}  // namespace vexal
