// Reading numbers out of text the way the settings file and the editor fields expect:
// the leading numeric part of a text, rounded half to even, then fitted into a field.
#pragma once

#include <cstdint>
#include <string_view>

namespace vexal {

// The leading numeric part of `text` as a floating-point value: leading blanks ignored,
// blanks, tabs and line feeds inside the number skipped, optional sign, digits with an
// optional decimal point and exponent (E or D), or the prefixes &H (hexadecimal) and
// &O (octal). Reading stops at the first character that cannot continue the number;
// no digits give 0.
double ReadNumber(std::string_view text);

// Rounds to the nearest integer, an exact half going to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double value);

// Rounded, then clamped into the field's range (NaN gives 0).
std::int32_t ToInt32(double value);
std::int16_t ToInt16(double value);
std::uint8_t ToByte(double value);
std::int64_t ToInt64(double value);

// The value of one hexadecimal digit (either letter case), or -1 for any other character.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Shorthands: read, round and fit.
inline std::int32_t ReadInt32(std::string_view text) { return ToInt32(ReadNumber(text)); }
inline std::uint8_t ReadByte(std::string_view text) { return ToByte(ReadNumber(text)); }

}  // namespace vexal
