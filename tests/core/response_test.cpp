// Response reading: status judgement, progress, framing of the body, source text.
#include "net/response.h"

#include <gtest/gtest.h>

#include <vector>

namespace vexal {
namespace {

// Records the progress a response reports as the range and values of a bar.
class RecordingProgress final : public ResponseProgress {
public:
    std::vector<std::pair<double, double>> ranges;
    std::vector<double> values;
    void BodyAnnounced(std::int64_t length) override {
        ranges.emplace_back(0.0, static_cast<double>(length));
    }
    void BodyReceived(std::int64_t bytes) override { values.push_back(static_cast<double>(bytes)); }
};

// Feeds `response` in pieces ending at `cuts` (offsets into it), then the rest.
struct Fed {
    bool kept = true;
    bool complete = false;
    std::string body;
    std::int16_t status = 0;
    ResponseFailure failure = ResponseFailure::None;
    std::uint64_t refused = 0;
};

Fed Feed(std::string_view response, const std::vector<std::size_t>& cuts, bool close,
         std::uint64_t bodyLimit = ~std::uint64_t{0}) {
    Response r;
    r.LimitBodyBytes(bodyLimit);
    Fed fed;
    std::size_t at = 0;
    std::vector<std::size_t> ends = cuts;
    ends.push_back(response.size());
    for (std::size_t end : ends) {
        if (end < at) continue;
        fed.kept = r.DataArrival(response.substr(at, end - at)) && fed.kept;
        at = end;
    }
    if (close) r.ConnectionClosed();
    r.StripResponseHeader();
    fed.complete = r.Complete();
    fed.body = std::string(r.ResponseBytes.view());
    fed.status = r.HttpStatus;
    fed.failure = r.Failure();
    fed.refused = r.RefusedBodyBytes();
    return fed;
}

std::string Header200(std::size_t contentLength) {
    std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(contentLength) + "\r\nX-Pad: ";
    head += std::string(200 - head.size() - 4, 'p');
    head += "\r\n\r\n";
    return head;
}

TEST(ResponseTest, ProgressFollowsTheAnnouncedLength) {
    RecordingProgress progress;
    Response r(&progress);
    const std::string head = Header200(5000);
    ASSERT_EQ(head.size(), 200u);
    const std::string body(5000, 'b');
    const std::string all = head + body;

    EXPECT_TRUE(r.DataArrival(std::string_view(all).substr(0, 3000)));
    EXPECT_EQ(r.HttpStatus, 0);
    EXPECT_EQ(r.HeaderLength, 200);
    EXPECT_EQ(r.ContentLength, 5000);
    ASSERT_EQ(progress.ranges.size(), 1u);
    EXPECT_EQ(progress.ranges[0], std::make_pair(0.0, 5000.0));
    EXPECT_EQ(progress.values.back(), 2800);

    EXPECT_TRUE(r.DataArrival(std::string_view(all).substr(3000, 1999)));
    EXPECT_EQ(progress.values.back(), 4799);
    EXPECT_FALSE(r.Complete());

    EXPECT_TRUE(r.DataArrival(std::string_view(all).substr(4999, 1)));
    EXPECT_EQ(progress.values.back(), 4800);
    EXPECT_FALSE(r.Complete()) << "5000 bytes received, header included, is not the whole body";

    EXPECT_TRUE(r.DataArrival(std::string_view(all).substr(5000)));
    EXPECT_EQ(progress.values.back(), 5000);
    EXPECT_TRUE(r.Complete());
    EXPECT_EQ(r.ResponseBytes.view(), body);
    EXPECT_EQ(r.BytesTotal(), 5200);
}

TEST(ResponseTest, StatusAndFraming) {
    struct Row {
        const char* name;
        std::string response;
        bool close;
        bool complete;
        std::string body;
        std::int16_t status;
        ResponseFailure failure;
    };
    const auto ok = ResponseFailure::None;
    const auto bad = ResponseFailure::Malformed;
    const Row rows[] = {
        {"length", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc", false, true, "abc", 0, ok},
        {"lengthFieldLowerCase", "HTTP/1.1 200 OK\r\ncontent-length: 3\r\n\r\nabc", false, true, "abc", 0,
         ok},
        {"lengthWithBlanks", "HTTP/1.1 200 OK\r\nContent-Length:\t 3 \r\n\r\nabc", false, true, "abc", 0, ok},
        {"moreThanAnnounced", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdef", false, true, "abc", 0,
         ok},
        {"lengthZero", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false, true, "", 0, ok},
        {"noLengthWaitsForClose", "HTTP/1.1 200 OK\r\n\r\nabc", false, false, "abc", 0, ok},
        {"noLengthClosed", "HTTP/1.0 200 OK\r\n\r\nabc\r\n", true, true, "abc\r\n", 0, ok},
        {"unreadableLengthWaitsForClose", "HTTP/1.1 200 OK\r\nContent-Length: 3x\r\n\r\nabcd", true, true,
         "abcd", 0, ok},
        {"disputedLengthWaitsForClose",
         "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", true, true, "abcd", 0, ok},
        {"noContent", "HTTP/1.1 204 No Content\r\n\r\n", false, true, "", 0, ok},
        {"notFound", "HTTP/1.1 404 Not Found\r\nContent-Length: 5\r\n\r\nnope!", false, false, "", 404, ok},
        {"redirect", "HTTP/1.0 302 Moved Temporarily\r\nLocation: http://x/\r\n\r\n", false, false, "", 302,
         ok},
        {"serverError", "HTTP/1.1 500 Internal Server Error\r\n\r\n", false, false, "", 500, ok},
        // Regression: an interim response before the final one used to fail the fetch.
        {"continueThenOk", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
         false, true, "ok", 0, ok},
        {"earlyHintsTwiceThenNotFound",
         "HTTP/1.1 103 Early Hints\r\nLink: </a.css>\r\n\r\nHTTP/1.1 103 \r\n\r\nHTTP/1.1 404 No\r\n\r\n",
         false, false, "", 404, ok},
        {"interimThenRedirect", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 302 F\r\nLocation: /b\r\n\r\n", false,
         false, "", 302, ok},
        {"switchingProtocolsIsRejected", "HTTP/1.1 101 Switching Protocols\r\n\r\n", false, false, "", 101,
         ok},
        {"onlyInterimThenClose", "HTTP/1.1 100 Continue\r\n\r\n", true, false, "", 0, bad},
        {"interimCutByClose", "HTTP/1.1 100 Continue\r\nX: y", true, false, "", 0, bad},
        {"statusWithoutReason", "HTTP/1.1 200\r\nContent-Length: 1\r\n\r\nz", false, true, "z", 0, ok},
        {"statusCutByClose", "HTTP/1.1 404", true, false, "", 404, ok},
        {"noCode", "HTTP/1.1 OK\r\n\r\n", false, false, "", 0, bad},
        {"noSpace", "garbage\r\n\r\n", false, false, "", 0, bad},
        {"nothingAtAll", "", true, true, "", 0, ok},
        // Regression: a status line after empty lines used to be refused as no response.
        {"emptyLinesBeforeStatus", "\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc", false, true,
         "abc", 0, ok},
        {"emptyLineBeforeNotFound", "\r\nHTTP/1.1 404 Not Found\r\n\r\n", false, false, "", 404, ok},
        {"lineFeedBeforeStatus", "\nHTTP/1.0 200 OK\r\n\r\nx", true, true, "x", 0, ok},
        {"onlyEmptyLines", "\r\n\r\n", true, false, "", 0, bad},
        // Without an empty line the whole response counts as the body.
        {"headerNeverEnds", "HTTP/1.0 200 OK\nContent-Type: text/html\n\n<a>", true, true,
         "HTTP/1.0 200 OK\nContent-Type: text/html\n\n<a>", 0, ok},
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n",
         false, true, "abcde", 0, ok},
        {"chunkedAnyCase", "HTTP/1.1 200 OK\r\nTRANSFER-encoding: Chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n", false,
         true, "x", 0, ok},
        {"chunkedHexSizes",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nA\r\n0123456789\r\n0\r\n\r\n", false, true,
         "0123456789", 0, ok},
        {"chunkExtensionsAndTrailers",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3;name=\"v\"\r\nabc\r\n2 ; x\r\nde\r\n0\r\n"
         "Expires: never\r\nX-T: 1\r\n\r\n",
         false, true, "abcde", 0, ok},
        {"chunkedLoneLineFeeds", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\nabc\n0\n\n", false,
         true, "abc", 0, ok},
        {"chunkedBeatsLength",
         "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nq\r\n0\r\n\r\n",
         false, true, "q", 0, ok},
        {"gzipThenChunked",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n2\r\n\x1f\x8b\r\n0\r\n\r\n", false, true,
         "\x1f\x8b", 0, ok},
        {"chunkedNotLastWaitsForClose", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, gzip\r\n\r\n1\r\nx",
         true, true, "1\r\nx", 0, ok},
        {"chunkedCutByClose", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n5\r\nde",
         true, false, "abcde", 0, ok},
        {"chunkSizeNotHex", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n",
         false, false, "", 0, bad},
        {"chunkSizeMissing", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n\r\nabc\r\n0\r\n\r\n",
         false, false, "", 0, bad},
        {"chunkSizeOverflows",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10000000000000000\r\nabc\r\n0\r\n\r\n", false,
         false, "", 0, bad},
        {"chunkDataTooLong", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n0\r\n\r\n",
         false, false, "", 0, bad},
        {"chunkSizeThenGarbage",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3x\r\nabc\r\n0\r\n\r\n", false, false, "", 0,
         bad},
        {"chunkSizeBlankThenGarbage",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3 x\r\nabc\r\n0\r\n\r\n", false, false, "", 0,
         bad},
        {"chunkSizeCrWithoutLf", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\rabc\r\n0\r\n\r\n",
         false, false, "", 0, bad},
        {"chunkDataCrWithoutLf", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r0\r\n\r\n",
         false, false, "", 0, bad},
        {"chunkSizeOfFifteenDigits",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n000000000000003\r\nabc\r\n0\r\n\r\n", false,
         true, "abc", 0, ok},
        {"chunkSizeOfSixteenDigits",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0000000000000003\r\nabc\r\n0\r\n\r\n", false,
         false, "", 0, bad},
        {"bytesAfterTheLastChunkAreIgnored",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\n\r\nextra", false, true, "x", 0,
         ok},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Fed fed = Feed(row.response, {}, row.close);
        EXPECT_EQ(fed.complete, row.complete);
        EXPECT_EQ(fed.body, row.body);
        EXPECT_EQ(fed.status, row.status);
        EXPECT_EQ(fed.failure, row.failure);
        if (!row.close) {
            EXPECT_EQ(fed.kept, row.status == 0 && row.failure == ok);
        }

        // However the bytes are cut into events, the outcome is the same.
        for (std::size_t cut = 1; cut < row.response.size(); ++cut) {
            const Fed two = Feed(row.response, {cut}, row.close);
            ASSERT_EQ(two.body, fed.body) << "cut at " << cut;
            ASSERT_EQ(two.complete, fed.complete) << "cut at " << cut;
            ASSERT_EQ(two.status, fed.status) << "cut at " << cut;
            ASSERT_EQ(two.failure, fed.failure) << "cut at " << cut;
        }
        std::vector<std::size_t> everyByte;
        for (std::size_t i = 1; i < row.response.size(); ++i) everyByte.push_back(i);
        const Fed bytewise = Feed(row.response, everyByte, row.close);
        EXPECT_EQ(bytewise.body, fed.body);
        EXPECT_EQ(bytewise.complete, fed.complete);
    }
}

// A body of 6 bytes against a limit of 5, and one of 5, wherever the events are cut: an
// announced length is refused before any of the body is kept, another body once it passes.
TEST(ResponseTest, BodyLimit) {
    const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n";
    const struct {
        const char* name;
        std::string past, fits;
    } rows[] = {
        {"length", "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nabcdef",
         "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nabcde"},
        {"untilClose", "HTTP/1.0 200 OK\r\n\r\nabcdef", "HTTP/1.0 200 OK\r\n\r\nabcde"},
        {"chunked", chunked + "3\r\ndef\r\n0\r\n\r\n", chunked + "2\r\nde\r\n0\r\n\r\n"},
    };
    for (const auto& row : rows) {
        for (std::size_t cut = 0; cut <= row.past.size(); ++cut) {
            SCOPED_TRACE(std::string(row.name) + " cut at " + std::to_string(cut));
            const Fed past = Feed(row.past, {cut}, true, 5);
            ASSERT_EQ(past.failure, ResponseFailure::TooLarge);
            ASSERT_EQ(past.refused, 6u);
            ASSERT_EQ(past.body, "");
            const Fed fits = Feed(row.fits, {cut}, true, 5);
            ASSERT_TRUE(fits.complete);
            ASSERT_EQ(fits.body, "abcde");
        }
    }
    // Lowered below what has arrived, it fails the response at once.
    Response r;
    r.DataArrival("HTTP/1.0 200 OK\r\n\r\nabcdef");
    EXPECT_TRUE(r.LimitBodyBytes(6));
    EXPECT_FALSE(r.LimitBodyBytes(5));
    EXPECT_EQ(r.Failure(), ResponseFailure::TooLarge);
}

TEST(ResponseTest, HeaderSplitAcrossEventsIsReadWhole) {
    RecordingProgress progress;
    Response r(&progress);
    EXPECT_TRUE(r.DataArrival("HTTP/1.1 2"));
    EXPECT_EQ(r.HttpStatus, 0);
    EXPECT_EQ(r.ContentLength, 0) << "header not read yet";
    EXPECT_TRUE(r.DataArrival("00 OK\r\nContent-Le"));
    EXPECT_EQ(r.ContentLength, 0);
    EXPECT_TRUE(progress.ranges.empty());
    EXPECT_TRUE(r.DataArrival("ngth: 4\r\n\r\nab"));
    EXPECT_EQ(r.ContentLength, 4);
    EXPECT_EQ(r.HeaderLength, 38);
    EXPECT_EQ(progress.values.back(), 2);
    EXPECT_FALSE(r.Complete());
    EXPECT_TRUE(r.DataArrival("cd"));
    EXPECT_TRUE(r.Complete());
    EXPECT_EQ(r.ResponseBytes.view(), "abcd");
}

TEST(ResponseTest, ProgressOnlyForTheExactFieldName) {
    for (const char* field : {"content-length: 4", "Content-length: 4", "Content-Length:4"}) {
        RecordingProgress progress;
        Response r(&progress);
        r.DataArrival(std::string("HTTP/1.1 200 OK\r\n") + field + "\r\n\r\nabcd");
        EXPECT_EQ(r.ContentLength, -1) << field;
        EXPECT_TRUE(progress.ranges.empty()) << field;
        // The count still arrives, without a length to show a share of.
        EXPECT_EQ(progress.values, std::vector<double>{4}) << field;
        EXPECT_TRUE(r.Complete()) << field << ": the body's end is still recognised";
    }
}

TEST(ResponseTest, ProgressNeverPassesTheMaximum) {
    RecordingProgress progress;
    Response r(&progress);
    // Announces 2 bytes for the progress bar but frames the body by chunks.
    r.DataArrival("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nabcde\r\n");
    ASSERT_FALSE(progress.values.empty());
    for (double v : progress.values) EXPECT_LE(v, 2);
}

// Broke: a fetch that stored nothing handed on the previous fetch's body.
TEST(ResponseTest, ResetForgetsThePreviousBody) {
    Response r;
    r.DataArrival("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nold");
    ASSERT_EQ(r.ResponseBytes.view(), "old");
    r.Reset();
    EXPECT_TRUE(r.ResponseBytes.empty());
    r.DataArrival("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    EXPECT_TRUE(r.Complete());
    EXPECT_TRUE(r.ResponseBytes.empty());
    r.Reset();
    r.ConnectionClosed();
    EXPECT_TRUE(r.ResponseBytes.empty());
}

// Broke: chunk-size lines were stored inside image bodies.
TEST(ResponseTest, LargeChunkedBodyInSmallEvents) {
    std::string body;
    for (int i = 0; i < 70000; ++i) body.push_back(static_cast<char>(i * 7));
    std::string wire = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (std::size_t at = 0; at < body.size(); at += 4093) {
        const std::size_t n = std::min<std::size_t>(4093, body.size() - at);
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", n);
        wire += size;
        wire.append(body, at, n);
        wire += "\r\n";
    }
    wire += "0\r\n\r\n";
    Response r;
    for (std::size_t at = 0; at < wire.size(); at += 997)
        r.DataArrival(std::string_view(wire).substr(at, 997));
    EXPECT_TRUE(r.Complete());
    EXPECT_EQ(r.ResponseBytes.view(), body);
}

// Each body read both ways: as printable ASCII (every entry without the page's own
// picture rule), and with its own characters by its charset.
TEST(ResponseToSourceTextTest, Lines) {
    const struct {
        const char* name;
        std::string body;
        const char* text;
        const char* decoded = nullptr;  // null: as `text`
        const char* contentType = "";
        PageEncoding encoding = PageEncoding::Utf8;
    } rows[] = {
        {"linesTrimmedEmptyLinesSkipped", "x\r\n\r\n  y  \r\nz", "x\r\ny\r\nz"},
        {"lineOfSpacesIsAnEmptyLine", "a\r\n   \r\nb\r\n", "a\r\n\r\nb\r\n"},
        {"tabVanishesWithoutSpace", "a\tb", "ab"},
        {"nonAsciiDropped", "<a href=\"\xe7\x94\xbb.jpg\">", "<a href=\".jpg\">", "<a href=\"画.jpg\">"},
        {"deleteIsKeptOnlyInTheOldReading",
         "a\x7f\x01"
         "b",
         "a\x7f"
         "b",
         "ab"},
        {"loneCrAndLf", "a\rb\nc", "a\r\nb\r\nc"},
        {"chunkSizeLinesAreNotSeenHere", "3\r\nabc\r\n", "3\r\nabc\r\n"},
        {"empty", "", ""},
        {"shiftJisByItsBytes", "<img src=\"\x89\xe6\x91\x9c/\x8d\xf7.jpg\">", "<img src=\"/.jpg\">",
         "<img src=\"画像/桜.jpg\">", "", PageEncoding::ShiftJis},
        {"eucJpByItsMeta", "<meta charset=\"EUC-JP\"><img src=\"\xb2\xe8\xc1\xfc\x8e\xb1.jpg\">",
         "<meta charset=\"EUC-JP\"><img src=\".jpg\">", "<meta charset=\"EUC-JP\"><img src=\"画像ｱ.jpg\">",
         "", PageEncoding::EucJp},
        {"contentTypeBeforeMeta",
         "<meta http-equiv=Content-Type content='text/html; charset=Shift_JIS'>\xe7\x94\xbb",
         "<meta http-equiv=Content-Type content='text/html; charset=Shift_JIS'>",
         "<meta http-equiv=Content-Type content='text/html; charset=Shift_JIS'>画",
         "text/html; charset=\"UTF-8\""},
        {"byteOrderMarkBeforeEverything", "\xEF\xBB\xBF\xe7\x94\xbb", "", "画",
         "text/html; charset=shift_jis"},
        {"unknownCharsetGoesByTheBytes", "<meta charset=koi8-r>\x89\xe6", "<meta charset=koi8-r>",
         "<meta charset=koi8-r>画", "", PageEncoding::ShiftJis},
        {"latin1", "<meta charset=iso-8859-1>caf\xe9 \x80", "<meta charset=iso-8859-1>caf",
         "<meta charset=iso-8859-1>café €", "", PageEncoding::Windows1252},
        {"bytesShiftJisDoesNotMapAreMarked", "<meta charset=sjis>a\x85@", "<meta charset=sjis>a@",
         "<meta charset=sjis>a\xEF\xBF\xBD@", "", PageEncoding::ShiftJis},
    };
    for (const auto& row : rows) {
        std::string text;
        ResponseToSourceText(row.body, text);
        EXPECT_EQ(text, row.text) << row.name;
        std::string decoded;
        EXPECT_EQ(DecodedResponseToSourceText(row.body, row.contentType, decoded), row.encoding) << row.name;
        EXPECT_EQ(decoded, row.decoded ? row.decoded : row.text) << row.name;
    }
}

TEST(ResponseToSourceTextTest, AppendsToWhatIsThere) {
    std::string text = "before\r\n";
    ResponseToSourceText("after", text);
    EXPECT_EQ(text, "before\r\nafter");
}

}  // namespace
}  // namespace vexal
