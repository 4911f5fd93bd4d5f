// The choice of proxy. The rules follow curl's reading of the same variables, which is
// what users of these variables expect: a proxy without a port listens on 1080; no_proxy
// names hosts and their subdomains, addresses (IPv4 also as address/bits), or "*" for all.
// Windows' settings follow WinHTTP's reading: its bypass list holds wildcard patterns.
#include "net/proxy.h"

#include "text/case.h"

namespace vexal {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// An IPv4 address as a number; false for anything else.
bool ParseIpv4(std::string_view text, std::uint32_t& out) {
    std::uint32_t value = 0;
    int parts = 0;
    while (parts < 4) {
        std::size_t digits = 0;
        std::uint32_t part = 0;
        while (digits < text.size() && digits < 4 && text[digits] >= '0' && text[digits] <= '9')
            part = part * 10 + static_cast<std::uint32_t>(text[digits++] - '0');
        if (digits == 0 || digits > 3 || part > 255) return false;
        value = value << 8 | part;
        text.remove_prefix(digits);
        ++parts;
        if (parts < 4) {
            if (text.empty() || text.front() != '.') return false;
            text.remove_prefix(1);
        }
    }
    out = value;
    return text.empty();
}

bool IsAddressLiteral(std::string_view host) {
    std::uint32_t ignored = 0;
    return host.find(':') != std::string_view::npos || ParseIpv4(host, ignored);
}

// One no_proxy entry against the host, both in lower case without a trailing dot.
bool EntryMatches(std::string_view entry, std::string_view host) {
    if (entry == "*") return true;
    if (IsAddressLiteral(host)) {
        if (entry.size() > 2 && entry.front() == '[' && entry.back() == ']')
            entry = entry.substr(1, entry.size() - 2);
        if (entry == host) return true;
        const std::size_t slash = entry.find('/');
        std::uint32_t address = 0;
        std::uint32_t network = 0;
        if (slash == std::string_view::npos || !ParseIpv4(host, address) ||
            !ParseIpv4(entry.substr(0, slash), network))
            return false;
        const std::string_view bitsText = entry.substr(slash + 1);
        if (bitsText.empty() || bitsText.size() > 2) return false;
        int bits = 0;
        for (const char c : bitsText) {
            if (c < '0' || c > '9') return false;
            bits = bits * 10 + (c - '0');
        }
        if (bits > 32) return false;
        const std::uint32_t mask = bits == 0 ? 0 : ~std::uint32_t{0} << (32 - bits);
        return (address & mask) == (network & mask);
    }
    if (!entry.empty() && entry.front() == '.') entry.remove_prefix(1);
    if (entry.empty()) return false;
    if (host == entry) return true;
    return host.size() > entry.size() && host.substr(host.size() - entry.size()) == entry &&
           host[host.size() - entry.size() - 1] == '.';
}

std::string WithoutTrailingDot(std::string text) {
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

bool Bypassed(std::string_view noProxy, std::string_view host) {
    const std::string lowerHost = WithoutTrailingDot(ToLower(host));
    std::size_t at = 0;
    while (at <= noProxy.size()) {
        std::size_t end = noProxy.find_first_of(", \t", at);
        if (end == std::string_view::npos) end = noProxy.size();
        const std::string entry = WithoutTrailingDot(ToLower(Trim(noProxy.substr(at, end - at))));
        if (!entry.empty() && EntryMatches(entry, lowerHost)) return true;
        at = end + 1;
    }
    return false;
}

// '*' stands for any run of characters; both in lower case.
bool WildcardMatches(std::string_view pattern, std::string_view text) {
    std::size_t p = 0, t = 0;
    std::size_t star = std::string_view::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// One entry of Windows' bypass list against the host, both in lower case.
bool BypassEntryMatches(std::string_view entry, std::string_view scheme, std::string_view host) {
    if (entry == "<local>") return host.find_first_of(".:") == std::string_view::npos;
    if (const std::size_t mark = entry.find("://"); mark != std::string_view::npos) {
        if (entry.substr(0, mark) != scheme) return false;
        entry.remove_prefix(mark + 3);
    }
    // A port narrows an entry to one server; the choice is made per host, so it is dropped.
    if (!entry.empty() && entry.front() == '[') {
        const std::size_t close = entry.find(']');
        if (close == std::string_view::npos) return false;
        entry = entry.substr(1, close - 1);
    } else if (const std::size_t colon = entry.find(':');
               colon != std::string_view::npos && entry.find(':', colon + 1) == std::string_view::npos) {
        entry = entry.substr(0, colon);
    }
    return !entry.empty() && WildcardMatches(entry, host);
}

bool BypassedOnWindows(std::string_view bypass, std::string_view scheme, std::string_view host) {
    const std::string lowerHost = ToLower(host);
    const std::string lowerScheme = ToLower(scheme);
    std::size_t at = 0;
    while (at <= bypass.size()) {
        std::size_t end = bypass.find_first_of("; \t\r\n,", at);
        if (end == std::string_view::npos) end = bypass.size();
        const std::string entry = ToLower(Trim(bypass.substr(at, end - at)));
        if (!entry.empty() && BypassEntryMatches(entry, lowerScheme, lowerHost)) return true;
        at = end + 1;
    }
    return false;
}

// A Windows proxy entry with its port, 80 where it names none.
std::string WithWindowsPort(std::string_view entry) {
    std::string_view bare = entry;
    if (const std::size_t scheme = bare.find("://"); scheme != std::string_view::npos)
        bare.remove_prefix(scheme + 3);
    bare = bare.substr(0, bare.find_first_of("/?#"));
    if (const std::size_t at = bare.rfind('@'); at != std::string_view::npos) bare.remove_prefix(at + 1);
    const std::size_t close = bare.rfind(']');
    const std::size_t colon = bare.rfind(':');
    const bool hasPort =
        colon != std::string_view::npos && (close == std::string_view::npos || colon > close);
    if (hasPort || bare.empty()) return std::string(entry);
    // The port goes after the host, before any path the entry carries.
    const std::size_t hostEnd = static_cast<std::size_t>(bare.data() + bare.size() - entry.data());
    return std::string(entry.substr(0, hostEnd)) + ":80" + std::string(entry.substr(hostEnd));
}

// "host:port", "http://user@host:port/" and the like; Direct when it is no http proxy.
ProxyChoice ParseProxy(std::string_view text) {
    text = Trim(text);
    const std::size_t scheme = text.find("://");
    if (scheme != std::string_view::npos) {
        if (!EqualsAsciiNoCase(text.substr(0, scheme), "http")) return {};
        text.remove_prefix(scheme + 3);
    }
    text = text.substr(0, text.find_first_of("/?#"));
    // Credentials are not sent: such a proxy answers 407, which gets its own message.
    if (const std::size_t at = text.rfind('@'); at != std::string_view::npos) text.remove_prefix(at + 1);
    ProxyChoice choice;
    std::string_view rest;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) return {};
        choice.host = std::string(text.substr(1, close - 1));
        rest = text.substr(close + 1);
    } else {
        const std::size_t colon = text.find(':');
        choice.host = std::string(text.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon);
    }
    choice.port = kDefaultProxyPort;
    if (!rest.empty()) {
        if (rest.front() != ':') return {};
        rest.remove_prefix(1);
        if (!rest.empty()) {
            std::int32_t port = 0;
            for (const char c : rest) {
                if (c < '0' || c > '9' || port > 65535) return {};
                port = port * 10 + (c - '0');
            }
            if (port == 0 || port > 65535) return {};
            choice.port = port;
        }
    }
    if (choice.host.empty()) return {};
    return choice;
}

}  // namespace

ProxySettings ProxySettingsFromEnvironment(const std::function<std::string(const char*)>& variable) {
    const auto read = [&variable](const char* lower, const char* upper) {
        std::string value = variable(lower);
        return value.empty() ? variable(upper) : value;
    };
    return {read("http_proxy", "HTTP_PROXY"),
            read("https_proxy", "HTTPS_PROXY"),
            read("no_proxy", "NO_PROXY"),
            {}};
}

ProxySettings ProxySettingsFromWindows(std::string_view proxies, std::string_view bypass) {
    ProxySettings settings;
    std::string anyScheme;
    std::size_t at = 0;
    while (at <= proxies.size()) {
        std::size_t end = proxies.find_first_of("; \t\r\n", at);
        if (end == std::string_view::npos) end = proxies.size();
        const std::string_view entry = proxies.substr(at, end - at);
        at = end + 1;
        if (entry.empty()) continue;
        const std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos) {
            if (anyScheme.empty()) anyScheme = WithWindowsPort(entry);
            continue;
        }
        const std::string_view scheme = entry.substr(0, equals);
        const std::string_view proxy = entry.substr(equals + 1);
        if (proxy.empty()) continue;
        // Other schemes (ftp, socks) are not this program's to use.
        if (EqualsAsciiNoCase(scheme, "http") && settings.http.empty())
            settings.http = WithWindowsPort(proxy);
        if (EqualsAsciiNoCase(scheme, "https") && settings.https.empty())
            settings.https = WithWindowsPort(proxy);
    }
    if (settings.http.empty()) settings.http = anyScheme;
    if (settings.https.empty()) settings.https = anyScheme;
    settings.bypass = std::string(bypass);
    return settings;
}

std::string ProxyChoice::Address() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

ProxyChoice ChooseProxy(const ProxySettings& settings, std::string_view scheme, std::string_view host) {
    const std::string& proxy = EqualsAsciiNoCase(scheme, "https") ? settings.https : settings.http;
    if (Trim(proxy).empty() || Bypassed(settings.noProxy, host) ||
        BypassedOnWindows(settings.bypass, scheme, host))
        return {};
    return ParseProxy(proxy);
}

}  // namespace vexal
