// Which proxy, if any, a request goes through: the proxies the platform set (on Linux the
// environment's http_proxy, https_proxy and no_proxy, read the way curl reads them; on
// Windows the user's Internet settings as WinHTTP reads them) and the address asked for
// decide it. Pure string work: the platform hands the values in.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vexal {

// The proxies the platform set, as their texts: "" where none is set.
struct ProxySettings {
    std::string http;     // for http addresses: "host:port" or "http://host:port/"
    std::string https;    // for https addresses, reached through CONNECT
    std::string noProxy;  // hosts reached directly: a list of names, domain suffixes, addresses or "*"
    // Hosts reached directly, in Windows' own form: patterns with '*' separated by ';',
    // each optionally with a scheme ("http://*.example") and a port, and "<local>" for
    // names without a dot.
    std::string bypass;
};

// The settings the environment holds, given a reader of its variables ("" when unset).
// The lower-case name wins over the upper-case one, and an empty value counts as unset.
ProxySettings ProxySettingsFromEnvironment(const std::function<std::string(const char*)>& variable);

// The settings in Windows' form: `proxies` is "host:port" for every scheme, or a list of
// "scheme=host:port" entries separated by ';' or blanks (a bare entry serves the schemes
// not named; the first entry for a scheme wins); `bypass` is the bypass list. A proxy
// without a port listens on 80 there, as WinHTTP assumes.
ProxySettings ProxySettingsFromWindows(std::string_view proxies, std::string_view bypass);

// Where a connection goes: straight to the server (an empty host) or to this proxy.
struct ProxyChoice {
    std::string host;  // without brackets for an IPv6 address
    std::int32_t port = 0;
    bool Direct() const { return host.empty(); }
    // "host:port", an IPv6 address in brackets: how messages name the proxy.
    std::string Address() const;
};

// The port of a proxy whose setting names none, as curl assumes.
inline constexpr std::int32_t kDefaultProxyPort = 1080;

// The proxy for a request to `host` (without brackets) over `scheme`. Direct when no proxy
// is set for the scheme, when `noProxy` or `bypass` names the host, or when the setting cannot be used
// (another proxy protocol than http, or no host in it).
ProxyChoice ChooseProxy(const ProxySettings& settings, std::string_view scheme, std::string_view host);

}  // namespace vexal
