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
    // Whatever was decoded encodes again without loss, invalid bytes included. (Decoding
    // the result again need not give the same text: a raw lead byte may pair differently
    // with a duplicate code that encoded to its preferred form.)
    if (!clean) std::abort();
    // Arbitrary bytes taken as UTF-8 must never crash the encoder either.
    std::string scratch;
    vexal::Utf8ToCp932(bytes, scratch);
    return 0;
}
