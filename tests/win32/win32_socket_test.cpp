// The Winsock socket, timer and event pump against a real loopback server: a close before
// any pump, a reset, the error numbers; and the socket contract shared with every platform.
#include "platform/win32/win32_socket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <system_error>

#include "platform/win32/win32_event_pump.h"
#include "platform/win32/win32_timer.h"
#include "support/socket_contract.h"
#include "win32/loopback_server.h"

namespace vexal {
namespace {

using testing::LoopbackServer;

// Records the socket's events, and the socket state each one saw.
struct Recorder final : SocketListener {
    explicit Recorder(Socket& s) : socket(s) {}
    void WS_DataArrival(std::int32_t bytesTotal) override {
        EXPECT_TRUE(insidePump) << "DataArrival outside Pump";
        EXPECT_EQ(static_cast<std::size_t>(bytesTotal), socket.PeekData().size());
        received += socket.PeekData();
        socket.DiscardData(socket.PeekData().size());
        ++dataEvents;
        EXPECT_NE(socket.State(), SocketState::Closing) << "data delivered after the close was reported";
    }
    void WS_Error(std::int16_t number) override {
        EXPECT_TRUE(insidePump) << "Error outside Pump";
        errors.push_back(number);
    }
    Socket& socket;
    bool insidePump = false;
    std::string received;
    int dataEvents = 0;
    std::vector<std::int16_t> errors;
};

class Win32SocketTest : public ::testing::Test {
protected:
    Win32SocketTest() : socket(pump), recorder(socket) { socket.SetListener(&recorder); }

    void PumpOnce(int waitMs = 10) {
        recorder.insidePump = true;
        pump.Pump(waitMs);
        recorder.insidePump = false;
    }
    // Pumps until `done` holds or five seconds pass; false on the time-out.
    template <typename Pred>
    bool PumpUntil(Pred done) {
        const std::uint64_t end = Win32EventPump::Now() + 5000;
        while (!done()) {
            if (Win32EventPump::Now() > end) return false;
            PumpOnce();
        }
        return true;
    }
    void ConnectTo(int port) {
        socket.SetRemoteHost("127.0.0.1");
        socket.SetRemotePort(port);
        socket.Connect();
    }

    Win32EventPump pump;
    Win32Socket socket;
    Recorder recorder;
};

TEST_F(Win32SocketTest, CloseDropsUnreadDataAndLaterEvents) {
    LoopbackServer server;
    server.Serve({{"HTTP/1.1 200 OK\r\n\r\nbody", 0}});
    ConnectTo(server.port());
    ASSERT_TRUE(PumpUntil([&] { return socket.State() == SocketState::Connected; }));
    socket.SendData("GET / HTTP/1.1\r\n\r\n");
    server.Join();  // everything is sent and the server has closed
    socket.Close();
    for (int i = 0; i < 10; ++i) PumpOnce();
    EXPECT_EQ(recorder.dataEvents, 0);
    EXPECT_TRUE(recorder.errors.empty());
    EXPECT_EQ(socket.State(), SocketState::Closed);
}

TEST_F(Win32SocketTest, ResetByThePeerIsAnError) {
    LoopbackServer server;
    server.Serve({{"HTTP/1.1 200 OK\r\n", 100}}, LoopbackServer::Ending::Reset);
    ConnectTo(server.port());
    ASSERT_TRUE(PumpUntil([&] { return socket.State() == SocketState::Connected; }));
    socket.SendData("GET / HTTP/1.1\r\n\r\n");
    ASSERT_TRUE(
        PumpUntil([&] { return !recorder.errors.empty() || socket.State() == SocketState::Closing; }));
    // Whether the reset or the bytes before it win the race is up to the stack; a reset
    // that is noticed must carry its own number.
    if (!recorder.errors.empty()) {
        EXPECT_EQ(recorder.errors[0], kErrorConnectionReset);
        EXPECT_EQ(socket.State(), SocketState::Error);
    }
}

// The Winsock socket on its pump, for the contract every platform's socket keeps.
struct Win32Rig {
    Win32EventPump pump;
    Win32Socket socket_{pump};
    std::unique_ptr<LoopbackServer> server;

    Socket& socket() { return socket_; }
    void Pump(int waitMs) { pump.Pump(waitMs); }
    int Serve(std::vector<testing::ServerStep> steps) {
        std::vector<LoopbackServer::Step> script;
        for (auto& step : steps) script.push_back({std::move(step.send), step.pauseMs});
        server = std::make_unique<LoopbackServer>();
        server->Serve(std::move(script));
        return server->port();
    }
    // A port that was just free and now has no listener.
    static int RefusingPort() { return LoopbackServer().port(); }
    void FailThreadStarts() {
        socket_.SetThreadStarter([](std::function<void()>) {
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        });
    }
};

}  // namespace

namespace testing {
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, SocketContractTest, Win32Rig);
}  // namespace testing

namespace {

TEST(SocketErrorNumberTest, WinsockNumbersPassThroughExceptAbortAndMemory) {
    const struct {
        int winsock;
        std::int16_t shown;
    } rows[] = {
        {WSAECONNREFUSED, 10061},   {WSAECONNRESET, 10054},     {WSAETIMEDOUT, 10060},
        {WSAHOST_NOT_FOUND, 11001}, {WSATRY_AGAIN, 11002},      {WSANO_DATA, 11004},
        {WSAECONNABORTED, 11053},   {WSA_NOT_ENOUGH_MEMORY, 7}, {WSANOTINITIALISED, 10093},
        {0, kErrorUnknown},         {-5, kErrorUnknown},        {40000, kErrorUnknown},
    };
    for (const auto& row : rows) EXPECT_EQ(SocketErrorNumber(row.winsock), row.shown) << row.winsock;
}

struct TickCounter final : TimerListener {
    void Timer_Timer() override { ++ticks; }
    int ticks = 0;
};

TEST(Win32TimerTest, TicksOnlyInsidePumpAndOnlyWhileEnabled) {
    Win32EventPump pump;
    Win32Timer timer(pump);
    TickCounter counter;
    timer.SetListener(&counter);

    timer.SetInterval(30);
    ::Sleep(60);
    pump.Pump(0);
    EXPECT_EQ(counter.ticks, 0) << "a disabled timer ticked";

    timer.SetEnabled(true);
    ::Sleep(60);
    EXPECT_EQ(counter.ticks, 0) << "ticked outside Pump";
    pump.Pump(0);
    EXPECT_EQ(counter.ticks, 1);  // a late pump delivers one tick, not a backlog

    // Disabling drops the tick that is due.
    ::Sleep(60);
    timer.SetEnabled(false);
    pump.Pump(0);
    EXPECT_EQ(counter.ticks, 1);

    // Interval 0 never ticks, even when enabled.
    timer.SetInterval(0);
    timer.SetEnabled(true);
    for (int i = 0; i < 5; ++i) pump.Pump(20);
    EXPECT_EQ(counter.ticks, 1);
}

TEST(Win32TimerTest, RestartingStartsAFreshPeriod) {
    Win32EventPump pump;
    Win32Timer timer(pump);
    TickCounter counter;
    timer.SetListener(&counter);
    timer.SetInterval(60000);
    timer.SetEnabled(true);
    // Restarted over a second later, as data arriving restarts the transfer's time-out,
    // the pump would wait a whole period again, not what was left of the first one.
    for (int i = 0; i < 11; ++i) pump.Pump(100);
    timer.SetEnabled(false);
    timer.SetEnabled(true);
    EXPECT_GE(pump.WaitLimit(600000), 59000u);
    EXPECT_LE(pump.WaitLimit(600000), 60000u);
    EXPECT_EQ(counter.ticks, 0);
    // Left alone it ticks again and again, each pump sleeping until the next tick.
    timer.SetInterval(200);
    for (int i = 0; i < 20 && counter.ticks < 2; ++i) {
        pump.Pump(1000);
        EXPECT_LE(pump.counts().lastWaitMs, 200);
    }
    EXPECT_EQ(counter.ticks, 2);
    EXPECT_EQ(pump.counts().spins, 0u);
}

TEST(Win32EventPumpTest, WaitsWithoutSpinningAndWakesForASignal) {
    Win32EventPump pump;
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    int calls = 0;
    pump.Watch(event, [&] {
        ++calls;
        ::ResetEvent(event);
    });

    // Nothing pending: one wait of the whole time, which runs out; nothing pending and no
    // time: no wait at all.
    pump.Pump(300);
    EXPECT_EQ(pump.counts().polls, 1u);
    EXPECT_EQ(pump.counts().lastWaitMs, 300);
    EXPECT_EQ(pump.counts().ranOut, 1u);
    pump.Pump(0);
    EXPECT_EQ(pump.counts().polls, 1u);
    EXPECT_EQ(pump.counts().spins, 1u);
    EXPECT_EQ(calls, 0);

    // A signal ends a minute's wait early (or comes before it starts), and its callback
    // runs inside that same Pump.
    std::thread signaller([event] {
        ::Sleep(50);
        ::SetEvent(event);
    });
    const PumpCounts before = pump.counts();
    pump.Pump(60000);
    signaller.join();
    EXPECT_EQ(pump.counts().ranOut, before.ranOut) << "the pump slept through the signal";
    EXPECT_EQ(calls, 1);

    pump.Unwatch(event);
    ::SetEvent(event);
    pump.Pump(0);
    EXPECT_EQ(calls, 1);
    ::CloseHandle(event);
}

}  // namespace
}  // namespace vexal
