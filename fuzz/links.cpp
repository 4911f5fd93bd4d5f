// Fuzz target: link extraction with every rule and extension switched by the input,
// character references in values, the page's own picture and the page rules (pages,
// feeds and JSON read as a browser would, with or without a MinWidth) included.
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
    entry.Filter[6] = (data[0] >> 5) & 1;
    for (bool& e : entry.Ext) e = true;
    // Half the inputs are read as a web page, where links are web names and bare
    // addresses are decoded too.
    if ((data[0] >> 6) & 1) entry.Url = "https://h/page.html";
    if ((data[0] >> 7) & 1) entry.MinWidth = 640;
    program.SourceText.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    // Each of the extraction's ten scanners goes over the text at most once, whatever the
    // text holds; more is a rescan that a long page would turn into minutes.
    vexal::LinkScanCost cost;
    vexal::ExtractLinks(program, &cost);
    if (cost.charactersSearched > 10 * program.SourceText.size() + 64) std::abort();
    if (program.Candidates.empty() || !program.Candidates[0].empty()) std::abort();
    for (std::size_t i = 1; i < program.Candidates.size(); ++i) {
        const std::string& c = program.Candidates[i];
        // A picture's name holds at least its extension; a page a thumbnail links to may
        // be shorter.
        if (c.empty() || (!vexal::UsesPageRules(entry) && c.size() < 4)) std::abort();
        // A decoded reference never hands on a control character the page did not hold.
        for (char ch : c)
            if ((static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) &&
                program.SourceText.find(ch) == std::string::npos)
                std::abort();
    }
    return 0;
}
