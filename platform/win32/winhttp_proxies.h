// The current user's proxy settings, as WinHTTP reads them from the user's Internet
// settings: the fixed proxies and bypass list, and where automatic detection or a
// configuration script is set, that script's answer for each address.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "net/proxy.h"
#include "net/proxy_tunnel.h"

namespace vexal {

class WinHttpProxies final : public ProxyScript {
public:
    // Reads the user's settings once; a user without settings gets none (straight on).
    WinHttpProxies();
    ~WinHttpProxies() override;
    WinHttpProxies(const WinHttpProxies&) = delete;
    WinHttpProxies& operator=(const WinHttpProxies&) = delete;

    // The fixed proxies and the bypass list, which also serve when the script fails.
    const ProxySettings& Fixed() const { return fixed_; }
    // The script's answer, asked once per server in a run; nullopt without a script, or
    // when detection or the script failed, as the fixed settings then apply.
    std::optional<ProxySettings> ProxiesFor(const std::string& url) override;

private:
    ProxySettings fixed_;
    bool autoDetect_ = false;
    std::wstring scriptUrl_;
    void* session_ = nullptr;  // the WinHTTP session that runs the script, opened when first needed
    bool scriptFailed_ = false;
    std::map<std::string, std::optional<ProxySettings>> answers_;
};

}  // namespace vexal
