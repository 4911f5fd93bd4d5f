// Fuzz target: cutting and interpreting a command line against a few registered entries.
#include <cstdint>
#include <string_view>

#include "app/startup.h"
#include "app/stderr_dialogs.h"

namespace {
class NullDialogs final : public vexal::Dialogs {
public:
    void Error(const std::string&, const std::string&) override {}
    void Notice(const std::string&, const std::string&) override {}
    bool AskRetry(const std::string&, const std::string&) override { return false; }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    std::string AskText(const std::string&, const std::string&) override { return {}; }
};
class NullProcess final : public vexal::Process {
public:
    void End(int) override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vexal::Program program;
    vexal::InitGlobals(program, 1, 0);
    program.SiteEntries.resize(3);
    program.SiteEntries[1].Name = "sample";
    program.SiteEntries[2].Name = "Other";
    NullDialogs dialogs;
    NullProcess process;
    vexal::Host host;
    host.dialogs = &dialogs;
    host.process = &process;
    vexal::ParseCommandLine(program, host, std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
