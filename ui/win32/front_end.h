// The Windows program's windows and what Main hands over to: the entry editor, or a
// retrieval through the progress window to the preview or the installed wallpaper. Each
// window is created on first use.
#pragma once

#include <memory>

#include "host/front_end.h"
#include "host/host.h"
#include "program/program.h"

namespace vexal {

class EditorPresenter;
class PreviewPresenter;
class Transfer;
class TransferFetches;
class Win32EditorWindow;
class Win32EventPump;
class Win32PreviewWindow;
class Win32ProgressWindow;

class Win32FrontEnd final : public FrontEnd {
public:
    // `host` must carry dialogs, process, files, socket, timer, images and desktop; `pump`
    // is host.pump, told which windows take dialog keys. Sets host.progress and
    // host.preview.
    Win32FrontEnd(Program& program, Host& host, Win32EventPump& pump);
    ~Win32FrontEnd() override;

    void ShowEditor() override;
    void RunRetrieval(bool gather) override;

    // The windows, created on first use (null before), for screenshots and tests.
    Win32EditorWindow* editorWindow() const { return editorWindow_.get(); }
    Win32ProgressWindow* progressWindow() const { return progressWindow_.get(); }
    Win32PreviewWindow* previewWindow() const { return previewWindow_.get(); }

private:
    void LoadRetrievalWindows();

    Program& program_;
    Host& host_;
    Win32EventPump& pump_;
    std::unique_ptr<Win32EditorWindow> editorWindow_;
    std::unique_ptr<EditorPresenter> editor_;
    std::unique_ptr<Win32ProgressWindow> progressWindow_;
    std::unique_ptr<Win32PreviewWindow> previewWindow_;
    std::unique_ptr<PreviewPresenter> preview_;
    std::unique_ptr<Transfer> transfer_;
    std::unique_ptr<TransferFetches> fetches_;
};

}  // namespace vexal
