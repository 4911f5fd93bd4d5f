// Reading pages, feeds and JSON answers for their pictures in one pass. The tags are found
// at each "<"; the bare web addresses are listed once beforehand and taken in between, in
// text order, except inside what a tag's rule took itself (so no address is read twice)
// and inside icons, comments and CSS.
#include "gather/page_scan.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "gather/character_references.h"
#include "gather/html_tags.h"
#include "settings/source_kind.h"
#include "text/case.h"
#include "text/json.h"

namespace vexal {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

// Words (ASCII, lower case) looked for together, ASCII letter case ignored: one pass
// over a text for all of them.
struct AsciiWords {
    std::vector<std::string_view> words;  // literals: they outlive the set
    bool starts[256] = {};                // the words' first characters, in either case
    AsciiWords(std::initializer_list<std::string_view> lowerWords) : words(lowerWords) {
        for (std::string_view word : words) {
            const auto first = static_cast<unsigned char>(word[0]);
            starts[first] = starts[static_cast<unsigned char>(UpperAscii(word[0]))] = true;
        }
    }
};

bool HasAnyAsciiNoCase(std::string_view text, const AsciiWords& set) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!set.starts[static_cast<unsigned char>(text[i])]) continue;
        const char c = LowerAscii(text[i]);
        for (std::string_view word : set.words) {
            if (word[0] != c || text.size() - i < word.size()) continue;
            std::size_t k = 1;
            while (k < word.size() && LowerAscii(text[i + k]) == word[k]) ++k;
            if (k == word.size()) return true;
        }
    }
    return false;
}

// The web address's path with its query and fragment cut off.
std::string_view PathPart(std::string_view address) {
    return address.substr(0, std::min(address.find('?'), address.find('#')));
}

bool AllowedKind(std::string_view name, const std::array<bool, 5>& ext) {
    // A page's SVG files are its icons and logos, never its pictures.
    const PictureKind kind = PictureKindOf(name, false);
    return kind != PictureKind::Svg && KindAllowed(kind, ext);
}

// Whether `name` ends in ".EXT:word", a picture name with a size suffix as picture
// services write them ("a.jpg:large", "b.png:orig").
bool AllowedWithSizeSuffix(std::string_view name, const std::array<bool, 5>& ext) {
    const std::size_t colon = name.rfind(':');
    if (colon == kNone || colon + 1 == name.size() || name.find('/', colon) != kNone) return false;
    for (std::size_t i = colon + 1; i < name.size(); ++i)
        if (!IsAsciiLetter(name[i])) return false;
    return AllowedKind(name.substr(0, colon), ext);
}

// Whether a value of the address's query names a picture ("id=OHR.Name_1920x1080.jpg").
bool AllowedInQuery(std::string_view address, const std::array<bool, 5>& ext) {
    const std::size_t question = address.find('?');
    if (question == kNone) return false;
    std::string_view query = address.substr(question + 1);
    query = query.substr(0, query.find('#'));
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const std::size_t eq = pair.find('=');
        if (eq != kNone && AllowedKind(pair.substr(eq + 1), ext)) return true;
        if (amp == kNone) break;
        query.remove_prefix(amp + 1);
    }
    return false;
}

// The descriptor of one srcset entry: a width ("800w"), or a density ("2x", 1 when none).
struct SrcsetPick {
    std::string_view url;
    std::int64_t width = 0;  // 0: no width given
    double density = 0;
};

std::int64_t Digits(std::string_view text) {
    std::int64_t value = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (value < 1000000) value = value * 10 + (text[i] - '0');
    return i == 0 ? -1 : value;
}

// The largest picture a srcset offers: the widest when widths are given, else the
// densest. An address may hold commas; one that ends in a comma ends there.
SrcsetPick BestOfSrcset(std::string_view set) {
    SrcsetPick best;
    std::size_t i = 0;
    const std::size_t n = set.size();
    while (i < n) {
        while (i < n && (IsHtmlSpace(set[i]) || set[i] == ',')) ++i;
        const std::size_t start = i;
        while (i < n && !IsHtmlSpace(set[i])) ++i;
        std::string_view url = set.substr(start, i - start);
        bool ended = false;
        while (!url.empty() && url.back() == ',') url.remove_suffix(1), ended = true;
        if (url.empty()) continue;
        SrcsetPick pick{url, 0, 1};
        if (!ended) {
            const std::size_t close = set.find(',', i);
            const std::string_view descriptor =
                TrimHtmlSpace(set.substr(i, close == kNone ? kNone : close - i));
            i = close == kNone ? n : close + 1;
            if (!descriptor.empty() && (descriptor.back() == 'w' || descriptor.back() == 'W')) {
                pick.width = std::max<std::int64_t>(Digits(descriptor), 0);
            } else if (!descriptor.empty() && (descriptor.back() == 'x' || descriptor.back() == 'X')) {
                const std::int64_t whole = Digits(descriptor);
                const std::size_t dot = descriptor.find('.');
                pick.density = whole < 0 ? 0 : static_cast<double>(whole);
                if (dot != kNone && dot + 1 < descriptor.size() && descriptor[dot + 1] >= '0' &&
                    descriptor[dot + 1] <= '9')
                    pick.density += (descriptor[dot + 1] - '0') / 10.0;
            }
        }
        const bool better = best.url.empty() || (pick.width > 0 && pick.width > best.width) ||
                            (best.width == 0 && pick.width == 0 && pick.density > best.density);
        if (better) best = pick;
    }
    return best;
}

// A src that only holds the place of a picture a script loads later.
bool IsPlaceholder(std::string_view src) {
    src = TrimHtmlSpace(src);
    const std::string_view path = PathPart(src);
    if (src.empty() || StartsWithAsciiNoCase(src, "data:") ||
        (path.size() >= 4 && EqualsAsciiNoCase(path.substr(path.size() - 4), ".gif")))
        return true;
    for (std::string_view word : {"blank", "spacer", "placeholder", "transparent", "pixel", "lazy", "1x1"})
        if (FindAsciiNoCase(src, word) != kNone) return true;
    return false;
}

// An address whose path says it is a site's mark: a logo, a favicon, a touch icon, or a
// file in a folder of icons, sprites or avatars.
bool IsLogoAddress(std::string_view address) {
    std::string_view path = PathPart(address);
    if (const std::size_t scheme = path.find("://"); scheme != kNone) {
        const std::size_t slash = path.find('/', scheme + 3);
        path = slash == kNone ? std::string_view() : path.substr(slash);
    }
    static const AsciiWords kMarks{"logo",      "favicon",  "apple-touch-icon", "/icon/", "/icons/",
                                   "/sprites/", "/avatar/", "/avatars/",        "/emoji/"};
    return HasAnyAsciiNoCase(path, kMarks);
}

bool RelHasWord(std::string_view rel, std::initializer_list<std::string_view> words) {
    std::size_t i = 0;
    while (i < rel.size()) {
        while (i < rel.size() && IsHtmlSpace(rel[i])) ++i;
        const std::size_t start = i;
        while (i < rel.size() && !IsHtmlSpace(rel[i])) ++i;
        for (std::string_view word : words)
            if (i > start && EqualsAsciiNoCase(rel.substr(start, i - start), word)) return true;
    }
    return false;
}

bool IsPagePictureProperty(std::string_view value) {
    value = TrimHtmlSpace(value);
    for (std::string_view known :
         {"og:image", "og:image:url", "og:image:secure_url", "twitter:image", "twitter:image:src"})
        if (EqualsAsciiNoCase(value, known)) return true;
    return false;
}

// Sites name their marks with ever new words ("fluid-icon", "apple-touch-icon-precomposed"): any
// rel word that says icon is one, as is a touch start-up screen.
bool IsIconLink(std::string_view rel) {
    std::size_t i = 0;
    while (i < rel.size()) {
        while (i < rel.size() && IsHtmlSpace(rel[i])) ++i;
        const std::size_t start = i;
        while (i < rel.size() && !IsHtmlSpace(rel[i])) ++i;
        if (FindAsciiNoCase(rel.substr(start, i - start), "icon") != kNone) return true;
    }
    return RelHasWord(rel, {"apple-touch-startup-image"});
}

// A link that leads to a page a person would open, not a place on this one or a script.
bool IsPageLink(std::string_view href) {
    href = TrimHtmlSpace(href);
    // The site's own front page is where a header's logo leads, not to a picture.
    if (href.empty() || href.front() == '#' || href == "/" || href == "./") return false;
    for (std::string_view scheme : {"javascript:", "mailto:", "tel:", "data:"})
        if (StartsWithAsciiNoCase(href, scheme)) return false;
    return true;
}

// Characters that end a bare address in a page.
struct BareStops {
    bool stop[256] = {};
    constexpr BareStops() {
        for (int c = 0; c <= 0x20; ++c) stop[c] = true;
        for (char c : {'"', '\'', '#', '<', '>', '\\', '`', ')', '(', '{', '}', '|', '^'})
            stop[static_cast<unsigned char>(c)] = true;
    }
};
constexpr BareStops kBareStops;

// Character references that stand for a character that ends an address in markup.
bool StopReferenceAt(std::string_view t, std::size_t i) {
    for (std::string_view ref : {"&quot;", "&lt;", "&gt;", "&#34;", "&#39;", "&apos;", "&#x27;", "&#x22;"})
        if (t.substr(i, ref.size()) == ref) return true;
    return false;
}

// Repeats a scan leaves out: the page's own pictures (read before, at the list's head)
// named again further down, and an address named twice in a row (a link around its own
// picture). Other repeats cost nothing: the retrieval asks for an address once a run
// anyway, and a table of every address would cost a page of a hundred thousand links
// more than reading it.
class Repeats {
public:
    explicit Repeats(std::vector<std::string>& out) : out_(out), head_(out.size()) {}
    void Add(std::string value) {
        if (out_.size() > head_ && out_.back() == value) return;
        if (std::find(own_.begin(), own_.end(), value) != own_.end()) return;
        out_.push_back(std::move(value));
    }
    // The page's own picture, found in the same pass: it goes first, each once.
    void AddOwn(std::string value) {
        if (std::find(own_.begin(), own_.end(), value) == own_.end()) own_.push_back(std::move(value));
    }
    const std::string* LastOwn() const { return own_.empty() ? nullptr : &own_.back(); }
    std::size_t head() const { return head_; }
    // The widths the page itself gives its pictures' files (srcset, the enclosing figure, the
    // own picture's og:image:width), by address; a width attribute is only the displayed size.
    std::unordered_map<std::string, std::int64_t> widths;
    // Item pages a rendition links to, with that rendition.
    std::unordered_map<std::string, std::string> renditionOf;
    // A listing's first item: its candidates, at [from, to) of the output, lead.
    void FirstItem(std::size_t from, std::size_t to) { firstItem_ = {from, to}; }
    // Puts the first item of a listing first and the page's own pictures after it (or
    // first, on any other page), and drops what named one of them before it was known to
    // be one. An own picture `last` says is no main picture goes after everything else, or,
    // without `keepLast`, is no candidate.
    template <typename Last>
    void Finish(Last last, bool keepLast) {
        const auto at = [&](std::size_t i) { return out_.begin() + static_cast<std::ptrdiff_t>(i); };
        std::size_t leading = 0;
        if (const auto [from, to] = firstItem_; from >= head_ && from < to && to <= out_.size()) {
            std::rotate(at(head_), at(from), at(to));
            leading = to - from;
        }
        if (own_.empty()) return;
        const auto split =
            std::stable_partition(own_.begin(), own_.end(), [&](const std::string& v) { return !last(v); });
        std::vector<std::string> demoted(std::make_move_iterator(split), std::make_move_iterator(own_.end()));
        own_.erase(split, own_.end());
        std::size_t kept = head_;
        for (std::size_t i = head_; i < out_.size(); ++i) {
            if (std::find(own_.begin(), own_.end(), out_[i]) != own_.end()) {
                if (i < head_ + leading) --leading;
                continue;
            }
            if (kept != i) out_[kept] = std::move(out_[i]);
            ++kept;
        }
        out_.resize(kept);
        out_.insert(at(head_ + leading), std::make_move_iterator(own_.begin()),
                    std::make_move_iterator(own_.end()));
        own_.clear();
        for (std::string& value : demoted)
            if (keepLast && std::find(at(head_), out_.end(), value) == out_.end())
                out_.push_back(std::move(value));
    }

private:
    std::vector<std::string>& out_;
    std::size_t head_;
    std::vector<std::string> own_;
    std::pair<std::size_t, std::size_t> firstItem_{};
};

// Views of one picture. Pages name one file in several sizes: under a size folder
// ("/736x/", "styles/banner_1660x375/"), with a size in its name or query ("NAME_1000x380_c.jpg",
// "a-300x200.jpg", "?w=1200"), in a srcset. A wallpaper wants the biggest of them.

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Widths renditions are commonly made at: a bare number in a name is a size only if it is one.
bool IsCommonWidth(std::int64_t n) {
    static constexpr std::int64_t kWidths[] = {
        100,  120,  140,  150,  160,  180,  200,  240,  250,  300,  320,  360,  400,  450,  460,  480,
        500,  540,  600,  640,  720,  750,  768,  800,  900,  960,  1000, 1024, 1080, 1200, 1280, 1366,
        1400, 1440, 1536, 1600, 1920, 2000, 2048, 2400, 2560, 3000, 3200, 3840, 4000, 4096};
    return std::find(std::begin(kWidths), std::end(kWidths), n) != std::end(kWidths);
}

// The address without its scheme and host: names and folders only.
std::string_view PathOfAddress(std::string_view address) {
    std::string_view path = PathPart(address);
    if (const std::size_t scheme = path.find("://"); scheme != kNone) {
        const std::size_t slash = path.find('/', scheme + 3);
        path = slash == kNone ? std::string_view() : path.substr(slash);
    } else if (path.substr(0, 2) == "//") {
        const std::size_t slash = path.find('/', 2);
        path = slash == kNone ? std::string_view() : path.substr(slash);
    }
    return path;
}

// The width an address's own name gives its picture ("_1000x380", "/736x/", "/1280/",
// "-1024.jpg", "w=1200", "width=1600", "format=1500w", "/s1600/"); 0 when it gives none.
std::int64_t WidthHint(std::string_view address) {
    const std::size_t n = std::min(address.find('#'), address.size());
    const std::string_view path = PathOfAddress(address);
    std::int64_t best = 0;
    for (std::size_t i = static_cast<std::size_t>(path.data() - address.data()); i < n; ++i) {
        if (!IsDigit(address[i]) || (i > 0 && IsDigit(address[i - 1]))) continue;
        std::size_t j = i;
        while (j < n && IsDigit(address[j])) ++j;
        if (j - i < 2 || j - i > 5) continue;
        const std::int64_t value = Digits(address.substr(i, j - i));
        const char before = i > 0 ? LowerAscii(address[i - 1]) : '/';
        const char after = j < n ? LowerAscii(address[j]) : '/';
        bool size = false;
        if (after == 'x' && (j + 1 >= n || IsDigit(address[j + 1]) || address[j + 1] == '/')) {
            size = true;  // "1000x380", "/736x/"
        } else if (before == '=') {
            // A query's width: "w=1200", "width=1600", "format=1500w".
            const std::size_t key = address.find_last_of("?&;", i - 1);
            if (key == kNone) continue;
            const std::string_view name = address.substr(key + 1, i - 1 - (key + 1));
            size = EqualsAsciiNoCase(name, "w") || EqualsAsciiNoCase(name, "width") ||
                   (after == 'w' && value >= 100);
        } else if (before == '_' && i >= 2 && LowerAscii(address[i - 2]) == 'w') {
            size = true;  // "w_1200"
        } else if (before == 's' && i >= 2 && address[i - 2] == '/' && after == '/') {
            size = true;  // "/s1600/"
        } else if ((before == '/' || before == '-' || before == '_') && (after == '/' || after == '.')) {
            size = IsCommonWidth(value);  // "/1280/", "-1024.jpg"
        }
        if (size) best = std::max(best, value);
    }
    return best;
}

// A file name (not a folder: "sites/default/files" is where a site keeps every upload)
// that calls its picture the site's stand-in: "defaultPromoCrop.png", "og-default.jpg",
// "placeholder.png", "fallback-share.jpg".
bool NamesDefaultPicture(std::string_view address) {
    const std::string_view path = PathPart(address);
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == kNone ? path : path.substr(slash + 1);
    static const AsciiWords kMarks{"default", "placeholder", "fallback"};
    return HasAnyAsciiNoCase(name, kMarks);
}

// Folder and file names that say "a smaller rendition" without a number.
bool NamesSmallView(std::string_view address) {
    static const AsciiWords kSmall{"thumb",  "/small/",    "/medium/", ":small",
                                   ":thumb", "name=small", "/preview/"};
    return HasAnyAsciiNoCase(PathPart(address), kSmall) || HasAnyAsciiNoCase(address, kSmall);
}

// A folder that only says which size: "736x", "1280", "w_400,h_300", "thumbs", "master".
bool IsSizeFolder(std::string_view folder) {
    bool letters = false;
    for (char c : folder)
        if (IsAsciiLetter(c) && LowerAscii(c) != 'x' && LowerAscii(c) != 'w' && LowerAscii(c) != 'h' &&
            LowerAscii(c) != 'c')
            letters = true;
    if (!letters) return true;
    for (std::string_view word : {"thumb", "thumbs", "thumbnails", "small", "medium", "large", "original",
                                  "originals", "full", "master", "public", "styles", "resize", "resized"})
        if (EqualsAsciiNoCase(folder, word)) return true;
    return false;
}

// What the views of one picture share: the file's stem, cut before a size in it
// ("name_1000x380_crop" -> "name", "a-300x200" -> "a", "b-1024" -> "b", "c@2x" -> "c"), and,
// for a stem too plain to tell pictures apart ("3000", "image", "facebook"), the nearest
// folder that is no size folder. Compared without regard to ASCII letter case. Views into
// the address: a page of a hundred thousand links is named without a copy.
struct ViewName {
    std::string_view folder, stem;
};

bool EndsWithAsciiNoCase(std::string_view text, std::string_view lower) {
    return text.size() > lower.size() && EqualsAsciiNoCase(text.substr(text.size() - lower.size()), lower);
}

// False when the address gives nothing to go by.
bool ViewNameOf(std::string_view address, ViewName& out) {
    const std::string_view path = PathOfAddress(address);
    const std::size_t slash = path.rfind('/');
    std::string_view stem = slash == kNone ? path : path.substr(slash + 1);
    std::string_view folders = slash == kNone ? std::string_view() : path.substr(0, slash);
    if (const std::size_t colon = stem.find(':'); colon != kNone) stem = stem.substr(0, colon);
    if (const std::size_t dot = stem.rfind('.'); dot != kNone) stem = stem.substr(0, dot);
    // Cut before a size: a separator, digits, "x", digits.
    for (std::size_t i = 2; i + 2 < stem.size(); ++i) {
        if (stem[i - 1] != '_' && stem[i - 1] != '-' && stem[i - 1] != '.') continue;
        std::size_t j = i;
        while (j < stem.size() && IsDigit(stem[j])) ++j;
        if (j > i && j + 1 < stem.size() && LowerAscii(stem[j]) == 'x' && IsDigit(stem[j + 1])) {
            stem = stem.substr(0, i - 1);
            break;
        }
    }
    for (std::string_view tail : {"@2x", "@3x", "-scaled", "_large", "_orig", "_original"})
        if (EndsWithAsciiNoCase(stem, tail)) stem.remove_suffix(tail.size());
    const std::size_t sep = stem.find_last_of("-_");
    if (sep != kNone && sep >= 4 && sep + 1 < stem.size()) {
        const std::string_view digits = stem.substr(sep + 1);
        if (std::all_of(digits.begin(), digits.end(), IsDigit) && IsCommonWidth(Digits(digits)))
            stem = stem.substr(0, sep);
    }
    const bool allDigits = !stem.empty() && std::all_of(stem.begin(), stem.end(), IsDigit);
    const std::size_t x = stem.find_first_of("xX");
    const bool sizeOnly = x != kNone && x > 0 && x + 1 < stem.size() &&
                          std::all_of(stem.begin(), stem.begin() + static_cast<std::ptrdiff_t>(x), IsDigit) &&
                          std::all_of(stem.begin() + static_cast<std::ptrdiff_t>(x) + 1, stem.end(), IsDigit);
    // "3000.jpg", "1200x675": a size, not a name.
    if ((allDigits && IsCommonWidth(Digits(stem))) || sizeOnly) stem = {};
    bool plain = stem.size() < 6;
    for (std::string_view word : {"image", "photo", "picture", "original", "default", "facebook", "twitter",
                                  "share", "social", "thumbnail", "preview", "ogimage", "cover", "index"})
        if (EqualsAsciiNoCase(stem, word)) plain = true;
    if (!plain) {
        out = {{}, stem};
        return true;
    }
    // Too plain alone: the nearest folder that names something.
    while (!folders.empty()) {
        const std::size_t cut = folders.rfind('/');
        const std::string_view folder = cut == kNone ? folders : folders.substr(cut + 1);
        folders = cut == kNone ? std::string_view() : folders.substr(0, cut);
        if (folder.empty() || IsSizeFolder(folder)) continue;
        if (folder.size() < 4) return false;
        out = {folder, stem};
        return true;
    }
    return false;
}

std::uint64_t HashOf(const ViewName& name) {
    std::uint64_t h = 14695981039346656037ull;
    for (std::string_view part : {name.folder, std::string_view("/"), name.stem})
        for (char c : part) h = (h ^ static_cast<unsigned char>(LowerAscii(c))) * 1099511628211ull;
    return h;
}

bool SameViewName(const ViewName& a, const ViewName& b) {
    const auto same = [](std::string_view x, std::string_view y) {
        if (x.size() != y.size()) return false;
        for (std::size_t i = 0; i < x.size(); ++i)
            if (LowerAscii(x[i]) != LowerAscii(y[i])) return false;
        return true;
    };
    return same(a.folder, b.folder) && same(a.stem, b.stem);
}

// How big a view is, for choosing among the views of one picture: the width the page
// gives its file, else the width its name gives; a view whose name calls it small ranks
// low. 0 when nothing says.
std::int64_t ViewSize(const std::string& address,
                      const std::unordered_map<std::string, std::int64_t>& widths) {
    if (const auto it = widths.find(address); it != widths.end()) return it->second;
    if (const std::int64_t hint = WidthHint(address); hint > 0) return hint;
    return NamesSmallView(address) ? 1 : 0;
}

// How many candidates past the one the N-th choice takes are looked at for views.
constexpr std::size_t kViewWindow = 1000;

// Puts the biggest view of each picture where its first view stood; with `onlyBiggest`
// the other views go, so that a random choice draws among pictures, not their sizes.
// Where the other views' names carry sizes, the one whose name carries none is the
// original, bigger than any ("a.jpg" beside "a-300x200.jpg"); where nothing tells them
// apart, the first stays first.
void PreferBiggestViews(std::vector<std::string>& out, std::size_t head, std::size_t end,
                        const std::unordered_map<std::string, std::int64_t>& widths, bool onlyBiggest) {
    end = std::min(end, out.size());
    if (end < head + 2) return;
    struct Group {
        std::size_t first, members = 0;
        std::size_t biggest = kNone, unsized = kNone;  // the widest view said, the first unsaid
        std::int64_t biggestSize = 0;
        bool sized = false;  // some view's name carries a size
        std::size_t best() const {
            if (sized && unsized != kNone) return unsized;
            return biggest != kNone ? biggest : first;
        }
    };
    // The views grouped by name in a table of open addressing: no allocation per address.
    std::vector<Group> groups;
    std::vector<ViewName> names;
    std::vector<std::size_t> group(end, kNone);
    std::size_t capacity = 16;
    while (capacity < 2 * (end - head)) capacity *= 2;
    std::vector<std::uint32_t> slots(capacity, 0);  // a group's index + 1; 0 for none
    bool repeated = false;
    for (std::size_t i = head; i < end; ++i) {
        ViewName name;
        if (!ViewNameOf(out[i], name)) continue;
        std::size_t slot = HashOf(name) & (capacity - 1);
        while (slots[slot] != 0 && !SameViewName(names[slots[slot] - 1], name))
            slot = (slot + 1) & (capacity - 1);
        if (slots[slot] == 0) {
            groups.push_back({i});
            names.push_back(name);
            slots[slot] = static_cast<std::uint32_t>(groups.size());
        } else {
            repeated = true;
        }
        ++groups[slots[slot] - 1].members;
        group[i] = slots[slot] - 1;
    }
    if (!repeated) return;  // no picture named twice
    // Sizes only for the pictures named more than once.
    for (std::size_t i = head; i < end; ++i) {
        if (group[i] == kNone || groups[group[i]].members < 2) continue;
        Group& g = groups[group[i]];
        const std::int64_t size = ViewSize(out[i], widths);
        if (size > 0 && !widths.count(out[i])) g.sized = true;
        if (size > g.biggestSize) g.biggest = i, g.biggestSize = size;
        if (size == 0 && g.unsized == kNone) g.unsized = i;
    }
    std::vector<std::string> sorted(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(head));
    sorted.reserve(out.size());
    for (std::size_t i = head; i < out.size(); ++i) {
        if (i >= end || group[i] == kNone || groups[group[i]].members < 2) {
            sorted.push_back(std::move(out[i]));
            continue;
        }
        const Group& g = groups[group[i]];
        const std::size_t best = g.best();
        if (i == g.first) {
            if (best != i) sorted.push_back(out[best]);
            if (best == i || !onlyBiggest) sorted.push_back(std::move(out[i]));
        } else if (i != best && !onlyBiggest) {
            sorted.push_back(std::move(out[i]));
        }
    }
    out = std::move(sorted);
}

// The elements the scan acts on; any other is Other.
enum class Element : std::uint8_t {
    Other,
    Img,
    Source,
    A,
    Body,
    Link,
    Meta,
    Item,
    Enclosure,
    MediaContent,
    MediaThumbnail,
    Script,
    Style,
    FeedText,
    Image,
    Figure,
    Article,
    Main,  // read as an article, but no item of a listing
    Header,
    Chrome,  // navigation, a footer, a side box: what stands beside the page's content
    Box,     // a division that a class may mark as a side box
};

// The element a tag name names, ASCII letter case ignored: one look at the name instead of
// one comparison per kind.
Element ElementOf(std::string_view name) {
    static constexpr std::pair<std::string_view, Element> kTags[] = {
        {"img", Element::Img},
        {"source", Element::Source},
        {"a", Element::A},
        {"body", Element::Body},
        {"link", Element::Link},
        {"meta", Element::Meta},
        {"item", Element::Item},
        {"entry", Element::Item},
        {"enclosure", Element::Enclosure},
        {"media:content", Element::MediaContent},
        {"media:thumbnail", Element::MediaThumbnail},
        {"script", Element::Script},
        {"style", Element::Style},
        {"description", Element::FeedText},
        {"content:encoded", Element::FeedText},
        {"content", Element::FeedText},
        {"summary", Element::FeedText},
        {"media:description", Element::FeedText},
        {"image", Element::Image},
        {"figure", Element::Figure},
        {"article", Element::Article},
        {"main", Element::Main},
        {"header", Element::Header},
        {"nav", Element::Chrome},
        {"footer", Element::Chrome},
        {"aside", Element::Chrome},
        {"div", Element::Box},
        {"section", Element::Box},
        {"ul", Element::Box},
    };
    if (name.size() > 17) return Element::Other;
    char lower[17];
    for (std::size_t i = 0; i < name.size(); ++i) lower[i] = LowerAscii(name[i]);
    const std::string_view folded(lower, name.size());
    for (const auto& [known, tag] : kTags)
        if (known.size() == folded.size() && known[0] == folded[0] && known == folded) return tag;
    return Element::Other;
}

class PageScanner {
public:
    PageScanner(std::string_view text, const SiteEntry& entry, const PageScanOptions& options,
                std::size_t& read, std::vector<std::string>& out, Repeats& seen, bool nested)
        : t_(text),
          entry_(entry),
          webPage_(options.webPage),
          pageLinks_(options.pageLinks && entry.Filter[2]),
          // Without a picture kind ticked only the page's own pictures can come.
          anyExt_(std::any_of(entry.Ext.begin(), entry.Ext.end(), [](bool on) { return on; })),
          read_(read),
          out_(out),
          seen_(seen),
          nested_(nested),
          random_(entry.No == ChoiceMode::Random) {
        if (entry.Filter[3]) ListWebAddresses();
    }

    void Run() {
        std::size_t p = 0;
        const std::size_t n = t_.size();
        while (p < n) {
            const std::size_t lt = Find('<', p);
            TakeBareBefore(lt == kNone ? n : lt);
            if (lt == kNone) break;
            p = Tag(lt);
        }
        TakeBareBefore(n);
        EndItem();
        // What the page declares too small for the entry comes after everything else: a
        // declared size is the displayed one, and the file behind it may be larger.
        if (!parent_)
            for (std::string& value : later_) Output(std::move(value));
        later_.clear();
        // A listing of items (two or more articles with pictures, on a page that does not call
        // itself one article): its first item is the newest, the one a person looks at,
        // before a cover the whole site shares as its own picture.
        if (!parent_ && !articlePage_ && listingItems_ >= 2)
            seen_.FirstItem(firstListingItem_.first, firstListingItem_.second);
    }

private:
    std::size_t Find(char c, std::size_t from) {
        // Markup is dense: the next "<" is usually a few characters on, where a plain loop
        // beats the set-up of a library search.
        const std::size_t near = std::min(t_.size(), from + 16);
        std::size_t at = from;
        while (at < near && t_[at] != c) ++at;
        if (at == near) at = t_.find(c, near);
        read_ += (at == kNone ? t_.size() : at + 1) - std::min(from, t_.size());
        return at;
    }
    std::size_t FindText(std::string_view needle, std::size_t from, bool noCase) {
        const std::size_t at = noCase ? FindAsciiNoCase(t_, needle, from) : t_.find(needle, from);
        read_ += (at == kNone ? t_.size() : at + needle.size()) - std::min(from, t_.size());
        return at;
    }

    // Every position where "http://" or "https://" starts, once, in text order.
    void ListWebAddresses() {
        for (std::size_t q = FindText("://", 0, false); q != kNone; q = FindText("://", q + 3, false)) {
            if (q >= 5 && StartsWithAsciiNoCase(t_.substr(q - 5), "https"))
                web_.push_back(q - 5);
            else if (q >= 4 && StartsWithAsciiNoCase(t_.substr(q - 4), "http"))
                web_.push_back(q - 4);
        }
    }

    // A candidate where it stands; inside a feed item it waits for the item's end, where
    // the item's own pictures (`own`: enclosures, media) go before those of its text.
    // `marked`: the address was looked at for a logo's marks already.
    // `later`: the page declares the picture too small or of a shape no screen takes.
    void Emit(std::string value, bool own = false, bool marked = false, bool later = false) {
        // A random choice draws among the page's content, not what stands beside it.
        if (random_ && (chrome_ > 0 || sideBoxes_ > 0)) return;
        if (parent_) {
            if (UnsafeOnceDecoded(value)) return;
            return parent_->Emit(std::move(value), own, marked, later);
        }
        if (!anyExt_ || value.empty() || (!marked && IsLogoAddress(value))) return;
        if (later) {
            // Still before the next item of a feed or a gallery: the first item is the newest.
            (item_ ? itemLater_ : later_).push_back(std::move(value));
            return;
        }
        if (item_)
            (own ? itemOwn_ : itemOther_).push_back(std::move(value));
        else
            Output(std::move(value));
    }
    void Output(std::string value) { seen_.Add(std::move(value)); }
    // Escaped markup was decoded once already: a reference there may have become a control
    // character or "%00", which no request or file name may carry.
    static bool UnsafeOnceDecoded(std::string_view value) {
        return value.find("%00") != std::string_view::npos ||
               std::any_of(value.begin(), value.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    }

    // A value cut from markup, its references decoded; empty when it is unsafe to ask for.
    static std::string Decoded(std::string_view value) {
        std::string address;
        WithDecoded(value, [&](std::string_view decoded) { address = decoded; });
        return address;
    }
    // Hands `take` the value with its references decoded (nothing when that is unsafe to
    // ask for), copying it only where it held a reference: most values are let go unused.
    template <typename Take>
    static void WithDecoded(std::string_view value, Take take) {
        value = TrimHtmlSpace(value);
        if (std::find(value.begin(), value.end(), '&') == value.end()) return take(value);
        const DecodedValue decoded = DecodeCharacterReferences(value);
        if (!decoded.unsafe) take(TrimHtmlSpace(decoded.text));
    }

    // The picture an attribute names: by its name, or, where a tag says it is a picture,
    // also without any extension.
    void EmitPicture(std::string_view value, bool declared, bool own = false, bool marked = false,
                     bool later = false, std::int64_t width = 0) {
        WithDecoded(value, [&](std::string_view address) {
            if (address.empty() || StartsWithAsciiNoCase(address, "data:")) return;
            if (NamesAllowedPicture(address, entry_.Ext) ||
                (declared && NamesNoExtension(address, webPage_))) {
                if (width > 0) seen_.widths[std::string(address)] = width;
                Emit(std::string(address), own, marked, later);
            }
        });
    }

    // Bare addresses before `end`, or inside [from, end) outside the values a rule took.
    void TakeBareBefore(std::size_t end) {
        while (bare_ < web_.size() && web_[bare_] < end) TakeBare(web_[bare_]);
    }
    void TakeBareWithin(std::size_t end) {
        while (bare_ < web_.size() && web_[bare_] < end) {
            const std::size_t at = web_[bare_];
            const bool taken = std::any_of(takenSpans_.begin(), takenSpans_.end(), [&](const auto& span) {
                return at >= span.first && at < span.second;
            });
            if (taken)
                ++bare_;
            else
                TakeBare(at);
        }
    }
    void SkipBare(std::size_t end) {
        while (bare_ < web_.size() && web_[bare_] < end) ++bare_;
    }
    void TakeBare(std::size_t at) {
        std::size_t end = at;
        while (end < t_.size() && !kBareStops.stop[static_cast<unsigned char>(t_[end])] &&
               !(t_[end] == '&' && StopReferenceAt(t_, end)))
            ++end;
        read_ += end - at;
        WithDecoded(t_.substr(at, end - at), [&](std::string_view address) {
            if (!address.empty() && NamesAllowedPicture(address, entry_.Ext)) Emit(std::string(address));
        });
        SkipBare(end);
    }

    // CSS: every url(...) in `css` (at `offset` in the text), quoted or not, up to its ")".
    void TakeCss(std::string_view css, bool decode) {
        if (!entry_.Filter[0] && !entry_.Filter[3]) return;
        for (std::size_t u = FindAsciiNoCase(css, "url("); u != kNone;
             u = FindAsciiNoCase(css, "url(", u + 4)) {
            std::size_t i = u + 4;
            while (i < css.size() && IsHtmlSpace(css[i])) ++i;
            std::size_t end;
            if (i < css.size() && (css[i] == '"' || css[i] == '\'')) {
                const char quote = css[i++];
                end = css.find(quote, i);
            } else {
                end = css.find(')', i);
            }
            if (end == kNone) break;
            std::string address =
                decode ? Decoded(css.substr(i, end - i)) : std::string(TrimHtmlSpace(css.substr(i, end - i)));
            if (!address.empty() && NamesAllowedPicture(address, entry_.Ext)) Emit(std::move(address));
        }
        read_ += css.size();
    }

    void Taken(const HtmlAttribute* a) {
        if (a) takenSpans_.emplace_back(a->at, a->at + a->value.size());
    }

    // Reads the tag at `lt`, acts on it, and returns where the scan goes on.
    std::size_t Tag(std::size_t lt) {
        const std::size_t n = t_.size();
        if (t_.substr(lt, 4) == "<!--") {
            const std::size_t close = FindText("-->", lt + 4, false);
            const std::size_t end = close == kNone ? n : close + 3;
            SkipBare(end);
            return end;
        }
        if (t_.substr(lt, 9) == "<![CDATA[") return lt + 9;  // its text is read as markup
        std::size_t i = lt + 1;
        const bool closing = i < n && t_[i] == '/';
        if (closing) ++i;
        const std::size_t nameStart = i;
        while (i < n &&
               (IsAsciiLetter(t_[i]) || (i > nameStart && ((t_[i] >= '0' && t_[i] <= '9') || t_[i] == ':' ||
                                                           t_[i] == '-' || t_[i] == '_'))))
            ++i;
        if (i == nameStart) return lt + 1;  // "<" in text, "<!DOCTYPE", "<?xml": text
        const std::string_view name = t_.substr(nameStart, i - nameStart);
        const Element tag = ElementOf(name);
        if (closing) {
            Close(tag);
            const std::size_t gt = Find('>', i);
            return gt == kNone ? n : gt + 1;
        }
        takenSpans_.clear();
        const std::size_t end = ReadHtmlAttributes(t_, i, attributes_);
        read_ += end - lt;
        Open(tag);
        if (const HtmlAttribute* style = FindHtmlAttribute(attributes_, "style")) {
            TakeCss(style->value, true);
            Taken(style);
        }
        if (skipTag_) {
            SkipBare(end);
            skipTag_ = false;
        } else {
            TakeBareWithin(end);
        }
        return RawText(tag, name, end);
    }

    // The text of script, style and escaped feed elements, which holds no tags to read.
    // `name` as written; its element is `tag`.
    std::size_t RawText(Element tag, std::string_view name, std::size_t end) {
        const bool script = tag == Element::Script;
        const bool style = tag == Element::Style;
        // The elements of a feed whose text may be a page's markup, escaped once.
        const bool feedText = !nested_ && tag == Element::FeedText;
        // A feed's own picture, its logo, is no picture of its items.
        const bool feedImage = !nested_ && tag == Element::Image && end >= 2 && t_[end - 2] != '/';
        if (!script && !style && !feedText && !feedImage) return end;
        const std::size_t close = CloseTag("</" + ToLower(name), end);
        const std::size_t stop = close == kNone ? t_.size() : close;
        const std::string_view inner = t_.substr(end, stop - end);
        if (style) {
            // A style sheet's pictures are the site's dress (its default share picture, its
            // tiles), which a random choice does not draw.
            if (!random_) TakeCss(inner, false);
            SkipBare(stop);
            return stop;
        }
        if (feedImage) {
            if (close == kNone) return end;
            SkipBare(stop);
            return stop;
        }
        if (script) {
            // A script's data names other pages' pictures as often as this one's: a random
            // choice leaves them; the others take them as the scan goes on.
            if (random_) SkipBare(stop);
            return stop;
        }
        // Markup escaped once inside a feed item is read as the page it stands for.
        if (inner.find("&lt;") == kNone) return end;
        TakeBareBefore(end);
        const DecodedValue page = DecodeCharacterReferences(inner);
        read_ += inner.size();
        PageScanner escaped(page.text, entry_, {{}, webPage_, pageLinks_}, read_, out_, seen_, true);
        escaped.parent_ = this;
        escaped.Run();
        SkipBare(stop);
        return stop;
    }

    // Where `closeTag` next stands from `from`. A search that found none, or found one
    // further on, answers every later search from before that point: a page of unclosed
    // elements is read once, not once per element.
    std::size_t CloseTag(const std::string& closeTag, std::size_t from) {
        auto& [searchedFrom, found] = closeTags_.try_emplace(closeTag, kNone, kNone).first->second;
        if (searchedFrom == kNone || from < searchedFrom || (found != kNone && found < from)) {
            searchedFrom = from;
            found = FindText(closeTag, from, true);
        }
        return found;
    }

    void Open(Element tag) {
        if (tag == Element::Img) return Img(false);
        if (tag == Element::Source) return Img(true);
        if (tag == Element::A) return Link();
        if (tag == Element::Body) {
            const HtmlAttribute* background = FindHtmlAttribute(attributes_, "background");
            if (entry_.Filter[0] && background) EmitPicture(background->value, false), Taken(background);
            return;
        }
        if (tag == Element::Link) return LinkTag();
        if (tag == Element::Meta) return Meta();
        if (tag == Element::Item) {
            EndItem();
            item_ = true;
            return;
        }
        if (tag == Element::Figure) return Figure();
        if (tag == Element::Article || tag == Element::Main) {
            ++article_;
            articleLater_.push_back(later_.size());
            if (tag == Element::Article && !parent_ && listingItemDepth_++ == 0)
                listingItemStart_ = out_.size();
            return;
        }
        if (tag == Element::Box) {
            // Only a random choice leaves side boxes out; the others keep the page's order.
            if (!random_) return;
            boxes_.push_back(IsSideBox());
            sideBoxes_ += boxes_.back() ? 1 : 0;
            return;
        }
        if (tag == Element::Chrome || (tag == Element::Header && article_ == 0)) {
            ++chrome_;
            chromeHeaders_.push_back(tag == Element::Header);
            return;
        }
        if (!entry_.Filter[1]) return;
        if (tag == Element::Enclosure) {
            const HtmlAttribute* url = FindHtmlAttribute(attributes_, "url");
            const HtmlAttribute* type = FindHtmlAttribute(attributes_, "type");
            if (url && (!type || StartsWithAsciiNoCase(TrimHtmlSpace(type->value), "image/")))
                EmitPicture(url->value, type != nullptr, true), Taken(url);
            return;
        }
        if (tag == Element::MediaContent || tag == Element::MediaThumbnail)
            return Media(tag == Element::MediaThumbnail);
    }

    void Close(Element tag) {
        if (tag == Element::A) link_.clear();
        if (tag == Element::Box && !boxes_.empty()) {
            sideBoxes_ -= boxes_.back() ? 1 : 0;
            boxes_.pop_back();
        }
        if (tag == Element::Item) EndItem();
        if (tag == Element::Figure) figureWidth_ = 0;
        if ((tag == Element::Article || tag == Element::Main) && article_ > 0) {
            --article_;
            // An article's pictures declared too small still come before the next article's.
            const std::size_t mark = std::min(articleLater_.back(), later_.size());
            articleLater_.pop_back();
            if (!parent_ && !item_) {
                for (std::size_t i = mark; i < later_.size(); ++i) Output(std::move(later_[i]));
                later_.resize(mark);
            }
            // An outermost <article> that gave candidates is an item, should the page list them.
            if (tag == Element::Article && listingItemDepth_ > 0 && --listingItemDepth_ == 0 &&
                out_.size() > listingItemStart_ && listingItems_++ == 0)
                firstListingItem_ = {listingItemStart_, out_.size()};
        }
        if ((tag == Element::Chrome || tag == Element::Header) && !chromeHeaders_.empty() &&
            chromeHeaders_.back() == (tag == Element::Header)) {
            chromeHeaders_.pop_back();
            --chrome_;
        }
    }

    // A figure's declared width ("style=width:1440px", width=1440) is its picture's.
    void Figure() {
        figureWidth_ = 0;
        if (const HtmlAttribute* width = FindHtmlAttribute(attributes_, "width"))
            figureWidth_ = std::max<std::int64_t>(Digits(TrimHtmlSpace(width->value)), 0);
        if (const HtmlAttribute* style = FindHtmlAttribute(attributes_, "style")) {
            const std::size_t at = FindAsciiNoCase(style->value, "width:");
            if (at != kNone && (at == 0 || !IsAsciiLetter(style->value[at - 1]))) {
                const std::string_view rest = TrimHtmlSpace(style->value.substr(at + 6));
                const std::size_t unit = rest.find_first_not_of("0123456789");
                const std::int64_t px = Digits(rest);
                if (px > 0 && unit != kNone && rest.substr(unit, 2) == "px") figureWidth_ = px;
            }
        }
    }

    void Img(bool source) {
        if (!entry_.Filter[1]) return;
        const HtmlAttribute* src = source ? nullptr : FindHtmlAttribute(attributes_, "src");
        const HtmlAttribute* srcset = FindHtmlAttribute(attributes_, "srcset");
        const HtmlAttribute* width = FindHtmlAttribute(attributes_, "width");
        // Lazy loaders keep the set under either name until the picture scrolls into view.
        const HtmlAttribute* lazySet = FindHtmlAttribute(attributes_, "data-srcset");
        if (!lazySet) lazySet = FindHtmlAttribute(attributes_, "data-lazy-srcset");
        const HtmlAttribute* lazy = nullptr;
        for (std::string_view key : {"data-src", "data-original", "data-lazy-src"})
            if (!lazy) lazy = FindHtmlAttribute(attributes_, key);
        // A loader of a site's own keeps the address under a name of its own
        // ("data-delayed-url", "data-echo-src"): where the picture has nothing else, its
        // first data- attribute whose name says src or url and whose value is a web address
        // or a picture's name.
        if (!lazy && !lazySet && !srcset && (!src || IsPlaceholder(src->value)))
            for (const HtmlAttribute& a : attributes_)
                if (StartsWithAsciiNoCase(a.name, "data-") &&
                    (FindAsciiNoCase(a.name, "src") != kNone || FindAsciiNoCase(a.name, "url") != kNone) &&
                    (IsWebAddress(TrimHtmlSpace(a.value)) || NamesAllowedPicture(a.value, entry_.Ext))) {
                    lazy = &a;
                    break;
                }
        for (const HtmlAttribute* a : {src, srcset, lazySet, lazy}) Taken(a);
        if (IsLogo()) return;
        std::string_view chosen;
        std::int64_t chosenWidth = 0;
        const bool useLazy = (lazy || lazySet) && (!src || IsPlaceholder(src->value)) && !srcset;
        const HtmlAttribute* set = useLazy ? lazySet : srcset;
        if (set) {
            const SrcsetPick best = BestOfSrcset(set->value);
            chosen = best.url, chosenWidth = best.width;
        }
        if (chosen.empty()) {
            if (useLazy && lazy)
                chosen = lazy->value;
            else if (src)
                chosen = src->value;
        }
        if (chosen.empty()) return;
        // The file's own width, where the page gives it: a srcset's, else its figure's.
        const std::int64_t fileWidth = chosenWidth > 0 ? chosenWidth : figureWidth_;
        if (width && chosenWidth == 0)
            chosenWidth = std::max<std::int64_t>(Digits(TrimHtmlSpace(width->value)), 0);
        const HtmlAttribute* height = FindHtmlAttribute(attributes_, "height");
        const std::int64_t declaredHeight =
            height ? std::max<std::int64_t>(Digits(TrimHtmlSpace(height->value)), 0) : 0;
        // Narrower than the entry wants, or of a shape no screen takes, by the page's own
        // word: tried after everything else (the file may be larger than it is shown). As
        // wide as it wants: no thumbnail, whatever it links to.
        const bool narrow = entry_.MinWidth > 0 && chosenWidth > 0 && chosenWidth < entry_.MinWidth;
        const bool oddShape = entry_.MinWidth > 0 && chosenWidth > 0 && declaredHeight > 0 &&
                              (chosenWidth > 4 * declaredHeight || declaredHeight > 4 * chosenWidth);
        if (entry_.MinWidth > 0 && chosenWidth >= entry_.MinWidth && !oddShape) link_.clear();
        // A rendition by its name (a thumbnail's folder, a size in its name) that leads to a
        // page: a listing's item, whose own page names the full picture unless this page
        // names it too. Which of the two holds is known once the page is read.
        if (!link_.empty() && (NamesSmallView(chosen) || WidthHint(chosen) > 0))
            seen_.renditionOf.try_emplace(link_, Decoded(chosen));
        // IsLogo looked at the src already: its words cover an address's marks.
        EmitPicture(chosen, true, false, src && chosen.data() == src->value.data(), narrow || oddShape,
                    fileWidth);
        // A thumbnail inside a link to a page: the page may hold the full picture.
        if (!link_.empty()) {
            Emit(std::move(link_));
            link_.clear();
        }
    }

    // A division the site's own class or name marks as standing beside the content: a
    // shop or product box, other stories, a sidebar's widgets, sharing buttons. Whole words
    // of the class only ("related-posts", not "unrelated").
    bool IsSideBox() const {
        static constexpr std::string_view kWords[] = {
            "sidebar", "widget", "related", "recommended", "shop",    "product", "sponsor",   "promo",
            "advert",  "ad",     "ads",     "share",       "sharing", "social",  "newsletter"};
        for (std::string_view key : {"class", "id"}) {
            const HtmlAttribute* a = FindHtmlAttribute(attributes_, key);
            if (!a) continue;
            const std::string_view v = a->value;
            for (std::size_t at = 0; at < v.size();) {
                while (at < v.size() && !IsAsciiLetter(v[at])) ++at;
                std::size_t end = at;
                while (end < v.size() && IsAsciiLetter(v[end])) ++end;
                const std::string_view word = v.substr(at, end - at);
                for (std::string_view w : kWords)
                    if (word.size() == w.size() && StartsWithAsciiNoCase(word, w)) return true;
                at = end;
            }
        }
        return false;
    }

    // A picture that marks the site or a person rather than shows something: by its
    // address, its class or its alternative text.
    bool IsLogo() const {
        for (std::string_view key : {"src", "class", "alt", "id"})
            if (const HtmlAttribute* a = FindHtmlAttribute(attributes_, key); a && NamesLogo(a->value))
                return true;
        return false;
    }
    static bool NamesLogo(std::string_view text) {
        static const AsciiWords kMarks{"logo", "icon", "avatar", "sprite", "emoji", "badge"};
        return HasAnyAsciiNoCase(text, kMarks);
    }

    void Link() {
        const HtmlAttribute* href = FindHtmlAttribute(attributes_, "href");
        link_.clear();
        if (!entry_.Filter[2] || !href) return;
        Taken(href);
        std::string address = Decoded(href->value);
        if (address.empty()) return;
        if (NamesAllowedPicture(address, entry_.Ext))
            Emit(std::move(address));
        else if (pageLinks_ && IsPageLink(address))
            link_ = std::move(address);
    }

    void LinkTag() {
        if (OwnPicture(false)) return;
        const HtmlAttribute* rel = FindHtmlAttribute(attributes_, "rel");
        if (!rel) return;
        if (IsIconLink(rel->value)) {
            skipTag_ = true;
            return;
        }
        const HtmlAttribute* href = FindHtmlAttribute(attributes_, "href");
        const HtmlAttribute* type = FindHtmlAttribute(attributes_, "type");
        if (entry_.Filter[1] && href && RelHasWord(rel->value, {"enclosure"}) &&
            (!type || StartsWithAsciiNoCase(TrimHtmlSpace(type->value), "image/")))
            EmitPicture(href->value, type != nullptr, true), Taken(href);
    }

    // Tile pictures and logos a page names in its head are no pictures to show.
    void Meta() {
        if (OwnPicture(true)) return;
        const HtmlAttribute* name = FindHtmlAttribute(attributes_, "name");
        const HtmlAttribute* property = FindHtmlAttribute(attributes_, "property");
        // The width of the own picture named just before: what it is compared with.
        if (property && EqualsAsciiNoCase(TrimHtmlSpace(property->value), "og:image:width") &&
            seen_.LastOwn())
            if (const HtmlAttribute* content = FindHtmlAttribute(attributes_, "content")) {
                const std::int64_t w = Digits(TrimHtmlSpace(content->value));
                if (w > 0) seen_.widths.try_emplace(*seen_.LastOwn(), w);
            }
        if (property && EqualsAsciiNoCase(TrimHtmlSpace(property->value), "og:type"))
            if (const HtmlAttribute* content = FindHtmlAttribute(attributes_, "content"))
                articlePage_ = EqualsAsciiNoCase(TrimHtmlSpace(content->value), "article");
        if (name && StartsWithAsciiNoCase(TrimHtmlSpace(name->value), "msapplication-")) skipTag_ = true;
        for (const HtmlAttribute* a : {name, property})
            if (a && FindAsciiNoCase(a->value, "logo") != kNone) skipTag_ = true;
    }

    // The page's own picture, for an entry that asks for it: taken aside, to come first.
    bool OwnPicture(bool meta) {
        if (!entry_.Filter[6]) return false;
        const std::string_view address = PagePictureOf(attributes_, meta);
        if (address.data() == nullptr) return false;
        skipTag_ = true;
        WithDecoded(address, [&](std::string_view own) {
            if (!own.empty() && !(nested_ && UnsafeOnceDecoded(own)) &&
                (AllowedKindOnWeb(own) || NamesAllowedPicture(own, entry_.Ext) ||
                 NamesNoExtension(own, webPage_)))
                seen_.AddOwn(std::string(own));
        });
        return true;
    }
    bool AllowedKindOnWeb(std::string_view name) const {
        const PictureKind kind = PictureKindOf(name, webPage_ || IsWebAddress(name));
        return kind != PictureKind::Svg && KindAllowed(kind, entry_.Ext);
    }

    // Media RSS: an item's widest content, its largest thumbnail only when it has nothing
    // else; outside an item each is taken where it stands.
    void Media(bool thumbnail) {
        const HtmlAttribute* url = FindHtmlAttribute(attributes_, "url");
        if (!url) return;
        Taken(url);
        const HtmlAttribute* medium = FindHtmlAttribute(attributes_, "medium");
        const HtmlAttribute* type = FindHtmlAttribute(attributes_, "type");
        if (medium && !EqualsAsciiNoCase(TrimHtmlSpace(medium->value), "image")) return;
        if (type && !StartsWithAsciiNoCase(TrimHtmlSpace(type->value), "image/")) return;
        if (NamesLogo(url->value)) return;  // an author's picture beside the item's
        const HtmlAttribute* width = FindHtmlAttribute(attributes_, "width");
        const std::int64_t w = width ? std::max<std::int64_t>(Digits(TrimHtmlSpace(width->value)), 0) : 0;
        if (!item_) return EmitPicture(url->value, medium || type, true);
        auto& [best, bestWidth] = thumbnail ? itemThumbnail_ : itemMedia_;
        if (best.empty() || w > bestWidth) best = std::string(url->value), bestWidth = w;
    }

    void EndItem() {
        if (!item_) return;
        item_ = false;
        const std::vector<std::string> own = std::move(itemOwn_), other = std::move(itemOther_),
                                       later = std::move(itemLater_);
        const std::pair<std::string, std::int64_t> media = std::move(itemMedia_),
                                                   thumbnail = std::move(itemThumbnail_);
        itemOwn_.clear(), itemOther_.clear(), itemLater_.clear(), itemMedia_ = {}, itemThumbnail_ = {};
        const std::size_t before = out_.size();
        for (const std::string& address : own) Output(address);
        if (!media.first.empty()) EmitPicture(media.first, true);
        for (const std::string& address : other) Output(address);
        if (out_.size() == before && !thumbnail.first.empty()) EmitPicture(thumbnail.first, true);
        for (const std::string& address : later) Output(address);
    }

    std::string_view t_;
    const SiteEntry& entry_;
    bool webPage_;
    bool pageLinks_;
    bool anyExt_;
    std::size_t& read_;
    std::vector<std::string>& out_;
    Repeats& seen_;
    bool nested_;
    std::vector<std::size_t> web_;
    std::size_t bare_ = 0;
    std::vector<HtmlAttribute> attributes_;
    std::vector<std::pair<std::size_t, std::size_t>> takenSpans_;
    bool skipTag_ = false;
    std::unordered_map<std::string, std::pair<std::size_t, std::size_t>> closeTags_;
    std::string link_;               // the page an open <a> leads to, until a picture inside takes it
    PageScanner* parent_ = nullptr;  // the feed whose item's escaped text this reads
    bool item_ = false;
    std::vector<std::string> itemOwn_, itemOther_, itemLater_;
    std::pair<std::string, std::int64_t> itemMedia_, itemThumbnail_;
    bool random_;
    std::vector<std::string> later_;    // declared too small: after everything else
    std::int64_t figureWidth_ = 0;      // the open figure's declared width
    int article_ = 0;                   // open articles (or main): their headers are content
    int listingItemDepth_ = 0;          // open <article> elements
    std::size_t listingItemStart_ = 0;  // where the outermost open one's candidates start
    int listingItems_ = 0;              // closed outermost <article> elements that gave candidates
    std::pair<std::size_t, std::size_t> firstListingItem_{};
    bool articlePage_ = false;               // the page calls itself one article (og:type)
    std::vector<std::size_t> articleLater_;  // for each open article, where its later ones start
    int chrome_ = 0;                         // open navigation, footers, side boxes, page headers
    std::vector<bool> boxes_;                // open divisions, for a random choice: each a side box or not
    int sideBoxes_ = 0;                      // how many of them are
    std::vector<bool> chromeHeaders_;        // for each counted in chrome_, whether a header
};

// JSON: the picture addresses among its string values, those under keys that name the
// full picture first, then the others, then thumbnails, each group in document order. A
// value counts under the member name read last before it. An answer that breaks off or
// goes wrong somewhere keeps what came before, and the reading goes on at the next "{" or
// "[" after the error: JSON lines, an answer wrapped in a call or behind a guard prefix,
// and the rest of an answer with one bad string still give their pictures.
class JsonScanner {
public:
    JsonScanner(std::string_view text, const std::array<bool, 5>& ext, std::size_t& read)
        : t_(text), ext_(ext), read_(read) {}

    void Run(Repeats& seen) {
        const auto visit = [&](JsonString kind, std::string_view text) {
            if (kind == JsonString::Key)
                key_ = ToLower(text);
            else
                Consider(text);
        };
        // Each byte is read once, the one an error was found at twice.
        for (std::size_t at = 0; at < t_.size();) {
            const JsonScanResult result = ScanJsonStrings(t_.substr(at), visit);
            read_ += result.stop;
            if (result.end != JsonEnd::Malformed) break;
            const std::size_t from = at + std::max<std::size_t>(result.stop, 1);
            at = std::min(t_.find_first_of("{[", from), t_.size());
            read_ += at - std::min(from, at);
        }
        for (auto& tier : tiers_)
            for (std::string& address : tier) seen.Add(std::move(address));
    }

private:
    // 0: keys that name the full picture, 1: plain addresses and everything else, 2:
    // the small ones.
    static int Tier(std::string_view key) {
        for (std::string_view small : {"thumb", "small", "preview", "tiny", "icon", "avatar", "logo"})
            if (key.find(small) != kNone) return 2;
        for (std::string_view full : {"hd", "full", "original", "raw", "download", "large", "max"})
            if (key.find(full) != kNone) return 0;
        return 1;
    }

    void Consider(std::string_view value) {
        const std::string_view v = TrimHtmlSpace(value);
        const bool address = StartsWithAsciiNoCase(v, "http://") || StartsWithAsciiNoCase(v, "https://") ||
                             (!v.empty() && v.front() == '/');
        // An escape may stand for a control character, which no request or file name may
        // carry.
        const bool unsafe = std::any_of(v.begin(), v.end(), [](char c) {
            return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F || c == '"' || c == '<' || c == '>';
        });
        if (!address || unsafe || !NamesAllowedPicture(v, ext_)) return;
        tiers_[Tier(key_)].emplace_back(v);
    }

    std::string_view t_;
    const std::array<bool, 5>& ext_;
    std::size_t& read_;
    std::string key_;
    std::vector<std::string> tiers_[3];
};

bool IsJson(std::string_view text, std::string_view contentType) {
    if (FindAsciiNoCase(contentType, "json") != kNone) return true;
    const std::size_t first = text.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    return first != kNone && (text[first] == '{' || text[first] == '[');
}

}  // namespace

bool NamesAllowedPicture(std::string_view address, const std::array<bool, 5>& ext) {
    const std::string_view path = PathPart(address);
    return AllowedKind(path, ext) || AllowedWithSizeSuffix(path, ext) || AllowedInQuery(address, ext);
}

bool NamesNoExtension(std::string_view address, bool webPage) {
    if (!webPage && !IsWebAddress(address)) return false;
    const std::string_view name = PictureNamePart(address, true);
    const std::size_t scheme = name.find("://");
    const std::size_t pathFrom = scheme == std::string_view::npos ? 0 : name.find('/', scheme + 3);
    if (pathFrom == std::string_view::npos) return false;  // a host without a path
    const std::size_t slash = name.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? name : name.substr(slash + 1);
    return !last.empty() && last.find('.') == std::string_view::npos;
}

void ScanPage(std::string_view text, const PageScanOptions& options, const SiteEntry& entry,
              std::size_t& read, std::vector<std::string>& out) {
    Repeats seen(out);
    const bool random = entry.No == ChoiceMode::Random;
    if (IsJson(text, options.contentType)) {
        if (entry.Filter[1] || entry.Filter[2] || entry.Filter[3])
            JsonScanner(text, entry.Ext, read).Run(seen);
    } else {
        PageScanner(text, entry, options, read, out, seen, false).Run();
        // The page's own picture tag naming no main picture: one it declares narrower than the
        // entry wants (a site's icon, og:image:width 200), a logo, or a picture its name calls
        // the site's default (the share picture a site gives every page without one). A random
        // choice draws among the page's pictures, which these are not.
        seen.Finish(
            [&](const std::string& own) {
                const auto declared = seen.widths.find(own);
                return (entry.MinWidth > 0 && declared != seen.widths.end() &&
                        declared->second < entry.MinWidth) ||
                       IsLogoAddress(own) || NamesDefaultPicture(own);
            },
            !random);
    }
    // The N-th choice reaches its candidate and the few tried after it: on a page of a
    // hundred thousand links only the candidates up to there (and a thousand more) are
    // looked at for views. The random choice draws from all of them.
    const std::size_t reach = entry.No == ChoiceMode::Nth && entry.No_n > 0
                                  ? static_cast<std::size_t>(std::min<std::int64_t>(entry.No_n, 1 << 20))
                                  : 0;
    PreferBiggestViews(out, seen.head(), random ? out.size() : seen.head() + reach + kViewWindow, seen.widths,
                       random);
    // A rendition just before the item page it links to, where no bigger view of the same
    // picture on this page went before it: that page is where the full picture is named,
    // so it is tried first.
    if (!seen.renditionOf.empty())
        for (std::size_t i = seen.head() + 1; i < out.size(); ++i) {
            const auto it = seen.renditionOf.find(out[i]);
            if (it == seen.renditionOf.end() || out[i - 1] != it->second) continue;
            ViewName bigger, rendition;
            if (i >= seen.head() + 2 && ViewNameOf(out[i - 2], bigger) && ViewNameOf(out[i - 1], rendition) &&
                SameViewName(bigger, rendition))
                continue;
            std::swap(out[i - 1], out[i]);
            ++i;
        }
}

std::string_view PagePictureOf(const std::vector<HtmlAttribute>& attributes, bool meta) {
    if (meta) {
        const HtmlAttribute* content = FindHtmlAttribute(attributes, "content");
        if (!content) return {};
        const HtmlAttribute* property = FindHtmlAttribute(attributes, "property");
        const HtmlAttribute* name = FindHtmlAttribute(attributes, "name");
        const bool names = (property && IsPagePictureProperty(property->value)) ||
                           (name && IsPagePictureProperty(name->value));
        return names ? content->value : std::string_view();
    }
    const HtmlAttribute* rel = FindHtmlAttribute(attributes, "rel");
    const HtmlAttribute* href = FindHtmlAttribute(attributes, "href");
    return href && rel && RelHasWord(rel->value, {"image_src"}) ? href->value : std::string_view();
}

}  // namespace vexal
