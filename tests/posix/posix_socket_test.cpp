// The POSIX socket, timer and pump on their own: error numbers, names that need no lookup,
// waiting; and the socket contract shared with every platform.
#include "platform/posix/posix_socket.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>
#include <memory>
#include <system_error>

#include "platform/posix/posix_reactor.h"
#include "platform/posix/posix_timer.h"
#include "posix/loopback_server.h"
#include "support/socket_contract.h"

namespace vexal {
namespace {

using testing::LoopbackServer;
using testing::ServerConnection;

struct Events final : SocketListener, TimerListener {
    std::vector<std::int32_t> totals;
    std::vector<std::int16_t> errors;
    int ticks = 0;
    std::string order;  // "connect", "data" and "close" events as they came
    void WS_DataArrival(std::int32_t bytesTotal) override {
        totals.push_back(bytesTotal);
        order += "data;";
    }
    void WS_Connect() override { order += "connect;"; }
    void WS_Close() override { order += "close;"; }
    void WS_Error(std::int16_t number) override { errors.push_back(number); }
    void Timer_Timer() override { ++ticks; }
};

// Pumps until `done` holds or two seconds pass.
template <typename Done>
bool PumpUntil(PosixReactor& reactor, Done done) {
    // Generous: only a failing test waits this long, and a loaded machine is slow.
    const std::int64_t until = PosixReactor::NowMs() + 10000;
    while (!done()) {
        if (PosixReactor::NowMs() > until) return false;
        reactor.Pump(10);
    }
    return true;
}

TEST(PosixSocketTest, ErrorNumbersForSystemFailures) {
    const std::pair<int, std::int16_t> errnos[] = {
        {ECONNREFUSED, 10061}, {ECONNRESET, 10054},    {ETIMEDOUT, 10060},     {ENETUNREACH, 10051},
        {EHOSTUNREACH, 10051}, {EADDRINUSE, 10048},    {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},
        {ECONNABORTED, 11053}, {ENOBUFS, 10055},       {ENOTCONN, 10057},      {EPIPE, 10058},
        {ENOMEM, 7},           {EPERM, kErrorUnknown},
    };
    for (auto [error, number] : errnos) EXPECT_EQ(SocketErrorFromErrno(error), number) << error;
    const std::pair<int, std::int16_t> lookups[] = {
        {EAI_NONAME, 11001}, {EAI_AGAIN, 11002}, {EAI_FAIL, 11003}, {EAI_NODATA, 11004}, {EAI_MEMORY, 7},
    };
    for (auto [result, number] : lookups) EXPECT_EQ(SocketErrorFromLookup(result, 0), number) << result;
    EXPECT_EQ(SocketErrorFromLookup(EAI_SYSTEM, ECONNREFUSED), 10061);
}

// The TLS layer above starts its handshake on the connect event and ends on the close
// event, which must come after every byte the peer sent.
TEST(PosixSocketTest, ConnectDataAndCloseEventsInOrder) {
    LoopbackServer server([](ServerConnection& c, int) {
        c.Send("hello");
        c.Pause(20);
        c.Send("world");
    });
    PosixReactor reactor;
    PosixSocket socket(reactor);
    Events events;
    socket.SetListener(&events);
    socket.SetRemoteHost("127.0.0.1");
    socket.SetRemotePort(server.port());
    socket.Connect();
    EXPECT_EQ(events.order, "") << "no event inside Connect";
    ASSERT_TRUE(PumpUntil(reactor, [&] { return socket.State() == SocketState::Closing; }));
    EXPECT_EQ(events.order.substr(0, 8), "connect;");
    EXPECT_EQ(events.order.substr(events.order.size() - 6), "close;");
    EXPECT_EQ(socket.PeekData(), "helloworld");
    EXPECT_TRUE(events.errors.empty());
}

TEST(PosixSocketTest, InvalidNamesFailWithoutALookupButOnlyInsideThePump) {
    PosixReactor reactor;
    PosixSocket socket(reactor);
    Events events;
    socket.SetListener(&events);
    socket.SetRemoteHost("x.invalid");
    socket.SetRemotePort(80);
    socket.Connect();
    EXPECT_TRUE(events.errors.empty());
    EXPECT_NE(socket.State(), SocketState::Error);
    reactor.Pump(0);
    EXPECT_EQ(events.errors, std::vector<std::int16_t>{kErrorHostNotFound});
    EXPECT_EQ(socket.State(), SocketState::Error);
}

// The POSIX socket on its reactor, for the contract every platform's socket keeps.
struct PosixRig {
    PosixReactor reactor;
    PosixSocket socket_{reactor};
    std::unique_ptr<LoopbackServer> server;

    Socket& socket() { return socket_; }
    void Pump(int waitMs) { reactor.Pump(waitMs); }
    int Serve(std::vector<testing::ServerStep> steps) {
        server = std::make_unique<LoopbackServer>([steps](ServerConnection& c, int) {
            c.ReadRequest();
            for (const auto& step : steps) {
                if (!c.Send(step.send)) return;
                if (step.pauseMs) c.Pause(step.pauseMs);
            }
        });
        return server->port();
    }
    static int RefusingPort() { return LoopbackServer::RefusingPort(); }
    void FailThreadStarts() {
        socket_.SetThreadStarter([](std::function<void()>) {
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        });
    }
};

}  // namespace

namespace testing {
INSTANTIATE_TYPED_TEST_SUITE_P(Posix, SocketContractTest, PosixRig);
}  // namespace testing

namespace {

// The wait each pump hands to poll(), and whether poll() slept it out or was woken: no
// clock is read, so a loaded machine cannot fail these.
TEST(PosixReactorTest, PumpWaitsAtMostItsTime) {
    PosixReactor reactor;
    reactor.Pump(0);
    EXPECT_EQ(reactor.counts().lastWaitMs, 0);
    EXPECT_EQ(reactor.counts().spins, 1u) << "nothing to do and no wait";
    reactor.Pump(80);
    EXPECT_EQ(reactor.counts().lastWaitMs, 80);
    EXPECT_EQ(reactor.counts().ranOut, 1u) << "nothing ready: the pump slept its whole wait";
    EXPECT_EQ(reactor.counts().polls, 2u);

    // A timer due sooner shortens the wait, and anything ready ends it. (A wake-up, so the
    // pump does not sleep until the timer.)
    PosixTimer timer(reactor);
    timer.SetInterval(60000);
    timer.SetEnabled(true);
    reactor.wake()->Wake();
    reactor.Pump(600000);
    EXPECT_LE(reactor.counts().lastWaitMs, 60000);
    EXPECT_GE(reactor.counts().lastWaitMs, 30000);
    EXPECT_EQ(reactor.counts().woken, 1u);
    timer.SetEnabled(false);
    reactor.wake()->Wake();
    reactor.Pump(600000);
    EXPECT_EQ(reactor.counts().lastWaitMs, 600000) << "a disabled timer does not shorten the wait";
}

TEST(PosixReactorTest, PumpReturnsWhenDataArrives) {
    LoopbackServer server([](ServerConnection& c, int) {
        c.Pause(30);
        c.Send("x");
        c.Pause(2000);
    });
    PosixReactor reactor;
    PosixSocket socket(reactor);
    Events events;
    socket.SetListener(&events);
    socket.SetRemoteHost("127.0.0.1");
    socket.SetRemotePort(server.port());
    socket.Connect();
    ASSERT_TRUE(PumpUntil(reactor, [&] { return socket.State() == SocketState::Connected; }));
    // Each pump may wait a minute: only the data can end it early.
    const PumpCounts before = reactor.counts();
    while (events.totals.empty() && reactor.counts().polls - before.polls < 3) reactor.Pump(60000);
    EXPECT_EQ(events.totals, std::vector<std::int32_t>{1});
    EXPECT_EQ(reactor.counts().ranOut, before.ranOut) << "a pump slept through the data";
}

TEST(PosixTimerTest, TicksEveryPeriodWhileEnabled) {
    PosixReactor reactor;
    PosixTimer timer(reactor);
    Events events;
    timer.SetListener(&events);
    timer.SetInterval(50);
    timer.SetEnabled(true);
    // Every pump sleeps until the timer is due, and then it ticks once: no burst, no
    // busy wait, however long the machine takes between the pumps.
    for (int i = 1; i <= 5; ++i) {
        reactor.Pump(1000);
        EXPECT_LE(reactor.counts().lastWaitMs, 50) << i;
        EXPECT_EQ(events.ticks, i);
    }
    EXPECT_EQ(reactor.counts().spins, 0u);

    timer.SetEnabled(false);
    events.ticks = 0;
    for (int i = 0; i < 10; ++i) reactor.Pump(10);
    EXPECT_EQ(events.ticks, 0);

    for (std::int64_t interval : {0, -5}) {
        timer.SetInterval(interval);
        timer.SetEnabled(true);
        for (int i = 0; i < 10; ++i) reactor.Pump(10);
        EXPECT_EQ(events.ticks, 0) << interval;
    }
}

TEST(PosixTimerTest, EnablingAgainStartsAFreshPeriod) {
    PosixReactor reactor;
    PosixTimer timer(reactor);
    Events events;
    timer.SetListener(&events);
    timer.SetInterval(60000);
    timer.SetEnabled(true);
    // Over a second later the period starts again from the new start: the wait is a whole
    // period again, not what was left of the first one.
    for (int i = 0; i < 11; ++i) reactor.Pump(100);
    timer.SetEnabled(false);
    timer.SetEnabled(true);
    reactor.wake()->Wake();
    reactor.Pump(600000);
    EXPECT_GE(reactor.counts().lastWaitMs, 59000);
    EXPECT_LE(reactor.counts().lastWaitMs, 60000);
    EXPECT_EQ(events.ticks, 0);
}

}  // namespace
}  // namespace vexal
