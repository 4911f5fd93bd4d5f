// Character references in values cut from HTML ("&amp;", "&#38;", "&#x26;" and the named
// ones), decoded as a browser decodes them in an attribute, so that a link reads as the
// address the page means.
#pragma once

#include <string>
#include <string_view>

namespace vexal {

struct DecodedValue {
    std::string text;  // UTF-8
    // A reference stood in the value and the result is no name a request or a file may
    // carry: it holds a control character (a reference to one) or "%00", which servers
    // and file systems read as the end of the name.
    bool unsafe = false;
};

// Decodes every reference in `value`. A named reference needs its ";", except "&amp",
// "&lt", "&gt" and "&quot" when no letter, digit or "=" follows (as in old query
// strings); a numeric one ends at its last digit, with or without ";". References to 0,
// to a surrogate or beyond U+10FFFF give U+FFFD, 128 to 159 the character Windows-1252
// puts there; unknown names and a lone "&" stay as written. A value without "&" comes back
// as it is, and never unsafe.
DecodedValue DecodeCharacterReferences(std::string_view value);

}  // namespace vexal
