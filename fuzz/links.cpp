// Fuzz target: link extraction with every rule and extension switched by the input.
#include "gather/links.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "program/program.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    vexal::Program program;
    vexal::SiteEntry& entry = program.CurrentEntry();
    for (int i = 0; i < 5; ++i) entry.Filter[i] = (data[0] >> i) & 1;
    for (bool& e : entry.Ext) e = true;
    program.SourceText.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    // Each of the extraction's ten scanners goes over the text at most once, whatever the
    // text holds; more is a rescan that a long page would turn into minutes.
    vexal::LinkScanCost cost;
    vexal::ExtractLinks(program, &cost);
    if (cost.charactersSearched > 10 * program.SourceText.size() + 64) std::abort();
    if (program.Candidates.empty() || !program.Candidates[0].empty()) std::abort();
    for (std::size_t i = 1; i < program.Candidates.size(); ++i)
        if (program.Candidates[i].size() < 4) std::abort();
    return 0;
}
