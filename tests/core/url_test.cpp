// URL splitting, the path helpers and the exact request bytes.
#include "net/url.h"

#include <gtest/gtest.h>

#include "program/program.h"

namespace vexal {
namespace {

struct SplitRow {
    const char* name;
    const char* url;
    UrlParts parts;
};

TEST(UrlSplitTest, SplitsIntoParts) {
    const SplitRow rows[] = {
        {"pathWithFolders", "http://h/a/b/pic.jpg", {"http", "", "", "h", 80, "/a/b/", "pic.jpg"}},
        {"hostOnly", "http://h", {"http", "", "", "h", 80, "/", ""}},
        {"hostWithPort", "http://h:81/x.gif", {"http", "", "", "h", 81, "/", "x.gif"}},
        {"userAndPassword", "http://u:p@h/d/", {"http", "u", "p", "h", 80, "/d/", ""}},
        {"userWithoutPassword", "http://u@h:8080/", {"http", "u", "", "h", 8080, "/", ""}},
        {"passwordWithColon", "http://u:p:q@h/", {"http", "u", "p:q", "h", 80, "/", ""}},
        {"slashInQuery", "http://h/cgi?a=1/2", {"http", "", "", "h", 80, "/cgi?a=1/", "2"}},
        {"fragmentStaysInFile", "http://h/a.jpg#top", {"http", "", "", "h", 80, "/", "a.jpg#top"}},
        {"noSchemeSeparator", "h/x.jpg", {"", "", "", "", 80, "", ""}},
        {"empty", "", {"", "", "", "", 80, "", ""}},
        {"capitalSchemeKept", "HTTP://Host/A.JPG", {"HTTP", "", "", "Host", 80, "/", "A.JPG"}},
        {"emptyPortIsZero", "http://h:/x", {"http", "", "", "h", 0, "/", "x"}},
        {"portZero", "http://h:0/", {"http", "", "", "h", 0, "/", ""}},
        {"portWithLetters", "http://h:81abc/", {"http", "", "", "h", 81, "/", ""}},
        {"portNotANumber", "http://h:abc/", {"http", "", "", "h", 0, "/", ""}},
        {"hugePortClamps", "http://h:99999999999/", {"http", "", "", "h", INT32_MAX, "/", ""}},
        {"portWithoutPath", "http://h:8080", {"http", "", "", "h", 8080, "/", ""}},
        // An "@" ends a user part only before the path, query or fragment begins; these
        // once split the path into a user and a host.
        {"atInPath", "http://h/img/a@2x.png", {"http", "", "", "h", 80, "/img/", "a@2x.png"}},
        {"atInPathWithFolder", "http://h/p@q/r.jpg", {"http", "", "", "h", 80, "/p@q/", "r.jpg"}},
        {"atInQuery", "http://h/?to=a@b", {"http", "", "", "h", 80, "/", "?to=a@b"}},
        {"atInFragment", "http://h:81#a@b", {"http", "", "", "h", 81, "/", "#a@b"}},
        // Regression: without a path, a query or fragment used to stay in the host name.
        {"queryWithoutPath", "http://h?x=1", {"http", "", "", "h", 80, "/", "?x=1"}},
        {"queryWithoutPathWithPort", "https://h:8443?a/b", {"https", "", "", "h", 8443, "/", "?a/b"}},
        {"fragmentWithoutPath", "http://h#top", {"http", "", "", "h", 80, "/", "#top"}},
        {"userAndAtInPath", "http://u@h/a@2x.png", {"http", "u", "", "h", 80, "/", "a@2x.png"}},
        {"firstSeparatorCounts", "ftp://h/x://y", {"ftp", "", "", "h", 80, "/x://", "y"}},
        {"httpsDefaultPort", "https://h/a.jpg", {"https", "", "", "h", 443, "/", "a.jpg"}},
        {"httpsCapitals", "HTTPS://h", {"HTTPS", "", "", "h", 443, "/", ""}},
        {"httpsExplicitPort", "https://h:8443/", {"https", "", "", "h", 8443, "/", ""}},
        {"ipv6WithPort", "http://[::1]:8080/x", {"http", "", "", "::1", 8080, "/", "x"}},
        {"ipv6DefaultPort",
         "https://[2001:db8::7]/a/b.jpg",
         {"https", "", "", "2001:db8::7", 443, "/a/", "b.jpg"}},
        {"ipv6WithoutPath", "http://[::1]:81", {"http", "", "", "::1", 81, "/", ""}},
        {"ipv6WithUser", "http://u:p@[::1]/", {"http", "u", "p", "::1", 80, "/", ""}},
        {"ipv6EmptyPort", "http://[::1]:/", {"http", "", "", "::1", 0, "/", ""}},
        {"ipv4InBrackets", "http://[127.0.0.1]/", {"http", "", "", "127.0.0.1", 80, "/", ""}},
        {"unclosedBracket", "http://[::1/x", {"http", "", "", "[", 0, "/", "x"}},
    };
    for (const auto& row : rows) EXPECT_EQ(SplitUrl(row.url), row.parts) << row.name;
}

TEST(UrlSplitTest, DirAndFileGiveThePathBack) {
    for (const char* path : {"/", "/a", "/a/", "/a/b/c.jpg", "/cgi?x=/y#z", "/%20/a b"}) {
        const UrlParts parts = SplitUrl(std::string("http://h") + path);
        EXPECT_EQ(parts.Dir + parts.File, path);
        EXPECT_EQ(UrlDirPart(path) + UrlFilePart(path), path);
    }
}

TEST(UrlPathPartsTest, DirAndFileOfPaths) {
    const struct {
        const char* path;
        const char* dir;
        const char* file;
    } rows[] = {
        {"/a/", "/a/", ""},           {"a.jpg", "", "a.jpg"}, {"", "", ""},
        {"/a/b.jpg", "/a/", "b.jpg"}, {"/", "/", ""},         {"a/b", "a/", "b"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(UrlDirPart(row.path), row.dir) << row.path;
        EXPECT_EQ(UrlFilePart(row.path), row.file) << row.path;
    }
}

TEST(UrlPathPartsTest, LongPathsAreNotCut) {
    const std::string path = "/" + std::string(40000, 'd') + "/" + std::string(40000, 'f');
    EXPECT_EQ(UrlDirPart(path).size(), 40002u);
    EXPECT_EQ(UrlFilePart(path).size(), 40000u);
}

TEST(RequestTextTest, ExactBytesForPortHost) {
    Program program;
    InitGlobals(program, 1, 0);
    const UrlParts parts = SplitUrl("http://h:81/a/b/pic.jpg");
    const std::string headers = program.RequestHeaderBlock + parts.Host + "\r\n";
    const std::string expected = std::string("GET /a/b/pic.jpg HTTP/1.1\r\n") + "From: " + kContactAddress +
                                 "\r\n"
                                 "User-Agent: vexal/1.00\r\n"
                                 "Host: h\r\n"
                                 "\r\n";
    EXPECT_EQ(RequestText(parts.Dir + parts.File, headers), expected);
}

TEST(RequestTextTest, PathOnTheRequestLine) {
    const std::pair<const char*, const char*> rows[] = {
        {"/a/b.jpg?x=1&y=%20", "/a/b.jpg?x=1&y=%20"},  // ASCII goes out byte for byte
        {"/a b/ü#f", "/a%20b/%C3%BC"},                 // blank and UTF-8 encoded, fragment dropped
        {"/page.html?x=1#top", "/page.html?x=1"},
        {"/#", "/"},
        {"/%E7%94%BB/画.jpg", "/%E7%94%BB/%E7%94%BB.jpg"},  // sequences already there stay
        {"/t\tab\x7f~", "/t%09ab%7F~"},
        {"", ""},
    };
    for (const auto& [path, wire] : rows) {
        EXPECT_EQ(RequestPath(path), wire) << path;
        EXPECT_EQ(RequestText(path, "Host: h\r\n"),
                  std::string("GET ") + wire + " HTTP/1.1\r\nHost: h\r\n\r\n");
    }
}

TEST(RequestTextTest, HostFieldCarriesAPortThatIsNotTheDefault) {
    const std::pair<const char*, const char*> rows[] = {
        {"http://h/", "h"},
        {"http://h:80/", "h"},
        {"http://h:81/", "h:81"},
        {"http://h:443/", "h:443"},
        {"https://h/", "h"},
        {"https://h:443/", "h"},
        {"https://h:8443/", "h:8443"},
        {"HTTPS://h:80/", "h:80"},
        {"http://h:/", "h:0"},
        {"http://[::1]/", "[::1]"},
        {"http://[::1]:8080/", "[::1]:8080"},
        {"https://[2001:db8::7]:443/", "[2001:db8::7]"},
    };
    for (const auto& [url, field] : rows) EXPECT_EQ(HostField(SplitUrl(url)), field) << url;
    // A redirect is resolved against the address put back together from its parts.
    for (const char* url : {"http://[::1]:8080/a/b.jpg?x", "https://[2001:db8::7]/", "http://h:81/a@2x.png"})
        EXPECT_EQ(UrlText(SplitUrl(url)), url);
}

TEST(UrlResolveTest, ReferencesAgainstTheRequestedAddress) {
    const char* base = "http://h:8080/a/b/page.html?q=1";
    const std::pair<const char*, const char*> rows[] = {
        {"/x.html", "http://h:8080/x.html"},
        {"x.html", "http://h:8080/a/b/x.html"},
        {"../x.html", "http://h:8080/a/x.html"},
        {"../../../../x", "http://h:8080/x"},
        {"./c/./d/../e", "http://h:8080/a/b/c/e"},
        {"..", "http://h:8080/a/"},
        {"?r=2", "http://h:8080/a/b/page.html?r=2"},
        {"#top", "http://h:8080/a/b/page.html?q=1"},
        {"", "http://h:8080/a/b/page.html?q=1"},
        {"//other/p", "http://other/p"},
        {"https://secure.example/", "https://secure.example/"},
        {"HTTPS://S.example:444/a/../b?c#d", "https://S.example:444/b?c"},
        {"http://other", "http://other/"},
        {"  /padded  ", "http://h:8080/padded"},
        {"/a b/ü", "http://h:8080/a b/ü"},
        {"http://u:p@other/x", "http://u:p@other/x"},
        {"http://[::1]:81/a/", "http://[::1]:81/a/"},
    };
    for (const auto& [reference, expected] : rows) {
        const auto resolved = ResolveReference(base, reference);
        ASSERT_TRUE(resolved.has_value()) << reference;
        EXPECT_EQ(*resolved, expected) << reference;
    }
    for (const char* reference :
         {"ftp://h/x", "mailto:a@b", "http:x", "https://", "//", "javascript:go()", "http://:80/"}) {
        EXPECT_FALSE(ResolveReference(base, reference).has_value()) << reference;
    }
}

}  // namespace
}  // namespace vexal
