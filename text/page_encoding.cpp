// Page encodings: UTF-8, Shift_JIS (as code page 932), EUC-JP (by way of code page 932,
// whose JIS X 0208 rows it shares) and Windows-1252.
#include "text/page_encoding.h"

#include <array>

#include "text/case.h"
#include "text/codepage.h"

namespace vexal {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// What Windows-1252 puts at 0x80 to 0x9F.
constexpr std::array<char32_t, 32> kHigh1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool WellFormedUtf8(std::string_view bytes) {
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t at = pos;
        if (NextUtf8(bytes, pos) == 0xFFFD && pos == at + 1) return false;
    }
    return true;
}

// The encoding a charset label names, if it is one of the four.
bool EncodingOfLabel(std::string_view label, PageEncoding& out) {
    const std::string l = ToLower(label);
    if (l == "utf-8" || l == "utf8") {
        out = PageEncoding::Utf8;
    } else if (l == "shift_jis" || l == "shift-jis" || l == "sjis" || l == "x-sjis" || l == "windows-31j" ||
               l == "cp932" || l == "ms_kanji" || l == "ms932") {
        out = PageEncoding::ShiftJis;
    } else if (l == "euc-jp" || l == "x-euc-jp" || l == "eucjp") {
        out = PageEncoding::EucJp;
    } else if (l == "iso-8859-1" || l == "latin1" || l == "windows-1252" || l == "us-ascii" || l == "ascii" ||
               l == "cp1252") {
        out = PageEncoding::Windows1252;
    } else {
        return false;
    }
    return true;
}

// The label after the first "charset=" in `text`, without quotes and blanks.
bool CharsetIn(std::string_view text, PageEncoding& out) {
    std::size_t at = FindNoCase(text, "charset");
    while (at != std::string_view::npos) {
        std::size_t i = at + 7;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        if (i < text.size() && text[i] == '=') {
            ++i;
            while (i < text.size() &&
                   (text[i] == ' ' || text[i] == '\t' || text[i] == '"' || text[i] == '\''))
                ++i;
            const std::size_t start = i;
            while (i < text.size() && text[i] != '"' && text[i] != '\'' && text[i] != ';' && text[i] != '>' &&
                   text[i] != ' ' && text[i] != '/' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n')
                ++i;
            return EncodingOfLabel(text.substr(start, i - start), out);
        }
        at = FindNoCase(text, "charset", at + 7);
    }
    return false;
}

// EUC-JP to code page 932: a JIS X 0208 pair becomes its Shift_JIS pair, a half-width
// katakana (0x8E and its byte) its single byte; JIS X 0212 (0x8F) has no place there.
std::string EucJpToCp932(std::string_view b) {
    std::string out;
    out.reserve(b.size());
    for (std::size_t i = 0; i < b.size(); ++i) {
        const auto c = static_cast<unsigned char>(b[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c == 0x8E && i + 1 < b.size()) {
            out.push_back(b[++i]);
        } else if (c == 0x8F && i + 2 < b.size()) {
            i += 2;
            out += "\x81\x48";  // a full-width question mark stands for what cannot be shown
        } else if (c >= 0xA1 && c <= 0xFE && i + 1 < b.size()) {
            const int j1 = c & 0x7F, j2 = static_cast<unsigned char>(b[++i]) & 0x7F;
            int s1 = ((j1 - 0x21) >> 1) + 0x81;
            if (s1 > 0x9F) s1 += 0x40;
            int s2;
            if (j1 & 1) {
                s2 = j2 + 0x1F;
                if (s2 >= 0x7F) ++s2;
            } else {
                s2 = j2 + 0x7E;
            }
            out.push_back(static_cast<char>(s1));
            out.push_back(static_cast<char>(s2));
        } else {
            out += "\x81\x48";
        }
    }
    return out;
}

std::string Cp932ToEucJp(std::string_view b) {
    std::string out;
    for (std::size_t i = 0; i < b.size(); ++i) {
        const auto c = static_cast<unsigned char>(b[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c >= 0xA1 && c <= 0xDF) {
            out.push_back('\x8E');
            out.push_back(static_cast<char>(c));
        } else if (i + 1 < b.size()) {
            int s1 = c, s2 = static_cast<unsigned char>(b[++i]);
            if (s1 >= 0xE0) s1 -= 0x40;
            int j1 = (s1 - 0x81) * 2 + 0x21, j2;
            if (s2 >= 0x9F) {
                ++j1;
                j2 = s2 - 0x7E;
            } else {
                j2 = s2 - (s2 >= 0x80 ? 0x20 : 0x1F);
            }
            out.push_back(static_cast<char>(j1 | 0x80));
            out.push_back(static_cast<char>(j2 | 0x80));
        }
    }
    return out;
}

// Raw bytes kept by the code page 932 decoder (U+F780 to U+F7FF) are no characters of the
// page: they stand for a byte that means nothing in it.
std::string WithoutRawBytes(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const char32_t cp = NextUtf8(text, pos);
        AppendUtf8(out, cp >= 0xF780 && cp <= 0xF7FF ? 0xFFFD : cp);
    }
    return out;
}

}  // namespace

PageEncoding PageEncodingOf(std::string_view body, std::string_view contentType) {
    PageEncoding declared = PageEncoding::Utf8;
    if (body.starts_with(kBom)) return PageEncoding::Utf8;
    if (CharsetIn(contentType, declared)) return declared;
    if (CharsetIn(body.substr(0, 1024), declared)) return declared;
    return WellFormedUtf8(body) ? PageEncoding::Utf8 : PageEncoding::ShiftJis;
}

std::string DecodePage(std::string_view body, PageEncoding encoding) {
    if (body.starts_with(kBom)) body.remove_prefix(kBom.size());
    switch (encoding) {
        case PageEncoding::Utf8: {
            std::string out;
            out.reserve(body.size());
            for (std::size_t pos = 0; pos < body.size();) AppendUtf8(out, NextUtf8(body, pos));
            return out;
        }
        case PageEncoding::ShiftJis:
            return WithoutRawBytes(Cp932ToUtf8(body));
        case PageEncoding::EucJp:
            return WithoutRawBytes(Cp932ToUtf8(EucJpToCp932(body)));
        case PageEncoding::Windows1252: {
            std::string out;
            out.reserve(body.size());
            for (char ch : body) {
                const auto c = static_cast<unsigned char>(ch);
                AppendUtf8(out, c >= 0x80 && c <= 0x9F ? kHigh1252[c - 0x80] : c);
            }
            return out;
        }
    }
    return std::string(body);
}

std::string QueryInPageEncoding(std::string_view link, PageEncoding encoding) {
    const std::size_t question = link.find('?');
    if (question == std::string_view::npos) return std::string(link);
    const std::size_t hash = link.find('#', question);
    const std::string_view query =
        link.substr(question + 1, hash == std::string_view::npos ? hash : hash - question - 1);
    std::string bytes;
    switch (encoding) {
        case PageEncoding::Utf8:
            bytes = std::string(query);
            break;
        case PageEncoding::ShiftJis:
            Utf8ToCp932(query, bytes);
            break;
        case PageEncoding::EucJp: {
            std::string sjis;
            Utf8ToCp932(query, sjis);
            bytes = Cp932ToEucJp(sjis);
            break;
        }
        case PageEncoding::Windows1252:
            for (std::size_t pos = 0; pos < query.size();) {
                const char32_t cp = NextUtf8(query, pos);
                char byte = '?';
                if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) byte = static_cast<char>(cp);
                for (std::size_t k = 0; k < kHigh1252.size(); ++k)
                    if (kHigh1252[k] == cp && cp > 0xFF) byte = static_cast<char>(0x80 + k);
                bytes.push_back(byte);
            }
            break;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out(link.substr(0, question + 1));
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c > 0x20 && c < 0x7F) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    if (hash != std::string_view::npos) out.append(link.substr(hash));
    return out;
}

}  // namespace vexal
