// URL splitting by plain first/last searches, exact letter case, no decoding.
#include "net/url.h"

#include "text/number.h"

namespace vexal {

UrlParts SplitUrl(std::string_view url) {
    UrlParts parts;
    const std::size_t sep = url.find("://");
    if (sep == std::string_view::npos) return parts;
    parts.Scheme = std::string(url.substr(0, sep));
    std::string_view rest = url.substr(sep + 3);

    // The "@" search runs over the path too, so an "@" in a file name is taken as the end
    // of a user-info part; callers that store such URLs rely on this exact split.
    const std::size_t at = rest.find('@');
    if (at != std::string_view::npos) {
        const std::string_view userInfo = rest.substr(0, at);
        const std::size_t colon = userInfo.find(':');
        if (colon != std::string_view::npos) {
            parts.User = std::string(userInfo.substr(0, colon));
            parts.Password = std::string(userInfo.substr(colon + 1));
        } else {
            parts.User = std::string(userInfo);
        }
        rest = rest.substr(at + 1);
    }

    const std::size_t firstSlash = rest.find('/');
    if (firstSlash == std::string_view::npos) {
        parts.Dir.assign(1, '/');  // not = "/": GCC 12 warns falsely (-Wrestrict) on that form
    } else {
        const std::size_t lastSlash = rest.rfind('/');
        parts.Dir = std::string(rest.substr(firstSlash, lastSlash - firstSlash + 1));
        parts.File = std::string(rest.substr(lastSlash + 1));
        rest = rest.substr(0, firstSlash);
    }

    const std::size_t colon = rest.find(':');
    if (colon == std::string_view::npos) {
        parts.Host = std::string(rest);
    } else {
        parts.Host = std::string(rest.substr(0, colon));
        parts.Port = ToInt32(ReadNumber(rest.substr(colon + 1)));
    }
    return parts;
}

std::string UrlDirPart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return std::string();
    return std::string(path.substr(0, slash + 1));
}

std::string UrlFilePart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return std::string(path);
    return std::string(path.substr(slash + 1));
}

std::string RequestText(std::string_view path, std::string_view requestHeaders) {
    std::string text;
    text.reserve(path.size() + requestHeaders.size() + 32);
    text += "GET ";
    text += path;
    text += " HTTP/1.1\r\n";
    text += requestHeaders;
    text += "\r\n";
    return text;
}

}  // namespace vexal
