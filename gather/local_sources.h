// Sources on the local file system: a page or text file read into SourceText, and a
// folder walked (with or without its subfolders) straight into Candidates.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "gather/retrieval_owner.h"
#include "gather/retrieval_result.h"
#include "gather/retrieval_services.h"
#include "program/program.h"

namespace vexal {

// Reads the code page 932 file `url` into `sourceTextOut` (emptied first): every line
// trimmed of blanks (U+0020) and followed by CR LF.
[[nodiscard]] RetrievalResult Load_sDArr(const std::string& url, FileSystem& files,
                                         std::string& sourceTextOut);

// What a folder walk passed over, for the message when it finds nothing usable.
struct FolderScan {
    // Why the walked folder itself could not be listed; Nothing when it could.
    FileFailure failure = FileFailure::Nothing;
    // The files of kinds not taken, counted by their upper-case extension ("SVG").
    std::map<std::string, std::int64_t> passedOver;
};

// Fills Candidates with the image files of the folder CurrentEntry.Url (and, when
// Filter(5) is set, of its subfolders), telling `owner` what it does. Never fails: an
// empty result is reported by the choice, with what the walk passed over.
[[nodiscard]] FolderScan LoadFlist(Program& program, const RetrievalServices& services,
                                   RetrievalOwner& owner);

// Walks `folder` (a path ending in kFolderSeparator) depth first, appending matching
// files to Candidates. Yields to the event pump at every folder and after every file and
// stops as soon as CancelRequested is set, keeping what it found. Each folder is entered
// at most once, so links that loop back end the descent instead of hanging it.
FolderScan ScanFolder(Program& program, const RetrievalServices& services, const std::string& folder);

// What to report when the walk of `folder` gave no candidate: the folder missing or
// unlisted, or else no match with the kinds of files it passed over.
[[nodiscard]] RetrievalResult FolderWithoutMatch(const FolderScan& scan, const std::string& folder);

}  // namespace vexal
