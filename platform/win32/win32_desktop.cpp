// The wallpaper is a bitmap in the Windows folder that the system is told about; the style
// is read by the system from two string values when it applies the wallpaper, so they are
// written first.
#include "platform/win32/win32_desktop.h"

#include <vector>

#include "platform/win32/utf16.h"
#include "platform/win32/win32_api.h"

namespace vexal {

bool Win32Desktop::WallpaperFolder(std::string& folderOut) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    UINT n = ::GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (n >= buffer.size()) {  // the size needed, NUL included
        buffer.resize(n + 1);
        n = ::GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    }
    if (n == 0 || n >= buffer.size()) {
        reason_ = "Windows フォルダの場所が分かりません。";
        return false;
    }
    std::wstring folder(buffer.data(), n);
    // A Windows folder at a drive's root ("C:\") ends in the separator already.
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    folderOut = win32::Narrow(folder);
    return !folderOut.empty();
}

void Win32Desktop::SetKeyValue(const std::string& keyName, const std::string& valueName,
                               const std::string& valueSetting) {
    // The key is opened, never created: a user without it keeps a desktop without it.
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, win32::Widen(keyName).c_str(), 0, KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS)
        return;
    const std::wstring value = win32::Widen(valueSetting);
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));  // the NUL counted
    ::RegSetValueExW(key, win32::Widen(valueName).c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    ::RegCloseKey(key);
}

bool Win32Desktop::SetWallpaper(const std::string& path) {
    std::wstring wide = win32::Widen(path);
    if (::SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, wide.data(),
                                SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE))
        return true;
    reason_ =
        "システムが壁紙の設定を受け付けませんでした（エラー " + std::to_string(::GetLastError()) + "）。";
    return false;
}

}  // namespace vexal
