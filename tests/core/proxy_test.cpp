// The choice of proxy from the platform's settings, and the reading of the environment.
#include "net/proxy.h"

#include <gtest/gtest.h>

#include <map>

namespace vexal {
namespace {

TEST(ProxyChoiceTest, ChoosesByScheme) {
    const struct {
        const char* name;
        ProxySettings settings;
        const char* scheme;
        const char* host;
        const char* proxy;  // "" for direct
    } rows[] = {
        {"nothingSet", {}, "http", "h", ""},
        {"hostAndPort", {"p:3128", "", "", ""}, "http", "h", "p:3128"},
        {"httpUrl", {"http://p:8080/", "", "", ""}, "http", "h", "p:8080"},
        {"capitalSchemeAndPath", {"HTTP://p:8080/x?y", "", "", ""}, "http", "h", "p:8080"},
        {"noPortIs1080", {"p", "", "", ""}, "http", "h", "p:1080"},
        {"emptyPortIs1080", {"http://p:/", "", "", ""}, "http", "h", "p:1080"},
        {"credentialsDropped", {"http://u:pw@p:81", "", "", ""}, "http", "h", "p:81"},
        {"ipv6Proxy", {"http://[::1]:3128", "", "", ""}, "http", "h", "[::1]:3128"},
        {"blanksAround", {" p:81 ", "", "", ""}, "http", "h", "p:81"},
        {"httpsUsesItsOwn", {"p:1", "q:2", "", ""}, "https", "h", "q:2"},
        {"httpsWithoutItsOwn", {"p:1", "", "", ""}, "https", "h", ""},
        {"capitalHttpsScheme", {"", "q:2", "", ""}, "HTTPS", "h", "q:2"},
        // Other proxy protocols are not spoken: the connection goes straight on.
        {"socksNotSpoken", {"socks5://p:1080", "", "", ""}, "http", "h", ""},
        {"tlsProxyNotSpoken", {"https://p:443", "", "", ""}, "http", "h", ""},
        {"portNotANumber", {"p:80x", "", "", ""}, "http", "h", ""},
        {"portTooLarge", {"p:65536", "", "", ""}, "http", "h", ""},
        {"noHost", {"http://:81", "", "", ""}, "http", "h", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ProxyChoice choice = ChooseProxy(row.settings, row.scheme, row.host);
        EXPECT_EQ(choice.Direct() ? "" : choice.Address(), row.proxy);
    }
}

TEST(ProxyChoiceTest, NoProxyListsHostsDomainsAndAddresses) {
    const struct {
        const char* name;
        const char* noProxy;
        const char* host;
        bool direct;
    } rows[] = {
        {"star", "*", "pictures.example", true},
        {"sameName", "pictures.example", "pictures.example", true},
        {"letterCase", "Pictures.Example", "PICTURES.example", true},
        {"subdomain", "example", "pictures.example", true},
        {"leadingDot", ".example", "pictures.example", true},
        {"leadingDotMatchesItself", ".example", "example", true},
        {"trailingDots", "example.", "pictures.example.", true},
        {"partOfALabelIsNot", "ample", "pictures.example", false},
        {"listWithBlanks", "a.test , b.test,pictures.example", "pictures.example", true},
        {"listWithoutIt", "a.test,b.test", "pictures.example", false},
        {"starInAListIsAName", "a.test,*.example", "pictures.example", false},
        {"emptyEntries", ",,", "pictures.example", false},
        {"ipv4", "127.0.0.1", "127.0.0.1", true},
        {"ipv4NoSuffixMatch", "0.0.1", "127.0.0.1", false},
        {"ipv4Network", "10.0.0.0/8", "10.1.2.3", true},
        {"ipv4OtherNetwork", "10.0.0.0/8", "11.1.2.3", false},
        {"ipv6", "::1", "::1", true},
        {"ipv6InBrackets", "[::1]", "::1", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ProxySettings settings{"p:3128", "p:3128", row.noProxy, ""};
        EXPECT_EQ(ChooseProxy(settings, "http", row.host).Direct(), row.direct);
        EXPECT_EQ(ChooseProxy(settings, "https", row.host).Direct(), row.direct);
    }
}

TEST(ProxyChoiceTest, WindowsSettings) {
    const struct {
        const char* name;
        const char* proxies;
        const char* bypass;
        const char* scheme;
        const char* host;
        const char* proxy;  // "" for direct
    } rows[] = {
        {"oneForAll", "127.0.0.1:8158", "", "https", "h", "127.0.0.1:8158"},
        {"perScheme", "ftp=f:3;http=p:1;https=q:2", "", "https", "h", "q:2"},
        {"bareServesTheOthers", "https=q:2 p:1", "", "http", "h", "p:1"},
        {"firstForASchemeWins", "http=p:1;http=r:3", "", "http", "h", "p:1"},
        {"noPortIs80", "http=http://p/", "", "http", "h", "p:80"},
        {"ipv6NoPortIs80", "[::1]", "", "http", "h", "[::1]:80"},
        {"socksOnlyIsDirect", "socks=s:1080", "", "http", "h", ""},
        {"schemeNotListed", "http=p:1", "", "https", "h", ""},
        {"localIsADotlessName", "p:1", "<local>", "http", "intranet", ""},
        {"localIsNotADottedName", "p:1", "<local>", "http", "pictures.example", "p:1"},
        {"wildcardSubdomain", "p:1", "*.Example", "http", "pictures.EXAMPLE", ""},
        {"wildcardNeedsTheDot", "p:1", "*.example", "http", "example", "p:1"},
        {"wildcardInside", "p:1", "pic*.ex*e", "http", "pictures.example", ""},
        {"addressPrefix", "p:1", "10.*", "http", "10.1.2.3", ""},
        {"nameIsWhole", "p:1", "example", "http", "pictures.example", "p:1"},
        {"portDropped", "p:1", "pictures.example:8080", "http", "pictures.example", ""},
        {"schemeNarrows", "p:1", "https://*.example", "http", "pictures.example", "p:1"},
        {"schemeMatches", "p:1", "https://*.example", "https", "pictures.example", ""},
        {"listWithBlanks", "p:1", "a.test; <local> ;pictures.example", "http", "pictures.example", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ProxyChoice choice =
            ChooseProxy(ProxySettingsFromWindows(row.proxies, row.bypass), row.scheme, row.host);
        EXPECT_EQ(choice.Direct() ? "" : choice.Address(), row.proxy);
    }
}

TEST(ProxyChoiceTest, LowerCaseVariablesWin) {
    const std::map<std::string, std::string> environment = {
        {"http_proxy", "lower:1"}, {"HTTP_PROXY", "upper:1"},  {"HTTPS_PROXY", "upper:2"},
        {"no_proxy", ""},          {"NO_PROXY", "upper.test"},
    };
    const ProxySettings settings = ProxySettingsFromEnvironment([&](const char* name) {
        const auto it = environment.find(name);
        return it == environment.end() ? std::string() : it->second;
    });
    EXPECT_EQ(settings.http, "lower:1");
    EXPECT_EQ(settings.https, "upper:2");
    // An empty value counts as unset.
    EXPECT_EQ(settings.noProxy, "upper.test");
}

}  // namespace
}  // namespace vexal
