// Fuzz target: URL splitting and the path helpers; the path must always come back whole.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view url(reinterpret_cast<const char*>(data), size);
    const vexal::UrlParts parts = vexal::SplitUrl(url);
    const std::string path = parts.Dir + parts.File;
    if (vexal::UrlDirPart(path) + vexal::UrlFilePart(path) != path) std::abort();
    if (vexal::UrlDirPart(url) + vexal::UrlFilePart(url) != url) std::abort();
    (void)vexal::RequestText(path, "Host: x\r\n");
    return 0;
}
