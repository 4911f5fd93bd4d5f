// Link extraction: which pieces the five rules cut out, in which order, and at what cost.
#include "gather/links.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "net/response.h"
#include "support/real_pages.h"
#include "text/case.h"

namespace vexal {
namespace {

using Strings = std::vector<std::string>;

// "10010" switches Filter(0) and Filter(3) on, "0000001" Filter(6); "0110" Ext(1) and Ext(2).
Program MakeProgram(const std::string& text, const char* filters, const char* exts, const char* url = "") {
    Program p;
    p.SourceText = text;
    p.CurrentEntry().Url = url;
    for (std::size_t i = 0; i < 7 && filters[i] != '\0'; ++i) p.CurrentEntry().Filter[i] = filters[i] == '1';
    for (std::size_t i = 0; i < 4; ++i) p.CurrentEntry().Ext[i] = exts[i] == '1';
    return p;
}

Strings Extract(const std::string& text, const char* filters, const char* exts, const char* url = "") {
    Program p = MakeProgram(text, filters, exts, url);
    p.Candidates = {"stale", "stale"};
    ExtractLinks(p);
    EXPECT_FALSE(p.Candidates.empty());
    if (p.Candidates.empty()) return {};
    EXPECT_EQ(p.Candidates[0], "");
    return Strings(p.Candidates.begin() + 1, p.Candidates.end());
}

struct ExtractRow {
    const char* name;
    std::string text;
    const char* filters;
    const char* exts;
    Strings expected;
    const char* url = "";  // the entry's source; a web page makes every link a web name
};

TEST(LinkExtractionTest, PiecesAndOrder) {
    const ExtractRow rows[] = {
        {"emptyText", "", "11111", "1111", {}},
        {"allRulesOff", "<img src=\"a.gif\"> http://h/a.gif\r\na.gif", "00000", "1111", {}},
        {"allExtensionsOff", "<img src=\"a.gif\"> http://h/a.gif\r\na.gif", "11111", "0000", {}},
        {"capitalTagAndAttribute", "<IMG SRC=\"a.GIF\">", "01000", "1000", {"a.GIF"}},
        {"imageRuleOnlyIgnoresBareUrls",
         "http://h/x.gif <img src=\"a.gif\"> http://h/y.gif",
         "01000",
         "1000",
         {"a.gif"}},
        {"singleQuotesTakeTheNextDoubleQuotedValue",
         "<img src='a.gif'><img src=\"b.gif\">",
         "01000",
         "1000",
         {"b.gif", "b.gif"}},
        {"unquotedValueIsNotFound", "<img src=a.gif> a.gif", "01000", "1000", {}},
        {"emptyValueDropped", "<img src=\"\">", "01000", "1111", {}},
        {"attributeOfLaterElement", "<img alt=\"x\"><p src=\"a.png\">", "01000", "0010", {"a.png"}},
        {"unclosedQuoteLeavesBareCursor", "<img src=\"http://h/a.gif", "01010", "1000", {"http://h/a.gif"}},
        {"urlInsideValueNotTakenTwice",
         "<img src=\"http://h/a.gif\"> http://h/b.gif",
         "01010",
         "1000",
         {"http://h/a.gif", "http://h/b.gif"}},
        {"bareUrlStopsAtHash", "see http://h/a.jpg#frag more", "00010", "0100", {"http://h/a.jpg"}},
        {"bareUrlRunsToEndOfText", "last: http://h/a.png", "00010", "0010", {"http://h/a.png"}},
        {"bareUrlStopsAtDelimiters",
         "http://h/1.gif\thttp://h/2.gif\"http://h/3.gif<http://h/4.gif>http://h/5.gif\rhttp://h/6.gif\n",
         "00010",
         "1000",
         {"http://h/1.gif", "http://h/2.gif", "http://h/3.gif", "http://h/4.gif", "http://h/5.gif",
          "http://h/6.gif"}},
        {"apostropheAndParenthesisBelongToUrl", "(http://h/a.gif) 'http://h/b.gif'", "00010", "1000", {}},
        {"nonAsciiBelongsToUrl", "http://h/\xE7\x94\xBB.gif", "00010", "1000", {"http://h/\xE7\x94\xBB.gif"}},
        {"capitalScheme", "HTTP://H/A.BMP", "00010", "0001", {"HTTP://H/A.BMP"}},
        {"bareAndLineOnSameLine",
         "http://h/a.jpg\r\nb.png",
         "00011",
         "0110",
         {"http://h/a.jpg", "http://h/a.jpg", "b.png"}},
        {"lineWithoutLineEnd", "a.gif", "00001", "1000", {"a.gif"}},
        {"trailingLineEndGivesNoExtraPiece", "a.gif\r\n", "00001", "1000", {"a.gif"}},
        {"loneLineFeedStaysInLine", "a.gif\nb.gif", "00001", "1000", {"a.gif\nb.gif"}},
        {"loneCarriageReturnStaysInLine",
         "a.gif\rb.gif\r\nc.gif",
         "00001",
         "1000",
         {"a.gif\rb.gif", "c.gif"}},
        {"localNamesAreTakenWhole",
         "a.jpeg\r\nb.jpg?x=1\r\nc.jpg \r\nd.JPG\r\njpg\r\n.jpg\r\ne.JPEG\r\nfjpeg",
         "00001",
         "0100",
         {"a.jpeg", "d.JPG", ".jpg", "e.JPEG"}},
        {"webAddressesInATextFileLoseQueryAndFragment",
         "http://h/a.jpg?x=1\r\nHTTPS://h/b.jpeg#top\r\nhttp://h/c.php?f=d.jpg\r\ne.jpg?x=1",
         "00001",
         "0100",
         {"http://h/a.jpg?x=1", "HTTPS://h/b.jpeg#top"}},
        {"linksOnAWebPageLoseQueryAndFragment",
         "<img src=\"a.png?v=2\"><img src=\"/b.PNG#x\"><img src=\"c.cgi?d.png\"><img src=\"e.png?\">",
         "01000",
         "0010",
         {"a.png?v=2", "/b.PNG#x", "e.png?"},
         "https://h/dir/"},
        {"bareHttpsAddresses",
         "see https://h/a.gif and HTTPS://h/b.gif or http://h/c.gif\r\nhttps:/h/d.gif xhttps://h/e.gif",
         "00010",
         "1000",
         {"https://h/a.gif", "HTTPS://h/b.gif", "http://h/c.gif", "https://h/e.gif"}},
        {"bareAddressInsideAValueIsTakenOnce",
         "<img src=\"https://h/a.gif\"> https://h/b.gif",
         "01010",
         "1000",
         {"https://h/a.gif", "https://h/b.gif"}},
        {"onlyFlaggedExtensions", "a.gif\r\nb.jpg\r\nc.png\r\nd.bmp", "00001", "1001", {"a.gif", "d.bmp"}},
        {"anchorTagNeedsItsBlank", "<abbr href=\"x.gif\"><area href=\"y.gif\">", "00100", "1000", {}},
        {"orderFollowsTagPositions",
         "<a href=\"1.gif\"><img src=\"2.gif\"><body background=\"3.gif\">",
         "11100",
         "1000",
         {"1.gif", "2.gif", "3.gif"}},
        {"anchorAndImageOfSameFile",
         "<a href=\"p.jpg\"><img src=\"p.jpg\"></a>",
         "01100",
         "0100",
         {"p.jpg", "p.jpg"}},
        {"tagBeatsLineOnSameStart",
         "<img src=\"a.gif\">x.gif",
         "01001",
         "1000",
         {"a.gif", "<img src=\"a.gif\">x.gif"}},
        {"valueIsNotSkipped", "<a href=\"y <a href=\"x.gif\">", "00100", "1000", {"x.gif"}},
        // The image rule's value lies far ahead and pushes the bare cursor past it; the
        // anchor that follows pulls it back, so the later URLs are reached after all.
        {"earlierTagPullsBareCursorBack",
         "<img alt> <a href=\"n\"> http://h/1.gif <b src=\"http://h/2.gif\">",
         "01110",
         "1000",
         {"http://h/2.gif", "http://h/1.gif", "http://h/2.gif"}},
        // Character references: a value cut from HTML means what the page shows.
        {"ampersandInAQuery",
         "<img src=\"/3003.jpg?w=300&amp;q=55&#38;s=1&#x26;t=2\">",
         "01000",
         "0100",
         {"/3003.jpg?w=300&q=55&s=1&t=2"},
         "https://h/"},
        {"referencesMakeTheName", "<a href=\"&#x2F;p&sol;a&period;PNG\">", "00100", "0010", {"/p/a.PNG"}},
        {"unknownNamesAndLoneAmpersandsStay",
         "<img src=\"a&bogus;&b=1&.gif\">",
         "01000",
         "1000",
         {"a&bogus;&b=1&.gif"}},
        {"oldNamesWithoutSemicolonOnlyWhereNothingFollows",
         "<img src=\"x.gif?a&copy=2&ampx&amp=3&amp;b&lt\">",
         "01000",
         "1000",
         {"x.gif?a&copy=2&ampx&amp=3&b<"},
         "http://h/"},
        {"numericOddities",
         "<img src=\"&#0;&#xD800;&#1114112;&#150;&#99999999999999;&#233.gif\">",
         "01000",
         "1000",
         {"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xE2\x80\x93\xEF\xBF\xBD\xC3\xA9.gif"}},
        {"referencesToControlsOrPercentZeroZeroDropTheLink",
         "<img src=\"a&#10;b.gif\"><img src=\"c&Tab;.gif\"><img src=\"d&#x7f;.gif\"><img "
         "src=\"e&#37;00.gif\">"
         "<img src=\"f&amp;%00.gif\"><img src=\"g%00.gif\"><img src=\"h&#32;1.gif\">",
         "01000",
         "1000",
         {"g%00.gif", "h 1.gif"}},
        {"bareAddressOnAPageDecoded",
         "see https://h/a.jpg?x=1&amp;y=2 now",
         "00010",
         "0100",
         {"https://h/a.jpg?x=1&y=2"},
         "https://h/"},
        {"bareAddressInALocalPageDecoded",
         "https://h/a&amp;b.jpg",
         "00010",
         "0100",
         {"https://h/a&b.jpg"},
         "site/Index.HTM"},
        {"bareAddressInATextFileAsWritten",
         "https://h/a&amp;b.jpg",
         "00010",
         "0100",
         {"https://h/a&amp;b.jpg"},
         "list.txt"},
        {"linesAreNeverDecoded", "a&amp;b.gif", "00001", "1000", {"a&amp;b.gif"}, "site.html"},
        // The page's own picture, Filter(6).
        {"pagePictureInAnyOrderQuotingAndCase",
         "<META content='https://h/a.jpg' PROPERTY=\"OG:Image\"><meta name=twitter:image "
         "content=https://h/c.gif>",
         "0000001",
         "1100",
         {"https://h/a.jpg", "https://h/c.gif"}},
        {"pagePictureTagOverSeveralLines",
         "<meta\r\nproperty=\"og:image\"\r\ncontent=\"https://h/b.png\"\r\n/>",
         "0000001",
         "0010",
         {"https://h/b.png"}},
        {"pagePictureFormsComeFirstInPageOrderEachOnce",
         "<img src=\"i.jpg\"><meta property=\"og:image:url\" content=\"/o.jpg\">"
         "<link rel=\"icon image_src\" href=\"l.png\"><meta name=\"twitter:image\" content=\"/o.jpg\">"
         "<meta property=og:image:secure_url content=s.jpg><meta name=twitter:image:src content=t.jpg>",
         "0100001",
         "0110",
         {"/o.jpg", "l.png", "s.jpg", "t.jpg", "i.jpg"},
         "https://h/"},
        {"pagePictureWithoutAnExtension",
         "<meta property=og:image content=\" https://h/media/Ab1?format=jpg&amp;name=large \">"
         "<meta property=og:image content=https://h/photo/>"
         "<meta property=og:image content=https://h>",
         "0000001",
         "0100",
         {"https://h/media/Ab1?format=jpg&name=large"}},
        {"pagePictureOfAnotherKindIsNoCandidate",
         "<meta property=og:image content=https://h/p.php?id=3><meta property=og:image content=/a.svg>"
         "<meta property=og:image content=&#10;https://h/a.jpg><meta property=og:image content=>",
         "0000001",
         "1111",
         {},
         "https://h/"},
        {"otherTagsAndPropertiesAreNoPagePicture",
         "<meta property=\"og:title\" content=\"x.jpg\"><meta name=\"og:image:width\" content=\"a.jpg\">"
         "<metadata property=og:image content=b.jpg><link rel=image_srcs href=c.jpg><link href=d.jpg>"
         "<meta content=e.jpg>",
         "0000001",
         "0100",
         {}},
        {"pagePictureValueMayHoldAGreaterThan",
         "<meta content=\"a>b.jpg\" property=og:image>",
         "0000001",
         "0100",
         {"a>b.jpg"}},
        {"pagePictureRuleOff", "<meta property=og:image content=a.jpg>", "0100000", "0100", {}},
        {"pagePictureNeedsNoExtensionFlag",
         "<meta property=og:image content=https://h/a.jpg><meta property=og:image content=https://h/pic>",
         "0000001",
         "0000",
         {"https://h/pic"}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Extract(row.text, row.filters, row.exts, row.url), row.expected) << row.name;

    // Pages of real sites, with img, a href, bare addresses and the page's own picture:
    // the main picture first, before the icons and thumbnails the page names earlier.
    for (const testing::RealPage& page : testing::RealPages()) {
        Strings expected{page.main};
        for (const std::string& c : page.rest) expected.push_back(c == "=" ? page.main : c);
        std::string text;
        ResponseToSourceText(page.html, text);
        EXPECT_EQ(Extract(text, "0111001", "1111", page.url), expected) << page.kind;
    }
}

TEST(LinkExtractionTest, SourceTextIsLeftAlone) {
    Program p = MakeProgram("<img src=\"a.gif\">\r\n", "11111", "1111");
    ExtractLinks(p);
    EXPECT_EQ(p.SourceText, "<img src=\"a.gif\">\r\n");
}

TEST(LinkExtractionTest, AllowedExtensionTable) {
    const std::array<bool, 5> all{true, true, true, true, true};
    const std::pair<const char*, bool> rows[] = {
        {"a.gif", true},  {"A.GIF", true},  {"x.Png", true},   {"b.bmp", true},    {".jpg", true},
        {"jpg", false},   {"a.jpeg", true}, {"a.jpg ", false}, {"agif", false},    {"", false},
        {"jpeg", false},  {"a.JPEG", true}, {"a.jpe", false},  {"a.xjpeg", false}, {"a.webp", true},
        {"A.WEBP", true}, {"a.ebp", false}, {"awebp", false},  {".webp", true},    {"a.webpx", false},
        {"a.avif", true}, {"a.HEIC", true}, {"a.heif", true},  {"a.jxl", true},    {"a.svg", true},
        {"a.vif", false}, {"a.eic", false}, {"a.xl", false},   {"a.svgz", false},  {"a.heics", false},
    };
    for (auto [name, expected] : rows) EXPECT_EQ(HasAllowedExtension(name, all), expected) << name;
    EXPECT_TRUE(HasAllowedExtension("a.jpeg", {false, true, false, false}));
    EXPECT_FALSE(HasAllowedExtension("a.jpeg", {true, false, true, true}));
    // A relative link is a web name only on a web page.
    EXPECT_FALSE(HasAllowedExtension("a.gif?x", all));
    EXPECT_TRUE(HasAllowedExtension("a.gif?x", all, true));
    EXPECT_TRUE(HasAllowedExtension("http://h/a.gif?x", all));
    EXPECT_FALSE(HasAllowedExtension("a.gif", {false, true, true, true}));
    EXPECT_TRUE(HasAllowedExtension("a.gif", {true, false, false, false}));
    // WebP only with its own flag, the fifth.
    EXPECT_FALSE(HasAllowedExtension("a.webp", {true, true, true, true, false}));
    EXPECT_TRUE(HasAllowedExtension("http://h/a.webp?w=1", {false, false, false, false, true}));
    EXPECT_FALSE(HasAllowedExtension("a.png", {false, false, false, false, true}));
    // The newer kinds go with WebP's flag.
    EXPECT_TRUE(HasAllowedExtension("a.HEIC", {false, false, false, false, true}));
    EXPECT_FALSE(HasAllowedExtension("a.svg", {true, true, true, true, false}));
}

// A page's SVG files are its icons and logos: a list file and a folder take SVG drawings,
// a page never does, whichever rule finds the link.
TEST(LinkExtractionTest, SvgIsACandidateInListsButNotOnPages) {
    const struct {
        const char* name;
        const char* text;
        const char* filters;
        const char* url;
        Strings expected;
    } rows[] = {
        {"list", "a.svg\r\nb.avif\r\nc.png\r\n", "00001", "list.txt", {"a.svg", "b.avif"}},
        {"localPage",
         "<img src=\"a.svg\"><img src=\"b.avif\"> http://h/c.svg",
         "01010",
         "page.html",
         {"b.avif"}},
        {"pagePicture",
         "<meta property=og:image content=/logo.svg><img src=\"b.jxl\">",
         "0100001",
         "page.html",
         {"b.jxl"}},
    };
    for (const auto& row : rows) {
        Program p = MakeProgram(row.text, row.filters, "0000", row.url);
        p.CurrentEntry().Ext[4] = true;
        ExtractLinks(p);
        EXPECT_EQ(Strings(p.Candidates.begin() + 1, p.Candidates.end()), row.expected) << row.name;
    }
}

// A literal reading of the rules, position by position with fresh searches every time;
// slow, but simple enough to trust, so the fast version is checked against it.
Strings Reference(const std::string& t, const Program& p) {
    const auto& f = p.CurrentEntry().Filter;
    const auto& x = p.CurrentEntry().Ext;
    const std::string lower = ToLower(t);
    const std::size_t n = t.size();
    auto find = [&](const std::string& needle, std::size_t from1, bool ignoreCase) -> std::size_t {
        std::size_t pos = (ignoreCase ? lower : t).find(needle, from1 - 1);
        return pos == std::string::npos ? 0 : pos + 1;
    };
    const bool webPage = ToLower(p.CurrentEntry().Url).starts_with("http");
    auto accepted = [&](std::string piece) {
        const std::string low = ToLower(piece);
        if (webPage || low.starts_with("http://") || low.starts_with("https://")) {
            const std::size_t scheme = piece.find("://");
            piece = piece.substr(0, piece.find_first_of("?#", scheme == std::string::npos ? 0 : scheme + 3));
        }
        if (x[1] && piece.size() >= 5 && ToLower(piece.substr(piece.size() - 5)) == ".jpeg") return true;
        if (x[4] && piece.size() >= 5 && ToLower(piece.substr(piece.size() - 5)) == ".webp") return true;
        if (piece.size() < 4) return false;
        const std::string tail = ToLower(piece.substr(piece.size() - 4));
        const char* exts[] = {".gif", ".jpg", ".png", ".bmp"};
        for (int i = 0; i < 4; ++i)
            if (x[i] && tail == exts[i]) return true;
        return false;
    };
    // The next web address at or after a position: "http://" or "https://".
    auto findWeb = [&](std::size_t from1) -> std::size_t {
        const std::size_t a = find("http://", from1, true), b = find("https://", from1, true);
        return a == 0 ? b : b == 0 ? a : std::min(a, b);
    };
    const std::string tags[] = {"<body ", "<img ", "<a "};
    const std::string attrs[] = {"background=\"", "src=\"", "href=\""};
    std::size_t cur[5];
    for (int r = 0; r < 3; ++r) cur[r] = f[r] ? find(tags[r], 1, true) : 0;
    cur[3] = f[3] ? findWeb(1) : 0;
    cur[4] = f[4] ? 1 : 0;
    Strings out;
    while (true) {
        int r = -1;
        for (int i = 0; i < 5; ++i)
            if (cur[i] != 0 && (r < 0 || cur[i] < cur[r])) r = i;
        if (r < 0) break;
        std::string piece;
        if (r < 3) {
            const std::size_t len = attrs[r].size();
            const std::size_t a = find(attrs[r], cur[r], true);
            if (a != 0) {
                const std::size_t q = find("\"", a + len, false);
                if (q != 0) {
                    piece = t.substr(a + len - 1, q - (a + len));
                    if (f[3]) cur[3] = findWeb(q);
                }
            }
            cur[r] = find(tags[r], cur[r] + 1, true);
        } else if (r == 3) {
            std::size_t e = cur[3];
            while (e <= n) {
                const auto c = static_cast<unsigned char>(t[e - 1]);
                if (c <= 0x20 || c == '"' || c == '#' || c == '<' || c == '>') break;
                ++e;
            }
            piece = t.substr(cur[3] - 1, e - cur[3]);
            cur[3] = findWeb(e);
        } else {
            const std::size_t c = find("\r\n", cur[4], false);
            if (c == 0) {
                piece = t.substr(cur[4] - 1);
                cur[4] = 0;
            } else {
                piece = t.substr(cur[4] - 1, c - cur[4]);
                cur[4] = c + 2;
            }
        }
        if (accepted(piece)) out.push_back(piece);
    }
    return out;
}

TEST(LinkExtractionTest, MatchesLiteralReadingOnRandomPages) {
    const char* tokens[] = {"<img ",    "<IMG ",    "<a ",     "<A ",     "<body ",
                            "<BoDy ",   "src=\"",   "SRC=\"",  "href=\"", "background=\"",
                            "\"",       "http://",  "HTTP://", "h/a.gif", ".jpg",
                            ".PNG",     "x",        " ",       "\r\n",    "\r",
                            "\n",       "#",        "<",       ">",       "'",
                            "b.bmp",    "=",        "\t",      "http:/",  "<imgsrc=\"",
                            "https://", "HTTPS://", "?",       ".jpeg"};
    std::mt19937 rng(20240601);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(std::size(tokens)) - 1);
    std::uniform_int_distribution<int> length(0, 40);
    std::bernoulli_distribution coin(0.6);
    for (int round = 0; round < 4000; ++round) {
        std::string text;
        for (int i = length(rng); i > 0; --i) text += tokens[pick(rng)];
        std::string filters = "00000", exts = "0000";
        for (char& c : filters) c = coin(rng) ? '1' : '0';
        for (char& c : exts) c = coin(rng) ? '1' : '0';
        Program p = MakeProgram(text, filters.c_str(), exts.c_str(), coin(rng) ? "" : "https://h/p.html");
        const Strings expected = Reference(text, p);
        ExtractLinks(p);
        ASSERT_EQ(Strings(p.Candidates.begin() + 1, p.Candidates.end()), expected)
            << "round " << round << " filters " << filters << " exts " << exts << " text [" << text << "]";
    }
}

// The characters the extraction's searches went over, per character of the text. Each of
// its few scanners goes over the text at most once, so this stays a small constant; a
// rescan per tag or per address makes it grow with the number of tags.
double PassesFor(Program& p) {
    LinkScanCost cost;
    ExtractLinks(p, &cost);
    return static_cast<double>(cost.charactersSearched) / static_cast<double>(p.SourceText.size());
}
constexpr double kLinearPasses = 10;

// Regression: each tag searched its attribute again from the tag, rescanning the whole tail
// of the page once per tag: 100,000 passes over a megabyte here.
TEST(LinkExtractionTest, ManyTagsWithFarAttributeStayLinear) {
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "<img alt=\"http://h/x.gif\">";
    text += std::string(1 << 20, 'x') + "src=\"x.jpg\"";
    Program p = MakeProgram(text, "01010", "0100");
    EXPECT_LE(PassesFor(p), kLinearPasses);
    ASSERT_EQ(p.Candidates.size(), 100001u);
    EXPECT_EQ(p.Candidates.back(), "x.jpg");
}

TEST(LinkExtractionTest, ManyTagsWithUnclosedValueStayLinear) {
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "<a <img <body ";
    text += "href=\"" + std::string(1 << 20, 'y');
    Program p = MakeProgram(text, "11111", "1111");
    EXPECT_LE(PassesFor(p), kLinearPasses);
    EXPECT_EQ(p.Candidates.size(), 1u);
}

// Every page-picture tag is read to its end once and the set of addresses seen answers
// "each once", so neither 100,000 tags of one address nor unclosed ones rescan the page.
TEST(LinkExtractionTest, ManyPagePictureTagsStayLinear) {
    std::string same, distinct, unclosed;
    for (int i = 0; i < 100000; ++i) {
        same += "<meta property=\"og:image\" content=\"https://h/a.jpg\">\r\n";
        distinct += "<META CONTENT='https://h/" + std::to_string(i) + ".jpg' name=twitter:image>";
        unclosed += "<meta property=og:image content=\"https://h/x.jpg ";
    }
    Program p = MakeProgram(same, "0100001", "0100");
    EXPECT_LE(PassesFor(p), kLinearPasses);
    EXPECT_EQ(p.Candidates, (Strings{"", "https://h/a.jpg"}));
    p = MakeProgram(distinct, "0000001", "0100");
    EXPECT_LE(PassesFor(p), kLinearPasses);
    ASSERT_EQ(p.Candidates.size(), 100001u);
    EXPECT_EQ(p.Candidates[100000], "https://h/99999.jpg");
    p = MakeProgram(unclosed, "0001001", "0100");
    EXPECT_LE(PassesFor(p), kLinearPasses);
}

TEST(LinkExtractionTest, ManyBareUrlsWithoutCapitalsStayLinear) {
    std::string text;
    for (int i = 0; i < 200000; ++i) text += "http://h/" + std::to_string(i) + ".png ";
    Program p = MakeProgram(text, "00010", "0010");
    EXPECT_LE(PassesFor(p), kLinearPasses);
    ASSERT_EQ(p.Candidates.size(), 200001u);
    EXPECT_EQ(p.Candidates[200000], "http://h/199999.png");
}

// Entries with the page rules (the page's own picture, or a MinWidth): pages, feeds and
// JSON answers read as a browser and a feed reader would, each address once.
struct PageRow {
    const char* name;
    std::string text;
    Strings expected;
    std::int32_t minWidth = 0;
    const char* contentType = "";
    const char* filters = "0111001";  // img, a href, bare addresses, the page's own picture
    bool pageLinks = true;
    bool random = false;  // the random choice's candidates
};

Strings ExtractByPageRules(const PageRow& row) {
    Program p = MakeProgram(row.text, row.filters, "11111", "https://h/index.html");
    p.CurrentEntry().Ext[4] = true;
    p.CurrentEntry().MinWidth = row.minWidth;
    if (row.random) p.CurrentEntry().No = ChoiceMode::Random;
    const std::vector<std::string> found = ExtractLinks(row.text, p.CurrentEntry(), SourceKind::WebPage,
                                                        nullptr, {row.contentType, true, row.pageLinks});
    return Strings(found.begin() + 1, found.end());
}

TEST(LinkExtractionTest, PageRules) {
    const PageRow rows[] = {
        // Tags as HTML writes them.
        {"blankLinesInTags",
         "<img\n\tsrc=\"a.jpg\"><a\r\n href='b.png'>b</a><img src=c.gif alt=x>",
         {"a.jpg", "b.png", "c.gif"}},
        {"slashAfterName", "<img/src=\"a.jpg\">", {"a.jpg"}},
        // Responsive and lazy pictures.
        {"srcsetWidest", "<img src=\"s.jpg\" srcset=\"m.jpg 800w, l.jpg 1600w, xs.jpg 320w\">", {"l.jpg"}},
        {"srcsetDensest", "<img srcset=\"a.jpg, b.jpg 2x, c.jpg 1.5x\">", {"b.jpg"}},
        {"srcsetCommaInAddress",
         "<img srcset=\"https://i/w_400,h_300/a.jpg 400w, https://i/w_1600,h_900/a.jpg 1600w\">",
         {"https://i/w_1600,h_900/a.jpg"}},
        {"newerKindsButNoSvgIcons",
         "<img src=\"logo.svg\"><img src=a.avif><a href=b.HEIC>b</a><img src=\"c.jxl\"><a href=d.svg>d</a>",
         {"a.avif", "b.HEIC", "c.jxl"}},
        {"pictureSources",
         "<picture><source type=\"image/webp\" srcset=\"a.webp 1200w\"><img src=\"a.jpg\"></picture>",
         {"a.webp", "a.jpg"}},
        {"lazyBehindDataPlaceholder",
         "<img src=\"data:image/gif;base64,R0lGOD\" data-src=\"real.jpg\">",
         {"real.jpg"}},
        {"lazyBehindSpacer", "<img src=\"/img/blank.gif\" data-original=\"real.jpg\">", {"real.jpg"}},
        {"lazySrcset",
         "<img src=\"data:,\" data-srcset=\"a.jpg 400w, b.jpg 1200w\" data-src=\"a.jpg\">",
         {"b.jpg"}},
        {"lazyLoaderSrcset",
         "<img src=\"data:,\" data-lazy-srcset=\"a.jpg 400w, b.jpg 1200w\" data-lazy-src=\"a.jpg\">",
         {"b.jpg"}},
        {"lazyUnderALoadersOwnName",
         "<img class=\"lazy\" data-delayed-url=\"https://m/d/feedshare-shrink_800/0/17?e=1\">"
         "<img src=\"shown.jpg\" data-share-url=\"/other.jpg\"><img data-echo-src=\"/rel.jpg\">",
         {"https://m/d/feedshare-shrink_800/0/17?e=1", "shown.jpg", "/rel.jpg"}},
        {"realSrcBeatsLazy", "<img src=\"shown.jpg\" data-src=\"other.jpg\">", {"shown.jpg"}},
        // A thumbnail inside a link: the link's picture, or the page it leads to.
        {"thumbnailInPageLink", "<a href=\"/photo/123\"><img src=\"t.jpg\"></a>", {"t.jpg", "/photo/123"}},
        {"renditionsLeadToTheirPages",
         "<a href=\"/item/7\"><img src=\"/thumbs/sunset_1000x380_crop.jpg\"></a>"
         "<a href=\"/pin/8\"><img src=\"https://i/736x/ab/cd.jpg\"></a>"
         "<a href=\"/p/9\"><img src=\"/styles/banner_1660x375/public/dawn.jpg\"></a>"
         "<a href=\"/p/10\"><img src=\"/img/thumb.jpg\"></a>",
         {"/item/7", "/thumbs/sunset_1000x380_crop.jpg", "/pin/8", "https://i/736x/ab/cd.jpg", "/p/9",
          "/styles/banner_1660x375/public/dawn.jpg", "/p/10", "/img/thumb.jpg"},
         640},
        {"wideEnoughIsNoThumbnail",
         "<a href=\"/p/9\"><img src=\"w.jpg\" width=\"1600\"></a>",
         {"w.jpg"},
         640},
        {"thumbnailInPictureLink",
         "<a href=\"full.jpg\"><img src=\"thumb.jpg\"></a>",
         {"full.jpg", "thumb.jpg"}},
        {"pageLinksWithoutPictures",
         "<a href=\"/about\">About</a><a href=\"#top\"><img src=\"t.jpg\"></a>",
         {"t.jpg"}},
        {"linkEndsAtItsClose", "<a href=\"/p/1\">one</a><img src=\"x.jpg\">", {"x.jpg"}},
        {"pageLinkNeedsTheLinkRule",
         "<a href=\"/photo/1\"><img src=\"t.jpg\"></a>",
         {"t.jpg"},
         0,
         "",
         "0101001"},
        // Icons and logos are no candidates; every address comes once.
        {"iconsAndTiles",
         "<link rel=\"apple-touch-icon\" href=\"https://h/i.png\"><link rel='shortcut icon' "
         "href=https://h/f.png><link rel=\"fluid-icon\" href=\"https://h/fluid.png\">"
         "<meta name=\"msapplication-TileImage\" content=\"https://h/tile.png\">"
         "<meta property=\"og:logo\" content=\"https://h/logo.png\"><img src=\"https://h/pic.jpg\">",
         {"https://h/pic.jpg"}},
        {"logosAndTheFrontPage",
         "<a href=\"/\"><img src=\"/brand.png\"></a><img class=\"site-logo\" src=\"b.png\">"
         "<a href=\"/u/1\"><img src=\"/u/1/avatar.jpg\"></a><img alt=\"Icon\" src=\"i.png\"><img "
         "src=\"photo.jpg\">",
         {"/brand.png", "photo.jpg"}},
        {"pageLinksOffForPhotoPages",
         "<a href=\"/p/2\"><img src=\"t.jpg\"></a>",
         {"t.jpg"},
         0,
         "",
         "0111001",
         false},
        {"logoAddresses",
         "https://h/front/images/logo/213x70.png https://h/img/logo-black.png https://h/icons/x.png "
         "https://h/favicon-32.png https://h/photos/iconic.jpg",
         {"https://h/photos/iconic.jpg"}},
        {"eachAddressOnce",
         "<meta property=\"og:image\" content=\"https://h/a.jpg\"> see https://h/a.jpg <img "
         "src=\"https://h/a.jpg\">",
         {"https://h/a.jpg"}},
        // CSS, ending at its ")"; relative ones are links like any other.
        {"styleAttribute",
         "<div style=\"background-image: url('/header-1.jpg?3');\"></div>"
         "<div style=\"background:url(https://h/b.jpg) no-repeat\"></div>",
         {"/header-1.jpg?3", "https://h/b.jpg"}},
        {"styleElement",
         "<style>.x{background:url(\"img/bg.png\")} .y{background:url(https://h/c.jpg)}</style>",
         {"img/bg.png", "https://h/c.jpg"}},
        // Picture names as picture services write them.
        {"sizeSuffix",
         "https://pbs.h/media/Ab12.jpg:large and https://h/a.jpg:x/y",
         {"https://pbs.h/media/Ab12.jpg:large"}},
        {"nameInQuery",
         "<img src=\"/th?id=OHR.Name_1920x1080.jpg&amp;rf=x\">",
         {"/th?id=OHR.Name_1920x1080.jpg&rf=x"}},
        // Narrower than the entry wants, or of a shape no screen takes, by the page's own
        // word: tried last. Regression: a picture shown 500 wide was dropped unasked, and
        // the file behind it was the page's full picture.
        {"minWidthByAttribute",
         "<img src=\"small.jpg\" width=\"200\"><img src=\"big.jpg\" width=\"1920\">",
         {"big.jpg", "small.jpg"},
         640},
        {"minWidthBySrcset",
         "<a href=\"/p/1\"><img srcset=\"a.jpg 320w\"></a><img src=\"b.jpg\">",
         {"/p/1", "b.jpg", "a.jpg"},
         640},
        {"bannerShapeByAttributes",
         "<img src=\"banner.jpg\" width=\"990\" height=\"120\"><img src=\"p.jpg\" width=\"1600\" "
         "height=\"900\">",
         {"p.jpg", "banner.jpg"},
         640},
        // A feed's or a gallery's first item is its newest: what it declares small still
        // comes before the next item's pictures.
        {"newestItemFirst",
         "<item><description>&lt;img src=&quot;https://h/new.jpg&quot; width=&quot;300&quot;&gt;"
         "</description></item><item><description>&lt;img src=&quot;https://h/old.jpg&quot;&gt;"
         "</description></item>",
         {"https://h/new.jpg", "https://h/old.jpg"},
         640},
        {"newestArticleFirst",
         "<article><img src=\"today.jpg\" width=\"400\"></article><article><img "
         "src=\"yesterday.jpg\"></article>",
         {"today.jpg", "yesterday.jpg"},
         640},
        // The biggest view of one picture the page names, where its first view stood.
        {"ownPictureContentFirstWithSizeSuffix",
         "<meta content=\"https://pbs.h/media/DPad-NW.jpg:large\" property=\"og:image\"><img "
         "src=\"https://h/x.jpg\">",
         {"https://pbs.h/media/DPad-NW.jpg:large", "https://h/x.jpg"}},
        {"figureWiderThanOwnPicture",
         "<meta property=\"og:image\" content=\"https://h/1280/harbour-dawn.jpg\"><meta "
         "property=\"og:image:width\" content=\"1280\"><figure style=\"width: 1440px\"><img "
         "src=\"https://h/media/harbour-dawn.jpg\" width=\"720\"></figure>",
         {"https://h/media/harbour-dawn.jpg", "https://h/1280/harbour-dawn.jpg"},
         640},
        {"lazySourceWiderThanCover",
         "<meta property=\"og:image\" content=\"https://h/img/harbour_600x315.jpg\"><picture><source "
         "data-srcset=\"https://h/img/harbour-480.jpg 480w, https://h/img/harbour-1024.jpg 1024w\"><img "
         "src=\"data:,\"></picture>",
         {"https://h/img/harbour-1024.jpg", "https://h/img/harbour_600x315.jpg"}},
        {"ownPictureWiderThanArticle",
         "<meta property=\"og:image\" content=\"https://h/a/harbour-dawn.jpg\"><img "
         "src=\"https://h/a/harbour-dawn-300x200.jpg\">",
         {"https://h/a/harbour-dawn.jpg", "https://h/a/harbour-dawn-300x200.jpg"}},
        // A listing's first (newest) item before the cover the site gives every page;
        // a page that calls itself an article, or holds one, keeps its own picture first.
        {"listingFirstItemBeforeTheCover",
         "<meta property=\"og:image\" content=\"https://h/cover.jpg\"><img src=\"/head.jpg\"><main>"
         "<article><time>9 Dec</time><img src=\"/a/new.jpg\"><article><img src=/c.jpg></article></article>"
         "<article><img src=\"/a/old.jpg\"></article></main>",
         {"/a/new.jpg", "/c.jpg", "https://h/cover.jpg", "/head.jpg", "/a/old.jpg"}},
        // Own picture tags that name no main picture come last: declared narrower than the
        // entry wants, a logo, the site's default; a folder called "default" is no such mark.
        {"ownPicturesThatAreNoMainPicture",
         "<meta property=\"og:image\" content=\"https://h/blavatar/e6?s=200\"><meta "
         "property=\"og:image:width\" content=\"200\"><meta name=\"twitter:image\" "
         "content=\"https://h/x/company-logo_200/a\"><link rel=\"image_src\" "
         "href=\"https://h/a/og-Default.jpg\"><meta property=og:image "
         "content=https://h/sites/default/files/c.jpg>"
         "<img src=\"/p/a.jpg\">",
         {"https://h/sites/default/files/c.jpg", "/p/a.jpg", "https://h/blavatar/e6?s=200",
          "https://h/x/company-logo_200/a", "https://h/a/og-Default.jpg"},
         640},
        {"randomLeavesThemOut",
         "<meta property=\"og:image\" content=\"https://h/i/og-default.png\"><img src=\"/p/a.jpg\">",
         {"/p/a.jpg"},
         640,
         "",
         "0111001",
         true,
         true},
        {"articlePageKeepsItsOwnPicture",
         "<meta property=\"og:type\" content=\"article\"><meta property=\"og:image\" content=\"/o.jpg\">"
         "<article><img src=\"/a.jpg\"></article><article><img src=\"/b.jpg\"></article>",
         {"/o.jpg", "/a.jpg", "/b.jpg"}},
        {"oneArticleKeepsItsOwnPicture",
         "<meta property=\"og:image\" content=\"/o.jpg\"><article><img src=\"/a.jpg\"></article>"
         "<article><p>no picture</p></article>",
         {"/o.jpg", "/a.jpg"}},
        {"listingThumbnailToFull",
         "<a href=\"/g/1\"><img src=\"/thumbs/aurora-sky_1000x380_c.jpg\"></a><img src=\"/736x/b/c/"
         "field-mist.jpg\"><a href=\"/files/aurora-sky.jpg\">get</a><a "
         "href=\"/originals/b/c/field-mist.jpg\">get</a>",
         {"/files/aurora-sky.jpg", "/thumbs/aurora-sky_1000x380_c.jpg", "/g/1",
          "/originals/b/c/field-mist.jpg", "/736x/b/c/field-mist.jpg"}},
        {"differentPicturesStayApart",
         "<img src=\"https://h/IMG_8880.jpg\"><img src=\"https://h/IMG_8881.jpg\"><img "
         "src=\"https://a/3000.jpg\"><img src=\"https://b/3000.jpg\">",
         {"https://h/IMG_8880.jpg", "https://h/IMG_8881.jpg", "https://a/3000.jpg", "https://b/3000.jpg"}},
        // The random choice draws among the page's own content, one view of each picture.
        {"randomDrawsFromTheContent",
         "<header><img src=\"https://h/site-banner.jpg\"></header><nav><img "
         "src=\"https://h/menu-shoes.jpg\"></nav><style>.share{background:url(/default-share.jpg)}</style>"
         "<article><header><img src=\"https://h/harbour-dawn-640x360.jpg\"></header><img "
         "src=\"https://h/harbour-dawn.jpg\"><img src=\"https://h/field-mist.jpg\"></article>"
         "<script>{\"other\":\"https://h/other-story.jpg\"}</script><aside><img "
         "src=\"https://h/shop-box.jpg\"></aside><footer><img src=\"https://h/partner.jpg\"></footer>"
         // Boxes beside the content that only their class tells apart.
         "<div class=\"post-body\"><div class=\"widget shop-box\"><ul><li><img src=\"https://h/shoes.jpg\">"
         "</ul></div><img src=\"https://h/valley.jpg\"><section id=\"related-posts\"><img "
         "src=\"https://h/other.jpg\"></section><div class=\"unrelated\"><img src=\"https://h/lake.jpg\">"
         "</div></div>",
         {"https://h/harbour-dawn.jpg", "https://h/field-mist.jpg", "https://h/valley.jpg",
          "https://h/lake.jpg"},
         640,
         "",
         "0111001",
         true,
         true},
        {"randomJsonOneViewEach",
         "{\"url\":\"https://apod/image/2401/NGC1232_1024.jpg\",\"hdurl\":\"https://apod/image/2401/"
         "NGC1232.jpg\"}",
         {"https://apod/image/2401/NGC1232.jpg"},
         640,
         "",
         "0111001",
         true,
         true},
        // Bare addresses end where the markup's quote does, even written as a reference.
        {"bareStopsAtEscapedQuote",
         "&lt;a href=&quot;https://h/full.jpg&quot;&gt; (https://h/p.png)",
         {"https://h/full.jpg", "https://h/p.png"}},
        {"commentsAreNotShown",
         "<!-- <img src=\"old.jpg\"> https://h/x.jpg --><img src=\"new.jpg\">",
         {"new.jpg"}},
        {"scriptsHoldAddressesNotTags",
         "<script>var u=\"https://h/s.jpg\"; h='<img src=\"n.jpg\">'</script>",
         {"https://h/s.jpg"}},
        // Feeds, item by item.
        {"rssEnclosures",
         "<item><enclosure url=\"https://h/e.jpg\" type=\"image/jpeg\" length=\"1\"/></item>"
         "<item><enclosure url=\"https://h/p.mp3\" type=\"audio/mpeg\"/></item>",
         {"https://h/e.jpg"}},
        {"mediaWidestContent",
         "<item><media:content url=\"https://h/s.jpg\" width=\"300\" medium=\"image\"/>"
         "<media:content url=\"https://h/l.jpg\" width=\"2000\" medium=\"image\"/>"
         "<media:thumbnail url=\"https://h/t.jpg\"/></item>",
         {"https://h/l.jpg"}},
        {"mediaThumbnailWhenNothingElse",
         "<item><media:thumbnail url=\"https://h/t1.jpg\" width=\"100\"/><media:thumbnail "
         "url=\"https://h/t2.jpg\" "
         "width=\"150\"/></item><item><media:thumbnail url=\"https://h/t3.jpg\"/><enclosure "
         "url=\"https://h/e.png\" "
         "type=\"image/png\"/></item>",
         {"https://h/t2.jpg", "https://h/e.png"}},
        {"itemsOwnPicturesFirst",
         "<channel><image><url>https://h/feed-logo.png</url></image><item><description>&lt;img "
         "src=&quot;https://h/in-text.jpg&quot;&gt;</description><media:content url=\"https://h/own.jpg\"/>"
         "<media:content url=\"https://0.gravatar.com/avatar/1.jpg\" medium=\"image\"/></item>",
         {"https://h/own.jpg", "https://h/in-text.jpg"}},
        {"atomEnclosure",
         "<entry><link rel=\"alternate\" href=\"https://h/post\"/><link rel=\"enclosure\" type=\"image/png\" "
         "href=\"https://h/a.png\"/></entry>",
         {"https://h/a.png"}},
        {"escapedMarkupInItems",
         "<item><description>&lt;p&gt;&lt;a href=&quot;https://h/full.jpg&quot;&gt;&lt;img "
         "src=&quot;https://h/thumb.jpg&quot;&gt;&lt;/a&gt;</description></item>"
         "<item><description><![CDATA[<img src=\"https://h/c.jpg\">]]></description></item>",
         {"https://h/full.jpg", "https://h/thumb.jpg", "https://h/c.jpg"}},
        // Regression: a reference in escaped markup, decoded with it, handed on a control
        // character the feed never held.
        {"escapedControlCharacter",
         "<item><description>&lt;img src=&quot;https://h/a&#1;.jpg&quot;&gt;&lt;img "
         "src=&quot;https://h/b.jpg&quot;&gt;</description></item>",
         {"https://h/b.jpg"}},
        // JSON: picture addresses under the keys, the full picture's first.
        {"jsonFullPictureFirst",
         "{\"url\":\"https://apod/image/s.jpg\",\"hdurl\":\"https://apod/image/l.jpg\",\"title\":\"a.jpg\"}",
         {"https://apod/image/l.jpg", "https://apod/image/s.jpg"}},
        {"jsonRootRelativeWithNameInQuery",
         "{\"images\":[{\"url\":\"/th?id=OHR.Name_1920x1080.jpg&rf=x\",\"urlbase\":\"/th?id=OHR.Name\"}]}",
         {"/th?id=OHR.Name_1920x1080.jpg&rf=x"}},
        {"jsonThumbnailsLast",
         "[{\"thumb\":\"https://u/t.jpg\",\"small\":\"https://u/s.jpg\",\"regular\":\"https://u/r.jpg\","
         "\"full\":\"https:\\/\\/u\\/f.jpg\"}]",
         {"https://u/f.jpg", "https://u/r.jpg", "https://u/t.jpg", "https://u/s.jpg"}},
        {"jsonByItsFirstCharacter", " \r\n[\"//cdn/y.png\"]", {"//cdn/y.png"}},
        {"markupFirstIsNoJson", "<p>{\"p\": \"//cdn/x.png\"}</p>", {}},
        {"jsonProtocolRelative", "{\"p\": \"//cdn/x.png\"}", {"//cdn/x.png"}, 0, "application/json"},
        // Regression: an escaped surrogate pair became CESU-8, naming a file no server has.
        {"jsonSurrogatePair",
         R"({"full": "https://h/\ud83d\ude00.jpg"})",
         {"https://h/\xF0\x9F\x98\x80.jpg"}},
        {"jsonEscapedControlCharacter",
         R"({"a": "https://h/a\u0001.jpg", "b": "https://h/b\b.jpg", "c": "https://h/c.jpg"})",
         {"https://h/c.jpg"}},
        {"jsonLoneSurrogateThenMore",
         R"([{"hd": "https://h/\ud83d.jpg"}, {"url": "https://h/b.jpg"}, {"hd": "https://h/c.jpg"}])",
         {"https://h/c.jpg", "https://h/b.jpg"}},
        {"jsonTruncated", R"({"url": "https://h/a.jpg", "hd": "https://h/b.jp)", {"https://h/a.jpg"}},
        {"jsonLines",
         "{\"url\":\"https://h/1.jpg\"}\r\n{\"hd\":\"https://h/2.jpg\"}\r\n",
         {"https://h/2.jpg", "https://h/1.jpg"}},
        {"jsonWrappedInACall",
         "cb({\"url\": \"https://h/a.jpg\"});",
         {"https://h/a.jpg"},
         0,
         "application/json"},
    };
    for (const auto& row : rows) EXPECT_EQ(ExtractByPageRules(row), row.expected) << row.name;
}

// The page rules read each tag and each element's text once, so neither unclosed feed
// elements nor many links around thumbnails rescan the page.
TEST(LinkExtractionTest, PageRulesStayLinear) {
    std::string unclosed, links, brokenJson = "[";
    for (int i = 0; i < 50000; ++i) {
        unclosed += "<summary>&lt;b <description>x <style>";
        links += "<a href=\"/p/" + std::to_string(i) + "\"><img src=\"t.jpg\" width=10></a> https://h/a.png ";
        brokenJson += "{\"u\": [\"\\ud800\"]}, ";  // read again from each "{" after an error
    }
    for (const std::string* text : {&unclosed, &links, &brokenJson}) {
        Program p = MakeProgram(*text, "1111001", "1111");
        p.CurrentEntry().MinWidth = 640;
        p.CurrentEntry().Url = "https://h/";
        EXPECT_LE(PassesFor(p), kLinearPasses);
    }
}

}  // namespace
}  // namespace vexal
