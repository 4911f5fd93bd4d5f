// What a retrieval that failed reports: the kind of failure with what its message names.
// The front end puts it into words; the retrieval never does.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/file_system.h"
#include "host/image_decoder.h"
#include "net/transfer.h"

namespace vexal {

enum class RetrievalFailure : std::uint8_t {
    None,
    Fetch,                // a fetch failed: `fetch` says why
    SourceMissing,        // the entry's local file `subject` is not there
    SourceUnreadable,     // the entry's local file `subject` could not be read
    SourceTooLarge,       // the entry's local file `subject` holds more than kLocalTextBound bytes
    NoMatch,              // no candidate at all; for a folder, `unreadable` and `unchecked` say what it held
    FolderMissing,        // the entry's folder `subject` is not there
    FolderUnreadable,     // the entry's folder `subject` could not be listed
    NthBeyondCount,       // the `wanted`-th candidate was asked for, and there are `count`
    NothingContaining,    // no candidate's name holds `subject`
    NothingNamed,         // no picture is named (an index below 1, an unknown mode, no image)
    ImageMissing,         // the local picture `subject` is not there
    ImageNotCopied,       // the picture `subject` could not be copied to the working file `target`
    PictureRefused,       // the picture `subject` is no picture we can use: `decode` says why
    PngUnreadable,        // the PNG working file could not be read
    PngNotConverted,      // its bitmap could not be written
    Cancelled,            // the user pressed cancel while the run waited for another
    LockNotFreed,         // another run held the lock for `wanted` milliseconds
    PreviewNeedsDisplay,  // a preview was asked for where nobody can see it
    NoConnection,         // the run has no socket or timer to fetch with: nothing more to say
    UnusableFileName,     // the key `target` of the settings file `file` names `subject`, no plain file name
    TooNarrow,            // the picture `subject` is `count` pixels wide, less than the `wanted` width
    UnusableShape,        // the picture `subject`, `count` × `wanted` pixels, is longer than 4:1 either way
};

struct RetrievalResult {
    RetrievalFailure failure = RetrievalFailure::None;
    FetchResult fetch;
    std::string subject;
    std::string target;
    std::int64_t wanted = 0;
    std::int64_t count = 0;
    DecodeResult decode;
    std::string file;
    FileFailure fileFailure = FileFailure::Nothing;  // why a file was not written
    // Files a folder held but no candidate came from, as (upper-case extension, count), the
    // most frequent first: kinds no picture can be read from, and picture kinds the entry
    // did not tick.
    std::vector<std::pair<std::string, std::int64_t>> unreadable, unchecked;
    // NoMatch from a page that holds a script: its pictures may be made by it.
    bool scriptPage = false;
    bool Ok() const { return failure == RetrievalFailure::None; }
};

// A failed fetch, as the retrieval reports it.
inline RetrievalResult FetchFailed(FetchResult fetch) {
    RetrievalResult result;
    result.failure = RetrievalFailure::Fetch;
    result.fetch = std::move(fetch);
    return result;
}

}  // namespace vexal
