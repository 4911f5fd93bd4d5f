// The Qt program's windows.
#include "ui/qt/front_end.h"

#include "ui/qt/editor_window.h"
#include "ui/qt/preview_window.h"
#include "ui/qt/progress_window.h"

namespace vexal {

QtFrontEnd::QtFrontEnd(Program& program, Host& host, RunEnd& end)
    : program_(program), core_(program, host, *this, end) {}

QtFrontEnd::~QtFrontEnd() = default;

EditorView& QtFrontEnd::EditorWindow() {
    if (!editorWindow_) editorWindow_ = std::make_unique<QtEditorWindow>(program_.UserLanguage);
    return *editorWindow_;
}

ProgressView& QtFrontEnd::ProgressWindow() {
    if (!progressWindow_) progressWindow_ = std::make_unique<QtProgressWindow>(program_);
    return *progressWindow_;
}

PreviewWindowView& QtFrontEnd::PreviewWindow() {
    if (!previewWindow_) previewWindow_ = std::make_unique<QtPreviewWindow>(program_.UserLanguage);
    return *previewWindow_;
}

void QtFrontEnd::Bind(EditorPresenter& presenter) { editorWindow_->Bind(presenter); }
void QtFrontEnd::Bind(ProgressPresenter& presenter) { progressWindow_->Bind(presenter); }
void QtFrontEnd::Bind(PreviewPresenter& presenter) { previewWindow_->Bind(presenter); }

}  // namespace vexal
