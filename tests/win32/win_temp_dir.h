// A fresh folder under the Windows temporary folder, removed with everything in it.
#pragma once

#include <filesystem>
#include <string>

#include "platform/win32/utf16.h"
#include "platform/win32/win32_api.h"

namespace vexal::testing {

class WinTempDir {
public:
    WinTempDir() {
        wchar_t base[MAX_PATH + 1];
        ::GetTempPathW(MAX_PATH + 1, base);
        for (unsigned n = ::GetTickCount() ^ ::GetCurrentProcessId();; ++n) {
            std::wstring candidate = std::wstring(base) + L"vexal-test-" + std::to_wstring(n);
            if (::CreateDirectoryW(candidate.c_str(), nullptr)) {
                path_ = candidate;
                break;
            }
        }
    }
    ~WinTempDir() {
        // Attributes such as read-only would stop the removal.
        std::error_code ec;
        for (auto& e : std::filesystem::recursive_directory_iterator(path_, ec))
            ::SetFileAttributesW(e.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        std::filesystem::remove_all(path_, ec);
    }
    WinTempDir(const WinTempDir&) = delete;
    WinTempDir& operator=(const WinTempDir&) = delete;

    // The folder in UTF-8, with the trailing backslash that marks a folder path.
    std::string path() const { return win32::Narrow(path_) + "\\"; }
    std::string operator/(const std::string& name) const { return path() + name; }
    std::wstring wide(const std::string& name) const { return win32::Widen(path() + name); }

private:
    std::wstring path_;
};

}  // namespace vexal::testing
