// Response reading. Bytes are looked at once each: searches resume where the previous
// event left off, and body bytes go straight into the body buffer (chunk framing removed),
// so a response costs time and memory in proportion to its size.
#include "net/response.h"

#include <algorithm>

#include "text/case.h"
#include "text/number.h"

namespace vexal {
namespace {

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// A field value of digits only, as the body length is framed by; false for anything else.
bool ParseLength(std::string_view value, std::uint64_t& out) {
    value = TrimBlanks(value);
    if (value.empty() || value.size() > 18) return false;
    std::uint64_t n = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    out = n;
    return true;
}

// True when the last transfer coding of a Transfer-Encoding value is "chunked"; only
// then does chunk framing end the body.
bool EndsInChunked(std::string_view value) {
    const std::size_t comma = value.rfind(',');
    if (comma != std::string_view::npos) value = value.substr(comma + 1);
    value = TrimBlanks(value);
    const std::size_t semicolon = value.find(';');
    if (semicolon != std::string_view::npos) value = TrimBlanks(value.substr(0, semicolon));
    return value.size() == 7 && StartsWithNoCase(value, "chunked");
}

// Calls `visit(name, value)` for each field line after the status line, the name trimmed
// of blanks; lines without a colon are passed over. Stops when `visit` returns false.
template <typename Visit>
void ForEachField(std::string_view header, Visit visit) {
    std::size_t pos = header.find("\r\n");
    while (pos != std::string_view::npos && pos + 2 < header.size()) {
        const std::size_t start = pos + 2;
        const std::size_t next = header.find("\r\n", start);
        const std::string_view line = header.substr(start, next - start);
        pos = next;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        if (!visit(TrimBlanks(line.substr(0, colon)), line.substr(colon + 1))) return;
    }
}

// The value of the first field named `lowerName` (any letter case), blanks trimmed; empty
// when there is none.
std::string FieldValue(std::string_view header, std::string_view lowerName) {
    std::string found;
    ForEachField(header, [&](std::string_view name, std::string_view value) {
        if (name.size() != lowerName.size() || !StartsWithNoCase(name, lowerName)) return true;
        found = std::string(TrimBlanks(value));
        return false;
    });
    return found;
}

// The page's text as the rules read it: each non-empty line trimmed and ended with CR LF,
// the last one without an ending.
struct SourceLines {
    explicit SourceLines(std::string& out) : out(out) {}
    void End() {
        if (line.empty()) return;
        out += TrimSpaces(line);
        out += "\r\n";
        line.clear();
    }
    void Finish() {
        if (!line.empty()) out += TrimSpaces(line);
    }
    std::string& out;
    std::string line;
};

}  // namespace

void Response::Reset() {
    ResponseBytes.Clear();
    ContentLength = 0;
    HeaderLength = 0;
    HttpStatus = 0;
    Location.clear();
    ContentType.clear();
    redirect_ = 0;
    interim_ = false;
    interimBytes_ = 0;
    phase_ = Phase::Status;
    failure_ = ResponseFailure::None;
    bytesTotal_ = 0;
    statusStart_ = std::string_view::npos;
    statusScan_ = 0;
    firstSpace_ = std::string_view::npos;
    headerScan_ = 0;
    framing_ = Framing::UntilClose;
    bodyLeft_ = 0;
    noBody_ = false;
    chunk_ = Chunk::Size;
    chunkDigits_ = 0;
    bodyLimit_ = static_cast<std::uint64_t>(-1);
    bodyBytes_ = 0;
    refusedBody_ = 0;
}

bool Response::LimitBodyBytes(std::uint64_t limit) {
    bodyLimit_ = limit;
    return CountBody(0);
}

bool Response::DataArrival(std::string_view newBytes) {
    bytesTotal_ += static_cast<std::int64_t>(newBytes.size());
    switch (phase_) {
        case Phase::Rejected:
        case Phase::Failed:
            return false;
        case Phase::Done:
            return true;
        case Phase::Body:
            if (!TakeBody(newBytes)) return false;
            ShowProgress();
            return true;
        case Phase::Status:
        case Phase::Header:
            break;
    }

    // Until the header has ended, the bytes gather in the body buffer: a response whose
    // header never ends is then all body, as if it had no empty line at all.
    if (!Store(newBytes)) return false;
    return ReadHead();
}

// The status line and the header in what has gathered so far. An interim response (a 1xx
// other than 101) is passed over whole, header and all, and the final response is read
// from the bytes after it, as HTTP/1.1 asks of a client.
bool Response::ReadHead() {
    std::size_t headerSize = 0;
    while (true) {
        if (phase_ == Phase::Status && !JudgeStatus(false)) return phase_ == Phase::Status;
        const std::string_view received = ResponseBytes.view();
        // The header cannot end before its status line has begun.
        const std::size_t from = std::max(headerScan_ >= 3 ? headerScan_ - 3 : 0, statusStart_);
        const std::size_t end = received.find("\r\n\r\n", from);
        if (end == std::string_view::npos) {
            headerScan_ = received.size();
            return true;
        }
        headerSize = end + 4;
        if (!interim_) break;
        ResponseBytes.EraseFront(headerSize);
        interimBytes_ += headerSize;
        // Interim responses without end would hold the transfer without a body: as many
        // as fill the held limit are no HTTP server's.
        if (interimBytes_ > heldLimit_) return Fail(ResponseFailure::Malformed);
        interim_ = false;
        phase_ = Phase::Status;
        statusStart_ = std::string_view::npos;
        statusScan_ = 0;
        firstSpace_ = std::string_view::npos;
        headerScan_ = 0;
    }
    const std::string header(ResponseBytes.view().substr(0, headerSize));
    if (redirect_ != 0) {
        Location = FieldValue(header, "location");
        return Reject(redirect_);
    }
    HeaderLength = static_cast<std::int64_t>(interimBytes_ + headerSize);
    ResponseBytes.EraseFront(headerSize);
    ReadHeader(header);
    if (phase_ == Phase::Body && framing_ == Framing::Length && bodyLeft_ > bodyLimit_) {
        refusedBody_ = bodyLeft_;
        return Fail(ResponseFailure::TooLarge);
    }

    if (phase_ == Phase::Done) {
        ResponseBytes.Truncate(0);
    } else if (framing_ == Framing::Length) {
        const std::uint64_t have = ResponseBytes.size();
        if (have >= bodyLeft_) {
            ResponseBytes.Truncate(static_cast<std::size_t>(bodyLeft_));
            bodyLeft_ = 0;
            phase_ = Phase::Done;
        } else {
            bodyLeft_ -= have;
        }
    } else if (framing_ == Framing::Chunked) {
        const std::string rest(ResponseBytes.view());
        ResponseBytes.Truncate(0);
        if (!TakeChunked(rest)) return false;
    }
    // The body bytes that came with the header; chunks count as they are stored.
    if (framing_ != Framing::Chunked && !CountBody(ResponseBytes.size())) return false;
    ShowProgress();
    return true;
}

// The status is the number after the status line's first space. It is judged once the
// word after that space has ended (by a space or the line's end), so a status line split
// across events is never judged on a fragment of its code. Empty lines before the status
// line are passed over: the first word of the response is the protocol, wherever it starts.
bool Response::JudgeStatus(bool atEnd) {
    const std::string_view received = ResponseBytes.view();
    if (statusStart_ == std::string_view::npos) {
        statusStart_ = received.find_first_not_of("\r\n", statusScan_);
        if (statusStart_ == std::string_view::npos) {
            statusScan_ = received.size();
            if (atEnd) Fail(ResponseFailure::Malformed);
            return false;
        }
        statusScan_ = statusStart_;
    }
    if (firstSpace_ == std::string_view::npos) {
        const std::size_t space = received.find(' ', statusScan_);
        const std::size_t lineEnd = received.find_first_of("\r\n", statusScan_);
        if (lineEnd != std::string_view::npos && (space == std::string_view::npos || lineEnd < space)) {
            return Fail(ResponseFailure::Malformed);
        }
        if (space == std::string_view::npos) {
            statusScan_ = received.size();
            if (atEnd) Fail(ResponseFailure::Malformed);
            return false;
        }
        firstSpace_ = space;
        statusScan_ = space + 1;
    }
    std::size_t codeEnd = received.find_first_of(" \r\n", statusScan_);
    if (codeEnd == std::string_view::npos) {
        statusScan_ = received.size();
        if (!atEnd) return false;
        codeEnd = received.size();
    }
    const std::string_view codeText = received.substr(firstSpace_ + 1, codeEnd - firstSpace_ - 1);
    const std::int16_t code = ToInt16(ReadNumber(codeText));
    if (code == 0) {
        // No number where the code belongs: this is no HTTP response.
        return Fail(ResponseFailure::Malformed);
    }
    if (IsRedirect(code)) {
        // Read on to the end of the header, where the target is named.
        redirect_ = code;
        phase_ = Phase::Header;
        return true;
    }
    // 101 switches to another protocol, which a picture or a page never speaks.
    if (code >= 100 && code < 200 && code != 101) {
        interim_ = true;
        phase_ = Phase::Header;
        return true;
    }
    if (code < 200 || code >= 300) return Reject(code);
    HttpStatus = 0;
    // 204 never carries a body; its end is the end of the header.
    noBody_ = code == 204;
    phase_ = Phase::Header;
    return true;
}

void Response::ReadHeader(std::string_view header) {
    bodyLeft_ = 0;

    // The progress bar follows only the exact field "Content-Length: " (that letter case,
    // one blank), whatever frames the body.
    const std::size_t field = header.find("Content-Length: ");
    if (field == std::string_view::npos) {
        ContentLength = -1;
    } else {
        ContentLength = ToInt64(ReadNumber(header.substr(field + 16)));
        if (ContentLength > 0 && progress_) progress_->BodyAnnounced(ContentLength);
    }

    // Where the body ends follows the fields as any HTTP/1.1 peer writes them: names in
    // any letter case, chunked coding ahead of the length. An unreadable or disputed
    // length leaves the end to the server's close.
    bool chunked = false;
    bool haveLength = false;
    bool lengthValid = true;
    std::uint64_t length = 0;
    ForEachField(header, [&](std::string_view name, std::string_view value) {
        if (name.size() == 17 && StartsWithNoCase(name, "transfer-encoding")) {
            chunked = EndsInChunked(value);
        } else if (name.size() == 12 && StartsWithNoCase(name, "content-type")) {
            ContentType = std::string(value);
        } else if (name.size() == 14 && StartsWithNoCase(name, "content-length")) {
            std::uint64_t n = 0;
            if (!ParseLength(value, n) || (haveLength && n != length)) lengthValid = false;
            haveLength = true;
            length = n;
        }
        return true;
    });

    phase_ = Phase::Body;
    if (noBody_) {
        phase_ = Phase::Done;
    } else if (chunked) {
        framing_ = Framing::Chunked;
        chunk_ = Chunk::Size;
        chunkDigits_ = 0;
    } else if (haveLength && lengthValid) {
        framing_ = Framing::Length;
        bodyLeft_ = length;
        if (length == 0) phase_ = Phase::Done;
    } else {
        framing_ = Framing::UntilClose;
    }
}

bool Response::TakeBody(std::string_view bytes) {
    switch (framing_) {
        case Framing::UntilClose:
            return Store(bytes);
        case Framing::Length: {
            const std::size_t take =
                static_cast<std::size_t>(std::min<std::uint64_t>(bodyLeft_, bytes.size()));
            if (!Store(bytes.substr(0, take))) return false;
            bodyLeft_ -= take;
            if (bodyLeft_ == 0) phase_ = Phase::Done;
            return true;
        }
        case Framing::Chunked:
            return TakeChunked(bytes);
    }
    return true;
}

// Chunked framing: a hexadecimal size (optional blanks and ";extensions" after it), the
// line end, that many bytes, a line end; a size of 0 starts the trailer lines, which end
// at an empty line. A lone LF is accepted wherever CR LF belongs.
//
// Each step reads on from `i` through its part of the framing, as far as the bytes go,
// and returns where it stopped. A failed response leaves the body phase, which ends every
// loop.
bool Response::TakeChunked(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size() && phase_ == Phase::Body) {
        switch (chunk_) {
            case Chunk::Size:
            case Chunk::SizeBlank:
            case Chunk::Extension:
            case Chunk::SizeLf:
                i = TakeChunkSize(bytes, i);
                break;
            case Chunk::Data:
            case Chunk::DataCr:
            case Chunk::DataLf:
                i = TakeChunkData(bytes, i);
                break;
            case Chunk::Trailer:
            case Chunk::TrailerLine:
            case Chunk::TrailerLf:
                i = TakeTrailer(bytes, i);
                break;
        }
    }
    return phase_ != Phase::Failed;
}

// The size line: digits, then blanks, an extension or the line end, after which come the
// chunk's bytes, or the trailer after a size of 0.
std::size_t Response::TakeChunkSize(std::string_view bytes, std::size_t i) {
    while (i < bytes.size() && phase_ == Phase::Body) {
        const char c = bytes[i];
        switch (chunk_) {
            case Chunk::Size: {
                const int digit = HexDigitValue(c);
                if (digit >= 0) {
                    if (++chunkDigits_ > 15) return MalformedAt(i);
                    bodyLeft_ = bodyLeft_ * 16 + static_cast<unsigned>(digit);
                    ++i;
                    continue;
                }
                if (chunkDigits_ == 0) return MalformedAt(i);
                if (c == ' ' || c == '\t') {
                    chunk_ = Chunk::SizeBlank;
                } else if (c == ';') {
                    chunk_ = Chunk::Extension;
                } else if (c == '\r') {
                    chunk_ = Chunk::SizeLf;
                } else if (c == '\n') {
                    chunk_ = AfterSizeLine();
                } else {
                    return MalformedAt(i);
                }
                ++i;
                continue;
            }
            case Chunk::SizeBlank:
                if (c == ';') {
                    chunk_ = Chunk::Extension;
                } else if (c == '\r') {
                    chunk_ = Chunk::SizeLf;
                } else if (c == '\n') {
                    chunk_ = AfterSizeLine();
                } else if (c != ' ' && c != '\t') {
                    return MalformedAt(i);
                }
                ++i;
                continue;
            case Chunk::Extension: {
                const std::size_t lf = bytes.find('\n', i);
                if (lf == std::string_view::npos) return bytes.size();
                chunk_ = AfterSizeLine();
                return lf + 1;
            }
            case Chunk::SizeLf:
                if (c != '\n') return MalformedAt(i);
                chunk_ = AfterSizeLine();
                return i + 1;
            default:
                return i;  // the line has ended
        }
    }
    return i;
}

// The chunk's bytes, straight into the body, and the line end after them.
std::size_t Response::TakeChunkData(std::string_view bytes, std::size_t i) {
    while (i < bytes.size() && phase_ == Phase::Body) {
        const char c = bytes[i];
        switch (chunk_) {
            case Chunk::Data: {
                const std::size_t take =
                    static_cast<std::size_t>(std::min<std::uint64_t>(bodyLeft_, bytes.size() - i));
                if (!Store(bytes.substr(i, take))) return i;
                bodyLeft_ -= take;
                i += take;
                if (bodyLeft_ == 0) chunk_ = Chunk::DataCr;
                continue;
            }
            case Chunk::DataCr:
                if (c == '\r') {
                    chunk_ = Chunk::DataLf;
                    ++i;
                    continue;
                }
                if (c != '\n') return MalformedAt(i);
                break;
            case Chunk::DataLf:
                if (c != '\n') return MalformedAt(i);
                break;
            default:
                return i;
        }
        // The line end after the bytes: the next size line follows.
        chunk_ = Chunk::Size;
        chunkDigits_ = 0;
        return i + 1;
    }
    return i;
}

// The trailer lines after the last chunk, up to the empty line that ends the body.
std::size_t Response::TakeTrailer(std::string_view bytes, std::size_t i) {
    while (i < bytes.size() && phase_ == Phase::Body) {
        const char c = bytes[i];
        switch (chunk_) {
            case Chunk::Trailer:
                if (c == '\n') {
                    phase_ = Phase::Done;
                } else {
                    chunk_ = c == '\r' ? Chunk::TrailerLf : Chunk::TrailerLine;
                }
                ++i;
                continue;
            case Chunk::TrailerLf:
                if (c == '\n') {
                    phase_ = Phase::Done;
                    ++i;
                } else {
                    chunk_ = Chunk::TrailerLine;
                }
                continue;
            case Chunk::TrailerLine: {
                const std::size_t lf = bytes.find('\n', i);
                if (lf == std::string_view::npos) return bytes.size();
                chunk_ = Chunk::Trailer;
                i = lf + 1;
                continue;
            }
            default:
                return i;
        }
    }
    return i;
}

bool Response::Store(std::string_view bytes) {
    if (phase_ == Phase::Body && !CountBody(bytes.size())) return false;
    if (bytes.size() > heldLimit_ - std::min(heldLimit_, ResponseBytes.size()))
        return Fail(ResponseFailure::OutOfMemory);
    if (ResponseBytes.Append(bytes)) return true;
    return Fail(ResponseFailure::OutOfMemory);
}

bool Response::CountBody(std::uint64_t bytes) {
    if (bytes > bodyLimit_ || bodyBytes_ > bodyLimit_ - bytes) {
        refusedBody_ = bodyBytes_ + bytes;
        return Fail(ResponseFailure::TooLarge);
    }
    bodyBytes_ += bytes;
    return true;
}

bool Response::Reject(std::int16_t status) {
    HttpStatus = status;
    phase_ = Phase::Rejected;
    ResponseBytes.Release();
    return false;
}

bool Response::Fail(ResponseFailure failure) {
    failure_ = failure;
    phase_ = Phase::Failed;
    // Whatever arrived must never be taken for a body.
    ResponseBytes.Release();
    return false;
}

void Response::ShowProgress() {
    if (!progress_) return;
    // Without an announced length the count is what came after the header, chunk framing
    // and all: enough to show that the transfer is moving.
    const std::int64_t body = std::max<std::int64_t>(bytesTotal_ - HeaderLength, 0);
    progress_->BodyReceived(ContentLength > 0 ? std::min(body, ContentLength) : body);
}

void Response::ConnectionClosed() {
    if (phase_ == Phase::Status) {
        if (bytesTotal_ == 0) {
            phase_ = Phase::Done;  // nothing at all arrived: an empty body
            return;
        }
        if (!JudgeStatus(true)) return;
    }
    // An interim response is never the answer: a close before the final one leaves none.
    if (phase_ == Phase::Header && interim_) {
        Fail(ResponseFailure::Malformed);
        return;
    }
    // A redirect whose header the close cut short names no target: it is rejected for its
    // status alone.
    if (phase_ == Phase::Header && redirect_ != 0) {
        Reject(redirect_);
        return;
    }
    if (phase_ == Phase::Header) phase_ = Phase::Done;
    // The close is the end of a body that has no framing; a framed body cut short by it
    // stays incomplete.
    if (phase_ == Phase::Body && framing_ == Framing::UntilClose) phase_ = Phase::Done;
}

void Response::StripResponseHeader() {
    if (phase_ == Phase::Status || phase_ == Phase::Header) ConnectionClosed();
}

void ResponseToSourceText(std::string_view body, std::string& sourceText) {
    sourceText.reserve(sourceText.size() + body.size());
    SourceLines lines(sourceText);
    const char* p = body.data();
    const char* const end = p + body.size();
    while (p < end) {
        // Printable runs are copied whole; only the bytes between them are looked at singly.
        const char* run = p;
        while (p < end && static_cast<unsigned char>(*p) >= 32 && static_cast<unsigned char>(*p) <= 127) ++p;
        if (p > run) lines.line.append(run, static_cast<std::size_t>(p - run));
        if (p == end) break;
        if (*p == '\n' || *p == '\r') lines.End();
        ++p;
    }
    lines.Finish();
}

PageEncoding DecodedResponseToSourceText(std::string_view body, std::string_view contentType,
                                         std::string& sourceText) {
    const PageEncoding encoding = PageEncodingOf(body, contentType);
    const std::string text = DecodePage(body, encoding);
    sourceText.reserve(sourceText.size() + text.size());
    SourceLines lines(sourceText);
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 32 && c != 127) {
            lines.line.push_back(ch);
        } else if (c == '\n' || c == '\r') {
            lines.End();
        }
    }
    lines.Finish();
    return encoding;
}

}  // namespace vexal
