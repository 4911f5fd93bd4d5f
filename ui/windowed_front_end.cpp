// A front end with windows, independent of the toolkit that draws them.
#include "ui/windowed_front_end.h"

#include "host/editor_claim.h"
#include "ui/editor.h"
#include "ui/host_services.h"
#include "ui/preview_presenter.h"
#include "ui/progress_presenter.h"

namespace vexal {

WindowedFrontEnd::WindowedFrontEnd(Program& program, Host& host, WindowKit& windows, RunEnd& end)
    : program_(program), host_(host), windows_(windows), end_(end), reporter_(program, *host.dialogs) {}

WindowedFrontEnd::~WindowedFrontEnd() = default;

void WindowedFrontEnd::ShowEditor() {
    EditorView& window = windows_.EditorWindow();
    if (!editor_) {
        editor_ = std::make_unique<EditorPresenter>(program_, host_, window, *this, end_);
        windows_.Bind(*editor_);
        editor_->Form_Load();
    }
    window.ShowWindow();
}

void WindowedFrontEnd::LoadRetrievalWindows() {
    if (!progress_) {
        progressWindow_ = &windows_.ProgressWindow();
        progress_ = std::make_unique<ProgressPresenter>(program_, *progressWindow_);
        windows_.Bind(*progress_);
    }
    if (!preview_) {
        preview_ = std::make_unique<PreviewPresenter>(program_, host_, windows_.PreviewWindow(), *this, end_);
        windows_.Bind(*preview_);
    }
    reporter_.SetProgress(progress_.get());
}

void WindowedFrontEnd::RunRetrieval(bool gather) {
    // The editor has saved and hidden for good: an editor started from now on opens.
    if (host_.editors) host_.editors->Release();
    LoadRetrievalWindows();
    if (!session_)
        session_ = std::make_unique<RetrievalSession>(program_, RetrievalServicesOf(host_), reporter_);
    EndRetrieval(session_->Run(gather), *preview_, end_);
}

}  // namespace vexal
