// Fuzz target: resolving a redirect's Location against the address requested, and the
// request path written from it. Input: the base address, a line feed, the reference.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/url.h"
#include "text/case.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t lf = input.find('\n');
    const std::string_view base = input.substr(0, lf);
    const std::string_view reference =
        lf == std::string_view::npos ? std::string_view() : input.substr(lf + 1);
    const auto target = vexal::ResolveReference(base, reference);
    if (!target) return 0;
    // Only web addresses with a host come out, and they resolve to themselves again.
    if (!vexal::StartsWithNoCase(*target, "http://") && !vexal::StartsWithNoCase(*target, "https://"))
        std::abort();
    if (target->find('#') != std::string::npos) std::abort();
    const auto again = vexal::ResolveReference(*target, "");
    if (!again || *again != *target) std::abort();
    // What goes on the request line is printable ASCII without a blank or a fragment.
    const vexal::UrlParts parts = vexal::SplitUrl(*target);
    for (char c : vexal::RequestPath(parts.Dir + parts.File))
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F || c == '#')
            std::abort();
    return 0;
}
