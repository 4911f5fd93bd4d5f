// Leading-number reading with half-to-even rounding and clamping into field widths.
#include "text/number.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace vexal {
namespace {

bool IsSkippable(char c) { return c == ' ' || c == '\t' || c == '\n'; }

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// &H and &O literals: a value that fits 16 bits is read as a signed 16-bit number, one
// that fits 32 bits as a signed 32-bit number, so "&HFFFF" reads -1.
double ReadRadix(std::string_view text, std::size_t pos, int radix) {
    std::uint64_t value = 0;
    bool any = false;
    bool overflow = false;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        if (IsSkippable(c)) continue;
        int d = DigitValue(c);
        if (d >= radix) break;
        any = true;
        if (value > (std::numeric_limits<std::uint64_t>::max() >> 4)) overflow = true;
        value = value * static_cast<unsigned>(radix) + static_cast<unsigned>(d);
    }
    if (!any) return 0;
    if (overflow) return static_cast<double>(std::numeric_limits<std::uint64_t>::max());
    if (value <= 0xFFFF) return static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint16_t>(value)));
    if (value <= 0xFFFFFFFFu)
        return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
    return static_cast<double>(value);
}

// Roughly the power of ten of a decimal literal without sign: positive for values of
// at least ten, negative for values below one. Only its sign is used, to tell an
// overflow from an underflow.
long long DecimalExponent(std::string_view number) {
    long long digitsBeforePoint = 0;
    long long zerosAfterPoint = 0;
    bool seenPoint = false, significant = false;
    std::size_t i = 0;
    for (; i < number.size() && number[i] != 'e'; ++i) {
        const char c = number[i];
        if (c == '.') {
            seenPoint = true;
        } else if (!significant && c == '0') {
            if (seenPoint) ++zerosAfterPoint;
        } else {
            significant = true;
            if (!seenPoint) ++digitsBeforePoint;
        }
    }
    long long exponent = 0;
    bool negativeExponent = false;
    for (++i; i < number.size(); ++i) {
        if (number[i] == '-')
            negativeExponent = true;
        else if (number[i] >= '0' && number[i] <= '9' && exponent < 1'000'000'000)
            exponent = exponent * 10 + (number[i] - '0');
    }
    if (negativeExponent) exponent = -exponent;
    const long long magnitude = digitsBeforePoint > 0 ? digitsBeforePoint - 1 : -zerosAfterPoint - 1;
    return magnitude + exponent;
}

// The value of a decimal literal made of an optional sign, digits with at most one point
// and an optional exponent. std::from_chars reads it the same under every process locale;
// the C library's conversion would take the locale's decimal mark (a comma in many
// locales) and stop at the point.
double DecimalValue(std::string_view number) {
    bool negative = false;
    if (!number.empty() && (number[0] == '+' || number[0] == '-')) {
        negative = number[0] == '-';
        number.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // Too large or too small for a double: infinity or zero, as the C library gives.
        value = DecimalExponent(number) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (error != std::errc()) {
        value = 0;
    }
    return negative ? -value : value;
}

}  // namespace

double ReadNumber(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsSkippable(text[pos])) ++pos;
    if (pos + 1 < text.size() && text[pos] == '&') {
        char p = text[pos + 1];
        if (p == 'h' || p == 'H') return ReadRadix(text, pos + 2, 16);
        if (p == 'o' || p == 'O') return ReadRadix(text, pos + 2, 8);
        return 0;
    }

    // Collect the accepted characters without the skipped blanks, then convert once.
    std::string number;
    bool sign = false, digits = false, point = false, exponent = false, expSign = false, expDigits = false;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        if (IsSkippable(c)) continue;
        if ((c == '+' || c == '-') && !sign && !digits && !point && !exponent) {
            sign = true;
        } else if (c >= '0' && c <= '9') {
            if (exponent) expDigits = true; else digits = true;
        } else if (c == '.' && !point && !exponent) {
            point = true;
        } else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && digits && !exponent) {
            exponent = true;
            c = 'e';
        } else if ((c == '+' || c == '-') && exponent && !expSign && !expDigits) {
            expSign = true;
        } else {
            break;
        }
        number.push_back(c);
    }
    if (!digits) return 0;
    if (exponent && !expDigits) {
        // "12e" or "12e+": the exponent never started.
        number.erase(number.find('e'));
    }
    return DecimalValue(number);
}

double RoundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    double floor = std::floor(value);
    double diff = value - floor;
    if (diff > 0.5) return floor + 1;
    if (diff < 0.5) return floor;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

namespace {
template <typename T>
T Fit(double value) {
    if (std::isnan(value)) return 0;
    double r = RoundHalfEven(value);
    if (r <= static_cast<double>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
    if (r >= static_cast<double>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
    return static_cast<T>(r);
}
}  // namespace

std::int32_t ToInt32(double value) { return Fit<std::int32_t>(value); }
std::int16_t ToInt16(double value) { return Fit<std::int16_t>(value); }
std::uint8_t ToByte(double value) { return Fit<std::uint8_t>(value); }
std::int64_t ToInt64(double value) { return Fit<std::int64_t>(value); }

}  // namespace vexal
