// Table-driven code page 932 <-> UTF-8 conversion, identical on every platform so the
// same settings file reads and writes the same bytes everywhere.
#include "text/codepage.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace vexal {
namespace {

#include "text/cp932_table.inc"

// A byte that is not valid code page 932 decodes to a private-use character of its own,
// U+F780 to U+F7FF, which encodes back to that byte: a file written by another program (a
// hand-edited settings file in UTF-8, say) loses nothing when it is read and saved again.
// Code page 932 itself maps nothing into that range.
constexpr char32_t kRawByteBase = 0xF700;

int LeadRow(unsigned char b) {
    if (b >= 0x81 && b <= 0x9F) return b - 0x81;
    if (b >= 0xE0 && b <= 0xFC) return b - 0xE0 + 0x1F;
    return -1;
}

unsigned char RowLead(int row) { return static_cast<unsigned char>(row < 0x1F ? 0x81 + row : 0xE0 + row - 0x1F); }

// Single bytes outside ASCII: half-width katakana, and the few bytes Windows maps to
// private-use or C1 code points.
char32_t SingleByte(unsigned char b) {
    if (b < 0x80) return b;
    if (b == 0x80) return 0x80;
    if (b == 0xA0) return 0xF8F0;
    if (b >= 0xA1 && b <= 0xDF) return 0xFF61 + (b - 0xA1);
    if (b >= 0xFD) return 0xF8F1 + (b - 0xFD);
    return 0;  // a lead byte
}

// When several codes decode to the same character, the encoder picks the one Windows
// picks: JIS X 0208 first, then the NEC row 13, then the IBM extensions, and the
// NEC-selected copies of the IBM extensions (lead bytes 0xED, 0xEE) last.
int Preference(unsigned code) {
    unsigned lead = code >> 8;
    if (lead == 0xED || lead == 0xEE) return 3;
    if (lead >= 0xFA) return 2;
    if (lead == 0x87) return 1;
    return 0;
}

struct EncodeTable {
    std::vector<std::pair<char32_t, unsigned short>> pairs;  // sorted by code point
};

const EncodeTable& Encoder() {
    static const EncodeTable table = [] {
        EncodeTable t;
        std::vector<std::pair<char32_t, unsigned short>> all;
        for (int row = 0; row < 60; ++row)
            for (int col = 0; col < 189; ++col)
                if (unsigned short cp = kCp932Double[row][col])
                    all.emplace_back(cp, static_cast<unsigned short>((RowLead(row) << 8) | (0x40 + col)));
        std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) {
            if (a.first != b.first) return a.first < b.first;
            return Preference(a.second) < Preference(b.second);
        });
        for (const auto& p : all)
            if (t.pairs.empty() || t.pairs.back().first != p.first) t.pairs.push_back(p);
        return t;
    }();
    return table;
}

// Code points reached by a single byte above 0x7F.
bool EncodeSingle(char32_t cp, unsigned char& out) {
    if (cp >= kRawByteBase + 0x80 && cp <= kRawByteBase + 0xFF) { out = static_cast<unsigned char>(cp - kRawByteBase); return true; }
    if (cp >= 0xFF61 && cp <= 0xFF9F) { out = static_cast<unsigned char>(0xA1 + (cp - 0xFF61)); return true; }
    if (cp == 0x80) { out = 0x80; return true; }
    if (cp == 0xF8F0) { out = 0xA0; return true; }
    if (cp >= 0xF8F1 && cp <= 0xF8F3) { out = static_cast<unsigned char>(0xFD + (cp - 0xF8F1)); return true; }
    return false;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

char32_t NextUtf8(std::string_view text, std::size_t& pos) {
    const auto b0 = static_cast<unsigned char>(text[pos]);
    if (b0 < 0x80) { ++pos; return b0; }
    int len = 0;
    char32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) { len = 2; cp = b0 & 0x1F; }
    else if ((b0 & 0xF0) == 0xE0) { len = 3; cp = b0 & 0x0F; }
    else if ((b0 & 0xF8) == 0xF0) { len = 4; cp = b0 & 0x07; }
    else { ++pos; return 0xFFFD; }
    if (pos + len > text.size()) { ++pos; return 0xFFFD; }
    for (int i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(text[pos + i]);
        if ((b & 0xC0) != 0x80) { ++pos; return 0xFFFD; }
        cp = (cp << 6) | (b & 0x3F);
    }
    static const char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { ++pos; return 0xFFFD; }
    pos += len;
    return cp;
}

std::string Cp932ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) { out.push_back(static_cast<char>(b)); ++i; continue; }
        int row = LeadRow(b);
        if (row < 0) { AppendUtf8(out, SingleByte(b)); ++i; continue; }
        if (i + 1 < bytes.size()) {
            const auto t = static_cast<unsigned char>(bytes[i + 1]);
            if (t >= 0x40 && t <= 0xFC && t != 0x7F) {
                if (char32_t cp = kCp932Double[row][t - 0x40]) {
                    AppendUtf8(out, cp);
                    i += 2;
                    continue;
                }
            }
        }
        // A lead byte without a valid trail byte, or an unassigned code: the lead byte
        // alone is kept raw, and decoding goes on with the byte after it.
        AppendUtf8(out, kRawByteBase + b);
        ++i;
    }
    return out;
}

bool Utf8ToCp932(std::string_view text, std::string& bytesOut) {
    bytesOut.clear();
    bytesOut.reserve(text.size());
    bool ok = true;
    const auto& pairs = Encoder().pairs;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) { bytesOut.push_back(static_cast<char>(b)); ++i; continue; }
        char32_t cp = NextUtf8(text, i);
        unsigned char single = 0;
        if (cp != 0xFFFD && EncodeSingle(cp, single)) { bytesOut.push_back(static_cast<char>(single)); continue; }
        auto it = std::lower_bound(pairs.begin(), pairs.end(), cp,
                                   [](const auto& p, char32_t v) { return p.first < v; });
        if (cp != 0xFFFD && it != pairs.end() && it->first == cp) {
            bytesOut.push_back(static_cast<char>(it->second >> 8));
            bytesOut.push_back(static_cast<char>(it->second & 0xFF));
        } else {
            bytesOut.push_back('?');
            ok = false;
        }
    }
    return ok;
}

std::string DecodeLocalText(std::string_view bytes, bool acceptUtf8) {
    if (!acceptUtf8) return Cp932ToUtf8(bytes);
    bool nonAscii = false;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t at = pos;
        const char32_t cp = NextUtf8(bytes, pos);
        if (cp >= 0x80) nonAscii = true;
        // Malformed input yields U+FFFD and moves one byte; a real U+FFFD moves three.
        if (cp == 0xFFFD && pos == at + 1) return Cp932ToUtf8(bytes);
    }
    if (!nonAscii) return Cp932ToUtf8(bytes);
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) bytes.remove_prefix(kByteOrderMark.size());
    return std::string(bytes);
}

bool FitsCp932(std::string_view text) {
    std::string scratch;
    return Utf8ToCp932(text, scratch);
}

}  // namespace vexal
