// UTF-8 (the core's text) to UTF-16 (the W functions) and back.
#pragma once

#include <string>
#include <string_view>

namespace vexal::win32 {

// Malformed UTF-8 becomes U+FFFD; the conversion never fails.
std::wstring Widen(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Narrow(std::wstring_view utf16);

}  // namespace vexal::win32
