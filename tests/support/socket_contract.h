// What every platform's socket must do alike, run against each of them: the order of data
// and close, unread data and its limit, the errors (their numbers, and that they arrive
// only inside the pump), port 0, and a name lookup that gets no thread.
//
// A platform instantiates the suite with a rig that has:
//   Socket& socket();                      the socket under test
//   void Pump(int waitMs);                 one pass of the platform's event pump
//   int Serve(std::vector<ServerStep>);    a server on 127.0.0.1 for one connection: it
//                                          reads the request up to its empty line, plays
//                                          the steps, then closes; gives its port
//   static int RefusingPort();             a port on which nothing listens
//   void FailThreadStarts();               the socket's threads fail to start from now on
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "host/socket.h"

namespace vexal::testing {

struct ServerStep {
    std::string send;
    int pauseMs = 0;
};

// Records the socket's events, checking on each that it came from inside the pump and that
// the count it reports is what PeekData holds.
struct ContractListener final : SocketListener {
    explicit ContractListener(Socket& s) : socket(s) {}
    void WS_DataArrival(std::int32_t bytesTotal) override {
        EXPECT_TRUE(insidePump) << "DataArrival outside the pump";
        EXPECT_EQ(static_cast<std::size_t>(bytesTotal), socket.PeekData().size());
        EXPECT_NE(socket.State(), SocketState::Closing) << "data delivered after the close was reported";
        totals.push_back(bytesTotal);
        if (takeData) {
            received += socket.PeekData();
            socket.DiscardData(socket.PeekData().size());
        }
    }
    void WS_Error(std::int16_t number) override {
        EXPECT_TRUE(insidePump) << "Error outside the pump";
        errors.push_back(number);
    }
    Socket& socket;
    bool insidePump = false;
    bool takeData = true;  // a reader that takes every byte over as it arrives
    std::string received;
    std::vector<std::int32_t> totals;
    std::vector<std::int16_t> errors;
};

template <typename Rig>
class SocketContractTest : public ::testing::Test {
protected:
    SocketContractTest() : events(rig.socket()) { rig.socket().SetListener(&events); }

    Socket& socket() { return rig.socket(); }
    void PumpOnce(int waitMs = 10) {
        events.insidePump = true;
        rig.Pump(waitMs);
        events.insidePump = false;
    }
    // Pumps until `done` holds; false after ten seconds (only a failing test waits that long).
    template <typename Done>
    bool PumpUntil(Done done) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > until) return false;
            PumpOnce();
        }
        return true;
    }
    void ConnectTo(const std::string& host, std::int32_t port) {
        socket().SetRemoteHost(host);
        socket().SetRemotePort(port);
        socket().Connect();
    }
    // Connects to a server that plays `steps` and sends it a request.
    void Exchange(std::vector<ServerStep> steps) {
        ConnectTo("127.0.0.1", rig.Serve(std::move(steps)));
        EXPECT_NE(socket().State(), SocketState::Connected) << "Connect returns at once";
        ASSERT_TRUE(PumpUntil([&] { return socket().State() == SocketState::Connected; }));
        socket().SendData("GET / HTTP/1.1\r\n\r\n");
    }
    void ExpectOneError(std::int16_t number, const char* what) {
        EXPECT_EQ(events.errors, std::vector<std::int16_t>{number}) << what;
        EXPECT_EQ(socket().State(), SocketState::Error) << what;
    }

    Rig rig;
    ContractListener events;
};

TYPED_TEST_SUITE_P(SocketContractTest);

TYPED_TEST_P(SocketContractTest, EveryByteArrivesBeforeTheRemoteClose) {
    const std::string body(200000, 'b');  // more than one read of either platform
    this->Exchange({{"HTTP/1.1 200 OK\r\n", 50},
                    {"Content-Length: 200000\r\n\r\n" + body.substr(0, 1000), 50},
                    {body.substr(1000)}});
    ASSERT_TRUE(this->PumpUntil([&] { return this->socket().State() == SocketState::Closing; }));
    EXPECT_EQ(this->events.received, "HTTP/1.1 200 OK\r\nContent-Length: 200000\r\n\r\n" + body);
    EXPECT_GE(this->events.totals.size(), 2u);
    EXPECT_TRUE(this->events.errors.empty());
    this->socket().Close();
    EXPECT_EQ(this->socket().State(), SocketState::Closed);
    EXPECT_TRUE(this->socket().PeekData().empty());
}

TYPED_TEST_P(SocketContractTest, UnreadDataStaysUntilDiscardedAndCloseDropsIt) {
    this->events.takeData = false;
    this->Exchange({{"hello", 100}, {"world"}});
    ASSERT_TRUE(this->PumpUntil([&] { return this->socket().State() == SocketState::Closing; }));
    ASSERT_FALSE(this->events.totals.empty());
    EXPECT_EQ(this->events.totals.back(), 10) << "each count is of all unread bytes";
    EXPECT_EQ(this->socket().PeekData(), "helloworld");
    this->socket().DiscardData(3);
    EXPECT_EQ(this->socket().PeekData(), "loworld");
    this->socket().Close();
    EXPECT_EQ(this->socket().PeekData(), "");
    for (int i = 0; i < 10; ++i) this->PumpOnce();
    EXPECT_EQ(this->events.totals.back(), 10) << "no event of the closed connection";
    EXPECT_TRUE(this->events.errors.empty());
}

// A reader that never discards stops the socket from reading, so memory stays bounded
// however much the server sends; once it takes the data over, the rest follows.
TYPED_TEST_P(SocketContractTest, ReadingStopsWhileTooMuchIsUnread) {
    constexpr std::size_t kLimit = 4u << 20;
    const std::string block(1u << 20, 'z');
    this->events.takeData = false;
    this->Exchange(std::vector<ServerStep>(32, ServerStep{block}));
    ASSERT_TRUE(this->PumpUntil([&] { return this->socket().PeekData().size() >= kLimit; }));
    for (int i = 0; i < 50; ++i) this->PumpOnce(2);
    EXPECT_LE(this->socket().PeekData().size(), kLimit + (1u << 20));
    std::size_t total = 0;
    ASSERT_TRUE(this->PumpUntil([&] {
        total += this->socket().PeekData().size();
        this->socket().DiscardData(this->socket().PeekData().size());
        return this->socket().State() == SocketState::Closing;
    }));
    total += this->socket().PeekData().size();
    EXPECT_EQ(total, 32u << 20);
    EXPECT_TRUE(this->events.errors.empty());
}

TYPED_TEST_P(SocketContractTest, RefusedConnectionIsAnErrorWithItsNumber) {
    for (const char* host : {"127.0.0.1", "localhost"}) {
        this->events.errors.clear();
        this->ConnectTo(host, TypeParam::RefusingPort());
        EXPECT_TRUE(this->events.errors.empty()) << "raised inside Connect";
        ASSERT_TRUE(this->PumpUntil([&] { return !this->events.errors.empty(); })) << host;
        this->ExpectOneError(kErrorConnectionRefused, host);
        this->socket().Close();
        EXPECT_EQ(this->socket().State(), SocketState::Closed);
    }
}

TYPED_TEST_P(SocketContractTest, MisuseIsReportedOnTheNextPump) {
    const struct {
        const char* name;
        std::int32_t port;
        bool send;
        std::int16_t expected;
    } rows[] = {
        {"port zero", 0, false, kErrorPortNotSupported},
        {"negative port", -1, false, kErrorPortNotSupported},
        {"port above 65535", 70000, false, kErrorPortNotSupported},
        {"send before connecting", 80, true, kErrorNotConnected},
    };
    for (const auto& row : rows) {
        this->socket().Close();
        this->events.errors.clear();
        this->socket().SetRemoteHost("127.0.0.1");
        this->socket().SetRemotePort(row.port);
        if (row.send)
            this->socket().SendData("x");
        else
            this->socket().Connect();
        EXPECT_TRUE(this->events.errors.empty()) << row.name;
        this->PumpOnce(0);
        this->ExpectOneError(row.expected, row.name);
    }
}

TYPED_TEST_P(SocketContractTest, LookupWithoutAThreadIsAnError) {
    this->rig.FailThreadStarts();
    this->ConnectTo("localhost", TypeParam::RefusingPort());
    EXPECT_TRUE(this->events.errors.empty()) << "raised inside Connect";
    this->PumpOnce(0);
    this->ExpectOneError(kErrorOutOfMemory, "no thread");
    this->socket().Close();
    EXPECT_EQ(this->socket().State(), SocketState::Closed);
}

TYPED_TEST_P(SocketContractTest, CloseDuringTheNameLookupIsQuiet) {
    this->ConnectTo("localhost", TypeParam::RefusingPort());
    EXPECT_EQ(this->socket().State(), SocketState::ResolvingHost);
    this->socket().Close();
    for (int i = 0; i < 20; ++i) this->PumpOnce(5);
    EXPECT_TRUE(this->events.errors.empty());
    EXPECT_EQ(this->socket().State(), SocketState::Closed);
}

TYPED_TEST_P(SocketContractTest, LocalhostReachesAnIpv4OnlyServer) {
    this->ConnectTo("localhost", this->rig.Serve({{"hello"}}));
    ASSERT_TRUE(this->PumpUntil(
        [&] { return this->socket().State() == SocketState::Connected || !this->events.errors.empty(); }));
    ASSERT_TRUE(this->events.errors.empty());
    this->socket().SendData("\r\n\r\n");
    ASSERT_TRUE(this->PumpUntil([&] { return this->socket().State() == SocketState::Closing; }));
    EXPECT_EQ(this->events.received, "hello");
}

REGISTER_TYPED_TEST_SUITE_P(SocketContractTest, EveryByteArrivesBeforeTheRemoteClose,
                            UnreadDataStaysUntilDiscardedAndCloseDropsIt, ReadingStopsWhileTooMuchIsUnread,
                            RefusedConnectionIsAnErrorWithItsNumber, MisuseIsReportedOnTheNextPump,
                            LookupWithoutAThreadIsAnError, CloseDuringTheNameLookupIsQuiet,
                            LocalhostReachesAnIpv4OnlyServer);

}  // namespace vexal::testing
