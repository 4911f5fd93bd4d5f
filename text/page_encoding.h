// The character encoding of a web page: found as a browser finds it, decoded into the
// UTF-8 the rest of the program works in, and used again for the query of a link on it,
// which servers read in the page's own encoding.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vexal {

enum class PageEncoding : std::uint8_t { Utf8, ShiftJis, EucJp, Windows1252 };

// A byte-order mark first, then the charset the server declares in `contentType`, then
// the one a <meta> names in the first 1024 bytes; a charset none of the four reads is no
// declaration. Without one: UTF-8 when the bytes are well-formed UTF-8, else code page 932.
PageEncoding PageEncodingOf(std::string_view body, std::string_view contentType);

// The page's text in UTF-8, without a byte-order mark. Bytes the encoding does not map
// become U+FFFD.
std::string DecodePage(std::string_view body, PageEncoding encoding);

// The link as a browser asks for it from a page in `encoding`: the query (after the
// first "?", up to a "#") in that encoding with every byte outside printable ASCII
// percent-encoded; the rest as it is (the request writes a path's bytes from UTF-8).
std::string QueryInPageEncoding(std::string_view link, PageEncoding encoding);

}  // namespace vexal
