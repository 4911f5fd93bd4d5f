// The wallpaper is a bitmap that the system is told about; the style is read by the system
// from two string values when it applies the wallpaper, so they are written first, and put
// back as they were when the system refuses the bitmap. The bitmap goes into the Windows
// folder, as it always has, where the running user may write there; a standard user of
// today's Windows may not (and a 64-bit program gets no file virtualisation), so then it
// goes into the user's own local application data folder.
#include "platform/win32/win32_desktop.h"

#include <vector>

#include "host/run_guard.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_api.h"
// clang-format off
#include <shlobj.h>
#include <shobjidl.h>
#include <knownfolders.h>
// clang-format on

namespace vexal {
namespace {

// Where the system keeps the wallpaper's style values.
constexpr const char* kStyleKey = "Control Panel\\Desktop";
const std::vector<std::string> kStyleNames = {"WallpaperStyle", "TileWallpaper"};

// The key, opened for `access`; null when it is not there.
HKEY OpenUserKey(const std::string& key, REGSAM access) {
    HKEY h = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, win32::Widen(key).c_str(), 0, access, &h) != ERROR_SUCCESS)
        return nullptr;
    return h;
}

// Where the user's colour scheme keeps the desktop colour, as "R G B" in decimal.
constexpr const char* kColoursKey = "Control Panel\\Colors";
constexpr const char* kBackgroundName = "Background";

// The colour scheme's key, made when missing (it is the system's own, read at log-on);
// null when it cannot be had.
HKEY ColoursKey(REGSAM access) {
    HKEY h = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, win32::Widen(kColoursKey).c_str(), 0, nullptr, 0, access,
                          nullptr, &h, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return h;
}

// Makes `colour` (0x00RRGGBB) the desktop colour now and at the next log-on.
void SetDesktopColour(std::uint32_t colour) {
    const BYTE r = static_cast<BYTE>(colour >> 16), g = static_cast<BYTE>(colour >> 8),
               b = static_cast<BYTE>(colour);
    const INT element = COLOR_BACKGROUND;
    const COLORREF value = RGB(r, g, b);
    ::SetSysColors(1, &element, &value);
    const HKEY h = ColoursKey(KEY_SET_VALUE);
    if (!h) return;
    const std::wstring text =
        win32::Widen(std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b));
    ::RegSetValueExW(h, win32::Widen(kBackgroundName).c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(h);
}

// Whether this user may create files in `folder`: a file of the program's own temporary
// kind is made there and goes again when its handle closes, even if the process is killed.
bool CanCreateFilesIn(const std::string& folder) {
    const std::string probe = TempPathFor(folder + "\\write-test", ::GetCurrentProcessId());
    const HANDLE file =
        ::CreateFileW(win32::Widen(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(file);
    return true;
}

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM screens) {
    MONITORINFOEXW info{};
    info.cbSize = sizeof info;
    if (!::GetMonitorInfoW(monitor, &info)) return TRUE;
    const RECT& r = info.rcMonitor;
    reinterpret_cast<std::vector<Screen>*>(screens)->push_back(
        {{r.left, r.top, r.right - r.left, r.bottom - r.top}, win32::Narrow(info.szDevice)});
    return TRUE;
}

}  // namespace

std::vector<Screen> Win32Desktop::Screens() {
    std::vector<Screen> screens;
    ::EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&screens));
    return screens;
}

std::uint32_t Win32Desktop::BackgroundColour() {
    const COLORREF c = ::GetSysColor(COLOR_DESKTOP);
    return static_cast<std::uint32_t>(GetRValue(c)) << 16 | static_cast<std::uint32_t>(GetGValue(c)) << 8 |
           GetBValue(c);
}

ScreenWallpapers Win32Desktop::SetScreenWallpapers(const std::vector<std::string>& paths,
                                                   const std::vector<Screen>& screens) {
    // COM may be on already in this thread, in either model: then it stays as it was.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IDesktopWallpaper* wallpaper = nullptr;
    ScreenWallpapers done;
    if (SUCCEEDED(::CoCreateInstance(CLSID_DesktopWallpaper, nullptr, CLSCTX_ALL, IID_IDesktopWallpaper,
                                     reinterpret_cast<void**>(&wallpaper)))) {
        done.handled = true;
        UINT count = 0;
        std::size_t matched = 0;
        // The position is the style: the system stores it in the same two values.
        DESKTOP_WALLPAPER_POSITION position{};
        const bool positionKnown = SUCCEEDED(wallpaper->GetPosition(&position));
        std::vector<SavedValue> saved;
        const bool valuesSaved = SaveValues(kStyleKey, kStyleNames, saved);
        HRESULT hr = wallpaper->GetMonitorDevicePathCount(&count);
        // Each bitmap has its monitor's size already, so it is drawn as it is.
        if (SUCCEEDED(hr)) hr = wallpaper->SetPosition(DWPOS_FILL);
        // The interface names monitors by device path: they are matched to the screens by
        // where they stand.
        for (UINT i = 0; SUCCEEDED(hr) && i < count; ++i) {
            LPWSTR id = nullptr;
            RECT r{};
            if (FAILED(wallpaper->GetMonitorDevicePathAt(i, &id)) || !id) continue;
            if (SUCCEEDED(wallpaper->GetMonitorRECT(id, &r)))
                for (std::size_t k = 0; k < screens.size() && k < paths.size(); ++k) {
                    const PixelRect& s = screens[k].rect;
                    if (s.x == r.left && s.y == r.top && s.width == r.right - r.left &&
                        s.height == r.bottom - r.top) {
                        hr = wallpaper->SetWallpaper(id, win32::Widen(paths[k]).c_str());
                        ++matched;
                        break;
                    }
                }
            ::CoTaskMemFree(id);
        }
        // Monitors the interface does not know as the screens were listed: spanned instead.
        if (SUCCEEDED(hr) && matched == 0) done.handled = false;
        if (FAILED(hr))
            done.result = {DesktopFailure::SystemRefused, {}, {}, {}, static_cast<std::int64_t>(hr)};
        if (FAILED(hr) || !done.handled) {
            if (positionKnown) (void)wallpaper->SetPosition(position);
            if (valuesSaved) PutBackValues(kStyleKey, saved);
        }
        wallpaper->Release();
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
    return done;
}

DesktopResult Win32Desktop::WindowsFolder(std::string& folderOut) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    UINT n = ::GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (n >= buffer.size()) {  // the size needed, NUL included
        buffer.resize(n + 1);
        n = ::GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    }
    const DesktopResult noFolder{DesktopFailure::NoSystemFolder, {}, {}, {}, 0};
    if (n == 0 || n >= buffer.size()) return noFolder;
    std::wstring folder(buffer.data(), n);
    // A Windows folder at a drive's root ("C:\") ends in the separator already.
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    folderOut = win32::Narrow(folder);
    return folderOut.empty() ? noFolder : DesktopResult{};
}

DesktopResult Win32Desktop::UserFolder(std::string& folderOut) {
    PWSTR base = nullptr;
    const HRESULT found = ::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &base);
    std::wstring folder = SUCCEEDED(found) && base ? std::wstring(base) : std::wstring();
    ::CoTaskMemFree(base);
    if (folder.empty()) return {DesktopFailure::NoUserFolder, {}, {}, {}, 0};
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    folder += L"\\vexal";
    if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return {DesktopFailure::UserFolderNotMade, win32::Narrow(folder), {}, {}, 0};
    folderOut = win32::Narrow(folder);
    return {};
}

DesktopResult Win32Desktop::WallpaperFolder(std::string& folderOut) {
    if (wallpaperFolder_.empty()) {
        std::string windows;
        if (DesktopResult found = WindowsFolder(windows); !found) return found;
        if (CanCreateFilesIn(windows)) {
            wallpaperFolder_ = windows;
        } else if (DesktopResult own = UserFolder(wallpaperFolder_); !own) {
            wallpaperFolder_.clear();
            return own;
        }
    }
    folderOut = wallpaperFolder_;
    return {};
}

DesktopResult Win32Desktop::LockFolder(std::string& folderOut) { return UserFolder(folderOut); }

bool SaveValues(const std::string& key, const std::vector<std::string>& names,
                std::vector<SavedValue>& savedOut) {
    const HKEY h = OpenUserKey(key, KEY_QUERY_VALUE);
    if (!h) return false;
    savedOut.clear();
    bool whole = true;
    for (const std::string& name : names) {
        SavedValue value;
        value.name = name;
        const std::wstring wideName = win32::Widen(name);
        DWORD type = 0, bytes = 0;
        LONG status = ::RegQueryValueExW(h, wideName.c_str(), nullptr, &type, nullptr, &bytes);
        // The value may grow between the two calls; then its size is asked again.
        while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
            value.data.resize(bytes);
            status = ::RegQueryValueExW(h, wideName.c_str(), nullptr, &type, value.data.data(), &bytes);
            if (status == ERROR_SUCCESS) {
                value.data.resize(bytes);
                value.existed = true;
                value.type = type;
                break;
            }
        }
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) whole = false;
        savedOut.push_back(std::move(value));
    }
    ::RegCloseKey(h);
    return whole;
}

void WriteStringValues(const std::string& key,
                       const std::vector<std::pair<std::string, std::string>>& values) {
    const HKEY h = OpenUserKey(key, KEY_SET_VALUE);
    if (!h) return;
    for (const auto& [name, text] : values) {
        const std::wstring value = win32::Widen(text);
        const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));  // the NUL counted
        ::RegSetValueExW(h, win32::Widen(name).c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    }
    ::RegCloseKey(h);
}

void PutBackValues(const std::string& key, const std::vector<SavedValue>& saved) {
    const HKEY h = OpenUserKey(key, KEY_SET_VALUE);
    if (!h) return;
    for (const SavedValue& value : saved) {
        const std::wstring name = win32::Widen(value.name);
        if (!value.existed) {
            ::RegDeleteValueW(h, name.c_str());
            continue;
        }
        // RegSetValueExW looks at the character after a string and stores it too when the
        // string's last one is not NUL and that one is: a string stored without its NUL
        // keeps its length only with something else behind it.
        std::vector<unsigned char> data = value.data;
        data.insert(data.end(), {0xFF, 0xFF});
        ::RegSetValueExW(h, name.c_str(), 0, value.type, data.data(), static_cast<DWORD>(value.data.size()));
    }
    ::RegCloseKey(h);
}

DesktopResult Win32Desktop::SetWallpaper(const std::string& path, const StyleValues& style) {
    // Only values that can be put back exactly are written; without a style the desktop
    // keeps its own.
    std::vector<SavedValue> saved;
    const bool styled = !style.Empty() && SaveValues(kStyleKey, kStyleNames, saved);
    if (styled)
        WriteStringValues(kStyleKey,
                          {{kStyleNames[0], style.wallpaperStyle}, {kStyleNames[1], style.tileWallpaper}});
    // The desktop colour around the picture: the running session's, and the user's
    // colour scheme in the registry, where it is read again at the next log-on.
    std::vector<SavedValue> savedColour;
    const COLORREF oldColour = ::GetSysColor(COLOR_BACKGROUND);
    bool coloured = false;
    if (style.background) {
        if (const HKEY made = ColoursKey(KEY_QUERY_VALUE)) ::RegCloseKey(made);
        coloured = SaveValues(kColoursKey, {kBackgroundName}, savedColour);
    }
    if (coloured) SetDesktopColour(*style.background);
    std::wstring wide = win32::Widen(path);
    if (::SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, wide.data(),
                                SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE))
        return {};
    const DWORD error = ::GetLastError();
    if (styled) PutBackValues(kStyleKey, saved);
    if (coloured) {
        const INT element = COLOR_BACKGROUND;
        ::SetSysColors(1, &element, &oldColour);
        PutBackValues(kColoursKey, savedColour);
    }
    return {DesktopFailure::SystemRefused, {}, {}, {}, static_cast<std::int64_t>(error)};
}

}  // namespace vexal
