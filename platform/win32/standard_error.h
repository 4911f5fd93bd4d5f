// Standard error of the Windows program: console windows show text in their own code
// page, so message lines go to a console as UTF-16; anywhere else (a file, a pipe) they
// stay the UTF-8 bytes they are.
#pragma once

#include <string_view>

namespace vexal::win32 {

// Writes `utf8` to standard error as it is: no line end is added or changed.
void WriteStandardError(std::string_view utf8);

}  // namespace vexal::win32
