// Reading HTML tags.
#include "gather/html_tags.h"

#include "text/case.h"

namespace vexal {

bool IsHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

std::string_view TrimHtmlSpace(std::string_view text) {
    while (!text.empty() && IsHtmlSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsHtmlSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::size_t ReadHtmlAttributes(std::string_view t, std::size_t i, std::vector<HtmlAttribute>& out) {
    out.clear();
    const std::size_t n = t.size();
    while (i < n) {
        while (i < n && (IsHtmlSpace(t[i]) || t[i] == '/')) ++i;
        if (i >= n) break;
        if (t[i] == '>') return i + 1;
        const std::size_t nameStart = i++;
        while (i < n && !IsHtmlSpace(t[i]) && t[i] != '/' && t[i] != '>' && t[i] != '=') ++i;
        const std::string_view attribute = t.substr(nameStart, i - nameStart);
        std::size_t j = i;
        while (j < n && IsHtmlSpace(t[j])) ++j;
        if (j >= n || t[j] != '=') {
            out.push_back({attribute, {}, j});
            i = j;
            continue;
        }
        ++j;
        while (j < n && IsHtmlSpace(t[j])) ++j;
        if (j < n && (t[j] == '"' || t[j] == '\'')) {
            // Values are short: a plain loop finds the closing quote sooner than a library
            // search gets going.
            std::size_t close = j + 1;
            while (close < n && close < j + 64 && t[close] != t[j]) ++close;
            if (close == n)
                close = std::string_view::npos;
            else if (t[close] != t[j])
                close = t.find(t[j], close);
            const std::size_t end = close == std::string_view::npos ? n : close;
            out.push_back({attribute, t.substr(j + 1, end - j - 1), j + 1});
            i = close == std::string_view::npos ? n : close + 1;
        } else {
            const std::size_t start = j;
            while (j < n && !IsHtmlSpace(t[j]) && t[j] != '>') ++j;
            out.push_back({attribute, t.substr(start, j - start), start});
            i = j;
        }
    }
    return n;
}

const HtmlAttribute* FindHtmlAttribute(const std::vector<HtmlAttribute>& attributes,
                                       std::string_view lowerName) {
    for (const HtmlAttribute& a : attributes)
        if (EqualsAsciiNoCase(a.name, lowerName)) return &a;
    return nullptr;
}

bool HtmlTagAt(std::string_view t, std::size_t lt, std::string_view lowerName) {
    const std::size_t end = lt + 1 + lowerName.size();
    if (end > t.size() || !StartsWithAsciiNoCase(t.substr(lt + 1), lowerName)) return false;
    return end == t.size() || IsHtmlSpace(t[end]) || t[end] == '/' || t[end] == '>';
}

}  // namespace vexal
