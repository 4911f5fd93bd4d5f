// What start-up reads from Windows itself: the program's version from its own version
// resource, and the raw command line after the program name.
#pragma once

#include <string>
#include <string_view>

namespace vexal::win32 {

// Major and minor version from the VERSIONINFO resource of the running program; false
// when it has none.
bool ReadProgramVersion(int& majorOut, int& minorOut);

// The argument text of a raw command line: the program name (in double quotes, or up to
// the first blank) and the blanks after it are skipped; the rest is kept exactly, in UTF-8.
std::string ArgumentText(std::wstring_view commandLine);

// ArgumentText of GetCommandLineW.
std::string ArgumentText();

}  // namespace vexal::win32
