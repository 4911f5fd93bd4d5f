// Hostile HTTP peers on loopback against the whole transfer (real socket, timer, pump and
// files): a body of 1 GiB, responses that never end, broken status lines and lengths, bad
// chunk framing, and resets at every point of an exchange. Each fetch must end by itself,
// never by the time-out, in success or in one failure that can be told, with bounded
// memory, no more read than the limits allow, and no partial file left behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "gather/driver.h"
#include "net/transfer.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_reactor.h"
#include "platform/posix/posix_socket.h"
#include "platform/posix/posix_timer.h"
#include "posix/counting_timer.h"
#include "posix/loopback_server.h"
#include "posix/temp_dir.h"
#include "support/transfer_rig.h"

namespace vexal {
namespace {

using testing::Failed;
using testing::LoopbackServer;
using testing::SameResult;
using testing::ServerConnection;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kGiB = 1024 * kMiB;

// Resident memory of this process now, from the kernel's page count.
std::uint64_t ResidentBytes() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    unsigned long long size = 0, resident = 0;
    const int read = std::fscanf(f, "%llu %llu", &size, &resident);
    std::fclose(f);
    return read == 2 ? resident * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE)) : 0;
}

// Samples the resident size on a thread of its own while a fetch runs, and keeps the
// largest growth over the size at the start.
class MemoryWatch {
public:
    MemoryWatch()
        : base_(ResidentBytes()), thread_([this] {
              while (!stop_) {
                  const std::uint64_t now = ResidentBytes();
                  if (now > peak_) peak_ = now;
                  std::this_thread::sleep_for(std::chrono::milliseconds(2));
              }
          }) {}
    ~MemoryWatch() { Stop(); }
    std::uint64_t Growth() {
        Stop();
        return peak_ > base_ ? peak_ - base_ : 0;
    }

private:
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    const std::uint64_t base_;
    std::atomic<std::uint64_t> peak_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

enum class Kind { Page, Image };

// The real socket, timer, pump and files, with the working file in a folder of its own.
struct PosixNet {
    testing::TempDir dir;
    PosixFileSystem disk;
    PosixReactor reactor;
    PosixSocket socket{reactor};
    testing::CountingTimer timer{reactor};
};

struct Rig : PosixNet, testing::TransferRig {
    // No case here waits for a silent peer: a time-out, which the doubles would answer
    // with Cancel, is a failure however loaded the machine, and 30 s never comes by
    // chance.
    Rig() : TransferRig({&socket, nullptr, &timer, &reactor}, 30, dir / "work") { services.files = &disk; }

    // Runs one fetch of `url`.
    void Fetch(Kind kind, const std::string& url) {
        if (kind == Kind::Page) {
            Page(url);
        } else {
            Image(url);
        }
    }
    // The fetch failed for a reason it names: not by a question left unanswered, which no
    // case here may come to.
    bool FailedWithAReason() const {
        return !succeeded && last.failure != FetchFailure::NoAnswer && owner.questions == 0;
    }

    std::string WorkFile() const { return dir / "work.bin"; }
};

// Sends `head`, then `size` bytes of body from one 1 MiB block, so the peer itself never
// holds the body; returns when everything is sent or the client has gone.
void StreamBody(ServerConnection& c, const std::string& head, std::uint64_t size) {
    static const std::string block = [] {
        std::string b(kMiB, '\0');
        for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<char>((i * 2654435761u) >> 13);
        return b;
    }();
    if (!c.Send(head)) return;
    for (std::uint64_t sent = 0; sent < size; sent += block.size())
        if (!c.Send(std::string_view(block).substr(0, std::min<std::uint64_t>(block.size(), size - sent))))
            return;
}

// Sends `head`, then `piece` over and over until the client goes away.
void SendForever(ServerConnection& c, const std::string& head, std::string_view piece) {
    std::string block;
    while (block.size() < 64 * 1024) block += piece;
    if (!c.Send(head)) return;
    while (c.Send(block)) {
    }
}

// What a refused response may have cost: the buffer grows by doubling up to the limit,
// and a sanitizer keeps freed blocks a while, so up to about three times the limit; far
// from the gigabyte sent.
constexpr std::uint64_t kRefusedGrowth = 3 * Transfer::kHeldLimitBytes;
// What a refused response may have drawn from its server: the limit, and what the
// loopback connection's buffers hold besides; far from the gigabyte too.
constexpr std::uint64_t kRefusedSent = Transfer::kHeldLimitBytes + 64 * kMiB;

TEST(HostileHttpTest, GigabyteImageStreamsToItsFileInBoundedMemory) {
    LoopbackServer server([](ServerConnection& c, int) {
        c.ReadRequest();
        StreamBody(c, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kGiB) + "\r\n\r\n", kGiB);
        c.WaitForClose();
    });
    Rig rig;
    MemoryWatch watch;
    rig.Fetch(Kind::Image, server.Url("/huge.bin"));
    const std::uint64_t growth = watch.Growth();
    EXPECT_TRUE(rig.succeeded);
    EXPECT_EQ(rig.owner.questions, 0);
    std::error_code ec;
    EXPECT_EQ(std::filesystem::file_size(rig.WorkFile(), ec), kGiB);
    EXPECT_LT(growth, 64 * kMiB) << "the body went to the file in pieces, not into memory";
    EXPECT_EQ(rig.timer.ticks, 0);
    EXPECT_LE(rig.reactor.counts().spins, 3u) << "passes of the pump that waited for nothing";
    std::filesystem::remove(rig.WorkFile(), ec);
}

// Broke: a page of any size was held whole, then copied again into the source text, so
// a server could make the program take twice the size of whatever it chose to send.
TEST(HostileHttpTest, GigabytePageIsRefusedOnceItPassesTheLimit) {
    const struct {
        const char* name;
        std::string head;
    } rows[] = {
        {"announced", "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kGiB) + "\r\n\r\n"},
        {"unannounced", "HTTP/1.0 200 OK\r\n\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::atomic<std::uint64_t> sent{0};
        {
            LoopbackServer server([&](ServerConnection& c, int) {
                c.ReadRequest();
                StreamBody(c, row.head, kGiB);
                sent = c.sent();
            });
            Rig rig;
            MemoryWatch watch;
            rig.Fetch(Kind::Page, server.Url("/huge.html"));
            const std::uint64_t growth = watch.Growth();
            EXPECT_TRUE(SameResult(rig.last, Failed(FetchFailure::OutOfMemory, 0, server.Url("/huge.html"),
                                                    FileFailure::Nothing, Transfer::kHeldLimitBytes)));
            EXPECT_EQ(rig.program.SourceText, "");
            EXPECT_LE(growth, kRefusedGrowth);
            EXPECT_EQ(rig.timer.ticks, 0);
        }
        EXPECT_LE(sent, kRefusedSent) << "bytes the server got to send before the refusal";
    }
}

// Broke: a picture of any announced length was written out, a disk's worth if the server
// wished. A length beyond any picture is refused as the header ends, with nothing left.
TEST(HostileHttpTest, PictureAnnouncedPastTheBoundIsRefusedBeforeItsBody) {
    std::atomic<std::uint64_t> sent{0};
    {
        const std::uint64_t length = Transfer::kMaxPictureBytes + 1;
        LoopbackServer server([&](ServerConnection& c, int) {
            c.ReadRequest();
            SendForever(c, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n", "x");
            sent = c.sent();
        });
        Rig rig;
        rig.Fetch(Kind::Image, server.Url("/huge.bin"));
        EXPECT_TRUE(
            SameResult(rig.last, testing::PastBound(FetchFailure::TooLarge, server.Url("/huge.bin"))));
        EXPECT_TRUE(std::filesystem::is_empty(rig.dir.path())) << "no working file, whole or partial";
    }
    EXPECT_LE(sent, 64 * kMiB) << "what the connection's buffers took before the refusal";
}

// Bytes that never reach the end of the header: each is refused once the limit is passed,
// for a page as for an image (whose body alone goes to the file).
TEST(HostileHttpTest, EndlessHeadersAreRefused) {
    const struct {
        const char* name;
        std::string head;
        std::string piece;
    } rows[] = {
        {"fields", "HTTP/1.1 200 OK\r\n",
         "X-Filler: aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\r\n"},
        {"oneEndlessField", "HTTP/1.1 200 OK\r\nX-Long: ", "abcdefghijklmnopqrstuvwxyz"},
        {"statusWithoutSpace", "", "HTTPHTTPHTTPHTTP"},
        {"endlessStatusCode", "HTTP/1.1 ", "2000000000000000"},
        {"endlessReason", "HTTP/1.1 200 ", "OKOKOKOKOKOKOKOK"},
        {"loneLineFeeds", "HTTP/1.1 200 OK\n", "X: y\n"},
    };
    for (const auto& row : rows) {
        for (const Kind kind : {Kind::Page, Kind::Image}) {
            SCOPED_TRACE(std::string(row.name) + (kind == Kind::Page ? " page" : " image"));
            std::atomic<std::uint64_t> sent{0};
            {
                LoopbackServer server([&](ServerConnection& c, int) {
                    c.ReadRequest();
                    SendForever(c, row.head, row.piece);
                    sent = c.sent();
                });
                Rig rig;
                MemoryWatch watch;
                rig.Fetch(kind, server.Url("/endless.bin"));
                EXPECT_TRUE(
                    SameResult(rig.last, Failed(FetchFailure::OutOfMemory, 0, server.Url("/endless.bin"),
                                                FileFailure::Nothing, Transfer::kHeldLimitBytes)) ||
                    SameResult(rig.last, Failed(FetchFailure::Malformed)))
                    << ::testing::PrintToString(rig.last);
                EXPECT_FALSE(std::filesystem::exists(rig.WorkFile()));
                EXPECT_LE(watch.Growth(), kRefusedGrowth);
                EXPECT_EQ(rig.timer.ticks, 0);
            }
            EXPECT_LE(sent, kRefusedSent) << "bytes the server got to send before the refusal";
        }
    }
}

// What the client must make of one whole exchange; the server closes after `wire`.
enum class Expect {
    Body,       // success, with `body` as the page text or the file
    Malformed,  // the response could not be read
    CutShort,   // the close cut the body short of its framing
    TooLarge,   // a picture announced past the bound, refused before its body
    Failure,    // a failure that can be told, whichever
};

struct Exchange {
    Exchange(const char* name, std::string wire, Expect expect, std::string body = "")
        : Exchange(name, std::move(wire), expect, expect, std::move(body)) {}
    Exchange(const char* name, std::string wire, Expect page, Expect image, std::string body)
        : name(name), wire(std::move(wire)), page(page), image(image), body(std::move(body)) {}
    const char* name;
    std::string wire;
    Expect page, image;
    std::string body;
};

void RunExchanges(const std::vector<Exchange>& rows) {
    for (const auto& row : rows) {
        for (const Kind kind : {Kind::Page, Kind::Image}) {
            SCOPED_TRACE(std::string(row.name) + (kind == Kind::Page ? " page" : " image"));
            LoopbackServer server([&](ServerConnection& c, int) {
                c.ReadRequest();
                c.Send(row.wire);
            });
            Rig rig;
            rig.Fetch(kind, server.Url("/x.bin"));
            EXPECT_EQ(rig.timer.ticks, 0) << "the close ends every exchange, not the time-out";
            switch (kind == Kind::Page ? row.page : row.image) {
                case Expect::Body:
                    EXPECT_TRUE(SameResult(rig.last, {}));
                    if (kind == Kind::Page) {
                        EXPECT_EQ(rig.program.SourceText, row.body);
                    } else {
                        std::string stored;
                        EXPECT_TRUE(rig.disk.ReadFile(rig.WorkFile(), stored));
                        EXPECT_EQ(stored, row.body);
                    }
                    break;
                case Expect::Malformed:
                    EXPECT_TRUE(SameResult(rig.last, Failed(FetchFailure::Malformed)));
                    break;
                case Expect::CutShort:
                    EXPECT_TRUE(SameResult(rig.last, Failed(FetchFailure::ClosedByPeer)));
                    break;
                case Expect::TooLarge:
                    EXPECT_TRUE(SameResult(rig.last,
                                           testing::PastBound(FetchFailure::TooLarge, server.Url("/x.bin"))));
                    break;
                case Expect::Failure:
                    EXPECT_TRUE(rig.FailedWithAReason()) << ::testing::PrintToString(rig.last);
                    break;
            }
            if (!rig.succeeded) {
                EXPECT_FALSE(std::filesystem::exists(rig.WorkFile())) << "no partial file";
                EXPECT_EQ(rig.program.SourceText, "");
            }
        }
    }
}

TEST(HostileHttpTest, BrokenStatusLines) {
    RunExchanges({
        {"garbage", "garbage\r\n\r\nhello", Expect::Malformed},
        {"binaryGarbage", std::string("\x00\x01\x02\xff\xfe\r\n\r\n", 9), Expect::Malformed},
        {"noSpace", "HTTP/1.1200OK\r\nContent-Length: 5\r\n\r\nhello", Expect::Malformed},
        {"noSpaceThenClose", "HTTP/1.1200OK", Expect::Malformed},
        {"wordForCode", "HTTP/1.1 OK 200\r\n\r\nhello", Expect::Malformed},
        // The first word decides, wherever it starts: empty lines before it are passed over.
        {"emptyLineFirst", "\r\nHTTP/1.1 200 OK\r\n\r\nhello", Expect::Body, "hello"},
        {"codeOverflow", "HTTP/1.1 99999999999999999999 OK\r\n\r\nhello", Expect::Failure},
        {"negativeCode", "HTTP/1.1 -200 OK\r\n\r\nhello", Expect::Failure},
        {"codeOnly", "HTTP/1.1 200\r\n\r\nhello", Expect::Body, "hello"},
        {"highBytesInReason", "HTTP/1.1 200 \xc3\x96K \xff\x80\r\nContent-Length: 5\r\n\r\nhello",
         Expect::Body, "hello"},
    });
}

TEST(HostileHttpTest, HeaderBytesAboveAscii) {
    RunExchanges({
        {"inFieldValue", "HTTP/1.1 200 OK\r\nX-Name: \xff\xfe\x80\x81\r\nContent-Length: 5\r\n\r\nhello",
         Expect::Body, "hello"},
        {"inFieldName", "HTTP/1.1 200 OK\r\n\xc3\x84\xff: 1\r\nContent-Length: 5\r\n\r\nhelloEXTRA",
         Expect::Body, "hello"},
        {"inLengthValue", "HTTP/1.1 200 OK\r\nContent-Length: 5\xff\r\n\r\nhello", Expect::Body, "hello"},
        {"lookalikeLengthName", "HTTP/1.1 200 OK\r\nContent-Lengt\xc8: 2\r\nContent-Length: 5\r\n\r\nhello",
         Expect::Body, "hello"},
        {"nulByte", "HTTP/1.1 200 OK\r\nX: a" + std::string(1, '\0') + "b\r\nContent-Length: 5\r\n\r\nhello",
         Expect::Body, "hello"},
    });
}

TEST(HostileHttpTest, LengthsThatLieOrCannotBeRead) {
    RunExchanges({
        {"shorterThanBody", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nhello", Expect::Body, "hel"},
        // An empty page has no links; an empty picture is no picture.
        {"zero", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\nhello", Expect::Body, Expect::Failure, ""},
        {"negative", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nhello", Expect::Body, "hello"},
        {"overflowing", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999999999\r\n\r\nhello",
         Expect::Body, "hello"},
        {"twoToTheSixtyFour", "HTTP/1.1 200 OK\r\nContent-Length: 18446744073709551621\r\n\r\nhello",
         Expect::Body, "hello"},
        {"hex", "HTTP/1.1 200 OK\r\nContent-Length: 0x5\r\n\r\nhello", Expect::Body, "hello"},
        {"exponent", "HTTP/1.1 200 OK\r\nContent-Length: 5e3\r\n\r\nhello", Expect::Body, "hello"},
        {"conflicting", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 9\r\n\r\nhello",
         Expect::Body, "hello"},
        // Broke: a body that the close cut short of its announced length was taken whole.
        {"longerThanBody", "HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\nhello", Expect::CutShort},
        {"hugeButFramed", "HTTP/1.1 200 OK\r\nContent-Length: 999999999999999999\r\n\r\nhello",
         Expect::CutShort, Expect::TooLarge, ""},
    });
}

TEST(HostileHttpTest, MalformedChunkSizes) {
    const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    RunExchanges({
        {"notHex", head + "zz\r\nhello\r\n0\r\n\r\n", Expect::Malformed},
        {"empty", head + "\r\nhello\r\n0\r\n\r\n", Expect::Malformed},
        {"negative", head + "-5\r\nhello\r\n0\r\n\r\n", Expect::Malformed},
        {"prefixed", head + "0x5\r\nhello\r\n0\r\n\r\n", Expect::Malformed},
        {"overflowing", head + "10000000000000005\r\nhello\r\n0\r\n\r\n", Expect::Malformed},
        {"dataLongerThanSize", head + "3\r\nhello\r\n0\r\n\r\n", Expect::Malformed},
        {"noLineEndAfterData", head + "5\r\nhelloX0\r\n\r\n", Expect::Malformed},
        {"sizeLargerThanData", head + "500\r\nhello", Expect::CutShort},
        {"hugeSize", head + "fffffffffffffff\r\nhello", Expect::CutShort},
        {"noFinalChunk", head + "5\r\nhello\r\n", Expect::CutShort},
        {"blanksAndExtension", head + "5 ;name=\"x\xff\"\r\nhello\r\n0\r\n\r\n", Expect::Body, "hello"},
        {"upperCaseHex", head + "A\r\nhellohello\r\n0\r\n\r\n", Expect::Body, "hellohello"},
    });
}

// A reset (not an orderly close) after each step of the exchange. Cut short, the fetch
// fails with one message; a reset that follows a complete body may be seen either way.
TEST(HostileHttpTest, ResetAtEveryPhase) {
    const std::string lengthHead = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n";
    const std::string chunkHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const struct {
        const char* name;
        bool readRequest;
        std::string sent;
        bool bodyComplete;
    } rows[] = {
        {"onAccept", false, "", false},
        {"afterRequest", true, "", false},
        {"inStatusLine", true, "HTTP/1.1 2", false},
        {"afterStatusLine", true, "HTTP/1.1 200 OK\r\n", false},
        {"inHeader", true, "HTTP/1.1 200 OK\r\nContent-Len", false},
        {"afterHeader", true, lengthHead, false},
        {"inBody", true, lengthHead + std::string(500, 'b'), false},
        {"inChunkSize", true, chunkHead + "1", false},
        {"inChunkData", true, chunkHead + "10\r\nabc", false},
        {"inTrailer", true, chunkHead + "3\r\nabc\r\n0\r\nX-T", false},
        {"afterWholeBody", true, lengthHead + std::string(1000, 'b'), true},
    };
    for (const auto& row : rows) {
        for (const Kind kind : {Kind::Page, Kind::Image}) {
            SCOPED_TRACE(std::string(row.name) + (kind == Kind::Page ? " page" : " image"));
            LoopbackServer server([&](ServerConnection& c, int) {
                if (row.readRequest) c.ReadRequest();
                if (!row.sent.empty()) c.Send(row.sent);
                c.Pause(20);
                c.Reset();
            });
            Rig rig;
            rig.Fetch(kind, server.Url("/r.bin"));
            EXPECT_EQ(rig.timer.ticks, 0) << "the reset ends the exchange, not the time-out";
            if (rig.succeeded) {
                EXPECT_TRUE(row.bodyComplete) << "a fetch cut short succeeded";
                EXPECT_EQ(rig.owner.questions, 0);
            } else {
                EXPECT_TRUE(rig.FailedWithAReason()) << ::testing::PrintToString(rig.last);
                EXPECT_FALSE(std::filesystem::exists(rig.WorkFile())) << "no partial file";
            }
        }
    }
}

}  // namespace
}  // namespace vexal
