// The user's proxy settings through WinHTTP. Only the settings and the script's answers come
// from it: the connections themselves stay on the program's own sockets.
#include "platform/win32/winhttp_proxies.h"

#include "platform/win32/utf16.h"
#include "platform/win32/win32_api.h"

// After the Windows headers, which it needs.
#include <winhttp.h>

namespace vexal {
namespace {

// A string WinHTTP allocated, as UTF-8, freed on the way.
std::string TakeString(LPWSTR text) {
    if (!text) return {};
    std::string utf8 = win32::Narrow(text);
    ::GlobalFree(text);
    return utf8;
}

// How long the script's download may take at each stage: detection must not hold a run.
constexpr int kScriptTimeoutMs = 10000;

}  // namespace

WinHttpProxies::WinHttpProxies() {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (!::WinHttpGetIEProxyConfigForCurrentUser(&config)) return;
    autoDetect_ = config.fAutoDetect != FALSE;
    if (config.lpszAutoConfigUrl) {
        scriptUrl_ = config.lpszAutoConfigUrl;  // kept wide: WinHTTP is asked with it as it is
        ::GlobalFree(config.lpszAutoConfigUrl);
    }
    const std::string proxies = TakeString(config.lpszProxy);
    const std::string bypass = TakeString(config.lpszProxyBypass);
    fixed_ = ProxySettingsFromWindows(proxies, bypass);
}

WinHttpProxies::~WinHttpProxies() {
    if (session_) ::WinHttpCloseHandle(session_);
}

std::optional<ProxySettings> WinHttpProxies::ProxiesFor(const std::string& url) {
    if ((!autoDetect_ && scriptUrl_.empty()) || scriptFailed_) return std::nullopt;
    if (const auto known = answers_.find(url); known != answers_.end()) return known->second;
    if (!session_) {
        session_ = ::WinHttpOpen(L"vexal", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0);
        if (!session_) {
            scriptFailed_ = true;
            return std::nullopt;
        }
        ::WinHttpSetTimeouts(session_, kScriptTimeoutMs, kScriptTimeoutMs, kScriptTimeoutMs,
                             kScriptTimeoutMs);
    }
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (autoDetect_) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (!scriptUrl_.empty()) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = scriptUrl_.c_str();
    }
    // A script on a server that asks who we are gets the user's log-on, as browsers give it.
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info{};
    if (!::WinHttpGetProxyForUrl(session_, win32::Widen(url).c_str(), &options, &info)) {
        // No script was found, or it would not run: the fixed settings serve the rest of
        // the run, without waiting for detection again.
        scriptFailed_ = true;
        return std::nullopt;
    }
    const std::string proxies = TakeString(info.lpszProxy);
    const std::string bypass = TakeString(info.lpszProxyBypass);
    const ProxySettings answer = info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY
                                     ? ProxySettingsFromWindows(proxies, bypass)
                                     : ProxySettings{};
    answers_[url] = answer;
    return answer;
}

}  // namespace vexal
