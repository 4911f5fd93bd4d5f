// The version comes from the resource rather than from a build constant, so the file's
// properties in Explorer and the text the program shows can never disagree.
#include "platform/win32/startup_info.h"

#include <vector>

#include "platform/win32/utf16.h"
#include "platform/win32/win32_api.h"

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

std::string ArgumentText(std::wstring_view commandLine) {
    std::size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        // A quoted program name runs to the closing quote (or to the end), as Windows
        // itself reads it; the arguments may follow the quote directly.
        const std::size_t close = commandLine.find(L'"', 1);
        i = close == std::wstring_view::npos ? commandLine.size() : close + 1;
    } else {
        while (i < commandLine.size() && commandLine[i] != L' ' && commandLine[i] != L'\t') ++i;
    }
    while (i < commandLine.size() && (commandLine[i] == L' ' || commandLine[i] == L'\t')) ++i;
    return Narrow(commandLine.substr(i));
}

std::string ArgumentText() { return ArgumentText(::GetCommandLineW()); }

}  // namespace vexal::win32
