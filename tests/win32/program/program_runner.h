// Running the real vexal.exe from a test under Wine (or Windows): a working folder with
// its settings file, the program's exit status and standard error, the registry values
// the program writes, and the windows of the running program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/win32_api.h"

namespace vexal::testing {

// A path as the build machine names it, as Windows names it.
std::wstring BuildMachinePath(std::string path);
// vexal.exe as Windows names it: the one built here, or the one VEXAL_TEST_PROGRAM names
// (an installed program, say).
std::wstring ProgramPath();
// The console companion beside it, vexal.com.
std::wstring CompanionPath();

struct Outcome {
    DWORD exitCode = 0xFFFFFFFF;
    std::string standardError;  // UTF-8, as the program writes it
    bool timedOut = false;
};

// One entry of a settings file, as its nine lines give it.
struct EntryLines {
    std::string Name, Url, Comment, Filter = "000000", Ext = "0000", WpState = "0", No = "0", No_n = "1",
                                    Refstr;
};

// The text of a settings file with the four settings and `entries` (UTF-8, CR LF lines),
// exactly as the program writes one.
std::string SettingsText(const std::vector<EntryLines>& entries, const std::string& winFolderWPname,
                         const std::string& newMsg = "(新規)");
// Writes `utf8` as code page 932; false when it cannot.
bool WriteSettings(const std::string& path, const std::string& utf8);
// The settings file read back as UTF-8.
std::string ReadSettings(const std::string& path);

// Sets an environment variable for the programs a test starts (they inherit the test's
// environment), and puts back what it was when it goes.
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const wchar_t* value) : name_(name) {
        wchar_t old[256];
        const DWORD length = ::GetEnvironmentVariableW(name, old, 256);
        if (length > 0 && length < 256) old_ = std::wstring(old, length);
        had_ = length > 0 && length < 256;
        ::SetEnvironmentVariableW(name, value);
    }
    ~ScopedVariable() { ::SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const wchar_t* name_;
    std::wstring old_;
    bool had_ = false;
};

// A started program; ended (killed if still running) when it goes.
class RunningProgram {
public:
    // Starts vexal.exe with `arguments` in `folder`; `unattended` sets VEXAL_NONINTERACTIVE=1.
    // Standard output goes nowhere, or with `outputToo` into the same pipe as standard error.
    // Standard error is that pipe, read into Outcome::standardError, or `standardError` (an
    // inheritable handle, a console for one) when given. `creationFlags` go to CreateProcess.
    // A `shortcut` path starts it as the shell starts a program from that shortcut.
    // `program` starts another program than vexal.exe (its console companion, say).
    RunningProgram(const std::string& folder, const std::string& arguments, bool unattended,
                   bool outputToo = false, HANDLE standardError = nullptr, DWORD creationFlags = 0,
                   const std::wstring& shortcut = {}, const std::wstring& program = {});
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool started() const { return process_ != nullptr; }
    DWORD processId() const { return processId_; }
    // Waits for the end, up to `timeoutMs`.
    Outcome Wait(DWORD timeoutMs = 60000);

    // A visible top-level window of the program whose class and title match (empty
    // title: any), waiting up to `timeoutMs`; null when none came.
    // With `childId`, only a window that has a control of that identifier.
    HWND WaitForWindow(const wchar_t* className, const std::wstring& title, int childId = 0,
                       DWORD timeoutMs = 20000) const;

private:
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    void ReadUntilTheProgramEnds();
    HANDLE errorRead_ = nullptr;
    std::string errorText_;
    void* reader_ = nullptr;  // std::thread*
};

// Runs to the end, unattended.
Outcome RunUnattended(const std::string& folder, const std::string& arguments);

// Ends the user's session for process `processId` as Windows does at log-off: every one of
// its top-level windows, shown or hidden, is asked (WM_QUERYENDSESSION), then told
// (WM_ENDSESSION). Only `window` when given. Returns how many windows agreed.
int EndSession(DWORD processId, HWND window = nullptr);

// Gives this process a console of its own when it has none (run with its output on a
// pipe, it has none); false when none can be had.
bool EnsureConsole();
// Types Ctrl+C into this process's console, which sends its control event to every process
// attached to it; this process itself lets it pass.
bool PressCtrlC();

// HKCU\Control Panel\Desktop values; "" when missing.
std::string DesktopValue(const wchar_t* name);
void SetDesktopValue(const wchar_t* name, const std::string& value);
// The Windows folder, without a trailing separator.
std::string WindowsFolder();
// Whether this user may create files in the Windows folder.
bool WindowsFolderWritable();
// The user's own folder for the program's files, "%LOCALAPPDATA%\vexal".
std::string UserFolder();
// Where the program must put the bitmap for this user: the Windows folder where the user
// may write there, else the user's own folder.
std::string WallpaperFolder();
// The user's Documents folder, as the system names it.
std::string DocumentsFolder();

// Moves the user's Documents folder to `folder` for as long as it lives, as OneDrive's folder
// backup or the folder's Location tab moves it: the registry's "User Shell Folders" value
// that the system's known-folder call follows. The folder must exist.
class MovedDocuments {
public:
    explicit MovedDocuments(const std::string& folder);
    ~MovedDocuments();
    MovedDocuments(const MovedDocuments&) = delete;
    MovedDocuments& operator=(const MovedDocuments&) = delete;

private:
    std::wstring old_;
    DWORD oldType_ = 0;
    bool hadOld_ = false;
};
std::string ReadWholeFile(const std::string& path);
bool FileExists(const std::string& path);
// The size of a file, also while another process is writing it; 0 when there is none.
std::uint64_t FileSize(const std::string& path);

// Window helpers for driving the program's windows from outside.
std::string WindowTextOf(HWND window);
// Posts a click to the button `id` of `window`, as the button itself would report it.
void PostClick(HWND window, int id);
// Picks the `index`-th item of the drop-down list `id`, as choosing it with the mouse does.
void PostChoice(HWND window, int id, int index);
// The texts of a window's controls, in their order.
std::vector<std::string> ControlTexts(HWND window);
// Polls `done` every 50 ms for up to `timeoutMs`; true when it came true.
template <typename Pred>
bool WaitUntil(Pred done, DWORD timeoutMs = 20000) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (::GetTickCount64() > end) return false;
        ::Sleep(50);
    }
    return true;
}

}  // namespace vexal::testing
