// Reading local text files and walking local folders.
#include "gather/local_sources.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "gather/links.h"
#include "program/program.h"
#include "settings/source_kind.h"
#include "text/case.h"
#include "text/codepage.h"

namespace vexal {
namespace {

// A line ends at CR LF or at a lone CR; a lone LF stays inside its line. A file without
// any CR ends its lines with LF alone, and there each LF ends a line. A last line
// without an ending is still a line, and an ending at the very end opens no new one.
std::string ToSourceText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    const char lineEnd = text.find('\r') == std::string_view::npos ? '\n' : '\r';
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t found = text.find(lineEnd, start);
        const std::size_t end = found == std::string_view::npos ? text.size() : found;
        out += TrimSpaces(text.substr(start, end - start));
        out += "\r\n";
        if (found == std::string_view::npos) break;
        start = found + 1;
        if (lineEnd == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
    return out;
}

void Yield(const RetrievalServices& services) {
    if (services.pump) services.pump->Pump();
}

bool Listed(const DirEntry& e) { return !e.hidden && !e.system; }

// The upper-case extension of a file name ("SVG"); empty when it has none.
std::string KindOf(std::string_view name) {
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return {};
    std::string kind(name.substr(dot + 1));
    for (char& c : kind)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return kind;
}

}  // namespace

RetrievalResult Load_sDArr(const std::string& url, FileSystem& files, std::string& sourceTextOut) {
    sourceTextOut.clear();
    RetrievalResult result;
    result.subject = url;
    if (!files.IsNormalFile(url)) {
        result.failure = RetrievalFailure::SourceMissing;
        return result;
    }
    std::string bytes;
    if (const ReadFailure why = files.ReadFileAtMost(url, kLocalTextBound, bytes);
        why != ReadFailure::Nothing) {
        result.failure = why == ReadFailure::TooLarge ? RetrievalFailure::SourceTooLarge
                                                      : RetrievalFailure::SourceUnreadable;
        return result;
    }
    sourceTextOut = ToSourceText(DecodeLocalText(bytes, files.TextMayBeUtf8()));
    return {};
}

FolderScan LoadFlist(Program& program, const RetrievalServices& services, RetrievalOwner& owner) {
    owner.Say(RetrievalStep::ListingFolder);
    owner.BodyProgress(0);
    Yield(services);  // let the window repaint its label
    program.Candidates.assign(1, std::string());
    program.CancelRequested = false;
    return ScanFolder(program, services, program.CurrentEntry().Url);
}

FolderScan ScanFolder(Program& program, const RetrievalServices& services, const std::string& folder) {
    const SiteEntry& entry = program.CurrentEntry();
    FileSystem& files = *services.files;
    FolderScan scan;
    std::unordered_set<std::string> entered;
    // Folders still to walk, the next one at the back. An explicit stack instead of
    // recursion keeps a very deep tree from exhausting the call stack.
    std::vector<std::string> pending{folder};
    std::vector<DirEntry> entries;
    while (!pending.empty()) {
        const std::string current = std::move(pending.back());
        pending.pop_back();
        Yield(services);
        if (program.CancelRequested) return scan;
        std::string identity;
        if (files.FolderIdentity(current, identity) && !entered.insert(std::move(identity)).second) continue;
        // A folder that cannot be listed (gone, no permission) holds no candidates. Why the
        // entry's own folder could not be is kept: a typing mistake in the path otherwise
        // looks like a folder without pictures.
        if (!files.ListFolder(current, entries)) {
            if (current == folder) {
                const FileFailure why = files.LastFailure();
                scan.failure = why == FileFailure::Nothing ? FileFailure::Other : why;
            }
            continue;
        }

        for (const DirEntry& e : entries) {
            if (e.isDirectory || !Listed(e)) continue;
            if (HasAllowedExtension(e.name, entry.Ext)) {
                program.Candidates.push_back(current + e.name);
            } else if (std::string kind = KindOf(e.name); !kind.empty()) {
                ++scan.passedOver[std::move(kind)];
            }
            Yield(services);
            if (program.CancelRequested) return scan;
        }

        // All files of a folder come before anything below it, and each subfolder's whole
        // subtree before the next subfolder: push them in reverse listing order.
        if (entry.Filter[5]) {
            const std::size_t mark = pending.size();
            for (const DirEntry& e : entries)
                if (e.isDirectory && Listed(e) && e.name != "." && e.name != "..")
                    pending.push_back(current + e.name + kFolderSeparator);
            std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(mark), pending.end());
        }
    }
    return scan;
}

RetrievalResult FolderWithoutMatch(const FolderScan& scan, const std::string& folder) {
    RetrievalResult result;
    result.subject = folder;
    if (scan.failure != FileFailure::Nothing) {
        result.failure = scan.failure == FileFailure::Missing ? RetrievalFailure::FolderMissing
                                                              : RetrievalFailure::FolderUnreadable;
        return result;
    }
    result.failure = RetrievalFailure::NoMatch;
    for (const auto& [kind, count] : scan.passedOver) {
        const bool picture = PictureKindOf("." + kind, false) != PictureKind::NotAPicture;
        (picture ? result.unchecked : result.unreadable).emplace_back(kind, count);
    }
    for (auto* kinds : {&result.unreadable, &result.unchecked})
        std::stable_sort(kinds->begin(), kinds->end(),
                         [](const auto& a, const auto& b) { return a.second > b.second; });
    return result;
}

}  // namespace vexal
