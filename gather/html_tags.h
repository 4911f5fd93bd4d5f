// Reading HTML tags as a browser's tokenizer does: white space, attribute names and
// values quoted either way or not at all, over several lines.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace vexal {

bool IsHtmlSpace(char c);
std::string_view TrimHtmlSpace(std::string_view text);

struct HtmlAttribute {
    std::string_view name;
    std::string_view value;  // as written, without its quotes; empty when it has none
    std::size_t at = 0;      // where the value starts in the text
};

// Reads the attributes of the tag whose name ends before `i` into `out` (emptied first):
// names end at a blank, "/", ">" or "="; values in double or single quotes (which may
// hold ">" and line breaks) or unquoted up to a blank or ">". Returns the position after
// the tag's ">", or the end of the text.
std::size_t ReadHtmlAttributes(std::string_view t, std::size_t i, std::vector<HtmlAttribute>& out);

// The value of the first attribute named `lowerName` (a browser keeps the first), or null.
const HtmlAttribute* FindHtmlAttribute(const std::vector<HtmlAttribute>& attributes,
                                       std::string_view lowerName);

// True when a tag named `lowerName` starts at `lt` (its "<"): the name, then a blank,
// "/", ">" or the end of the text.
bool HtmlTagAt(std::string_view t, std::size_t lt, std::string_view lowerName);

}  // namespace vexal
