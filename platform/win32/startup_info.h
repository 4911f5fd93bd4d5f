// What start-up reads from Windows itself: the program's version from its own version
// resource, the raw command line after the program name, and the folder it works in.
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

// Whether two paths name the same folder: the same file of the same volume, however each
// is spelt (letter case, a short name, a trailing separator, another drive letter or a link
// that leads there). "" is the current folder. False when either cannot be opened.
bool SameFolder(const std::string& a, const std::string& b);

// The program's own folder, from its module's path, with its trailing separator; "" when
// the system does not give it.
std::string ProgramFolder();

// Started in its own folder, the program works in the running user's Documents folder
// instead, as the system names it (which follows a Documents folder moved elsewhere, as
// OneDrive's folder backup moves it). However it was started there (the installer's
// Start-menu shortcut, which serves every user and so cannot name one user's Documents; a
// double click in Explorer; a shortcut of the user's own; `start`), the program's folder is
// one for all users and not theirs to write, so a settings file there could be neither saved
// nor anyone's own. Any other start keeps its folder. True when the folder was changed.
bool StartInDocumentsFromOwnFolder();

}  // namespace vexal::win32
