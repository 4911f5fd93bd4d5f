// The Windows program's windows. Each takes the dialog keys (Tab, Enter, Escape) once made.
#include "ui/win32/front_end.h"

#include "platform/win32/win32_event_pump.h"
#include "platform/win32/win32_run_guard.h"
#include "ui/win32/editor_window.h"
#include "ui/win32/preview_window.h"
#include "ui/win32/progress_window.h"

namespace vexal {

Win32FrontEnd::Win32FrontEnd(Program& program, Host& host, Win32EventPump& pump, RunEnd& end)
    : program_(program), pump_(pump), core_(program, host, *this, end) {}

Win32FrontEnd::~Win32FrontEnd() = default;

EditorView& Win32FrontEnd::EditorWindow() {
    if (!editorWindow_) {
        editorWindow_ = std::make_unique<Win32EditorWindow>(program_.UserLanguage);
        pump_.AddDialogWindow(editorWindow_->hwnd());
    }
    return *editorWindow_;
}

ProgressView& Win32FrontEnd::ProgressWindow() {
    if (!progressWindow_) {
        progressWindow_ = std::make_unique<Win32ProgressWindow>(program_);
        pump_.AddDialogWindow(progressWindow_->hwnd());
    }
    return *progressWindow_;
}

PreviewWindowView& Win32FrontEnd::PreviewWindow() {
    if (!previewWindow_) {
        previewWindow_ = std::make_unique<Win32PreviewWindow>(program_.UserLanguage);
        pump_.AddDialogWindow(previewWindow_->hwnd());
    }
    return *previewWindow_;
}

void Win32FrontEnd::ShowEditor() {
    // A console the typed command joined must not end the editor: closing it, Ctrl+C and
    // Ctrl+Break there would take unsaved entries with them, and a closing console leaves no
    // time to ask about them. The console companion goes on waiting, or ends with the console.
    Win32RunGuard::LeaveConsole();
    core_.ShowEditor();
}

void Win32FrontEnd::Bind(EditorPresenter& presenter) { editorWindow_->Bind(presenter); }
void Win32FrontEnd::Bind(ProgressPresenter& presenter) { progressWindow_->Bind(presenter); }
void Win32FrontEnd::Bind(PreviewPresenter& presenter) { previewWindow_->Bind(presenter); }

}  // namespace vexal
