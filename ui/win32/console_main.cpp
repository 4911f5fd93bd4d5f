// vexal.com, the console companion of vexal.exe. Typed in a console, "vexal" finds it first
// (cmd tries .COM before .EXE), and a console program is one that cmd waits for, which a
// windows program is not. It starts vexal.exe from its own folder with the command line's
// arguments as typed and its own standard handles, waits, and ends with vexal.exe's status:
// the output comes before the next prompt and %ERRORLEVEL% is vexal's.
#include <string>
#include <vector>

#include "host/process.h"
#include "platform/win32/language_facts.h"
#include "platform/win32/standard_error.h"
#include "platform/win32/startup_info.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_api.h"
#include "program/program.h"
#include "ui/messages.h"

namespace {

// vexal.exe beside this program; empty when this program's own path cannot be had.
std::wstring MainProgram() {
    std::vector<wchar_t> own(32768);
    const DWORD length = ::GetModuleFileNameW(nullptr, own.data(), static_cast<DWORD>(own.size()));
    if (length == 0 || length >= own.size()) return {};
    std::wstring path(own.data(), length);
    const std::size_t cut = path.find_last_of(L"\\/");
    return path.substr(0, cut == std::wstring::npos ? 0 : cut + 1) + L"vexal.exe";
}

}  // namespace

int wmain() {
    // Ctrl+C belongs to the run: vexal.exe joins this console, ends its run as it does on
    // Ctrl+C and reports its status, which is passed on here.
    ::SetConsoleCtrlHandler(nullptr, TRUE);

    const std::wstring program = MainProgram();
    // The arguments go on exactly as typed, blanks and quotes included: vexal.exe cuts them
    // by its own rules, which no re-quoting may change.
    std::wstring commandLine =
        L"\"" + program + L"\"" + std::wstring(vexal::win32::CommandLineTail(::GetCommandLineW()));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    HANDLE* const handles[] = {&startup.hStdInput, &startup.hStdOutput, &startup.hStdError};
    const DWORD kinds[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (int i = 0; i < 3; ++i) {
        *handles[i] = ::GetStdHandle(kinds[i]);
        // A handle this program was given may not be inheritable; the child needs its own.
        if (*handles[i] && *handles[i] != INVALID_HANDLE_VALUE)
            ::SetHandleInformation(*handles[i], HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    PROCESS_INFORMATION info{};
    if (program.empty() || !::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                             nullptr, nullptr, &startup, &info)) {
        const DWORD error = program.empty() ? ERROR_FILE_NOT_FOUND : ::GetLastError();
        vexal::Program globals;
        vexal::InitGlobals(globals, VEXAL_VERSION_MAJOR, VEXAL_VERSION_MINOR);
        globals.UserLanguage = vexal::ChooseLanguage(vexal::win32::UserLanguageFacts());
        vexal::win32::WriteStandardError(
            globals.TitleText + ": " +
            vexal::MessageText(
                globals.UserLanguage, vexal::Message::CompanionCannotStart,
                {vexal::win32::Narrow(program.empty() ? L"vexal.exe" : program), std::to_string(error)}) +
            "\n");
        return vexal::kExitFailure;
    }
    ::CloseHandle(info.hThread);
    ::WaitForSingleObject(info.hProcess, INFINITE);
    DWORD status = vexal::kExitFailure;
    if (!::GetExitCodeProcess(info.hProcess, &status)) status = vexal::kExitFailure;
    ::CloseHandle(info.hProcess);
    return static_cast<int>(status);
}
