// Values in the INI-style settings files of desktop programs, as Qt's QSettings and GLib's
// key files write them, changed line by line so that every other line stays as it was.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexal {

// The keys of `section` and their values as written (after "="), the last of a key that
// occurs twice; empty when there is no such section.
std::map<std::string, std::string> IniSection(std::string_view text, std::string_view section);

// `text` with each of `values` (key, value as written) set in `section`: a key's lines are
// replaced where they stand, a missing key is added at the end of its section, a missing
// section at the end of the text. Every other line, and the text's line ends, stay.
std::string WithIniValues(std::string_view text, std::string_view section,
                          const std::vector<std::pair<std::string, std::string>>& values);

// A UTF-8 string as QSettings writes it without a text codec (so that Qt 5 and Qt 6 read
// it alike): other than printable ASCII as \xNNNN UTF-16 units, in quotes when it holds
// ";", "," or "=" or starts or ends with a blank.
std::string QtIniString(std::string_view utf8);
// The UTF-8 string such a value stands for; a value that Qt reads as a list of several
// strings, or one whose quotes do not close, stands for none ("" and false). A typed value
// ("@Invalid()") is taken as it is written, which is never an absolute path.
bool FromQtIniString(std::string_view written, std::string& utf8Out);

// A string as GLib writes it into a key file: backslash, line breaks, tabs and a leading
// blank escaped; and back.
std::string KeyFileString(std::string_view text);
std::string FromKeyFileString(std::string_view written);

// Replaces the file at `path` (or, when it is a symbolic link, the file it points at) by
// `text` through a file written beside it, so that a reader finds the old text or the new,
// never half of it; makes the missing folders above it. The file keeps its permissions.
bool ReplaceFileText(const std::string& path, const std::string& text);

// The bytes of the file at `path` as far as they can be read; "" when it cannot be opened.
// A read that fails partway ends the text there rather than throwing, as a stream read
// through its buffer does: a process can end while its /proc files are being read.
std::string ReadFileText(const std::string& path);

}  // namespace vexal
