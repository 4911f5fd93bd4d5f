// Fetches over Schannel against a real TLS web server on the Linux side of Wine, which
// tls-servers.sh starts with certificates of a test authority trusted only in the test's
// own Wine prefix. Without that script around it (no VEXAL_TLS_TEST_PORTS) it is skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>

#include "host/socket.h"
#include "net/tls_socket.h"
#include "platform/win32/schannel_engine.h"
#include "platform/win32/win32_event_pump.h"
#include "platform/win32/win32_socket.h"
#include "platform/win32/win32_timer.h"
#include "support/transfer_rig.h"

namespace vexal {
namespace {

struct Ports {
    int trusted = 0;    // https with a certificate of the trusted test authority
    int untrusted = 0;  // https with a self-signed certificate
    int plain = 0;      // http, redirecting to the trusted server
    int closing = 0;    // https whose body ends with close_notify, the connection left open
};

bool ReadPorts(Ports& out) {
    const char* text = std::getenv("VEXAL_TLS_TEST_PORTS");
    if (!text) return false;
    char comma;
    std::istringstream in(text);
    return static_cast<bool>(in >> out.trusted >> comma >> out.untrusted >> comma >> out.plain >> comma >>
                             out.closing);
}

// The Windows program's socket, timer and pump.
struct WindowsNet {
    Win32EventPump pump;
    Win32Socket socket{pump};
    Win32Socket tlsTransport{pump};
    TlsSocket secureSocket{tlsTransport, MakeSchannelEngine()};
    Win32Timer timer{pump};
};

struct Rig : WindowsNet, testing::TransferRig {
    Rig() : TransferRig({&socket, &secureSocket, &timer, &pump}, 10, "work") {}
};

using testing::Failed;
using testing::SameResult;

std::string At(int port, const char* scheme, const char* path) {
    return std::string(scheme) + "://localhost:" + std::to_string(port) + path;
}

class SchannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ReadPorts(ports)) GTEST_SKIP() << "no TLS test servers (run through tls-servers.sh)";
    }
    Ports ports;
};

TEST_F(SchannelTest, TrustedPageThenItsPicture) {
    Rig rig;
    rig.Page(At(ports.trusted, "https", "/site/index.html"));
    ASSERT_TRUE(rig.succeeded) << ::testing::PrintToString(rig.last);
    EXPECT_EQ(rig.program.SourceText, "<img src=\"pics/a.gif\">");
    rig.Image(rig.program.ServerUrl.Dir + "pics/a.gif", true);
    EXPECT_TRUE(rig.succeeded) << ::testing::PrintToString(rig.last);
    EXPECT_EQ(rig.files.files["work.gif"], "GIF89a-vexal-test-picture");
}

// Regression: Wine's Schannel reports the peer's close_notify as success with no data, and
// a body without a length then waited for the whole time-out (the server never hangs up),
// where Linux finished at once.
TEST_F(SchannelTest, CloseNotifyEndsABodyWithoutLengthWhileTheConnectionStaysOpen) {
    Rig rig;
    rig.Page(At(ports.closing, "https", "/site/index.html"));
    ASSERT_TRUE(rig.succeeded) << ::testing::PrintToString(rig.last);
    EXPECT_EQ(rig.program.SourceText, "<img src=\"pics/a.gif\">");
}

TEST_F(SchannelTest, UntrustedCertificate) {
    Rig rig;
    rig.Page(At(ports.untrusted, "https", "/site/index.html"));
    EXPECT_TRUE(SameResult(rig.last, Failed(FetchFailure::SocketError, kErrorCertificate,
                                            "localhost:" + std::to_string(ports.untrusted))));
}

TEST_F(SchannelTest, RedirectToHttps) {
    Rig rig;
    rig.Page(At(ports.plain, "http", "/old/index.html"));
    ASSERT_TRUE(rig.succeeded) << ::testing::PrintToString(rig.last);
    EXPECT_EQ(rig.program.SourceText, "<img src=\"pics/a.gif\">");
    EXPECT_EQ(rig.program.ServerUrl.Scheme, "https");
    EXPECT_EQ(rig.program.ServerUrl.Dir, "/site/");
}

TEST_F(SchannelTest, HttpsToAPlainServer) {
    Rig rig;
    rig.Page(At(ports.plain, "https", "/old/index.html"));
    EXPECT_TRUE(SameResult(rig.last, Failed(FetchFailure::SocketError, kErrorSecureChannel,
                                            "localhost:" + std::to_string(ports.plain))));
}

}  // namespace
}  // namespace vexal
