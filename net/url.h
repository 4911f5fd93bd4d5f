// Splitting a URL into its parts, a server path into folder and file, and the text of
// the one request form the system sends. Pure string work: nothing here touches the network.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "program/url_parts.h"

namespace vexal {

// Never fails: a text without "://" gives empty parts and port 80. Letter case is kept
// and nothing is decoded, so Dir & File is always the path exactly as written. Without a
// port, an "https" address (any letter case) gets 443 and every other one 80. A user part
// ends at an "@" before the path; an IPv6 host ("[::1]") is kept without its brackets.
UrlParts SplitUrl(std::string_view url);

// True for the scheme "https" in any letter case: the address is fetched over TLS.
bool IsSecureScheme(std::string_view scheme);
// The port a scheme implies when the address names none.
std::int32_t DefaultPort(std::string_view scheme);
// The value of the Host field: the host (an IPv6 address in brackets), and ":" with the
// port when it is not the scheme's default (a virtual host on another port is known by both).
std::string HostField(const UrlParts& parts);
// The address `parts` were split from, without user or password: scheme, "://", the host
// field, and the path.
std::string UrlText(const UrlParts& parts);

// The absolute address a reference (a redirect's Location) names, resolved against the
// address `base` that was requested, as a browser resolves it: absolute, "//host",
// "/path", "?query", "#fragment" and relative paths, with "." and ".." segments removed.
// Empty when the result would not be an http or https address with a host.
std::optional<std::string> ResolveReference(std::string_view base, std::string_view reference);
// Through the last "/", or "" without one.
std::string UrlDirPart(std::string_view path);
// After the last "/"; the whole path without one.
std::string UrlFilePart(std::string_view path);

// The path as it goes on the request line: it ends before a fragment, which belongs to the
// browser side of an address, and every byte outside printable ASCII, and the blank, is
// written as "%" and two hexadecimal digits. "%" sequences already there stay as they are,
// so an ASCII path without a fragment goes out byte for byte.
std::string RequestPath(std::string_view path);

// The exact bytes of the one request the system sends: a GET of `path` (as RequestPath
// writes it) over HTTP/1.1, followed by `requestHeaders` (each line ending in CR LF) and
// the empty line.
std::string RequestText(std::string_view path, std::string_view requestHeaders);

}  // namespace vexal
