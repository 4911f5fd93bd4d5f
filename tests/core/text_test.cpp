// Number reading, case folding and code page 932 conversion.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

#include "text/case.h"
#include "text/codepage.h"
#include "text/number.h"
#include "text/page_encoding.h"

namespace vexal {
namespace {

struct NumberRow {
    const char* name;
    const char* text;
    double value;
};

TEST(NumberReadingTest, LeadingNumericPart) {
    const NumberRow rows[] = {
        {"plain", "42", 42},
        {"trailingLetters", "12abc", 12},
        {"leadingBlanks", "   7", 7},
        {"blanksInside", " 1 2", 12},
        {"tabAndLineFeedInside", "1\t2\n3", 123},
        {"negative", "-3", -3},
        {"plusSign", "+5", 5},
        {"decimal", "2.5", 2.5},
        {"leadingPoint", ".5", 0.5},
        {"exponent", "1e3", 1000},
        {"exponentD", "1D2", 100},
        {"exponentWithoutDigits", "12e", 12},
        {"hex", "&H1F", 31},
        {"hexLower", "&h1f", 31},
        {"hex16BitIsSigned", "&HFFFF", -1},
        {"octal", "&O17", 15},
        {"noDigits", "abc", 0},
        {"empty", "", 0},
        {"signOnly", "-", 0},
        {"secondPointStops", "1.2.3", 1.2},
        {"crIsNotSkipped", "1\r2", 1},
        {"trailingPoint", "5.", 5},
        {"negativeFraction", "-0.25", -0.25},
        {"exponentSigned", "25e-1", 2.5},
        {"underflowIsZero", "1e-400", 0},
        {"manyDigitsUnderflow", "0.0001e-320", 0},
    };
    for (const auto& row : rows) EXPECT_DOUBLE_EQ(ReadNumber(row.text), row.value) << row.name;
}

TEST(NumberReadingTest, RoundsHalvesToEven) {
    const std::pair<double, double> rows[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {-3.5, -4},  {0.5, 0},
                                              {1.5, 2}, {7.5, 8}, {8.5, 8},   {2.4999, 2}, {2.5001, 3}};
    for (auto [in, out] : rows) EXPECT_EQ(RoundHalfEven(in), out) << in;
}

TEST(NumberReadingTest, FieldsClampInsteadOfWrapping) {
    EXPECT_EQ(ReadByte("300"), 255);
    EXPECT_EQ(ReadByte("-1"), 0);
    EXPECT_EQ(ReadByte("2.5"), 2);
    EXPECT_EQ(ReadInt32("99999999999"), INT32_MAX);
    EXPECT_EQ(ReadInt32("-99999999999"), INT32_MIN);
    EXPECT_EQ(ReadInt32("1e400"), INT32_MAX);
    EXPECT_EQ(ReadInt32("-1e400"), INT32_MIN);
    EXPECT_EQ(ReadInt32("100000e-2000000000000"), 0);
    EXPECT_EQ(ToInt32(std::nan("")), 0);
}

// Regression: the C library's conversion follows the process locale, which Qt sets from
// the environment, so under a comma-decimal locale "3.5" read as 3.
TEST(NumberReadingTest, DecimalPointWhateverTheLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    bool switched = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "German_Germany.1252"})
        if (std::setlocale(LC_NUMERIC, name)) {
            switched = true;
            break;
        }
    EXPECT_DOUBLE_EQ(ReadNumber("3.5"), 3.5);
    EXPECT_EQ(ReadInt32("3.5"), 4);
    EXPECT_EQ(ReadByte(" 1.5"), 2);
    std::setlocale(LC_NUMERIC, previous.c_str());
    if (!switched) GTEST_SKIP() << "no comma-decimal locale is installed (scripts/setup makes de_DE.UTF-8)";
}

// Regression: only ASCII letters folded, so "ＡＢＣ", "ΑΒΓ" and "АБВ" never matched their
// small forms as Windows matches them.
TEST(CaseFoldingTest, WideLatinGreekAndCyrillicCapitals) {
    const struct {
        const char* name;
        const char* text;
        const char* lower;
    } rows[] = {
        {"fullWidthLatin", "ＡＺａｚ＠［", "ａｚａｚ＠［"},
        {"greek", "ΑΒΡΣΩαω", "αβρσωαω"},
        {"cyrillic", "АЯЁабё", "аяёабё"},
        {"latin1Stays", "Ü", "Ü"},
        {"kanaAndKanjiStay", "アｱ漢", "アｱ漢"},
        {"malformedBytesStay", "A\xD0\xFFZ", "a\xD0\xFFz"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ToLower(row.text), row.lower) << row.name;
        EXPECT_TRUE(StartsWithNoCase(row.text, row.lower)) << row.name;
        EXPECT_EQ(FindNoCase(std::string("xx") + row.text, row.lower), 2u) << row.name;
    }
    EXPECT_EQ(FindNoCase("ｘＢＡＢＣ", "ａｂｃ"), 6u);
    EXPECT_EQ(FindNoCase("ＡＢＡＢ", "ａｂ", 1), 6u);
    EXPECT_EQ(FindNoCase("ＡＡ", "ａｂ"), std::string_view::npos);
    EXPECT_FALSE(StartsWithNoCase("Б", "а"));
    EXPECT_TRUE(EndsWithNoCase("写真ＪＰＧ", "ｊｐｇ"));
}

TEST(CaseFoldingTest, AsciiOnly) {
    EXPECT_EQ(ToLower("AbC-Ü日本"), "abc-Ü日本");
    EXPECT_TRUE(StartsWithNoCase("HTTP://x", "http://"));
    EXPECT_FALSE(StartsWithNoCase("http:/", "http://"));
    EXPECT_TRUE(EndsWithNoCase("a.JPG", ".jpg"));
    EXPECT_EQ(FindNoCase("xx<IMG src", "<img "), 2u);
    EXPECT_EQ(FindNoCase("<img", "<img "), std::string_view::npos);
    EXPECT_EQ(FindNoCase("aaaaA", "ab"), std::string_view::npos);
    EXPECT_EQ(FindNoCase("abAB", "ab", 1), 2u);
}

// HTML's names and a URL's scheme fold ASCII letters and nothing else: a full-width ＩＭＧ
// is no img tag.
TEST(CaseFoldingTest, AsciiVariantsFoldAsciiLettersOnly) {
    constexpr std::size_t npos = std::string_view::npos;
    EXPECT_TRUE(StartsWithAsciiNoCase("HTTPS://x", "https"));
    EXPECT_FALSE(StartsWithAsciiNoCase("http", "https"));
    EXPECT_TRUE(EqualsAsciiNoCase("Img", "img"));
    EXPECT_FALSE(EqualsAsciiNoCase("Imgs", "img"));
    EXPECT_FALSE(EqualsAsciiNoCase("ＩＭＧ", "ｉｍｇ"));
    EXPECT_TRUE(StartsWithNoCase("ＩＭＧ", "ｉｍｇ")) << "as the wide folding does";
    EXPECT_EQ(FindAsciiNoCase("xURL(URl(", "url(", 2), 5u);
    EXPECT_EQ(FindAsciiNoCase("Ｕrl(", "url("), npos);
    EXPECT_EQ(FindAsciiNoCase("ab", "", 2), 2u);
    EXPECT_EQ(FindAsciiNoCase("ab", "", 3), npos);
}

TEST(CodePageTest, JapaneseRoundTrip) {
    const std::string text = "識別子 テスト ｶﾀｶﾅ ①Ⅰ～ abc\\";
    std::string bytes;
    ASSERT_TRUE(Utf8ToCp932(text, bytes));
    EXPECT_EQ(Cp932ToUtf8(bytes), text);
    // "識" is 0x8EAF in code page 932.
    std::string one;
    ASSERT_TRUE(Utf8ToCp932("識", one));
    EXPECT_EQ(one, "\x8E\xAF");
}

TEST(CodePageTest, EveryDoubleByteCodeRoundTrips) {
    // Decode every double-byte code, assigned or not; encoding the result must decode to
    // the same text (duplicates encode to the form Windows prefers).
    int checked = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead >= 0xA0 && lead < 0xE0) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char raw[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const std::string text = Cp932ToUtf8(std::string_view(raw, 2));
            std::string bytes;
            ASSERT_TRUE(Utf8ToCp932(text, bytes)) << std::hex << lead << trail;
            EXPECT_EQ(Cp932ToUtf8(bytes), text);
            ++checked;
        }
    }
    EXPECT_GT(checked, 9000);
}

TEST(CodePageTest, DuplicatesEncodeAsWindowsDoes) {
    std::string bytes;
    ASSERT_TRUE(Utf8ToCp932("≒", bytes));  // JIS row rather than NEC row 13
    EXPECT_EQ(bytes, "\x81\xE0");
    ASSERT_TRUE(Utf8ToCp932("ⅰ", bytes));  // IBM extension rather than the NEC-selected copy
    EXPECT_EQ(bytes, "\xFA\x40");
    ASSERT_TRUE(Utf8ToCp932("Ⅰ", bytes));  // NEC row 13 rather than the IBM copy
    EXPECT_EQ(bytes, "\x87\x54");
}

TEST(CodePageTest, UnrepresentableIsReportedNotDropped) {
    std::string bytes;
    EXPECT_FALSE(Utf8ToCp932("a😀b", bytes));
    EXPECT_EQ(bytes, "a?b");
    EXPECT_FALSE(FitsCp932("한국어"));
    EXPECT_TRUE(FitsCp932("日本語"));
}

// Regression: invalid bytes used to decode to U+FFFD, so a settings file written by
// another program could never be saved again without losing them.
TEST(CodePageTest, InvalidBytesSurviveReadAndWrite) {
    const std::string rows[] = {
        "a\x81",                     // lead byte at the end
        "\x81\x20x",                 // lead byte before an invalid trail byte
        "\x85\x40",                  // unassigned code
        "\xE6\x97\xA5\xE6\x9C\xAC",  // UTF-8 text read as code page 932
    };
    for (const std::string& bytes : rows) {
        std::string back;
        EXPECT_TRUE(Utf8ToCp932(Cp932ToUtf8(bytes), back));
        EXPECT_EQ(back, bytes);
    }
    EXPECT_EQ(Cp932ToUtf8("\xB1"), "ｱ");
}

// Regression: UTF-8 lists and settings files made on Linux read as mojibake.
TEST(CodePageTest, LocalTextIsUtf8OnlyWhenValidAndNotAscii) {
    const struct {
        const char* name;
        std::string bytes;
        std::string text;
    } rows[] = {
        {"utf8", "写真/画像.jpg", "写真/画像.jpg"},
        {"utf8WithByteOrderMark", "\xEF\xBB\xBF画像.jpg", "画像.jpg"},
        {"byteOrderMarkBeforeAscii",
         "\xEF\xBB\xBF"
         "a.jpg",
         "a.jpg"},
        {"asciiIsTheSameEitherWay", "a.jpg\r\n", "a.jpg\r\n"},
        {"codePage932", "\x89\xE6\x91\x9C.jpg", "画像.jpg"},
        {"truncatedUtf8IsCodePage932", "a\xE7\x94", Cp932ToUtf8("a\xE7\x94")},
        {"overlongUtf8IsCodePage932", "\xC0\xAF", Cp932ToUtf8("\xC0\xAF")},
        {"utf8ThenOneBadByte", "画像\xFF", Cp932ToUtf8("画像\xFF")},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DecodeLocalText(row.bytes, true), row.text) << row.name;
        EXPECT_EQ(DecodeLocalText(row.bytes, false), Cp932ToUtf8(row.bytes)) << row.name;
    }
}

// A link's query goes to the server in the page's own encoding, as a browser sends it.
TEST(PageEncodingTest, QueryInThePagesEncoding) {
    const struct {
        const char* link;
        PageEncoding encoding;
        const char* sent;
    } rows[] = {
        {"/p?name=桜", PageEncoding::ShiftJis, "/p?name=%8D%F7"},
        {"/p?name=桜ｱ#桜", PageEncoding::EucJp, "/p?name=%BA%F9%8E%B1#桜"},
        {"/画像/a.jpg?q=桜", PageEncoding::Utf8, "/画像/a.jpg?q=%E6%A1%9C"},
        {"/a b?x y=1", PageEncoding::Utf8, "/a b?x%20y=1"},
        {"/画像/桜.jpg", PageEncoding::ShiftJis, "/画像/桜.jpg"},
        {"/p?q=café€", PageEncoding::Windows1252, "/p?q=caf%E9%80"},
        {"/p?", PageEncoding::ShiftJis, "/p?"},
    };
    for (const auto& row : rows) EXPECT_EQ(QueryInPageEncoding(row.link, row.encoding), row.sent) << row.link;
}

// Every JIS X 0208 character goes to EUC-JP and comes back: the arithmetic between the
// two byte layouts is right for odd and even rows and on both sides of the 0x7F gap.
TEST(PageEncodingTest, EveryJisCharacterRoundTripsThroughEucJp) {
    int checked = 0;
    for (int lead = 0x81; lead <= 0xEF; ++lead) {
        if (lead > 0x9F && lead < 0xE0) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F) continue;
            const std::string sjis{static_cast<char>(lead), static_cast<char>(trail)};
            const std::string text = Cp932ToUtf8(sjis);
            std::size_t pos = 0;
            const char32_t cp = NextUtf8(text, pos);
            // Unassigned codes, and the rows that are no JIS X 0208 (NEC row 13, the IBM
            // extensions) have no place in EUC-JP.
            if (pos != text.size() || (cp >= 0xF780 && cp <= 0xF7FF) || lead == 0x87 || lead == 0xED ||
                lead == 0xEE)
                continue;
            const std::string sent = QueryInPageEncoding("?" + text, PageEncoding::EucJp);
            ASSERT_EQ(sent.size(), 7u) << std::hex << lead << trail;
            std::string bytes;
            for (std::size_t i = 1; i < sent.size(); i += 3)
                bytes.push_back(static_cast<char>(std::stoi(sent.substr(i + 1, 2), nullptr, 16)));
            EXPECT_EQ(DecodePage(bytes, PageEncoding::EucJp), text) << std::hex << lead << trail;
            ++checked;
        }
    }
    EXPECT_GT(checked, 6800);
}

}  // namespace
}  // namespace vexal
