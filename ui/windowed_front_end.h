// A front end with windows: the entry editor, or a retrieval through the progress window
// to the preview. The presenters and the retrieval session live here, each window's
// presenter made with its window on first use; a toolkit supplies only the windows.
#pragma once

#include <memory>

#include "gather/session.h"
#include "host/editor_view.h"
#include "host/front_end.h"
#include "host/host.h"
#include "host/progress_view.h"
#include "program/program.h"
#include "ui/retrieval_reporter.h"
#include "ui/run_end.h"

namespace vexal {

class EditorPresenter;
class PreviewPresenter;
class PreviewWindowView;
class ProgressPresenter;

// The windows of one toolkit. Each is made on the first call and kept; Bind routes the
// window's events to its presenter, which outlives nothing but the window.
class WindowKit {
public:
    virtual ~WindowKit() = default;
    virtual EditorView& EditorWindow() = 0;
    virtual ProgressView& ProgressWindow() = 0;
    virtual PreviewWindowView& PreviewWindow() = 0;
    virtual void Bind(EditorPresenter& presenter) = 0;
    virtual void Bind(ProgressPresenter& presenter) = 0;
    virtual void Bind(PreviewPresenter& presenter) = 0;
};

class WindowedFrontEnd final : public FrontEnd {
public:
    // `host` must carry dialogs, process, files and pump; socket and timer before the first
    // retrieval, images and desktop before the preview. `windows` must outlive it.
    WindowedFrontEnd(Program& program, Host& host, WindowKit& windows, RunEnd& end);
    ~WindowedFrontEnd() override;

    void ShowEditor() override;
    void RunRetrieval(bool gather) override;

    // Makes the progress and preview windows with their presenters, as a retrieval does
    // before its first step.
    void LoadRetrievalWindows();

    // The presenters, made on first use (null before).
    EditorPresenter* editor() const { return editor_.get(); }
    ProgressPresenter* progress() const { return progress_.get(); }
    PreviewPresenter* preview() const { return preview_.get(); }

private:
    Program& program_;
    Host& host_;
    WindowKit& windows_;
    RunEnd& end_;
    std::unique_ptr<EditorPresenter> editor_;
    ProgressView* progressWindow_ = nullptr;
    std::unique_ptr<ProgressPresenter> progress_;
    std::unique_ptr<PreviewPresenter> preview_;
    RetrievalReporter reporter_;
    // Made with the first retrieval, from the services the host has by then.
    std::unique_ptr<RetrievalSession> session_;
};

}  // namespace vexal
