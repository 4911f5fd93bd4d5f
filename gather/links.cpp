// Link extraction by five rules, each with a cursor at its next occurrence; the rule with
// the smallest cursor goes next, so candidates come out in the order they stand in the text.
//
// Every search below keeps its own position and only ever moves it forward, and every
// result that a later step may ask for again is cached. A page with many tags whose
// attribute only turns up far ahead (100,000 "<img " and one "src=" at the end) would
// otherwise rescan that tail once per tag.
#include "gather/links.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "settings/site_entry.h"
#include "text/case.h"

namespace vexal {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

// Finds a lower-case needle, ignoring ASCII letter case, at non-decreasing positions.
// The needle contains one character that is not a letter (the anchor); the scanner looks
// for that character with memchr and remembers the next one found, so the text between
// two calls is never read twice however the calls are spaced.
class ForwardScanner {
public:
    ForwardScanner(std::string_view text, std::string_view lowerNeedle, std::size_t anchorOffset)
        : text_(text), needle_(lowerNeedle), offset_(anchorOffset), anchorChar_(lowerNeedle[anchorOffset]) {
        nextAnchor_ = text_.find(anchorChar_, offset_);
    }

    // The first match starting at or after `from`; `from` must not be smaller than in
    // the previous call.
    std::size_t Find(std::size_t from) {
        if (from >= text_.size()) return kNone;
        std::size_t j = from + offset_;
        while (nextAnchor_ != kNone) {
            if (nextAnchor_ < j) {
                nextAnchor_ = text_.find(anchorChar_, j);
                if (nextAnchor_ == kNone) break;
            }
            const std::size_t start = nextAnchor_ - offset_;
            if (MatchesAt(start)) return start;
            j = nextAnchor_ + 1;
        }
        return kNone;
    }

private:
    bool MatchesAt(std::size_t start) const {
        if (text_.size() - start < needle_.size()) return false;
        for (std::size_t i = 0; i < needle_.size(); ++i)
            if (LowerAscii(text_[start + i]) != needle_[i]) return false;
        return true;
    }

    std::string_view text_;
    std::string_view needle_;
    std::size_t offset_;
    char anchorChar_;
    std::size_t nextAnchor_;
};

struct TagRule {
    std::string_view tag;
    std::size_t tagAnchor;
    std::string_view attribute;  // ends in the opening double quote
    std::size_t attributeAnchor;
};

// The tags end in a blank so that "<a " does not match "<abbr" or "<area".
constexpr TagRule kTagRules[3] = {
    {"<body ", 0, "background=\"", 10},
    {"<img ", 0, "src=\"", 3},
    {"<a ", 0, "href=\"", 4},
};

constexpr std::string_view kHttp = "http://";

// Characters that end a bare URL: everything up to the blank, and the four delimiters.
struct UrlStops {
    bool stop[256] = {};
    constexpr UrlStops() {
        for (int c = 0; c <= 0x20; ++c) stop[c] = true;
        stop[static_cast<unsigned char>('"')] = true;
        stop[static_cast<unsigned char>('#')] = true;
        stop[static_cast<unsigned char>('<')] = true;
        stop[static_cast<unsigned char>('>')] = true;
    }
};
constexpr UrlStops kUrlStops;

// State of one tag rule between its occurrences.
struct TagState {
    std::size_t cursor = kNone;
    ForwardScanner tags;
    ForwardScanner attributes;
    // The attribute occurrence found for an earlier tag stays valid while it lies at or
    // after the current tag: it is the first one from there too.
    bool attributeSearched = false;
    std::size_t attribute = kNone;
    // The closing quote found for `quoteFor`, and this rule's own position in the list of
    // "http://" occurrences (its quotes only ever move forward).
    std::size_t quoteFor = kNone;
    std::size_t quote = kNone;
    std::size_t httpIndex = 0;
};

}  // namespace

bool HasAllowedExtension(std::string_view name, const std::array<bool, 4>& ext) {
    if (name.size() < 4 || name[name.size() - 4] != '.') return false;
    const std::string_view tail = name.substr(name.size() - 3);
    for (std::size_t i = 0; i < ImageExts.size(); ++i)
        if (ext[i] && EndsWithNoCase(tail, ImageExts[i])) return true;
    return false;
}

void ExtractLinks(Program& program) {
    const SiteEntry& entry = program.CurrentEntry();
    const std::string_view text = program.SourceText;
    std::vector<std::string>& out = program.Candidates;
    out.assign(1, std::string());

    const bool anyExt = std::any_of(entry.Ext.begin(), entry.Ext.end(), [](bool b) { return b; });
    if (!anyExt) return;  // nothing could be accepted

    std::vector<TagState> tagRules;
    tagRules.reserve(3);
    for (std::size_t r = 0; r < 3; ++r) {
        const TagRule& rule = kTagRules[r];
        tagRules.push_back(TagState{kNone, ForwardScanner(text, rule.tag, rule.tagAnchor),
                                    ForwardScanner(text, rule.attribute, rule.attributeAnchor)});
        if (entry.Filter[r]) tagRules[r].cursor = tagRules[r].tags.Find(0);
    }

    // The bare-URL cursor is kept as an index into the list of all "http://" positions:
    // a tag rule may move it back to an earlier occurrence than the one it points at, and
    // the list answers "first at or after" without searching the text again.
    const bool bareUrls = entry.Filter[3];
    std::vector<std::size_t> http;
    if (bareUrls) {
        ForwardScanner scanner(text, kHttp, 4);
        for (std::size_t p = scanner.Find(0); p != kNone; p = scanner.Find(p + kHttp.size()))
            http.push_back(p);
    }
    std::size_t bareIndex = 0;  // http.size() when exhausted or off
    auto bareCursor = [&] { return bareIndex < http.size() ? http[bareIndex] : kNone; };

    ForwardScanner lineEnds(text, "\r\n", 0);
    std::size_t lineCursor = entry.Filter[4] ? 0 : kNone;

    auto accept = [&](std::string_view piece) {
        if (HasAllowedExtension(piece, entry.Ext)) out.emplace_back(piece);
    };

    while (true) {
        // The smallest cursor; on a tie the lower rule number wins.
        std::size_t rule = 5;
        std::size_t best = kNone;
        for (std::size_t r = 0; r < 3; ++r)
            if (tagRules[r].cursor < best) best = tagRules[r].cursor, rule = r;
        if (bareCursor() < best) best = bareCursor(), rule = 3;
        if (lineCursor < best) best = lineCursor, rule = 4;
        if (rule == 5) break;

        if (rule < 3) {
            TagState& s = tagRules[rule];
            const std::size_t length = kTagRules[rule].attribute.size();
            // The attribute is searched from the tag on through the rest of the text, so
            // an attribute of a later element can be taken.
            if (!s.attributeSearched || (s.attribute != kNone && s.attribute < s.cursor)) {
                s.attribute = s.attributes.Find(s.cursor);
                s.attributeSearched = true;
            }
            if (s.attribute != kNone) {
                if (s.quoteFor != s.attribute) {
                    s.quoteFor = s.attribute;
                    s.quote = text.find('"', s.attribute + length);
                }
                if (s.quote != kNone) {
                    accept(text.substr(s.attribute + length, s.quote - (s.attribute + length)));
                    // A URL inside the value must not be taken a second time as a bare URL.
                    if (bareUrls) {
                        while (s.httpIndex < http.size() && http[s.httpIndex] < s.quote) ++s.httpIndex;
                        bareIndex = s.httpIndex;
                    }
                }
            }
            // The next tag, not the next one after the value: values are not skipped.
            s.cursor = s.tags.Find(s.cursor + 1);
        } else if (rule == 3) {
            std::size_t end = best;
            while (end < text.size() && !kUrlStops.stop[static_cast<unsigned char>(text[end])]) ++end;
            accept(text.substr(best, end - best));
            while (bareIndex < http.size() && http[bareIndex] < end) ++bareIndex;
        } else {
            const std::size_t crlf = lineEnds.Find(lineCursor);
            if (crlf == kNone) {
                accept(text.substr(lineCursor));
                lineCursor = kNone;
            } else {
                accept(text.substr(lineCursor, crlf - lineCursor));
                lineCursor = crlf + 2;
            }
        }
    }
}

}  // namespace vexal
