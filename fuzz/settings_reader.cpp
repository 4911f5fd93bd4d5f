// Fuzz target: the settings file reader, and the writer on what it read (the written file
// must read back to the same entries).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/startup.h"
#include "settings/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vexal::Program program;
    vexal::InitGlobals(program, 1, 0);
    vexal::ParseSettings(program, std::string_view(reinterpret_cast<const char*>(data), size));
    std::string bytes;
    if (vexal::SettingsFileBytes(program, bytes)) {
        vexal::Program again;
        vexal::InitGlobals(again, 1, 0);
        vexal::ParseSettings(again, bytes);
        // Element 0 is never written, and names or URLs holding line breaks cannot survive.
        if (again.EntryCount() < program.EntryCount()) std::abort();
    }
    return 0;
}
