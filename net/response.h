// Reading an HTTP response as it arrives: the status judgement, the announced length for
// the progress bar, the end of the body, and the body itself. Fed with the bytes of each
// data-arrival event once, so its cost is linear in the size of the response.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "net/byte_buffer.h"
#include "text/page_encoding.h"

namespace vexal {

// What a response reports about its body as it arrives, so a caller can show progress
// without the reader knowing how it is shown.
class ResponseProgress {
public:
    virtual ~ResponseProgress() = default;
    // The header announced a body of `length` bytes (only reported when above 0).
    virtual void BodyAnnounced(std::int64_t length) = 0;
    // Body bytes received so far, never above the announced length; without one, all that
    // came after the header.
    virtual void BodyReceived(std::int64_t bytes) = 0;
};

enum class ResponseFailure : std::uint8_t {
    None,
    Malformed,    // a chunk size or a status line that cannot be read
    OutOfMemory,  // the body did not fit into memory
    TooLarge,     // the body passed the limit set by LimitBodyBytes, or its length announced more
};

class Response {
public:
    // `progress` (may be null) hears of the announced length and of the body bytes
    // received so far.
    explicit Response(ResponseProgress* progress = nullptr) : progress_(progress) {}

    // Forgets everything, the body included: a new fetch or a new connection starts here.
    void Reset();

    // One data-arrival event carrying the bytes that arrived since the previous event.
    // False once the response is rejected (its status) or failed (its framing): the
    // caller closes the connection.
    bool DataArrival(std::string_view newBytes);

    // The server closed the connection: whatever is still pending is judged now (a status
    // line that ended with the data, a header that never ended).
    void ConnectionClosed();

    // Leaves the body alone in ResponseBytes. The body is kept apart from the header as
    // it arrives, so only a header that never ended needs work: then, as without an empty
    // line, every byte received counts as the body.
    void StripResponseHeader();

    // The body is all there: its announced length or its final chunk has arrived, its
    // status has no body, or the close ended a body without framing.
    bool Complete() const { return phase_ == Phase::Done; }
    ResponseFailure Failure() const { return failure_; }
    // The header has ended and was accepted: ResponseBytes holds body bytes only, which a
    // reader may take away (and Clear) as they come.
    bool InBody() const { return phase_ == Phase::Body || phase_ == Phase::Done; }
    // Every byte received on the connection, header included.
    std::int64_t BytesTotal() const { return bytesTotal_; }
    // The most ResponseBytes may hold at once; a response that needs more fails as out of
    // memory. A reader that takes the body away as it comes meets it only with a header
    // that never ends. Kept across Reset.
    void LimitHeldBytes(std::size_t limit) { heldLimit_ = limit; }
    // The most body bytes the response may bring in all, held or taken away: a body whose
    // length announces more is refused as its header ends, before any of it is kept, and
    // one without a length as soon as it passes the limit. It may change while the body
    // arrives; false, failing the response, when more than the new limit has arrived
    // already. Reset lifts it.
    bool LimitBodyBytes(std::uint64_t limit);
    // With TooLarge, the size that passed the limit: the announced length, or the body
    // bytes that had arrived with the event that passed it; 0 otherwise.
    std::uint64_t RefusedBodyBytes() const { return refusedBody_; }

    // The received body, chunk framing removed. Before the header has ended (and after
    // StripResponseHeader when it never did), every byte received.
    ByteBuffer ResponseBytes;
    // 0 while the header has not been read; -1 when it carries no "Content-Length: ";
    // otherwise the announced body length, which drives the progress bar.
    std::int64_t ContentLength = 0;
    // Bytes of the header through its empty line, interim responses before it included; 0
    // while the header has not ended.
    std::int64_t HeaderLength = 0;
    // The status code of a rejected response (outside 200 to 299); 0 otherwise.
    std::int16_t HttpStatus = 0;
    // The "Location" field of a redirect (301, 302, 303, 307, 308), blanks trimmed; empty
    // when there is none. A redirect is judged once its header has ended, so that the
    // field can be read; HttpStatus stays 0 until then.
    std::string Location;
    // The "Content-Type" field as it stands, for the charset a page declares there.
    std::string ContentType;

    static bool IsRedirect(std::int16_t status) {
        return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    }

private:
    enum class Phase : std::uint8_t { Status, Header, Body, Done, Rejected, Failed };
    enum class Framing : std::uint8_t { UntilClose, Length, Chunked };
    enum class Chunk : std::uint8_t {
        Size,
        SizeBlank,
        Extension,
        SizeLf,
        Data,
        DataCr,
        DataLf,
        Trailer,
        TrailerLine,
        TrailerLf
    };

    bool ReadHead();
    bool JudgeStatus(bool atEnd);
    void ReadHeader(std::string_view header);
    bool TakeBody(std::string_view bytes);
    bool TakeChunked(std::string_view bytes);
    std::size_t TakeChunkSize(std::string_view bytes, std::size_t i);
    std::size_t TakeChunkData(std::string_view bytes, std::size_t i);
    std::size_t TakeTrailer(std::string_view bytes, std::size_t i);
    // What follows a size line: the chunk's bytes, or the trailer after a size of 0.
    Chunk AfterSizeLine() const { return bodyLeft_ == 0 ? Chunk::Trailer : Chunk::Data; }
    bool Store(std::string_view bytes);
    bool CountBody(std::uint64_t bytes);  // false, failing as too large, past the body limit
    bool Reject(std::int16_t status);     // always false
    bool Fail(ResponseFailure failure);   // always false
    // Fails the response as malformed and returns `i`, for the framing steps.
    std::size_t MalformedAt(std::size_t i) {
        Fail(ResponseFailure::Malformed);
        return i;
    }
    void ShowProgress();

    ResponseProgress* progress_;
    std::size_t heldLimit_ = static_cast<std::size_t>(-1);
    std::uint64_t bodyLimit_ = static_cast<std::uint64_t>(-1);
    std::uint64_t bodyBytes_ = 0;    // body bytes received, framing removed
    std::uint64_t refusedBody_ = 0;  // see RefusedBodyBytes
    Phase phase_ = Phase::Status;
    ResponseFailure failure_ = ResponseFailure::None;
    std::int64_t bytesTotal_ = 0;
    std::size_t statusStart_ = std::string_view::npos;  // the status line's first byte, after empty lines
    std::size_t statusScan_ = 0;  // where the search for the status line's spaces resumes
    std::size_t firstSpace_ = std::string_view::npos;
    std::size_t headerScan_ = 0;  // where the search for the empty line resumes
    Framing framing_ = Framing::UntilClose;
    std::uint64_t bodyLeft_ = 0;    // Length: bytes still to come; Chunked: of this chunk
    bool noBody_ = false;           // the status says there is no body
    std::int16_t redirect_ = 0;     // a redirect status whose header is still being read
    bool interim_ = false;          // the header being read is an interim (1xx) response's
    std::size_t interimBytes_ = 0;  // interim responses passed over before the final one
    Chunk chunk_ = Chunk::Size;
    int chunkDigits_ = 0;
};

// Appends the printable ASCII lines of a page body to `sourceText`: bytes 32 to 127 are
// kept, CR and LF end a non-empty line (trimmed of spaces, then CR LF), every other byte
// is dropped; a last unterminated line is appended trimmed, without CR LF.
void ResponseToSourceText(std::string_view body, std::string& sourceText);

// The same for a page read with its own characters: decoded by the charset `contentType`
// or the page declares (else as UTF-8 when well formed, else as code page 932) into
// UTF-8, every character from the blank up kept, DEL and the other control characters
// dropped. Returns the encoding it was read in.
PageEncoding DecodedResponseToSourceText(std::string_view body, std::string_view contentType,
                                         std::string& sourceText);

}  // namespace vexal
