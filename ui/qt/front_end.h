// The Qt program's windows and what Main hands over to: the entry editor, or a retrieval
// through the progress window to the preview or the installed wallpaper. Each window is
// created on first use; its presenter and the retrievals belong to the windowed front end.
#pragma once

#include <memory>

#include "host/front_end.h"
#include "host/host.h"
#include "program/program.h"
#include "ui/windowed_front_end.h"

namespace vexal {

class EditorPresenter;
class PreviewPresenter;
class QtEditorWindow;
class QtPreviewWindow;
class QtProgressWindow;

class QtFrontEnd final : public FrontEnd, private WindowKit {
public:
    // `host` must carry dialogs, process, files and pump; socket and timer before the first
    // retrieval, images and desktop before the preview. `end` ends the run.
    QtFrontEnd(Program& program, Host& host, RunEnd& end);
    ~QtFrontEnd() override;

    void ShowEditor() override { core_.ShowEditor(); }
    void RunRetrieval(bool gather) override { core_.RunRetrieval(gather); }

    // The windows, created on first use (null before), for tests and screenshots.
    QtEditorWindow* editorWindow() const { return editorWindow_.get(); }
    QtProgressWindow* progressWindow() const { return progressWindow_.get(); }
    QtPreviewWindow* previewWindow() const { return previewWindow_.get(); }
    EditorPresenter* editor() const { return core_.editor(); }
    PreviewPresenter* preview() const { return core_.preview(); }

    // Creates the progress and preview windows, as a retrieval does before its first step.
    void LoadRetrievalWindows() { core_.LoadRetrievalWindows(); }

private:
    // WindowKit
    EditorView& EditorWindow() override;
    ProgressView& ProgressWindow() override;
    PreviewWindowView& PreviewWindow() override;
    void Bind(EditorPresenter& presenter) override;
    void Bind(ProgressPresenter& presenter) override;
    void Bind(PreviewPresenter& presenter) override;

    Program& program_;
    std::unique_ptr<QtEditorWindow> editorWindow_;
    std::unique_ptr<QtProgressWindow> progressWindow_;
    std::unique_ptr<QtPreviewWindow> previewWindow_;
    // Last, so it goes first: the presenters and the transfer before the windows.
    WindowedFrontEnd core_;
};

}  // namespace vexal
