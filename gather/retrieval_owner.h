// What a retrieval reports to the front end that runs it: the kinds of failure with what
// their messages name, the steps the progress window shows, and the owner interface those
// go through. The front end puts them into words; the retrieval never does.
#pragma once

#include <cstdint>
#include <string>

#include "host/image_decoder.h"
#include "host/preview_view.h"
#include "net/transfer.h"
#include "wallpaper/install.h"

namespace vexal {

enum class RetrievalFailure : std::uint8_t {
    None,
    Fetch,              // a fetch failed: `fetch` says why
    SourceMissing,      // the entry's local file `subject` is not there
    SourceUnreadable,   // the entry's local file `subject` could not be read
    NoMatch,            // no candidate at all
    NthBeyondCount,     // the `wanted`-th candidate was asked for, and there are `count`
    NothingContaining,  // no candidate's name holds `subject`
    NothingNamed,       // no picture is named (an index below 1, an unknown mode, no image)
    ImageMissing,       // the local picture `subject` is not there
    ImageNotCopied,     // the picture `subject` could not be copied to the working file `target`
    PictureRefused,     // the picture `subject` is no picture we can use: `decode` says why
    PngUnreadable,      // the PNG working file could not be read
    PngNotConverted,    // its bitmap could not be written
    Cancelled,          // the user pressed cancel while the run waited for another
    NoConnection,       // the run has no socket or timer to fetch with: nothing more to say
    UnusableFileName,   // the key `target` of the settings file `file` names `subject`, no plain file name
    TooNarrow,          // the picture `subject` is `count` pixels wide, less than the `wanted` width
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

// What the progress window shows besides the fetches' own steps.
enum class RetrievalStep : std::uint8_t {
    ListingFolder,       // the entry's folder is being walked
    WaitingForOtherRun,  // another run holds the lock
    ConvertingPng,       // the PNG working file becomes a bitmap
};

// The front end as a retrieval sees it: the transfer's owner (progress, the question on a
// silent server, cancelling), the progress window's other steps, the preview the retrieval
// hands over to, and the one that tells the user why it failed.
class RetrievalOwner : public TransferOwner {
public:
    virtual void Say(RetrievalStep step) = 0;
    virtual void ShowProgress() = 0;
    virtual void HideProgress() = 0;
    virtual PreviewView& Preview() = 0;
    // The retrieval failed: the user is to be told why, and the run ends.
    virtual void Failed(const RetrievalResult& result) = 0;
    // A stop came from outside while the retrieval ran: the run ends without a message.
    virtual void Interrupted() = 0;
    // The installation at once failed: the user is to be told why (the preview unloads
    // after).
    virtual void InstallFailed(const InstallResult& result) = 0;
};

}  // namespace vexal
