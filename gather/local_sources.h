// Sources on the local file system: a page or text file read into SourceText, and a
// folder walked (with or without its subfolders) straight into Candidates.
#pragma once

#include <string>

#include "gather/retrieval_owner.h"
#include "host/host.h"
#include "program/program.h"

namespace vexal {

// Reads the code page 932 file `url` into `sourceTextOut` (emptied first): every line
// trimmed of blanks (U+0020) and followed by CR LF.
[[nodiscard]] RetrievalResult Load_sDArr(const std::string& url, FileSystem& files,
                                         std::string& sourceTextOut);

// Fills Candidates with the image files of the folder CurrentEntry.Url (and, when
// Filter(5) is set, of its subfolders), telling `owner` what it does. Never fails: an
// empty result is reported by the choice.
void LoadFlist(Program& program, Host& host, RetrievalOwner& owner);

// Walks `folder` (a path ending in kFolderSeparator) depth first, appending matching
// files to Candidates. Yields to the event pump at every folder and after every file and
// stops as soon as CancelRequested is set, keeping what it found. Each folder is entered
// at most once, so links that loop back end the descent instead of hanging it.
void ScanFolder(Program& program, Host& host, const std::string& folder);

// What to report when the walk of the entry's folder `folder` gave no candidate: the
// folder missing or unlisted, or else no match with the kinds of files it passed over.
[[nodiscard]] RetrievalResult FolderWithoutMatch(const Program& program, const std::string& folder);

}  // namespace vexal
