// What start-up reads from Windows itself: the program's version from its own version
// resource, the raw command line after the program name, and how a shortcut started it.
#pragma once

#include <string>
#include <string_view>

namespace vexal::win32 {

// Major and minor version from the VERSIONINFO resource of the running program; false
// when it has none.
bool ReadProgramVersion(int& majorOut, int& minorOut);

// What follows the program name (in double quotes, or up to the first blank) in a raw
// command line, exactly as it stands, the blanks after the name included.
std::wstring_view CommandLineTail(std::wstring_view commandLine);

// The argument text of a raw command line: the program name and the blanks after it are
// skipped; the rest is kept exactly, in UTF-8.
std::string ArgumentText(std::wstring_view commandLine);

// ArgumentText of GetCommandLineW.
std::string ArgumentText();

// Whether a folder names the same place as another, as Windows compares names: letter case
// and trailing separators ignored.
bool SameFolder(std::wstring_view a, std::wstring_view b);

// Started from a shortcut that gives the program's own folder as the working folder, as the
// installer's Start-menu shortcut does (one shortcut serves every user, and a folder fixed
// at install time would be the installing user's), the program works in the running user's
// Documents folder instead, where its settings file can be written. Any other start keeps
// its folder. True when the folder was changed.
bool StartInDocumentsFromOwnShortcut();

}  // namespace vexal::win32
