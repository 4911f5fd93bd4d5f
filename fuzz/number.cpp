// Fuzz target: number reading and fitting into fields.
#include <cstdint>
#include <string_view>

#include "text/number.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double v = vexal::ReadNumber(text);
    (void)vexal::ToInt32(v);
    (void)vexal::ToByte(v);
    (void)vexal::ToInt16(v);
    return 0;
}
