// URL splitting by plain first/last searches, exact letter case, no decoding.
#include "net/url.h"

#include "text/case.h"
#include "text/number.h"

namespace vexal {

UrlParts SplitUrl(std::string_view url) {
    UrlParts parts;
    const std::size_t sep = url.find("://");
    if (sep == std::string_view::npos) return parts;
    parts.Scheme = std::string(url.substr(0, sep));
    parts.Port = DefaultPort(parts.Scheme);
    std::string_view rest = url.substr(sep + 3);

    // A user part ends at an "@" of the authority only: an "@" after the first "/", "?" or
    // "#" belongs to the path, as in the "a@2x.png" names of pictures for dense screens.
    const std::size_t at = rest.substr(0, rest.find_first_of("/?#")).find('@');
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

    // The authority ends at the first "/", "?" or "#". Without a path a query or a fragment
    // is asked for on the root: "http://h?x=1" is "/?x=1" on h.
    const std::size_t authorityEnd = rest.find_first_of("/?#");
    if (authorityEnd == std::string_view::npos || rest[authorityEnd] != '/') {
        parts.Dir.assign(1, '/');  // not = "/": GCC 12 warns falsely (-Wrestrict) on that form
        if (authorityEnd != std::string_view::npos) {
            parts.File = std::string(rest.substr(authorityEnd));
            rest = rest.substr(0, authorityEnd);
        }
    } else {
        const std::size_t lastSlash = rest.rfind('/');
        parts.Dir = std::string(rest.substr(authorityEnd, lastSlash - authorityEnd + 1));
        parts.File = std::string(rest.substr(lastSlash + 1));
        rest = rest.substr(0, authorityEnd);
    }

    // An IPv6 address is written in brackets, since its colons would read as a port; the
    // host is the address alone, which is what the socket connects to.
    if (rest.size() > 1 && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close != std::string_view::npos) {
            parts.Host = std::string(rest.substr(1, close - 1));
            rest.remove_prefix(close + 1);
            if (!rest.empty() && rest.front() == ':') parts.Port = ToInt32(ReadNumber(rest.substr(1)));
            return parts;
        }
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

bool IsSecureScheme(std::string_view scheme) {
    return scheme.size() == 5 && StartsWithNoCase(scheme, "https");
}

std::int32_t DefaultPort(std::string_view scheme) { return IsSecureScheme(scheme) ? 443 : 80; }

std::string HostField(const UrlParts& parts) {
    // Only an IPv6 address holds a colon, and it goes back into its brackets.
    std::string field = parts.Host.find(':') == std::string::npos ? parts.Host : "[" + parts.Host + "]";
    if (parts.Port != DefaultPort(parts.Scheme)) field += ":" + std::to_string(parts.Port);
    return field;
}

std::string UrlText(const UrlParts& parts) {
    return parts.Scheme + "://" + HostField(parts) + parts.Dir + parts.File;
}

namespace {

// A URL's generic parts (scheme, authority, path, query with its "?"); a fragment is left
// off, as no request carries one.
struct Reference {
    std::string_view scheme;
    bool hasAuthority = false;
    std::string_view authority;
    std::string_view path;
    std::string_view query;  // with its "?", or empty
};

bool IsSchemeChar(char c, bool first) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (first) return letter;
    return letter || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

Reference ParseReference(std::string_view text) {
    Reference r;
    const std::size_t hash = text.find('#');
    if (hash != std::string_view::npos) text = text.substr(0, hash);
    const std::size_t colon = text.find(':');
    if (colon != std::string_view::npos && colon > 0 && text.find_first_of("/?") > colon) {
        bool scheme = true;
        for (std::size_t i = 0; i < colon && scheme; ++i) scheme = IsSchemeChar(text[i], i == 0);
        if (scheme) {
            r.scheme = text.substr(0, colon);
            text.remove_prefix(colon + 1);
        }
    }
    if (text.size() >= 2 && text[0] == '/' && text[1] == '/') {
        text.remove_prefix(2);
        const std::size_t end = text.find_first_of("/?");
        r.hasAuthority = true;
        r.authority = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end);
    }
    const std::size_t question = text.find('?');
    r.path = text.substr(0, question);
    if (question != std::string_view::npos) r.query = text.substr(question);
    return r;
}

// Removes "." and ".." segments the way every browser does, so "../" never climbs above
// the root.
std::string RemoveDotSegments(std::string_view in) {
    std::string out;
    out.reserve(in.size());
    while (!in.empty()) {
        if (in.starts_with("../")) {
            in.remove_prefix(3);
        } else if (in.starts_with("./")) {
            in.remove_prefix(2);
        } else if (in.starts_with("/./")) {
            in.remove_prefix(2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.starts_with("/../") || in == "/..") {
            in = in.size() == 3 ? std::string_view("/") : in.substr(3);
            const std::size_t slash = out.rfind('/');
            out.erase(slash == std::string::npos ? 0 : slash);
        } else if (in == "." || in == "..") {
            break;
        } else {
            const std::size_t next = in.find('/', 1);
            const std::size_t n = next == std::string_view::npos ? in.size() : next;
            out.append(in.substr(0, n));
            in.remove_prefix(n);
        }
    }
    return out;
}

}  // namespace

std::optional<std::string> ResolveReference(std::string_view base, std::string_view reference) {
    // Blanks around a field value are no part of it.
    while (!reference.empty() && (reference.front() == ' ' || reference.front() == '\t'))
        reference.remove_prefix(1);
    while (!reference.empty() && (reference.back() == ' ' || reference.back() == '\t'))
        reference.remove_suffix(1);

    const Reference b = ParseReference(base);
    const Reference r = ParseReference(reference);
    std::string_view scheme, authority, query;
    std::string path;
    if (!r.scheme.empty()) {
        scheme = r.scheme;
        if (!r.hasAuthority) return std::nullopt;
        authority = r.authority;
        path = RemoveDotSegments(r.path);
        query = r.query;
    } else {
        scheme = b.scheme;
        if (r.hasAuthority) {
            authority = r.authority;
            path = RemoveDotSegments(r.path);
            query = r.query;
        } else {
            authority = b.authority;
            if (r.path.empty()) {
                path = std::string(b.path);
                query = r.query.empty() ? b.query : r.query;
            } else {
                if (r.path.front() == '/') {
                    path = RemoveDotSegments(r.path);
                } else {
                    const std::size_t slash = b.path.rfind('/');
                    const std::string merged =
                        (slash == std::string_view::npos ? std::string("/")
                                                         : std::string(b.path.substr(0, slash + 1))) +
                        std::string(r.path);
                    path = RemoveDotSegments(merged);
                }
                query = r.query;
            }
        }
    }
    const bool web = StartsWithNoCase(scheme, "http") && (scheme.size() == 4 || IsSecureScheme(scheme));
    // A user part of the authority is never sent; the host after it must not be empty.
    const std::size_t at = authority.rfind('@');
    const std::string_view host = at == std::string_view::npos ? authority : authority.substr(at + 1);
    if (!web || host.empty() || host.front() == ':') return std::nullopt;
    if (path.empty()) path = "/";
    std::string url;
    url.reserve(scheme.size() + 3 + authority.size() + path.size() + query.size());
    url += ToLower(scheme);
    url += "://";
    url += authority;
    url += path;
    url += query;
    return url;
}

std::string RequestPath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::size_t hash = path.find('#');
    if (hash != std::string_view::npos) path = path.substr(0, hash);
    std::string out;
    out.reserve(path.size());
    for (char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (c > 0x20 && c < 0x7F) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string RequestText(std::string_view path, std::string_view requestHeaders) {
    const std::string wirePath = RequestPath(path);
    std::string text;
    text.reserve(wirePath.size() + requestHeaders.size() + 32);
    text += "GET ";
    text += wirePath;
    text += " HTTP/1.1\r\n";
    text += requestHeaders;
    text += "\r\n";
    return text;
}

}  // namespace vexal
