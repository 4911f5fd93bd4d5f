// Reading JSON: the one reader for every JSON text the program takes in, a web answer
// scanned for its strings or a desktop tool's output read as a small tree. Strings come
// out as UTF-8 with every escape decoded (a surrogate pair as the one character it
// stands for); a lone surrogate, malformed UTF-8 or a control character in a string makes
// the text malformed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vexal {

// How deep arrays and objects may nest; deeper is refused, so a text of nothing but
// brackets costs no more than its length.
inline constexpr std::size_t kJsonMaxDepth = 256;

enum class JsonEnd : std::uint8_t {
    WellFormed,  // one JSON value, nothing but blanks after it
    Malformed,   // an error at `stop`
    TooDeep,     // nested deeper than kJsonMaxDepth; where is not known
};

struct JsonScanResult {
    JsonEnd end = JsonEnd::WellFormed;
    // Where the reading stopped: the byte at which the error was found, else the text's end.
    std::size_t stop = 0;
};

enum class JsonString : std::uint8_t { Key, Value };

// Calls `visit` for every member name (Key) and string value (Value) of `text`, in the
// order they stand, without building the text's tree: a large answer costs no more than
// its strings. Strings before an error have been visited when the result says so.
JsonScanResult ScanJsonStrings(std::string_view text,
                               const std::function<void(JsonString, std::string_view)>& visit);

struct JsonMember;

// One JSON value as a tree.
struct JsonValue {
    enum class Kind : std::uint8_t { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool truth = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<JsonMember> members;  // as written, a repeated name too

    // The first member called `name`; null when there is none (or this is no object).
    const JsonValue* Member(std::string_view name) const;
};

struct JsonMember {
    std::string name;
    JsonValue value;
};

// The JSON value `text` holds; false, with `out` a null, when `text` is not exactly one
// well-formed value nested no deeper than kJsonMaxDepth.
[[nodiscard]] bool ParseJson(std::string_view text, JsonValue& out);

}  // namespace vexal
