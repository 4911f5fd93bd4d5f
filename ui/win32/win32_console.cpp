// Standard output of a windows program, with a message box in its place.
#include "ui/win32/win32_console.h"

#include "platform/win32/utf16.h"
#include "platform/win32/win32_api.h"

namespace vexal {

void Win32Console::Print(const std::string& utf8) {
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    const DWORD type = out && out != INVALID_HANDLE_VALUE ? ::GetFileType(out) : FILE_TYPE_UNKNOWN;
    DWORD written = 0;
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) {
        // The bytes as they are, as on Linux: a script reads the same text on both.
        if (::WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr)) return;
    } else if (type == FILE_TYPE_CHAR) {
        // A console shows UTF-16 whatever its code page.
        const std::wstring wide = win32::Widen(utf8);
        if (::WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr)) return;
    }
    if (!boxes_) return;
    std::string text = utf8;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    boxes_->ShowText(kPlainTitle, text);
}

}  // namespace vexal
