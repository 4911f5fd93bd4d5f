// Fuzz target: cutting and interpreting a command line against a few registered entries.
#include <cstdint>
#include <string_view>

#include "app/startup.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vexal::Program program;
    vexal::InitGlobals(program, 1, 0);
    program.SiteEntries.resize(3);
    program.SiteEntries[1].Name = "sample";
    program.SiteEntries[2].Name = "Other";
    (void)vexal::ParseCommandLine(program, std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
