// Character references: the named ones a link may carry (ASCII punctuation, Latin-1, the
// typographic quotes and dashes) and every numeric one.
#include "gather/character_references.h"

#include <array>
#include <cstdint>

#include "text/codepage.h"
#include "text/number.h"

namespace vexal {
namespace {

struct Named {
    std::string_view name;
    char32_t cp;
};

// Names outside the Latin-1 block below.
constexpr Named kNamed[] = {
    {"Hat", U'^'},      {"NewLine", U'\n'}, {"Tab", U'\t'},     {"amp", U'&'},      {"apos", U'\''},
    {"ast", U'*'},      {"bdquo", 0x201E},  {"bsol", U'\\'},    {"bull", 0x2022},   {"colon", U':'},
    {"comma", U','},    {"commat", U'@'},   {"dagger", 0x2020}, {"dollar", U'$'},   {"equals", U'='},
    {"euro", 0x20AC},   {"excl", U'!'},     {"grave", U'`'},    {"gt", U'>'},       {"hellip", 0x2026},
    {"hyphen", 0x2010}, {"lbrack", U'['},   {"lcub", U'{'},     {"ldquo", 0x201C},  {"lowbar", U'_'},
    {"lpar", U'('},     {"lsqb", U'['},     {"lsquo", 0x2018},  {"lt", U'<'},       {"mdash", 0x2014},
    {"minus", 0x2212},  {"ndash", 0x2013},  {"num", U'#'},      {"percnt", U'%'},   {"period", U'.'},
    {"plus", U'+'},     {"prime", 0x2032},  {"quest", U'?'},    {"quot", U'"'},     {"rbrack", U']'},
    {"rcub", U'}'},     {"rdquo", 0x201D},  {"rpar", U')'},     {"rsqb", U']'},     {"rsquo", 0x2019},
    {"sbquo", 0x201A},  {"semi", U';'},     {"sol", U'/'},      {"thinsp", 0x2009}, {"tilde", 0x02DC},
    {"trade", 0x2122},  {"verbar", U'|'},   {"vert", U'|'},     {"zwj", 0x200D},    {"zwnj", 0x200C},
    {"ensp", 0x2002},   {"emsp", 0x2003},
};

// U+00A0 to U+00FF, in order.
constexpr std::array<std::string_view, 96> kLatin1 = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",
    "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",
    "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12",
    "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
    "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde",
    "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",
    "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",
    "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
    "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

// What Windows-1252 puts at 128 to 159, where a numeric reference means that character.
constexpr std::array<char32_t, 32> kWindows1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char32_t kNone = 0xFFFFFFFF;

char32_t LookUp(std::string_view name) {
    for (const Named& n : kNamed)
        if (n.name == name) return n.cp;
    for (std::size_t i = 0; i < kLatin1.size(); ++i)
        if (kLatin1[i] == name) return static_cast<char32_t>(0xA0 + i);
    return kNone;
}

bool IsAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The reference at `amp` (an "&"): its character and its length, or kNone.
char32_t ReadReference(std::string_view s, std::size_t amp, std::size_t& length) {
    std::size_t i = amp + 1;
    if (i < s.size() && s[i] == '#') {
        ++i;
        const bool hex = i < s.size() && (s[i] == 'x' || s[i] == 'X');
        if (hex) ++i;
        const std::size_t digits = i;
        std::uint32_t value = 0;
        bool huge = false;
        for (; i < s.size(); ++i) {
            const int d = hex ? HexDigitValue(s[i]) : (s[i] >= '0' && s[i] <= '9' ? s[i] - '0' : -1);
            if (d < 0) break;
            value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
            if (value > 0x10FFFF) huge = true, value = 0x110000;  // keeps reading, cannot overflow
        }
        if (i == digits) return kNone;
        if (i < s.size() && s[i] == ';') ++i;
        length = i - amp;
        if (huge || value == 0 || (value >= 0xD800 && value <= 0xDFFF)) return 0xFFFD;
        if (value >= 0x80 && value <= 0x9F) return kWindows1252[value - 0x80];
        return value;
    }
    const std::size_t start = i;
    while (i < s.size() && i - start < 16 && IsAlnum(s[i])) ++i;
    const std::string_view name = s.substr(start, i - start);
    if (name.empty()) return kNone;
    if (i < s.size() && s[i] == ';') {
        const char32_t cp = LookUp(name);
        if (cp == kNone) return kNone;
        length = i + 1 - amp;
        return cp;
    }
    // The four that old pages write without ";", only where nothing could continue the name.
    if (name != "amp" && name != "lt" && name != "gt" && name != "quot") return kNone;
    if (i < s.size() && (IsAlnum(s[i]) || s[i] == '=')) return kNone;
    length = i - amp;
    return LookUp(name);
}

}  // namespace

DecodedValue DecodeCharacterReferences(std::string_view value) {
    DecodedValue out;
    std::size_t amp = value.find('&');
    if (amp == std::string_view::npos) {
        out.text = std::string(value);
        return out;
    }
    bool decoded = false;
    std::size_t copied = 0;
    out.text.reserve(value.size());
    for (; amp != std::string_view::npos; amp = value.find('&', amp + 1)) {
        if (amp < copied) continue;
        std::size_t length = 0;
        const char32_t cp = ReadReference(value, amp, length);
        if (cp == kNone) continue;
        out.text.append(value.substr(copied, amp - copied));
        AppendUtf8(out.text, cp);
        if (cp < 0x20 || cp == 0x7F) out.unsafe = true;
        decoded = true;
        copied = amp + length;
    }
    out.text.append(value.substr(copied));
    if (decoded && !out.unsafe) {
        // "%00" asks a server for a name cut at a NUL; no picture is called that.
        for (std::size_t p = out.text.find('%'); p != std::string::npos; p = out.text.find('%', p + 1))
            if (p + 2 < out.text.size() && out.text[p + 1] == '0' && out.text[p + 2] == '0')
                out.unsafe = true;
    }
    return out;
}

}  // namespace vexal
