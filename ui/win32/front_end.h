// The Windows program's windows and what Main hands over to: the entry editor, or a
// retrieval through the progress window to the preview or the installed wallpaper. Each
// window is created on first use; its presenter and the retrievals belong to the windowed
// front end.
#pragma once

#include <memory>

#include "host/front_end.h"
#include "host/host.h"
#include "program/program.h"
#include "ui/windowed_front_end.h"

namespace vexal {

class Win32EditorWindow;
class Win32EventPump;
class Win32PreviewWindow;
class Win32ProgressWindow;

class Win32FrontEnd final : public FrontEnd, private WindowKit {
public:
    // `host` must carry dialogs, process, files, socket, timer, images and desktop; `pump`
    // is host.pump, told which windows take dialog keys. `end` ends the run.
    Win32FrontEnd(Program& program, Host& host, Win32EventPump& pump, RunEnd& end);
    ~Win32FrontEnd() override;

    void ShowEditor() override;
    void RunRetrieval(bool gather) override { core_.RunRetrieval(gather); }

    // The windows, created on first use (null before), for screenshots and tests.
    Win32EditorWindow* editorWindow() const { return editorWindow_.get(); }
    Win32ProgressWindow* progressWindow() const { return progressWindow_.get(); }
    Win32PreviewWindow* previewWindow() const { return previewWindow_.get(); }

private:
    // WindowKit
    EditorView& EditorWindow() override;
    ProgressView& ProgressWindow() override;
    PreviewWindowView& PreviewWindow() override;
    void Bind(EditorPresenter& presenter) override;
    void Bind(ProgressPresenter& presenter) override;
    void Bind(PreviewPresenter& presenter) override;

    Program& program_;
    Win32EventPump& pump_;
    std::unique_ptr<Win32EditorWindow> editorWindow_;
    std::unique_ptr<Win32ProgressWindow> progressWindow_;
    std::unique_ptr<Win32PreviewWindow> previewWindow_;
    // Last, so it goes first: the presenters and the transfer before the windows.
    WindowedFrontEnd core_;
};

}  // namespace vexal
