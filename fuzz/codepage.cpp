// Fuzz target: code page 932 decoding, and encoding what was decoded.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "text/codepage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = vexal::Cp932ToUtf8(bytes);
    std::string back;
    const bool clean = vexal::Utf8ToCp932(text, back);
    // Whatever was decoded encodes again without loss, invalid bytes included.
    if (!clean) std::abort();
    // Decoding is stable: the re-encoded bytes decode to the same text.
    if (vexal::Cp932ToUtf8(back) != text) std::abort();
    // Arbitrary bytes taken as UTF-8 must never crash the encoder either.
    std::string scratch;
    vexal::Utf8ToCp932(bytes, scratch);
    return 0;
}
