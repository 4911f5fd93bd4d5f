// Conversion between code page 932 (Shift_JIS as Windows defines it), the encoding of the
// settings file and of local text files on every platform, and UTF-8, the text in memory.
#pragma once

#include <string>
#include <string_view>

namespace vexal {

// Decodes code page 932 bytes. A byte that is not valid code page 932 becomes a
// private-use character (U+F780 + byte - 0x80) that Utf8ToCp932 turns back into the same
// byte, so nothing is lost; decoding never fails.
std::string Cp932ToUtf8(std::string_view bytes);

// Encodes UTF-8 text. A character that code page 932 cannot hold (or malformed UTF-8)
// is written as "?" and makes the result false, so callers can refuse instead of losing it.
bool Utf8ToCp932(std::string_view text, std::string& bytesOut);

// True when every character of `text` can be stored in code page 932.
bool FitsCp932(std::string_view text);

// Decodes the bytes of a local text file or of the settings file: as UTF-8 (without its
// byte-order mark) when `acceptUtf8` (the file system says such files may be UTF-8) and
// the bytes are valid UTF-8 holding at least one non-ASCII character, as code page 932
// otherwise. Plain ASCII reads the same either way.
std::string DecodeLocalText(std::string_view bytes, bool acceptUtf8);

// Appends one Unicode code point to a UTF-8 string.
void AppendUtf8(std::string& out, char32_t cp);

// Reads the code point starting at `pos` and advances `pos`; malformed input yields
// U+FFFD and advances by one byte.
char32_t NextUtf8(std::string_view text, std::size_t& pos);

}  // namespace vexal
