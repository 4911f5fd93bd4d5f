// Fuzz target: the JSON reader. Both ways of reading agree on whether a text is JSON, and
// every string either hands on is well-formed UTF-8 without surrogate halves.
#include "text/json.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

// UTF-8 as the standard defines it: shortest forms only, no surrogates, nothing past
// U+10FFFF.
bool WellFormedUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t n = b < 0x80                 ? 1
                        : b >= 0xC2 && b <= 0xDF ? 2
                        : b >= 0xE0 && b <= 0xEF ? 3
                        : b >= 0xF0 && b <= 0xF4 ? 4
                                                 : 0;
        if (n == 0 || s.size() - i < n) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        const auto second = static_cast<unsigned char>(n > 1 ? s[i + 1] : 0x80);
        if ((b == 0xE0 && second < 0xA0) || (b == 0xED && second >= 0xA0) || (b == 0xF0 && second < 0x90) ||
            (b == 0xF4 && second >= 0x90))
            return false;
        i += n;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const vexal::JsonScanResult scanned =
        vexal::ScanJsonStrings(text, [](vexal::JsonString, std::string_view s) {
            if (!WellFormedUtf8(s)) std::abort();
        });
    if (scanned.stop > text.size()) std::abort();
    vexal::JsonValue tree;
    if (vexal::ParseJson(text, tree) != (scanned.end == vexal::JsonEnd::WellFormed)) std::abort();
    return 0;
}
