// The retrieval driver.
#include "gather/driver.h"

#include <algorithm>
#include <cassert>

#include "gather/choice.h"
#include "gather/content_kind.h"
#include "gather/links.h"
#include "gather/local_sources.h"
#include "gather/overlap.h"
#include "host/preview_view.h"
#include "host/random_source.h"
#include "host/run_guard.h"
#include "net/transfer.h"
#include "net/url.h"
#include "program/program.h"
#include "settings/settings_file.h"
#include "settings/source_kind.h"
#include "text/case.h"
#include "wallpaper/image_library.h"
#include "wallpaper/install.h"

namespace vexal {
namespace {

// Hands the failure to the owner, which ends the run; false, for the caller to return.
bool Fail(Host&, RetrievalOwner& owner, const RetrievalResult& result) {
    owner.Failed(result);
    return false;
}

bool Fail(Host& host, RetrievalOwner& owner, RetrievalFailure failure, std::string subject = {},
          std::string target = {}) {
    RetrievalResult result;
    result.failure = failure;
    result.subject = std::move(subject);
    result.target = std::move(target);
    return Fail(host, owner, result);
}

bool SameFile(FileSystem& files, const std::string& a, const std::string& b) {
    if (a == b) return true;
    std::string idA, idB;
    return files.FolderIdentity(a, idA) && files.FolderIdentity(b, idB) && idA == idB;
}

// Converts the PNG working file into a bitmap beside it, which becomes the working file.
RetrievalResult ConvertPng(Program& program, Host& host, RetrievalOwner& owner) {
    owner.Say(RetrievalStep::ConvertingPng);
    const std::string png = program.WorkImageFile;
    assert(host.images);
    const std::string bmp = png.substr(0, png.size() - 3) + "bmp";
    // Written under a name of its own first, so no half bitmap ever carries the working name.
    const std::string temp = TempPathFor(bmp, host.guard);
    auto failed = [&](RetrievalResult result) {
        DeleteWorkingFile(program, *host.files, png);
        host.files->DeleteFile(temp);
        return result;
    };
    auto unreadable = [&](const DecodeResult& why) {
        // A picture refused for its size says so; anything else is the library's failure.
        RetrievalResult result;
        if (why.error == DecodeError::TooLarge) {
            result.failure = RetrievalFailure::PictureRefused;
            result.subject = program.ChosenImage;
            result.decode = why;
        } else {
            result.failure = RetrievalFailure::PngUnreadable;
        }
        return failed(result);
    };
    const BmpFromFile converted = ConvertToBmp(*host.images, *host.files, png, temp);
    if (!converted.decoded.Ok()) return unreadable(converted.decoded);
    const bool written = converted.written;
    if (!written || !host.files->RenameFile(temp, bmp)) {
        RetrievalResult result;
        result.failure = RetrievalFailure::PngNotConverted;
        return failed(result);
    }
    DeleteWorkingFile(program, *host.files, png);
    program.WorkImageFile = bmp;
    program.WorkImageIsChosen = false;
    return {};
}

// What every fetch obeys, read afresh each time: the editor may have changed TimeOut since.
// An entry with the page's own picture rule reads a page with its own characters.
TransferSettings SettingsOf(const Program& program) {
    return {program.RequestHeaderBlock, program.TimeOut, program.CurrentEntry().Filter[6]};
}

// The server a fetch talked to, after success and failure alike: the choice hangs the
// page's relative links below its folder.
void CopyServer(const Transfer& transfer, Program& program) {
    program.ServerUrl = transfer.ServerUrl();
    program.RequestHeaders = transfer.RequestHeaders();
}

// Candidates one run tries at most before it gives up with the last one's message.
constexpr int kMaxTries = 20;

// The working file's extension while its first bytes have not told its kind.
constexpr const char* kUntoldExtension = ".bin";

RandomSource& RandomOf(Host& host, ClockRandomSource& clock) { return host.random ? *host.random : clock; }

// The absolute address of `link` (a path on the server of `page` when `onPage`).
std::string AddressOf(const UrlParts& page, const std::string& link, bool onPage) {
    if (!onPage) return link;
    UrlParts parts = page;
    parts.Dir = UrlDirPart(link);
    parts.File = UrlFilePart(link);
    return UrlText(parts);
}

// The same address, fragment and scheme's letter case aside.
bool SameAddress(std::string_view a, std::string_view b) {
    a = a.substr(0, a.find('#'));
    b = b.substr(0, b.find('#'));
    const std::size_t sa = a.find("://"), sb = b.find("://");
    if (sa == std::string_view::npos || sb == std::string_view::npos) return a == b;
    return ToLower(a.substr(0, sa)) == ToLower(b.substr(0, sb)) && a.substr(sa) == b.substr(sb);
}

// Makes candidate `index` the chosen image, as the gathering's choice would.
void TakeCandidate(Program& program, Host& host, std::size_t index) {
    const SiteEntry& entry = program.CurrentEntry();
    const SourceKind kind = ClassifySource(entry.Url);
    // A page read with its own characters sends a link's query in its own encoding.
    const std::string link = kind == SourceKind::WebPage && entry.Filter[6]
                                 ? QueryInPageEncoding(program.Candidates[index], program.PageCharset)
                                 : program.Candidates[index];
    ResolvedImage resolved = ResolveChosenLink(link, kind, entry.Url, program.PageUrl, *host.files);
    program.ChosenIndex = index;
    if (index < program.Tried.size()) program.Tried[index] = true;
    // After the first try the transfer may be on another server (a picture's, a photo
    // page's): a link on the page goes by its whole address from then on.
    const bool first = std::count(program.Tried.begin(), program.Tried.end(), true) <= 1;
    if (resolved.relativeToPage && !first) {
        program.ChosenImage = AddressOf(program.PageUrl, resolved.image, true);
        program.RelativeToPage = false;
    } else {
        program.ChosenImage = std::move(resolved.image);
        program.RelativeToPage = resolved.relativeToPage;
    }
}

// Whether a candidate that failed so may give way to the next: not when the user
// cancelled or declined to wait, nor when the working file cannot be written (the next
// would fare no better).
bool MayPassOver(const RetrievalResult& result) {
    switch (result.failure) {
        case RetrievalFailure::Fetch:
            return result.fetch.failure != FetchFailure::Cancelled &&
                   result.fetch.failure != FetchFailure::NoAnswer &&
                   result.fetch.failure != FetchFailure::NotSaved;
        case RetrievalFailure::ImageMissing:
        case RetrievalFailure::ImageNotCopied:
        case RetrievalFailure::PictureRefused:
        case RetrievalFailure::TooNarrow:
        case RetrievalFailure::NothingNamed:
            return true;
        default:
            return false;
    }
}

RetrievalResult NoPicture(const std::string& subject) {
    RetrievalResult result;
    result.failure = RetrievalFailure::PictureRefused;
    result.subject = subject;
    result.decode.error = DecodeError::Unreadable;
    return result;
}

// Judges what a web fetch brought into the working file. A page, where photo pages are
// read (`photoPage` is true only for a candidate of the gathered page, not for what a
// photo page names), is read with the page's own picture rule and the entry's rules, and
// its first candidate fetched instead. A picture whose name told no kind gets the
// extension its first bytes tell.
RetrievalResult JudgeArrival(Program& program, Host& host, Fetches& fetches, bool photoPage) {
    const bool named = PictureKindOf(program.ChosenImage, true) != PictureKind::NotAPicture;
    if (named && !program.PhotoPages) return {};
    std::string bytes;
    if (!host.files->ReadFile(program.WorkImageFile, bytes)) return {};  // the decoder will say
    const ContentKind content = ContentKindOf(std::string_view(bytes).substr(0, 64));
    // A page by its first bytes or by what the server calls it, unless its bytes are a
    // picture's (servers do label pictures wrongly).
    const std::string_view type = TrimSpaces(program.FetchedContentType);
    const bool page =
        content.picture == PictureKind::NotAPicture && (content.html || StartsWithNoCase(type, "text/html") ||
                                                        StartsWithNoCase(type, "application/xhtml+xml"));
    if (page && program.PhotoPages) {
        const std::string asked = program.ChosenImage;
        const std::string askedAddress = AddressOf(program.PageUrl, asked, program.RelativeToPage);
        DeleteWorkingFile(program, *host.files, program.WorkImageFile);
        if (!photoPage) return NoPicture(asked);
        // The photo page's address, after its redirects: its links hang below it.
        const UrlParts photo = program.ServerUrl;
        std::string text;
        PageEncoding encoding = PageEncoding::Utf8;
        if (program.CurrentEntry().Filter[6])
            encoding = DecodedResponseToSourceText(bytes, {}, text);
        else
            ResponseToSourceText(bytes, text);
        SiteEntry rules = program.CurrentEntry();
        rules.Filter[6] = true;
        const std::vector<std::string> found = ExtractLinks(text, rules, SourceKind::WebPage);
        if (found.size() < 2) return NoPicture(asked);
        const std::string link =
            program.CurrentEntry().Filter[6] ? QueryInPageEncoding(found[1], encoding) : found[1];
        const ResolvedImage resolved =
            ResolveChosenLink(link, SourceKind::WebPage, UrlText(photo), photo, *host.files);
        const std::string next = AddressOf(photo, resolved.image, resolved.relativeToPage);
        // A page that names itself as its picture ends there.
        if (SameAddress(next, UrlText(photo)) || SameAddress(next, askedAddress)) return NoPicture(asked);
        program.ChosenImage = next;
        program.RelativeToPage = false;
        const FetchResult fetched = fetches.SetGrpData();
        if (!fetched.Ok()) return FetchFailed(fetched);
        return JudgeArrival(program, host, fetches, false);
    }
    if (named) return {};
    if (content.picture == PictureKind::NotAPicture) {
        DeleteWorkingFile(program, *host.files, program.WorkImageFile);
        return NoPicture(program.ChosenImage);
    }
    const std::string told =
        program.CacheFileName + "." + ImageExts[static_cast<std::size_t>(content.picture)];
    if (!host.files->RenameFile(program.WorkImageFile, told)) {
        RetrievalResult result;
        result.failure = RetrievalFailure::ImageNotCopied;
        result.subject = program.WorkImageFile;
        result.target = told;
        result.fileFailure = host.files->LastFailure();
        DeleteWorkingFile(program, *host.files, program.WorkImageFile);
        return result;
    }
    program.WorkImageFile = told;
    return {};
}

// Brings ChosenImage into WorkImageFile (fetching or copying it) and, for an entry with
// a MinWidth, checks that it is a picture at least that wide.
RetrievalResult BringChosenImage(Program& program, Host& host, Fetches& fetches) {
    const SourceKind kind = ClassifySource(program.ChosenImage);
    if (program.RelativeToPage || kind == SourceKind::WebImage ||
        (kind == SourceKind::WebPage && program.AnyWebAddress)) {
        const FetchResult fetched = fetches.SetGrpData();
        if (!fetched.Ok()) return FetchFailed(fetched);
        const RetrievalResult judged = JudgeArrival(program, host, fetches, true);
        if (!judged.Ok()) return judged;
    } else if (kind == SourceKind::LocalImage) {
        RetrievalResult result;
        if (!host.files->IsNormalFile(program.ChosenImage)) {
            result.failure = RetrievalFailure::ImageMissing;
            result.subject = program.ChosenImage;
            return result;
        }
        const std::string work = WorkImageFileName(program.CacheFileName, program.ChosenImage, false);
        // Copying the working file onto itself would gain nothing, and deleting the working
        // file afterwards would delete the user's picture: it is used where it is instead.
        program.WorkImageIsChosen = SameFile(*host.files, program.ChosenImage, work);
        if (!program.WorkImageIsChosen) {
            const std::string temp = TempPathFor(work, host.guard);
            if (!host.files->CopyFile(program.ChosenImage, temp) || !host.files->RenameFile(temp, work)) {
                const FileFailure why = host.files->LastFailure();
                host.files->DeleteFile(temp);
                result.failure = RetrievalFailure::ImageNotCopied;
                result.subject = program.ChosenImage;
                result.target = work;
                result.fileFailure = why;
                return result;
            }
        }
        program.WorkImageFile = work;
    } else {
        RetrievalResult result;
        result.failure = RetrievalFailure::NothingNamed;
        return result;
    }

    const std::int32_t minWidth = program.PassOver ? program.CurrentEntry().MinWidth : 0;
    if (minWidth > 0 && host.images) {
        const DecodeResult probed = host.images->Probe(program.WorkImageFile);
        RetrievalResult result;
        result.subject = program.ChosenImage;
        if (!probed.Ok()) {
            result.failure = RetrievalFailure::PictureRefused;
            result.decode = probed;
        } else if (probed.width < minWidth) {
            result.failure = RetrievalFailure::TooNarrow;
            result.count = probed.width;
            result.wanted = minWidth;
        } else {
            return {};
        }
        DeleteWorkingFile(program, *host.files, program.WorkImageFile);
        return result;
    }
    return {};
}

}  // namespace

FetchResult TransferFetches::SetGrpUrl() {
    FetchResult result =
        transfer_.SetGrpUrl(SettingsOf(program_), program_.CurrentEntry().Url, program_.SourceText);
    CopyServer(transfer_, program_);
    program_.PageCharset = transfer_.PageEncodingUsed();
    return result;
}

FetchResult TransferFetches::SetGrpData() {
    // A name that tells no picture kind (a page's own picture is often served under such
    // a name) is kept under a neutral one until its first bytes tell what it is.
    const bool named = PictureKindOf(program_.ChosenImage, true) != PictureKind::NotAPicture;
    const std::string work = named ? WorkImageFileName(program_.CacheFileName, program_.ChosenImage, true)
                                   : program_.CacheFileName + kUntoldExtension;
    FetchResult result = transfer_.SetGrpData(SettingsOf(program_), program_.ChosenImage,
                                              program_.RelativeToPage, work, program_.WorkImageFile);
    CopyServer(transfer_, program_);
    program_.FetchedContentType = transfer_.response().ContentType;
    return result;
}

bool frDispGet(Program& program, Host& host, Fetches& fetches, RetrievalOwner& owner) {
    if (program.RunMode != RunModeValue::Editor && program.RunMode != RunModeValue::Entry) return true;
    const SiteEntry& entry = program.CurrentEntry();
    program.PassOver = program.PhotoPages = program.AnyWebAddress = program.PageHasScript = false;
    // The entry's kind, judged once: every later step of this retrieval goes by it.
    const SourceKind kind = ClassifySource(entry.Url);
    switch (kind) {
        case SourceKind::WebPage: {
            program.SourceText.clear();
            const FetchResult fetched = fetches.SetGrpUrl();
            if (!fetched.Ok()) return Fail(host, owner, FetchFailed(fetched));
            program.Candidates = ExtractLinks(program.SourceText, entry, kind);
            program.PageHasScript = FindNoCase(program.SourceText, "<script") != std::string::npos;
            break;
        }
        case SourceKind::LocalFile: {
            const RetrievalResult loaded = Load_sDArr(entry.Url, *host.files, program.SourceText);
            if (!loaded.Ok()) return Fail(host, owner, loaded);
            program.Candidates = ExtractLinks(program.SourceText, entry, kind);
            break;
        }
        case SourceKind::WebImage:
        case SourceKind::LocalImage:
            program.ChosenImage = entry.Url;
            return true;
        case SourceKind::LocalFolder:
            LoadFlist(program, host, owner);
            break;
        default:
            return true;
    }
    ClockRandomSource clock;
    std::string chosen;
    std::size_t index = 0;
    RetrievalResult choice =
        ChooseCandidate(program.Candidates, entry, RandomOf(host, clock), chosen, &index);
    if (!choice.Ok()) {
        if (choice.failure == RetrievalFailure::NoMatch && kind == SourceKind::LocalFolder)
            return Fail(host, owner, FolderWithoutMatch(program, entry.Url));
        // Said only for an entry that uses the new rules: the others keep their message.
        choice.scriptPage = choice.failure == RetrievalFailure::NoMatch && program.PageHasScript &&
                            (entry.Filter[6] || entry.MinWidth > 0);
        return Fail(host, owner, choice);
    }
    program.PageUrl = program.ServerUrl;
    program.PassOver = entry.MinWidth > 0;
    program.PhotoPages = entry.Filter[6] || entry.MinWidth > 0;
    program.AnyWebAddress = entry.Filter[6];
    program.Tried.assign(program.Candidates.size(), false);
    TakeCandidate(program, host, index);
    return true;
}

bool frDispGo(Program& program, Host& host, Fetches& fetches, RetrievalOwner& owner) {
    program.WorkImageIsChosen = false;
    // Everything from here on writes the working file or the wallpaper.
    switch (TakeRunLock(program, host, owner)) {
        case LockOutcome::Held:
            break;
        case LockOutcome::Interrupted:
            owner.Interrupted();
            return false;
        case LockOutcome::Cancelled:
            return Fail(host, owner, RetrievalFailure::Cancelled);
    }
    // A candidate that cannot be used gives way to the next, for an entry that says so.
    ClockRandomSource clock;
    for (int tries = 1;; ++tries) {
        const RetrievalResult brought = BringChosenImage(program, host, fetches);
        if (brought.Ok()) break;
        if (!program.PassOver || !MayPassOver(brought) || tries >= kMaxTries)
            return Fail(host, owner, brought);
        const std::size_t next = NextCandidate(program.Candidates, program.CurrentEntry(),
                                               program.ChosenIndex, program.Tried, RandomOf(host, clock));
        if (next == 0) return Fail(host, owner, brought);
        TakeCandidate(program, host, next);
    }

    if (PictureKindOf(program.WorkImageFile, false) == PictureKind::Png) {
        const RetrievalResult converted = ConvertPng(program, host, owner);
        if (!converted.Ok()) return Fail(host, owner, converted);
    }

    owner.HideProgress();
    if (host.pump) host.pump->Pump();
    PreviewView& preview = owner.Preview();
    if (program.ShowPreview) {
        preview.ShowWindow();
        preview.DispPre();
    } else {
        preview.LoadWindow();
        const InstallResult installed = Autowp(program, host, preview);
        if (!installed.Ok()) owner.InstallFailed(installed);
        preview.Unload(installed.Ok() ? kExitSuccess : kExitFailure);
    }
    return true;
}

bool RunRetrieval(Program& program, Host& host, Fetches& fetches, RetrievalOwner& owner, bool gather) {
    // A stop that came while the program started ends the run before it does anything.
    if (host.guard && host.guard->StopRequested()) {
        owner.Interrupted();
        return false;
    }
    // Refused before anything is fetched or moved: an empty name made the bitmap's path the
    // wallpaper folder itself, and the rename that puts a bitmap in place would then have
    // traded the folder, lock and all, for the picture.
    if (const char* key = UnusableFileNameKey(program)) {
        RetrievalResult result;
        result.failure = RetrievalFailure::UnusableFileName;
        result.file = program.SettingsFileName;
        result.target = key;
        result.subject =
            std::string_view(key) == "CacheFileName" ? program.CacheFileName : program.WinFolderWPname;
        return Fail(host, owner, result);
    }
    owner.ShowProgress();
    if (host.pump) host.pump->Pump();
    if (gather && !frDispGet(program, host, fetches, owner)) return false;
    return frDispGo(program, host, fetches, owner);
}

}  // namespace vexal
