// A console takes bytes in its output code page, which is rarely UTF-8 (932 on a Japanese
// system, 437 on many others); WriteConsoleW bypasses it, so the Japanese text is readable
// whatever the code page. A redirected handle gets the bytes unchanged.
#include "platform/win32/standard_error.h"

#include <algorithm>

#include "platform/win32/utf16.h"
#include "platform/win32/win32_api.h"

namespace vexal::win32 {

void WriteStandardError(std::string_view utf8) {
    HANDLE out = ::GetStdHandle(STD_ERROR_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    if (::GetConsoleMode(out, &mode)) {
        const std::wstring wide = Widen(utf8);
        std::size_t done = 0;
        while (done < wide.size()) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
            if (!::WriteConsoleW(out, wide.data() + done, chunk, &written, nullptr) || written == 0) return;
            done += written;
        }
        return;
    }
    while (!utf8.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(utf8.size(), 1u << 20));
        if (!::WriteFile(out, utf8.data(), chunk, &written, nullptr) || written == 0) return;
        utf8.remove_prefix(written);
    }
}

}  // namespace vexal::win32
