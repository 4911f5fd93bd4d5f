// Starting the program with its standard error on a pipe that a thread drains, so a
// chatty program can never block on a full pipe.
#include "win32/program/program_runner.h"

#include <algorithm>
#include <thread>

#include "platform/win32/utf16.h"
#include "text/codepage.h"
// clang-format off
#include <shlobj.h>
#include <knownfolders.h>
// clang-format on

namespace vexal::testing {

std::wstring BuildMachinePath(std::string path) {
    // Under Wine a POSIX path is reached through drive Z:.
    if (!path.empty() && path[0] == '/') {
        for (char& c : path)
            if (c == '/') c = '\\';
        path = "Z:" + path;
    }
    return win32::Widen(path);
}

std::wstring ProgramPath() {
    const wchar_t* chosen = _wgetenv(L"VEXAL_TEST_PROGRAM");
    return chosen && *chosen ? std::wstring(chosen) : BuildMachinePath(VEXAL_PROGRAM);
}

std::wstring CompanionPath() {
    std::wstring path = ProgramPath();
    const std::size_t dot = path.find_last_of(L'.');
    return path.substr(0, dot) + L".com";
}

std::string SettingsText(const std::vector<EntryLines>& entries, const std::string& winFolderWPname,
                         const std::string& newMsg) {
    std::string t = "'vexal   ver.1.00\r\n\r\nNewMsg = " + newMsg +
                    "\r\nCacheFileName = wpcache\r\nWinFolderWPname = " + winFolderWPname +
                    "\r\nTimeOut = 30\r\n-\r\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const EntryLines& e = entries[i];
        t += "Name = " + e.Name + "\r\nUrl = " + e.Url + "\r\nComment = " + e.Comment +
             "\r\nFilter = " + e.Filter + "\r\nExt = " + e.Ext + "\r\nWpState = " + e.WpState +
             "\r\nNo = " + e.No + "\r\nNo_n = " + e.No_n + "\r\nRefstr = " + e.Refstr + "\r\n";
        if (i + 1 != entries.size()) t += "-\r\n";
    }
    return t;
}

bool WriteSettings(const std::string& path, const std::string& utf8) {
    std::string bytes;
    if (!Utf8ToCp932(utf8, bytes)) return false;
    HANDLE f =
        ::CreateFileW(win32::Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    ::CloseHandle(f);
    return ok;
}

std::string ReadWholeFile(const std::string& path) {
    HANDLE f = ::CreateFileW(win32::Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    ::CloseHandle(f);
    return bytes;
}

std::string ReadSettings(const std::string& path) { return DecodeLocalText(ReadWholeFile(path), true); }

bool FileExists(const std::string& path) {
    return ::GetFileAttributesW(win32::Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::uint64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(win32::Widen(path).c_str(), GetFileExInfoStandard, &data)) return 0;
    return static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

RunningProgram::RunningProgram(const std::string& folder, const std::string& arguments, bool unattended,
                               bool outputToo, HANDLE standardError, DWORD creationFlags,
                               const std::wstring& shortcut, const std::wstring& program) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE errorWrite = nullptr;
    if (standardError) {
        if (!::DuplicateHandle(::GetCurrentProcess(), standardError, ::GetCurrentProcess(), &errorWrite, 0,
                               TRUE, DUPLICATE_SAME_ACCESS))
            return;
    } else {
        if (!::CreatePipe(&errorRead_, &errorWrite, &inherit, 0)) return;
        ::SetHandleInformation(errorRead_, HANDLE_FLAG_INHERIT, 0);
    }
    HANDLE nul = ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               &inherit, OPEN_EXISTING, 0, nullptr);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = outputToo ? errorWrite : nul;
    startup.hStdError = errorWrite;
    std::wstring title = shortcut;
    if (!title.empty()) {
        startup.dwFlags |= STARTF_TITLEISLINKNAME;
        startup.lpTitle = title.data();
    }

    std::wstring commandLine = L"\"" + (program.empty() ? ProgramPath() : program) + L"\"";
    if (!arguments.empty()) commandLine += L" " + win32::Widen(arguments);
    // The child inherits this process's environment, changed for it alone.
    ::SetEnvironmentVariableW(L"VEXAL_NONINTERACTIVE", unattended ? L"1" : nullptr);
    PROCESS_INFORMATION info{};
    const std::wstring directory = win32::Widen(folder);
    if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, creationFlags, nullptr,
                         directory.c_str(), &startup, &info)) {
        process_ = info.hProcess;
        processId_ = info.dwProcessId;
        ::CloseHandle(info.hThread);
    }
    ::SetEnvironmentVariableW(L"VEXAL_NONINTERACTIVE", nullptr);
    ::CloseHandle(errorWrite);  // the child holds its own copy; EOF comes when it ends
    if (nul != INVALID_HANDLE_VALUE) ::CloseHandle(nul);
    if (!errorRead_) return;
    reader_ = new std::thread([this] { ReadUntilTheProgramEnds(); });
}

// Reads the program's standard error until the program has ended and the pipe holds no
// more. The end of the pipe alone is not enough: the first window of a fresh Wine prefix
// starts Wine's own desktop process from inside the program, and that process can keep
// the pipe's writing end open long after the program has gone.
void RunningProgram::ReadUntilTheProgramEnds() {
    char buffer[4096];
    while (true) {
        DWORD waiting = 0;
        if (!::PeekNamedPipe(errorRead_, nullptr, 0, nullptr, &waiting, nullptr)) return;  // all writers gone
        if (waiting == 0) {
            if (!process_) return;
            // Bytes written before the end are in the pipe by then: one more look takes them.
            if (::WaitForSingleObject(process_, 20) == WAIT_OBJECT_0) {
                if (::PeekNamedPipe(errorRead_, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0)
                    continue;
                return;
            }
            continue;
        }
        DWORD got = 0;
        if (!::ReadFile(errorRead_, buffer, std::min<DWORD>(waiting, sizeof buffer), &got, nullptr) ||
            got == 0)
            return;
        errorText_.append(buffer, got);
    }
}

RunningProgram::~RunningProgram() {
    if (process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(process_, 99);  // the test's own child, left running by a failure
        ::WaitForSingleObject(process_, 10000);
    }
    if (auto* reader = static_cast<std::thread*>(reader_)) {
        reader->join();
        delete reader;
    }
    if (errorRead_) ::CloseHandle(errorRead_);
    if (process_) ::CloseHandle(process_);
}

Outcome RunningProgram::Wait(DWORD timeoutMs) {
    Outcome outcome;
    if (!process_) return outcome;
    if (::WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
        outcome.timedOut = true;
        ::TerminateProcess(process_, 99);
        ::WaitForSingleObject(process_, 10000);
    }
    ::GetExitCodeProcess(process_, &outcome.exitCode);
    if (auto* reader = static_cast<std::thread*>(reader_)) {
        reader->join();
        delete reader;
        reader_ = nullptr;
    }
    outcome.standardError = errorText_;
    return outcome;
}

HWND RunningProgram::WaitForWindow(const wchar_t* className, const std::wstring& title, int childId,
                                   DWORD timeoutMs) const {
    struct Search {
        DWORD processId;
        const wchar_t* className;
        const std::wstring* title;
        int childId;
        HWND found = nullptr;
    } search{processId_, className, &title, childId};
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (::GetTickCount64() < end) {
        ::EnumWindows(
            [](HWND w, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                DWORD owner = 0;
                ::GetWindowThreadProcessId(w, &owner);
                if (owner != s->processId || !::IsWindowVisible(w)) return TRUE;
                wchar_t cls[64] = {};
                ::GetClassNameW(w, cls, 64);
                if (std::wstring(cls) != s->className) return TRUE;
                if (!s->title->empty()) {
                    wchar_t text[256] = {};
                    ::GetWindowTextW(w, text, 256);
                    if (*s->title != text) return TRUE;
                }
                if (s->childId && !::GetDlgItem(w, s->childId)) return TRUE;
                s->found = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        if (process_ && ::WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) return nullptr;
        ::Sleep(50);
    }
    return nullptr;
}

Outcome RunUnattended(const std::string& folder, const std::string& arguments) {
    RunningProgram program(folder, arguments, true);
    return program.Wait();
}

int EndSession(DWORD processId, HWND window) {
    struct Search {
        DWORD processId;
        std::vector<HWND> windows;
    } search{processId, {}};
    if (window) {
        search.windows.push_back(window);
    } else {
        ::EnumWindows(
            [](HWND w, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                DWORD owner = 0;
                ::GetWindowThreadProcessId(w, &owner);
                if (owner == s->processId) s->windows.push_back(w);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
    }
    int agreed = 0;
    for (HWND w : search.windows) {
        DWORD_PTR answer = 0;
        if (::SendMessageTimeoutW(w, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000,
                                  &answer) &&
            answer)
            ++agreed;
    }
    // The program may end while it is told; the windows after that one are gone.
    for (HWND w : search.windows) {
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(w, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &ignored);
    }
    return agreed;
}

bool EnsureConsole() {
    // A process on a pipe may still make screen buffers without being attached to any
    // console; only a console of its own takes part in its control events.
    if (::GetConsoleWindow()) return true;
    ::FreeConsole();
    return ::AllocConsole() != 0;
}

bool PressCtrlC() {
    static const bool passing =
        ::SetConsoleCtrlHandler([](DWORD type) -> BOOL { return type == CTRL_C_EVENT; }, TRUE);
    HANDLE input = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (!passing || input == INVALID_HANDLE_VALUE) return false;
    INPUT_RECORD keys[2] = {};
    for (int i = 0; i < 2; ++i) {
        KEY_EVENT_RECORD& key = keys[i].Event.KeyEvent;
        keys[i].EventType = KEY_EVENT;
        key.bKeyDown = i == 0;
        key.wRepeatCount = 1;
        key.wVirtualKeyCode = 'C';
        key.uChar.UnicodeChar = 3;  // Ctrl+C
        key.dwControlKeyState = LEFT_CTRL_PRESSED;
    }
    DWORD written = 0;
    const bool typed = ::WriteConsoleInputW(input, keys, 2, &written) && written == 2;
    ::CloseHandle(input);
    return typed;
}

std::string DesktopValue(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof buffer;
    if (::RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", name, RRF_RT_REG_SZ, nullptr, buffer,
                       &bytes) != ERROR_SUCCESS)
        return {};
    return win32::Narrow(buffer);
}

void SetDesktopValue(const wchar_t* name, const std::string& value) {
    const std::wstring wide = win32::Widen(value);
    ::RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", name, REG_SZ, wide.c_str(),
                      static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

std::string WindowsFolder() {
    wchar_t buffer[MAX_PATH] = {};
    ::GetWindowsDirectoryW(buffer, MAX_PATH);
    std::string folder = win32::Narrow(buffer);
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

bool WindowsFolderWritable() {
    const std::wstring probe =
        win32::Widen(WindowsFolder()) + L"\\vexal-test-probe-" + std::to_wstring(::GetCurrentProcessId());
    const HANDLE file = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(file);
    return true;
}

namespace {
std::string KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::string folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path)) && path) folder = win32::Narrow(path);
    ::CoTaskMemFree(path);
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}
}  // namespace

std::string UserFolder() { return KnownFolder(FOLDERID_LocalAppData) + "\\vexal"; }

std::string WallpaperFolder() { return WindowsFolderWritable() ? WindowsFolder() : UserFolder(); }

std::string DocumentsFolder() { return KnownFolder(FOLDERID_Documents); }

namespace {
constexpr const wchar_t* kUserShellFolders =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
}  // namespace

MovedDocuments::MovedDocuments(const std::string& folder) {
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof buffer - sizeof(wchar_t);
    hadOld_ = ::RegGetValueW(HKEY_CURRENT_USER, kUserShellFolders, L"Personal",
                             RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &oldType_, buffer,
                             &bytes) == ERROR_SUCCESS;
    old_ = buffer;
    const std::wstring wide = win32::Widen(folder);
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kUserShellFolders, L"Personal", REG_EXPAND_SZ, wide.c_str(),
                      static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

MovedDocuments::~MovedDocuments() {
    if (hadOld_)
        ::RegSetKeyValueW(HKEY_CURRENT_USER, kUserShellFolders, L"Personal", oldType_, old_.c_str(),
                          static_cast<DWORD>((old_.size() + 1) * sizeof(wchar_t)));
    else
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kUserShellFolders, L"Personal");
}

std::string WindowTextOf(HWND window) {
    // WM_GETTEXT, not GetWindowTextW: across processes the latter reads only a window's
    // caption, never an edit box's or a list's current text.
    DWORD_PTR length = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    std::wstring buffer(length + 1, L'\0');
    DWORD_PTR got = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                          SMTO_ABORTIFHUNG, 5000, &got);
    buffer.resize(std::min<std::size_t>(got, length));
    return win32::Narrow(buffer);
}

void PostClick(HWND window, int id) {
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, id)));
}

void PostChoice(HWND window, int id, int index) {
    HWND list = ::GetDlgItem(window, id);
    ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

}  // namespace vexal::testing

namespace vexal::testing {

std::vector<std::string> ControlTexts(HWND window) {
    std::vector<std::string> texts;
    for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        texts.push_back(WindowTextOf(child));
    return texts;
}

}  // namespace vexal::testing
