// The version comes from the resource rather than from a build constant, so the file's
// properties in Explorer and the text the program shows can never disagree.
#include "platform/win32/startup_info.h"

#include <vector>

#include "platform/win32/utf16.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_file_system.h"
// clang-format off
#include <shlobj.h>
#include <knownfolders.h>
// clang-format on

namespace vexal::win32 {

bool ReadProgramVersion(int& majorOut, int& minorOut) {
    wchar_t path[MAX_PATH + 1];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) return false;
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) return false;
    std::vector<BYTE> data(size);
    if (!::GetFileVersionInfoW(path, 0, size, data.data())) return false;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || !info ||
        infoSize < sizeof(VS_FIXEDFILEINFO))
        return false;
    majorOut = HIWORD(info->dwFileVersionMS);
    minorOut = LOWORD(info->dwFileVersionMS);
    return true;
}

std::wstring_view CommandLineTail(std::wstring_view commandLine) {
    std::size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        // A quoted program name runs to the closing quote (or to the end), as Windows
        // itself reads it; the arguments may follow the quote directly.
        const std::size_t close = commandLine.find(L'"', 1);
        i = close == std::wstring_view::npos ? commandLine.size() : close + 1;
    } else {
        while (i < commandLine.size() && commandLine[i] != L' ' && commandLine[i] != L'\t') ++i;
    }
    return commandLine.substr(i);
}

std::string ArgumentText(std::wstring_view commandLine) {
    std::wstring_view tail = CommandLineTail(commandLine);
    while (!tail.empty() && (tail.front() == L' ' || tail.front() == L'\t')) tail.remove_prefix(1);
    return Narrow(tail);
}

std::string ArgumentText() { return ArgumentText(::GetCommandLineW()); }

bool SameFolder(const std::string& a, const std::string& b) {
    // By identity, not by name: one folder has many spellings (C:\PROGRA~1\vexal, another
    // drive letter mapped onto it, a link), and a start in any of them is a start there.
    Win32FileSystem files;
    std::string idA, idB;
    return files.FolderIdentity(a, idA) && files.FolderIdentity(b, idB) && idA == idB;
}

std::string ProgramFolder() {
    std::vector<wchar_t> program(32768);
    const DWORD length = ::GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
    if (length == 0 || length >= program.size()) return {};
    const std::wstring_view path(program.data(), length);
    const std::size_t cut = path.find_last_of(L"\\/");
    if (cut == std::wstring_view::npos) return {};
    // The separator stays: without it a program in the root of C: would name "C:", the
    // current folder of drive C.
    return Narrow(path.substr(0, cut + 1));
}

namespace {

// With the trailing separator the facts' folders carry.
std::string AsFolder(std::wstring path) {
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path.push_back(L'\\');
    return Narrow(path);
}

// Something stands under that name, readable or not: a file this user may not read is
// still the one the run must report, never skipped for another.
bool SomethingThere(const std::string& path) {
    if (::GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD error = ::GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != ERROR_INVALID_NAME &&
           error != ERROR_BAD_NETPATH && error != ERROR_BAD_NET_NAME && error != ERROR_INVALID_DRIVE &&
           error != ERROR_NOT_READY;
}

}  // namespace

SettingsFacts FindSettingsFacts(const std::string& fileName) {
    SettingsFacts facts;
    std::vector<wchar_t> current(32768);
    const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(current.size()), current.data());
    if (length > 0 && length < current.size()) facts.currentFolder = AsFolder({current.data(), length});
    const std::string own = ProgramFolder();
    facts.startedInProgramFolder = !own.empty() && SameFolder("", own);
    // Not verified: a Documents moved to a drive that is gone is still named, so the message
    // can say which folder is missing.
    PWSTR documents = nullptr;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_DONT_VERIFY, nullptr, &documents)) &&
        documents && *documents)
        facts.userFolder = AsFolder(documents);
    ::CoTaskMemFree(documents);
    if (!facts.userFolder.empty()) {
        const DWORD attributes = ::GetFileAttributesW(Widen(facts.userFolder).c_str());
        facts.userFolderReachable =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        facts.userFolderIsCurrent = facts.userFolderReachable && SameFolder("", facts.userFolder);
        facts.userHasFile = facts.userFolderReachable && SomethingThere(facts.userFolder + fileName);
    }
    facts.currentHasFile = SomethingThere(facts.currentFolder + fileName);
    return facts;
}

bool EnterFolder(const std::string& folder) { return ::SetCurrentDirectoryW(Widen(folder).c_str()) != 0; }

}  // namespace vexal::win32
