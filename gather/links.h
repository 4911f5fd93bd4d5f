// Link extraction: turns the text of a source page or text file into the candidate list.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "gather/page_scan.h"
#include "program/program.h"
#include "settings/source_kind.h"

namespace vexal {

// True when `name` is a picture of a kind whose flag is set in `ext` (gif, jpg, png, bmp).
// Names on a web page, and web addresses anywhere, are judged without their query or
// fragment.
bool HasAllowedExtension(std::string_view name, const std::array<bool, 5>& ext, bool onWebPage = false);

// What one extraction cost: the characters its searches went over, counted once per
// search. Linear in the length of the text whatever the text holds.
struct LinkScanCost {
    std::size_t charactersSearched = 0;
};

// The candidates in `sourceText` by the entry's Filter(0..4) and Ext flags: a placeholder
// at index 0, then every accepted piece in the order its occurrence starts. With
// Filter(6), the page's own picture tags' addresses come first, each once, also when
// they name no extension at all. Values cut from HTML (the tags' values, and bare
// addresses in a web page or a local .html file) have their character references
// decoded; one whose references make it unsafe to ask for is dropped. `sourceKind` is the
// entry's: links on a web page are web names. An HTML source of an entry with the page
// rules is read by them instead of the five rules, with `options` (its webPage is the
// source kind's).
// Never fails; the cost is linear in the length of the text, and adds to `cost` if given.
std::vector<std::string> ExtractLinks(std::string_view sourceText, const SiteEntry& entry,
                                      SourceKind sourceKind, LinkScanCost* cost = nullptr,
                                      PageScanOptions options = {});

// Whether the entry asks for the page's own picture or a least width, and so has its
// pages read as a browser and a feed reader would (see page_scan.h); other entries keep
// the five rules as they always were.
inline bool UsesPageRules(const SiteEntry& entry) { return entry.Filter[6] || entry.MinWidth > 0; }

// The same from SourceText and the current entry into Candidates.
void ExtractLinks(Program& program, LinkScanCost* cost = nullptr);

}  // namespace vexal
