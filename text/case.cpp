// Case folding by a table of capital ranges, and the small searches built on it.
#include "text/case.h"

#include <algorithm>

#include "text/codepage.h"

namespace vexal {
namespace {

struct FoldRange {
    char32_t first, last;
    char32_t offset;  // added to a capital to give its small letter
};

// Every capital in these ranges has a small letter of the same UTF-8 length, so a folded
// text keeps the byte positions of the original.
constexpr FoldRange kFoldRanges[] = {
    {0x0041, 0x005A, 0x20},  // A-Z
    {0x0391, 0x03A1, 0x20},  // Greek Alpha-Rho
    {0x03A3, 0x03A9, 0x20},  // Greek Sigma-Omega (U+03A2 is unassigned)
    {0x0400, 0x040F, 0x50},  // Cyrillic Io and the other capitals before A
    {0x0410, 0x042F, 0x20},  // Cyrillic A-Ya
    {0xFF21, 0xFF3A, 0x20},  // full-width A-Z
};

}  // namespace

char32_t LowerChar(char32_t cp) {
    for (const FoldRange& r : kFoldRanges)
        if (cp >= r.first && cp <= r.last) return cp + r.offset;
    return cp;
}

std::string ToLower(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size();) {
        const auto b = static_cast<unsigned char>(out[i]);
        if (b < 0x80) {
            out[i] = LowerAscii(out[i]);
            ++i;
            continue;
        }
        std::size_t next = i;
        const char32_t cp = NextUtf8(out, next);
        const char32_t lower = LowerChar(cp);
        if (lower != cp) {
            std::string encoded;
            AppendUtf8(encoded, lower);
            out.replace(i, encoded.size(), encoded);
        }
        i = next;
    }
    return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
    if (text.size() < lowerPrefix.size()) return false;
    std::size_t i = 0;
    while (i < lowerPrefix.size()) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            if (LowerAscii(text[i]) != lowerPrefix[i]) return false;
            ++i;
            continue;
        }
        std::size_t next = i;
        const char32_t cp = NextUtf8(text, next);
        const char32_t lower = LowerChar(cp);
        if (lower == cp) {
            if (text.substr(i, next - i) != lowerPrefix.substr(i, next - i)) return false;
        } else {
            std::string encoded;
            AppendUtf8(encoded, lower);
            if (encoded != lowerPrefix.substr(i, encoded.size())) return false;
        }
        i = next;
    }
    return true;
}

bool EndsWithNoCase(std::string_view text, std::string_view lowerSuffix) {
    if (text.size() < lowerSuffix.size()) return false;
    return StartsWithNoCase(text.substr(text.size() - lowerSuffix.size()), lowerSuffix);
}

std::size_t FindNoCase(std::string_view text, std::string_view lowerNeedle, std::size_t from) {
    if (lowerNeedle.empty()) return from <= text.size() ? from : std::string_view::npos;
    if (from >= text.size() || text.size() - from < lowerNeedle.size()) return std::string_view::npos;
    // The needle's first character in its two spellings: the small letter as given and
    // the capital that folds to it (the same when there is none).
    std::size_t firstEnd = 0;
    const char32_t first = NextUtf8(lowerNeedle, firstEnd);
    const std::string_view lowerFirst = lowerNeedle.substr(0, firstEnd);
    std::string upperFirst(lowerFirst);
    for (const FoldRange& r : kFoldRanges) {
        if (first >= r.first + r.offset && first <= r.last + r.offset) {
            upperFirst.clear();
            AppendUtf8(upperFirst, first - r.offset);
            break;
        }
    }
    const std::size_t last = text.size() - lowerNeedle.size();
    // Candidate starts come from two cached find() cursors, one per spelling, so every
    // byte of the text is scanned a bounded number of times even when one never occurs.
    std::size_t nextLower = text.find(lowerFirst, from);
    std::size_t nextUpper = upperFirst == lowerFirst ? nextLower : text.find(upperFirst, from);
    while (true) {
        std::size_t i = std::min(nextLower, nextUpper);
        if (i == std::string_view::npos || i > last) return std::string_view::npos;
        if (StartsWithNoCase(text.substr(i), lowerNeedle)) return i;
        if (nextLower == i) nextLower = text.find(lowerFirst, i + 1);
        if (nextUpper == i) nextUpper = upperFirst == lowerFirst ? nextLower : text.find(upperFirst, i + 1);
    }
}

bool StartsWithAsciiNoCase(std::string_view text, std::string_view lower) {
    if (text.size() < lower.size()) return false;
    for (std::size_t i = 0; i < lower.size(); ++i)
        if (LowerAscii(text[i]) != lower[i]) return false;
    return true;
}

bool EqualsAsciiNoCase(std::string_view text, std::string_view lower) {
    return text.size() == lower.size() && StartsWithAsciiNoCase(text, lower);
}

std::size_t FindAsciiNoCase(std::string_view text, std::string_view lower, std::size_t from) {
    if (lower.empty()) return from <= text.size() ? from : std::string_view::npos;
    // Page scans look for short ASCII words in long texts: a candidate is a place where the
    // first letter stands in either case.
    const char first = lower[0];
    const char other = UpperAscii(first);
    for (std::size_t i = from; i + lower.size() <= text.size(); ++i) {
        if (text[i] != first && text[i] != other) continue;
        std::size_t k = 1;
        while (k < lower.size() && LowerAscii(text[i + k]) == lower[k]) ++k;
        if (k == lower.size()) return i;
    }
    return std::string_view::npos;
}

std::string_view TrimSpaces(std::string_view text) {
    std::size_t b = text.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    std::size_t e = text.find_last_not_of(' ');
    return text.substr(b, e - b + 1);
}

}  // namespace vexal
