// The editor's claim on its settings file under Windows: a named kernel object in the
// user's session, and a message-only window through which a later run asks the editor to
// come forward. There is a pair for each name of the file: its full path, and its volume
// and file index, which its hard links share. Editors on different files open side by
// side.
#pragma once

#include <functional>
#include <string>
#include <vector>

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
    // Takes one name's object and window, or asks its holder to come forward.
    ClaimOutcome ClaimName(const std::wstring& name);

    std::vector<HANDLE> objects_;
    std::vector<HWND> windows_;
    std::function<void()> comeForward_;
};

}  // namespace vexal
