// What start-up reads from Windows itself: the program's version from its own version
// resource, the raw command line after the program name, and the folder it works in.
#pragma once

#include <string>
#include <string_view>

#include "settings/settings_location.h"

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

// Whether two paths name the same folder: the same file of the same volume, however each
// is spelt (letter case, a short name, a trailing separator, another drive letter or a link
// that leads there). "" is the current folder. False when either cannot be opened.
bool SameFolder(const std::string& a, const std::string& b);

// The program's own folder, from its module's path, with its trailing separator; "" when
// the system does not give it.
std::string ProgramFolder();

// What the choice of the settings file `fileName` needs to know here: the current folder,
// the user's Documents as the system names it (reachable or not: a moved Documents on a
// drive that is gone is still named), whether the run started in the program's own folder,
// and where a file of that name stands.
SettingsFacts FindSettingsFacts(const std::string& fileName);

// Makes `folder` the current folder; false when it cannot be entered.
bool EnterFolder(const std::string& folder);

}  // namespace vexal::win32
