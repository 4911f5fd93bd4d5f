// The Qt program's windows and what Main hands over to: the entry editor, or a retrieval
// through the progress window to the preview or the installed wallpaper. Each window is
// created on first use.
#pragma once

#include <memory>

#include "host/front_end.h"
#include "host/host.h"
#include "program/program.h"

namespace vexal {

class EditorPresenter;
class PreviewPresenter;
class QtEditorWindow;
class QtPreviewWindow;
class QtProgressWindow;
class Transfer;
class TransferFetches;

class QtFrontEnd final : public FrontEnd {
public:
    // `host` must carry dialogs, process, files and pump; socket and timer before the first
    // retrieval, images and desktop before the preview. Sets host.progress and host.preview.
    QtFrontEnd(Program& program, Host& host);
    ~QtFrontEnd() override;

    void ShowEditor() override;
    void RunRetrieval(bool gather) override;

    // The windows, created on first use (null before), for tests and screenshots.
    QtEditorWindow* editorWindow() const { return editorWindow_.get(); }
    QtProgressWindow* progressWindow() const { return progressWindow_.get(); }
    QtPreviewWindow* previewWindow() const { return previewWindow_.get(); }
    EditorPresenter* editor() const { return editor_.get(); }
    PreviewPresenter* preview() const { return preview_.get(); }

    // Creates the progress and preview windows, as a retrieval does before its first step.
    void LoadRetrievalWindows();

private:
    Program& program_;
    Host& host_;
    std::unique_ptr<QtEditorWindow> editorWindow_;
    std::unique_ptr<EditorPresenter> editor_;
    std::unique_ptr<QtProgressWindow> progressWindow_;
    std::unique_ptr<QtPreviewWindow> previewWindow_;
    std::unique_ptr<PreviewPresenter> preview_;
    std::unique_ptr<Transfer> transfer_;
    std::unique_ptr<TransferFetches> fetches_;
};

}  // namespace vexal
