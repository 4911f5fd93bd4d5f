// ASCII case folding and the small searches built on it.
#include "text/case.h"

#include <algorithm>

namespace vexal {

std::string ToLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = LowerAscii(c);
    return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
    if (text.size() < lowerPrefix.size()) return false;
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i)
        if (LowerAscii(text[i]) != lowerPrefix[i]) return false;
    return true;
}

bool EndsWithNoCase(std::string_view text, std::string_view lowerSuffix) {
    if (text.size() < lowerSuffix.size()) return false;
    return StartsWithNoCase(text.substr(text.size() - lowerSuffix.size()), lowerSuffix);
}

std::size_t FindNoCase(std::string_view text, std::string_view lowerNeedle, std::size_t from) {
    if (lowerNeedle.empty()) return from <= text.size() ? from : std::string_view::npos;
    if (from >= text.size() || text.size() - from < lowerNeedle.size()) return std::string_view::npos;
    const char first = lowerNeedle[0];
    const char firstUpper = (first >= 'a' && first <= 'z') ? static_cast<char>(first - ('a' - 'A')) : first;
    const std::size_t last = text.size() - lowerNeedle.size();
    // Candidate starts come from two cached find() cursors, one per letter case, so every
    // byte of the text is scanned a bounded number of times even when one case never occurs.
    std::size_t nextLower = text.find(first, from);
    std::size_t nextUpper = first == firstUpper ? nextLower : text.find(firstUpper, from);
    while (true) {
        std::size_t i = std::min(nextLower, nextUpper);
        if (i == std::string_view::npos || i > last) return std::string_view::npos;
        if (StartsWithNoCase(text.substr(i), lowerNeedle)) return i;
        if (nextLower == i) nextLower = text.find(first, i + 1);
        if (nextUpper == i) nextUpper = first == firstUpper ? nextLower : text.find(firstUpper, i + 1);
    }
}

std::string_view TrimSpaces(std::string_view text) {
    std::size_t b = text.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    std::size_t e = text.find_last_not_of(' ');
    return text.substr(b, e - b + 1);
}

}  // namespace vexal
