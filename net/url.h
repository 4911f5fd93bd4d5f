// Splitting a URL into its parts, a server path into folder and file, and the text of
// the one request form the system sends. Pure string work: nothing here touches the network.
#pragma once

#include <string>
#include <string_view>

#include "program/url_parts.h"

namespace vexal {

// Never fails: a text without "://" gives empty parts and port 80. Letter case is kept
// and nothing is decoded, so Dir & File is always the path exactly as written.
UrlParts SplitUrl(std::string_view url);
// Through the last "/", or "" without one.
std::string UrlDirPart(std::string_view path);
// After the last "/"; the whole path without one.
std::string UrlFilePart(std::string_view path);

// The exact bytes of the one request the system sends: a GET of `path` over HTTP/1.1,
// followed by `requestHeaders` (each line ending in CR LF) and the empty line.
std::string RequestText(std::string_view path, std::string_view requestHeaders);

}  // namespace vexal
