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
#include <unordered_set>
#include <vector>

#include "gather/character_references.h"
#include "gather/html_tags.h"
#include "gather/page_scan.h"
#include "program/site_entry.h"
#include "settings/source_kind.h"
#include "text/case.h"

namespace vexal {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

// Adds the characters a search from `from` went over, up to `found` or the end, to `read`.
std::size_t Counted(std::size_t found, std::size_t from, std::size_t size, std::size_t& read) {
    const std::size_t end = found == kNone ? size : found + 1;
    if (end > from) read += end - from;
    return found;
}

// Finds a lower-case needle, ignoring ASCII letter case, at non-decreasing positions.
// The needle contains one character that is not a letter (the anchor); the scanner looks
// for that character with memchr and remembers the next one found, so the text between
// two calls is never read twice however the calls are spaced.
class ForwardScanner {
public:
    ForwardScanner(std::string_view text, std::string_view lowerNeedle, std::size_t anchorOffset,
                   std::size_t& read)
        : text_(text),
          needle_(lowerNeedle),
          offset_(anchorOffset),
          anchorChar_(lowerNeedle[anchorOffset]),
          read_(read) {
        nextAnchor_ = Counted(text_.find(anchorChar_, offset_), offset_, text_.size(), read_);
    }

    // The first match starting at or after `from`; `from` must not be smaller than in
    // the previous call.
    std::size_t Find(std::size_t from) {
        if (from >= text_.size()) return kNone;
        std::size_t j = from + offset_;
        while (nextAnchor_ != kNone) {
            if (nextAnchor_ < j) {
                nextAnchor_ = Counted(text_.find(anchorChar_, j), j, text_.size(), read_);
                if (nextAnchor_ == kNone) break;
            }
            const std::size_t start = nextAnchor_ - offset_;
            if (MatchesAt(start)) return start;
            j = nextAnchor_ + 1;
        }
        return kNone;
    }

private:
    bool MatchesAt(std::size_t start) const { return StartsWithAsciiNoCase(text_.substr(start), needle_); }

    std::string_view text_;
    std::string_view needle_;
    std::size_t offset_;
    char anchorChar_;
    std::size_t& read_;
    std::size_t nextAnchor_;
};

struct TagRule {
    std::string_view tag;
    std::string_view attribute;  // ends in the opening double quote
    std::size_t attributeAnchor;
};

// The tags end in a blank so that "<a " does not match "<abbr" or "<area".
constexpr TagRule kTagRules[3] = {
    {"<body ", "background=\"", 10},
    {"<img ", "src=\"", 3},
    {"<a ", "href=\"", 4},
};

// The occurrences of all three tags in one pass over the text's "<" characters, in text
// order. Each rule's own occurrences come out in its order too, which is all its cursor
// ever asks for: the next occurrence after the one just handled.
class TagStream {
public:
    TagStream(std::string_view text, const decltype(SiteEntry::Filter)& filter, std::size_t& read)
        : text_(text), read_(read) {
        for (std::size_t r = 0; r < 3; ++r) on_[r] = filter[r];
        if (on_[0] || on_[1] || on_[2]) Advance(0);
    }
    std::size_t position() const { return position_; }
    std::size_t rule() const { return rule_; }
    void Next() { Advance(position_ + 1); }

private:
    void Advance(std::size_t from) {
        position_ = kNone;
        const std::size_t n = text_.size();
        for (std::size_t p = FindOpen(from); p != kNone; p = FindOpen(p + 1)) {
            if (n - p < 3) return;
            // The letter after "<" tells which of the three tags can start here.
            switch (LowerAscii(text_[p + 1])) {
                case 'b':
                    if (on_[0] && Continues(p, kTagRules[0].tag)) return Found(p, 0);
                    break;
                case 'i':
                    if (on_[1] && Continues(p, kTagRules[1].tag)) return Found(p, 1);
                    break;
                case 'a':
                    if (on_[2] && text_[p + 2] == ' ') return Found(p, 2);
                    break;
                default:
                    break;
            }
        }
    }
    // Markup is dense: the next "<" is usually a few characters on, where a plain loop
    // beats the set-up of a library search.
    std::size_t FindOpen(std::size_t from) const {
        const std::size_t stop = std::min(text_.size(), from + 16);
        for (std::size_t p = from; p < stop; ++p)
            if (text_[p] == '<') return Counted(p, from, text_.size(), read_);
        return Counted(text_.find('<', stop), from, text_.size(), read_);
    }
    // True when the tag, whose first two characters already matched, stands at `p`.
    bool Continues(std::size_t p, std::string_view tag) const {
        if (text_.size() - p < tag.size()) return false;
        for (std::size_t i = 2; i < tag.size(); ++i)
            if (LowerAscii(text_[p + i]) != tag[i]) return false;
        return true;
    }
    void Found(std::size_t p, std::size_t rule) {
        position_ = p;
        rule_ = rule;
    }

    std::string_view text_;
    std::size_t& read_;
    bool on_[3] = {};
    std::size_t position_ = kNone;
    std::size_t rule_ = 0;
};

// True when the text before `at` ends in `lowerWord`, letter case ignored.
bool WordBefore(std::string_view text, std::size_t at, std::string_view lowerWord) {
    return at >= lowerWord.size() && StartsWithAsciiNoCase(text.substr(at - lowerWord.size()), lowerWord);
}

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
    explicit TagState(ForwardScanner scanner) : attributes(scanner) {}
    ForwardScanner attributes;
    // The attribute occurrence found for an earlier tag of the rule stays valid while it
    // lies at or after the current tag: it is the first one from there too.
    bool attributeSearched = false;
    std::size_t attribute = kNone;
    // The closing quote found for `quoteFor` and whether the value it closes is accepted,
    // and this rule's own position in the list of "http://" occurrences (its quotes only
    // ever move forward).
    std::size_t quoteFor = kNone;
    std::size_t quote = kNone;
    bool accepted = false;
    std::string piece;  // the accepted value, its references decoded
    std::size_t httpIndex = 0;
};

// Every position where an "http://" or "https://" address starts, in text order. Both
// schemes end in "://": each separator is looked at once, and the word before it decides
// whether a web address starts there.
std::vector<std::size_t> WebAddressStarts(std::string_view text, std::size_t& read) {
    std::vector<std::size_t> starts;
    ForwardScanner scanner(text, "://", 0, read);
    for (std::size_t q = scanner.Find(0); q != kNone; q = scanner.Find(q + 3)) {
        if (WordBefore(text, q, "https")) {
            starts.push_back(q - 5);
        } else if (WordBefore(text, q, "http")) {
            starts.push_back(q - 4);
        }
    }
    return starts;
}

// A page's SVG files are its icons, logos and buttons, not its pictures: on a page an SVG
// is no candidate (a text file's list, a folder and -wp take it).
bool AllowedOnPage(std::string_view name, const std::array<bool, 5>& ext, bool webPage) {
    const PictureKind kind = PictureKindOf(name, webPage || IsWebAddress(name));
    return kind != PictureKind::Svg && KindAllowed(kind, ext);
}

// One pass of the five rules over a text. Each rule has a cursor at its next occurrence;
// Run takes the smallest, and the step of that rule adds what it finds there and moves
// the cursors on. Every search adds the characters it went over to `read`.
class LinkExtractor {
public:
    LinkExtractor(std::string_view text, const SiteEntry& entry, bool webPage, bool html,
                  std::vector<std::string>& out, std::size_t& read)
        : text_(text),
          ext_(entry.Ext),
          // A link on a web page is a web name even when relative: its query is no part
          // of the file's name.
          webPage_(webPage),
          html_(html),
          out_(out),
          read_(read),
          tags_(text, entry.Filter, read),
          bareUrls_(entry.Filter[3]),
          lineEnds_(text, "\r\n", 0, read),
          lineCursor_(entry.Filter[4] ? 0 : kNone) {
        tagRules_.reserve(3);
        for (const TagRule& rule : kTagRules)
            tagRules_.emplace_back(ForwardScanner(text, rule.attribute, rule.attributeAnchor, read));
        if (bareUrls_) http_ = WebAddressStarts(text, read);
    }

    void Run() {
        while (true) {
            // The smallest cursor; on a tie the lower rule number wins.
            std::size_t best = tags_.position();
            std::size_t rule = best == kNone ? 5 : tags_.rule();
            if (BareCursor() < best) best = BareCursor(), rule = 3;
            if (lineCursor_ < best) best = lineCursor_, rule = 4;
            if (rule == 5) return;
            if (rule < 3) {
                TakeTag(rule, best);
            } else if (rule == 3) {
                TakeBareUrl(best);
            } else {
                TakeLine();
            }
        }
    }

private:
    std::size_t BareCursor() const { return bareIndex_ < http_.size() ? http_[bareIndex_] : kNone; }

    bool Allowed(std::string_view name) const {
        return html_ ? AllowedOnPage(name, ext_, webPage_) : HasAllowedExtension(name, ext_, webPage_);
    }

    // A line of a text file is taken as written; a bare address in a page means what the
    // page shows, its character references decoded.
    void Accept(std::string_view piece, bool decode) {
        if (!decode) {
            if (Allowed(piece)) out_.emplace_back(piece);
            return;
        }
        DecodedValue value = DecodeCharacterReferences(piece);
        if (!value.unsafe && Allowed(value.text)) out_.push_back(std::move(value.text));
    }

    // Rules 0 to 2: the attribute's value after the tag at `at`.
    void TakeTag(std::size_t rule, std::size_t at) {
        TagState& s = tagRules_[rule];
        const std::size_t length = kTagRules[rule].attribute.size();
        // The attribute is searched from the tag on through the rest of the text, so an
        // attribute of a later element can be taken.
        if (!s.attributeSearched || (s.attribute != kNone && s.attribute < at)) {
            s.attribute = s.attributes.Find(at);
            s.attributeSearched = true;
        }
        if (s.attribute != kNone) {
            const std::size_t value = s.attribute + length;
            if (s.quoteFor != s.attribute) {
                s.quoteFor = s.attribute;
                s.quote = Counted(text_.find('"', value), value, text_.size(), read_);
                s.accepted = false;
                if (s.quote != kNone) {
                    // An attribute's value is HTML: "&amp;" in it is "&" in the address.
                    DecodedValue decoded = DecodeCharacterReferences(text_.substr(value, s.quote - value));
                    s.accepted = !decoded.unsafe && Allowed(decoded.text);
                    if (s.accepted) s.piece = std::move(decoded.text);
                }
            }
            if (s.quote != kNone) {
                if (s.accepted) out_.push_back(s.piece);
                // A URL inside the value must not be taken a second time as a bare URL.
                if (bareUrls_) {
                    while (s.httpIndex < http_.size() && http_[s.httpIndex] < s.quote) ++s.httpIndex;
                    bareIndex_ = s.httpIndex;
                }
            }
        }
        // The next tag, not the next one after the value: values are not skipped.
        tags_.Next();
        // Further tags of this rule that come before every other cursor and still lie
        // before the attribute found take the very same value and leave the bare cursor
        // where it is: a run of them costs one step each.
        const std::size_t limit = std::min({BareCursor(), lineCursor_, s.attribute});
        if (s.attribute != kNone && s.quote != kNone && s.accepted) {
            while (tags_.rule() == rule && tags_.position() <= limit && tags_.position() != kNone) {
                out_.push_back(s.piece);
                tags_.Next();
            }
        } else {
            while (tags_.rule() == rule && tags_.position() <= limit && tags_.position() != kNone)
                tags_.Next();
        }
    }

    // Rule 3: the bare URL at `at`, up to the first character that ends one.
    void TakeBareUrl(std::size_t at) {
        std::size_t end = at;
        while (end < text_.size() && !kUrlStops.stop[static_cast<unsigned char>(text_[end])]) ++end;
        read_ += end - at;
        Accept(text_.substr(at, end - at), html_);
        while (bareIndex_ < http_.size() && http_[bareIndex_] < end) ++bareIndex_;
    }

    // Rule 4: the line at the line cursor, up to CR LF or the end of the text.
    void TakeLine() {
        const std::size_t crlf = lineEnds_.Find(lineCursor_);
        if (crlf == kNone) {
            Accept(text_.substr(lineCursor_), false);
            lineCursor_ = kNone;
        } else {
            Accept(text_.substr(lineCursor_, crlf - lineCursor_), false);
            lineCursor_ = crlf + 2;
        }
    }

    std::string_view text_;
    const std::array<bool, 5>& ext_;
    bool webPage_;
    bool html_;
    std::vector<std::string>& out_;
    std::size_t& read_;
    // Rules 0 to 2 share one stream of tag occurrences; its position is the cursor of the
    // rule it names, and the other two rules' cursors lie further on.
    TagStream tags_;
    std::vector<TagState> tagRules_;
    // The bare-URL cursor is kept as an index into the list of all positions where a web
    // address starts: a tag rule may move it back to an earlier occurrence than the one
    // it points at, and the list answers "first at or after" without searching the text
    // again.
    bool bareUrls_;
    std::vector<std::size_t> http_;
    std::size_t bareIndex_ = 0;  // http_.size() when exhausted or off
    ForwardScanner lineEnds_;
    std::size_t lineCursor_;
};

// The page's own picture: the addresses of <meta property="og:image" content=…> (and its
// :url and :secure_url forms), <meta name="twitter:image" …> (and twitter:image:src) and
// <link rel="image_src" href=…>, in page order, each once. One pass over the text: every
// tag is read to its end once, and the search goes on after it.
void TakePagePictures(std::string_view t, const std::array<bool, 5>& ext, bool webPage, std::size_t& read,
                      std::vector<std::string>& out) {
    std::unordered_set<std::string> seen;
    std::vector<HtmlAttribute> attributes;
    std::size_t p = 0;
    while (p < t.size()) {
        const std::size_t lt = Counted(t.find('<', p), p, t.size(), read);
        if (lt == kNone) return;
        const bool meta = HtmlTagAt(t, lt, "meta");
        if (!meta && !HtmlTagAt(t, lt, "link")) {
            p = lt + 1;
            continue;
        }
        const std::size_t end = ReadHtmlAttributes(t, lt + 5, attributes);
        read += end - lt;
        p = end;
        const std::string_view address = PagePictureOf(attributes, meta);
        if (address.data() == nullptr) continue;
        DecodedValue value = DecodeCharacterReferences(address);
        if (value.unsafe) continue;
        const std::string_view trimmed = TrimHtmlSpace(value.text);
        if (trimmed.empty()) continue;
        if (!AllowedOnPage(trimmed, ext, webPage) && !NamesNoExtension(trimmed, webPage)) continue;
        std::string candidate(trimmed);
        if (seen.insert(candidate).second) out.push_back(std::move(candidate));
    }
}

// A local file is read as HTML when its name says it is a page.
bool IsHtmlFileName(std::string_view name) {
    for (std::string_view ext : {".html", ".htm", ".xhtml", ".shtml"})
        if (EndsWithNoCase(name, ext)) return true;
    return false;
}

}  // namespace

bool HasAllowedExtension(std::string_view name, const std::array<bool, 5>& ext, bool onWebPage) {
    return KindAllowed(PictureKindOf(name, onWebPage || IsWebAddress(name)), ext);
}

std::vector<std::string> ExtractLinks(std::string_view sourceText, const SiteEntry& entry,
                                      SourceKind sourceKind, LinkScanCost* cost, PageScanOptions options) {
    LinkScanCost ignored;
    std::size_t& read = (cost ? *cost : ignored).charactersSearched;
    std::vector<std::string> candidates(1);
    const bool webPage = sourceKind == SourceKind::WebPage;
    const bool html = webPage || (sourceKind == SourceKind::LocalFile && IsHtmlFileName(entry.Url));
    const bool anyExt = std::any_of(entry.Ext.begin(), entry.Ext.end(), [](bool b) { return b; });
    if (html && UsesPageRules(entry)) {
        // The page rules read the page's own picture in the same pass.
        options.webPage = webPage;
        ScanPage(sourceText, options, entry, read, candidates);
        return candidates;
    }
    // The page's own picture comes before every other rule's candidates.
    if (entry.Filter[6]) TakePagePictures(sourceText, entry.Ext, webPage, read, candidates);
    if (!anyExt) return candidates;  // nothing else could be accepted
    LinkExtractor(sourceText, entry, webPage, html, candidates, read).Run();
    return candidates;
}

void ExtractLinks(Program& program, LinkScanCost* cost) {
    program.Candidates = ExtractLinks(program.SourceText, program.CurrentEntry(),
                                      ClassifySource(program.CurrentEntry().Url), cost);
}

}  // namespace vexal
