// The JSON reader: strings as UTF-8 with every escape decoded, malformed text refused
// where it goes wrong, nesting bounded.
#include "text/json.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexal {
namespace {

// Every string a scan visits, keys marked "k:", and where it stopped.
struct Scanned {
    std::vector<std::string> strings;
    JsonScanResult result;
};
Scanned Scan(std::string_view text) {
    Scanned s;
    s.result = ScanJsonStrings(text, [&](JsonString kind, std::string_view value) {
        s.strings.push_back((kind == JsonString::Key ? "k:" : "") + std::string(value));
    });
    return s;
}

TEST(JsonReaderTest, StringsEscapesAndErrors) {
    const struct {
        const char* name;
        std::string text;
        std::vector<std::string> strings;
        JsonEnd end;
        std::size_t stop;  // where a malformed text stopped
    } rows[] = {
        {"everyEscape",
         R"(["\" \\ \/ \b \f \n \r \t \u0041\u00e9\u6f22"])",
         {"\" \\ / \b \f \n \r \t A\xC3\xA9\xE6\xBC\xA2"},
         JsonEnd::WellFormed,
         0},
        // Regression: the pair was written as two three-byte halves (CESU-8), a name no
        // server has.
        {"surrogatePairIsOneCharacter",
         R"(["\uD83D\uDE00", "\ud83d\ude00"])",
         {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
         JsonEnd::WellFormed,
         0},
        {"keysAndValuesInOrder",
         R"({"a": ["x", 1, true, null, {"b": "y"}], "c": "z"})",
         {"k:a", "x", "k:b", "y", "k:c", "z"},
         JsonEnd::WellFormed,
         0},
        {"loneHighSurrogate", R"(["ok", "\uD83D.jpg"])", {"ok"}, JsonEnd::Malformed, 14},
        {"highSurrogateThenNoLow", R"(["\uD83D\u0041"])", {}, JsonEnd::Malformed, 13},
        {"loneLowSurrogate", R"(["\uDE00"])", {}, JsonEnd::Malformed, 7},
        {"unknownEscape", R"(["\x"])", {}, JsonEnd::Malformed, 3},
        {"shortUnicodeEscape", R"(["\u12"])", {}, JsonEnd::Malformed, 6},
        {"rawControlCharacter", "[\"a\tb\"]", {}, JsonEnd::Malformed, 3},
        {"malformedUtf8", "[\"a\xFF\"]", {}, JsonEnd::Malformed, 3},
        {"truncatedKeepsWhatCameBefore",
         R"({"a": "x", "b": "http://h/b.j)",
         {"k:a", "x", "k:b"},
         JsonEnd::Malformed,
         29},
        {"secondValueAfterTheFirst", "{\"a\":\"x\"}\r\n{\"b\":\"y\"}", {"k:a", "x"}, JsonEnd::Malformed, 11},
        {"trailingBlanksAreFine", "[\"x\"] \r\n", {"x"}, JsonEnd::WellFormed, 0},
        {"byteOrderMarkFirst", "\xEF\xBB\xBF[\"x\"]", {"x"}, JsonEnd::WellFormed, 0},
        {"empty", "", {}, JsonEnd::Malformed, 0},
        {"notJson", "<html>", {}, JsonEnd::Malformed, 0},
    };
    for (const auto& r : rows) {
        const Scanned s = Scan(r.text);
        EXPECT_EQ(s.strings, r.strings) << r.name;
        EXPECT_EQ(s.result.end, r.end) << r.name;
        EXPECT_EQ(s.result.stop, r.end == JsonEnd::WellFormed ? r.text.size() : r.stop) << r.name;
        JsonValue tree;
        EXPECT_EQ(ParseJson(r.text, tree), r.end == JsonEnd::WellFormed) << r.name;
    }
}

TEST(JsonReaderTest, NestingIsBounded) {
    auto nested = [](std::size_t depth, const char* open, const char* close) {
        std::string text;
        for (std::size_t i = 0; i < depth; ++i) text += open;
        text += "\"deep\"";
        for (std::size_t i = 0; i < depth; ++i) text += close;
        return text;
    };
    const std::string deepest = nested(kJsonMaxDepth, "[", "]");
    EXPECT_EQ(Scan(deepest).strings, std::vector<std::string>{"deep"});
    JsonValue tree;
    ASSERT_TRUE(ParseJson(deepest, tree));
    const JsonValue* v = &tree;
    for (std::size_t i = 0; i < kJsonMaxDepth; ++i) {
        ASSERT_EQ(v->kind, JsonValue::Kind::Array);
        ASSERT_EQ(v->items.size(), 1u);
        v = &v->items[0];
    }
    EXPECT_EQ(v->text, "deep");

    // One level more is refused, and a text of nothing but brackets (millions of levels)
    // ends at the bound instead of exhausting the stack.
    for (const std::string& text : {nested(kJsonMaxDepth + 1, "{\"k\":", "}"), std::string(4000000, '[')}) {
        const Scanned s = Scan(text);
        EXPECT_EQ(s.result.end, JsonEnd::TooDeep);
        EXPECT_FALSE(ParseJson(text, tree));
        EXPECT_EQ(tree.kind, JsonValue::Kind::Null);
    }
}

TEST(JsonReaderTest, TreeKeepsValuesAndFirstOfARepeatedName) {
    JsonValue tree;
    ASSERT_TRUE(ParseJson(R"({"n": -12.5, "big": 18446744073709551615, "f": false, "z": null,
                             "a": [1, {"x": 2}], "n": 7})",
                          tree));
    ASSERT_EQ(tree.members.size(), 6u);
    EXPECT_EQ(tree.Member("n")->number, -12.5) << "the first of two";
    EXPECT_EQ(tree.Member("big")->number, 18446744073709551615.0);
    EXPECT_EQ(tree.Member("f")->kind, JsonValue::Kind::Bool);
    EXPECT_EQ(tree.Member("z")->kind, JsonValue::Kind::Null);
    const JsonValue& a = *tree.Member("a");
    ASSERT_EQ(a.items.size(), 2u);
    EXPECT_EQ(a.items[1].Member("x")->number, 2);
    EXPECT_EQ(tree.Member("missing"), nullptr);
    EXPECT_EQ(a.Member("x"), nullptr) << "an array has no members";
}

}  // namespace
}  // namespace vexal
