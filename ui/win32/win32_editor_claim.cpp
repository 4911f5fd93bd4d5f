// The editor's claim on its settings file under Windows.
#include "ui/win32/win32_editor_claim.h"

#include <cstdint>
#include <cwchar>

#include "platform/win32/utf16.h"

namespace vexal {
namespace {

constexpr const wchar_t* kClaimClass = L"VexalEditorClaim";

// The name of a settings file however it was written: the full path, in one letter case
// as the file system ignores case, hashed into a name short enough for a kernel object. It
// also stands for the file once a save has replaced it (a new file index).
std::wstring PathName(const std::string& fullPath) {
    std::wstring path = win32::Widen(fullPath);
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size > 0) {
        std::wstring full(size, L'\0');
        const DWORD got = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
        if (got > 0 && got < size) {
            full.resize(got);
            path = full;
        }
    }
    if (!path.empty()) ::CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
    // FNV-1a over the UTF-16 units: the same in every build, unlike std::hash.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (wchar_t c : path) {
        hash ^= static_cast<std::uint16_t>(c);
        hash *= 0x100000001b3ull;
    }
    wchar_t name[40];
    std::swprintf(name, 40, L"vexal-editor-%016llx", static_cast<unsigned long long>(hash));
    return name;
}

// The name of the file itself while it exists, the same through each of its hard links:
// the volume's serial number and the file's index on it. Empty when it cannot be opened.
std::wstring FileName(const std::string& fullPath) {
    const HANDLE file = ::CreateFileW(win32::Widen(fullPath).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(file, &info) != 0;
    ::CloseHandle(file);
    if (!known) return {};
    wchar_t name[48];
    std::swprintf(name, 48, L"vexal-editor-%08lx-%08lx%08lx", info.dwVolumeSerialNumber, info.nFileIndexHigh,
                  info.nFileIndexLow);
    return name;
}

}  // namespace

Win32EditorClaim::~Win32EditorClaim() { Release(); }

ClaimOutcome Win32EditorClaim::Claim(const std::string& fullPath, std::function<void()> comeForward) {
    comeForward_ = std::move(comeForward);
    for (const std::wstring& name : {PathName(fullPath), FileName(fullPath)}) {
        if (!name.empty() && ClaimName(name) == ClaimOutcome::HeldElsewhere) {
            Release();
            return ClaimOutcome::HeldElsewhere;
        }
    }
    return ClaimOutcome::Claimed;
}

ClaimOutcome Win32EditorClaim::ClaimName(const std::wstring& name) {
    // "Local\": the user's own session, so another user's editor on a shared file is
    // never asked.
    const std::wstring objectName = L"Local\\" + name;
    // The holder may have made its object but not yet its window, or be ending: ask again
    // until it answers or its object is gone. One that never answers (a hung editor) does
    // not keep this one from opening.
    for (int attempt = 0; attempt < 250; ++attempt) {
        HANDLE object = ::CreateMutexW(nullptr, FALSE, objectName.c_str());
        if (!object) return ClaimOutcome::Claimed;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) {
            objects_.push_back(object);
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = Proc;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = kClaimClass;
            ::RegisterClassExW(&wc);  // fails harmlessly when already registered
            const HWND window = ::CreateWindowExW(0, kClaimClass, name.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE,
                                                  nullptr, wc.hInstance, this);
            if (window) windows_.push_back(window);
            return ClaimOutcome::Claimed;
        }
        HWND holder = ::FindWindowExW(HWND_MESSAGE, nullptr, kClaimClass, name.c_str());
        ::CloseHandle(object);
        if (holder) {
            // This run was started by the user and may bring a window forward; the holder
            // may not on its own, so it is given the right first.
            DWORD holderProcess = 0;
            ::GetWindowThreadProcessId(holder, &holderProcess);
            ::AllowSetForegroundWindow(holderProcess);
            DWORD_PTR answer = 0;
            if (::SendMessageTimeoutW(holder, kComeForward, 0, 0, SMTO_ABORTIFHUNG, 10000, &answer) &&
                answer == 1)
                return ClaimOutcome::HeldElsewhere;
        }
        ::Sleep(20);
    }
    return ClaimOutcome::Claimed;
}

void Win32EditorClaim::Release() {
    comeForward_ = nullptr;
    for (HWND window : windows_) ::DestroyWindow(window);
    windows_.clear();
    for (HANDLE object : objects_) ::CloseHandle(object);
    objects_.clear();
}

LRESULT CALLBACK Win32EditorClaim::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    if (message == kComeForward) {
        auto* self = reinterpret_cast<Win32EditorClaim*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self || !self->comeForward_) return 0;
        // The asking run waits for the answer, so the right to come forward it gave is
        // still good while the editor takes it.
        self->comeForward_();
        return 1;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace vexal
