// The editor's claim on its settings file under Windows: a named kernel object in the
// user's session, and a message-only window through which a later run asks the editor to
// come forward. Both are named after the file's full path, so editors on different files
// open side by side.
#pragma once

#include <functional>
#include <string>

#include "host/editor_claim.h"
#include "platform/win32/win32_api.h"

namespace vexal {

class Win32EditorClaim final : public EditorClaim {
public:
    Win32EditorClaim() = default;
    ~Win32EditorClaim() override;
    Win32EditorClaim(const Win32EditorClaim&) = delete;
    Win32EditorClaim& operator=(const Win32EditorClaim&) = delete;

    [[nodiscard]] ClaimOutcome Claim(const std::string& fullPath, std::function<void()> comeForward) override;
    void Release() override;

    // The message a later run sends to the holder's window.
    static constexpr UINT kComeForward = WM_APP + 0x51;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HANDLE object_ = nullptr;
    HWND window_ = nullptr;
    std::function<void()> comeForward_;
};

}  // namespace vexal
