// Case folding for the case-insensitive comparisons: both sides are lower-cased, then
// compared exactly. ASCII letters fold, and so do the other capitals that code page 932
// can hold and Windows lower-cases: full-width Latin, Greek and Cyrillic. Every other
// character stays, and folding never changes a text's length in bytes.
#pragma once

#include <string>
#include <string_view>

namespace vexal {

// An ASCII letter, A to Z in either case: what a settings file's key must start with.
inline bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// What an identifier may start with: an ASCII letter, or any character beyond ASCII (a
// name in the user's own script, 休日の写真), given by its first UTF-8 byte. Digits and
// ASCII punctuation stay reserved for options and mistakes.
inline bool IsIdentifierStart(char c) { return IsAsciiLetter(c) || static_cast<unsigned char>(c) >= 0x80; }

inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }
inline char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; }

// Comparisons that fold ASCII letters only, for names and keywords that ignore the case of
// ASCII letters and of nothing else (HTML's tag and attribute names, a URL's scheme); the
// needle must be in lower case already.
// True when `text` starts with `lower` (is `lower`).
bool StartsWithAsciiNoCase(std::string_view text, std::string_view lower);
bool EqualsAsciiNoCase(std::string_view text, std::string_view lower);
// The first place at or after `from` where `lower` stands; std::string_view::npos when
// there is none.
std::size_t FindAsciiNoCase(std::string_view text, std::string_view lower, std::size_t from = 0);

// The lower-case form of one code point (itself when it has none that folds).
char32_t LowerChar(char32_t cp);

std::string ToLower(std::string_view text);

// True when `text` starts (ends) with `lowerPrefix` ignoring letter case;
// `lowerPrefix` must already be lower case.
bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix);
bool EndsWithNoCase(std::string_view text, std::string_view lowerSuffix);

// Position of the first occurrence of `lowerNeedle` in `text` at or after `from`,
// ignoring letter case; std::string_view::npos when there is none.
std::size_t FindNoCase(std::string_view text, std::string_view lowerNeedle, std::size_t from = 0);

// Leading and trailing U+0020 removed (tabs and other blanks stay).
std::string_view TrimSpaces(std::string_view text);

}  // namespace vexal
