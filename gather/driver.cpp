// The retrieval driver.
#include "gather/driver.h"

#include <cassert>

#include "gather/choice.h"
#include "gather/links.h"
#include "gather/local_sources.h"
#include "gather/overlap.h"
#include "host/preview_view.h"
#include "host/random_source.h"
#include "host/run_guard.h"
#include "net/transfer.h"
#include "program/program.h"
#include "settings/settings_file.h"
#include "settings/source_kind.h"
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
TransferSettings SettingsOf(const Program& program) { return {program.RequestHeaderBlock, program.TimeOut}; }

// The server a fetch talked to, after success and failure alike: the choice hangs the
// page's relative links below its folder.
void CopyServer(const Transfer& transfer, Program& program) {
    program.ServerUrl = transfer.ServerUrl();
    program.RequestHeaders = transfer.RequestHeaders();
}

}  // namespace

FetchResult TransferFetches::SetGrpUrl() {
    FetchResult result =
        transfer_.SetGrpUrl(SettingsOf(program_), program_.CurrentEntry().Url, program_.SourceText);
    CopyServer(transfer_, program_);
    return result;
}

FetchResult TransferFetches::SetGrpData() {
    const std::string work = WorkImageFileName(program_.CacheFileName, program_.ChosenImage, true);
    FetchResult result = transfer_.SetGrpData(SettingsOf(program_), program_.ChosenImage,
                                              program_.RelativeToPage, work, program_.WorkImageFile);
    CopyServer(transfer_, program_);
    return result;
}

bool frDispGet(Program& program, Host& host, Fetches& fetches, RetrievalOwner& owner) {
    if (program.RunMode != RunModeValue::Editor && program.RunMode != RunModeValue::Entry) return true;
    const SiteEntry& entry = program.CurrentEntry();
    // The entry's kind, judged once: every later step of this retrieval goes by it.
    const SourceKind kind = ClassifySource(entry.Url);
    switch (kind) {
        case SourceKind::WebPage: {
            program.SourceText.clear();
            const FetchResult fetched = fetches.SetGrpUrl();
            if (!fetched.Ok()) return Fail(host, owner, FetchFailed(fetched));
            program.Candidates = ExtractLinks(program.SourceText, entry, kind);
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
    const RetrievalResult choice =
        ChooseCandidate(program.Candidates, entry, host.random ? *host.random : clock, chosen);
    if (!choice.Ok()) return Fail(host, owner, choice);
    const ResolvedImage resolved =
        ResolveChosenLink(std::move(chosen), kind, entry.Url, program.ServerUrl, *host.files);
    program.ChosenImage = resolved.image;
    program.RelativeToPage = resolved.relativeToPage;
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
    const SourceKind kind = ClassifySource(program.ChosenImage);
    if (program.RelativeToPage || kind == SourceKind::WebImage) {
        const FetchResult fetched = fetches.SetGrpData();
        if (!fetched.Ok()) return Fail(host, owner, FetchFailed(fetched));
    } else if (kind == SourceKind::LocalImage) {
        if (!host.files->IsNormalFile(program.ChosenImage))
            return Fail(host, owner, RetrievalFailure::ImageMissing, program.ChosenImage);
        const std::string work = WorkImageFileName(program.CacheFileName, program.ChosenImage, false);
        // Copying the working file onto itself would gain nothing, and deleting the working
        // file afterwards would delete the user's picture: it is used where it is instead.
        program.WorkImageIsChosen = SameFile(*host.files, program.ChosenImage, work);
        if (!program.WorkImageIsChosen) {
            const std::string temp = TempPathFor(work, host.guard);
            if (!host.files->CopyFile(program.ChosenImage, temp) || !host.files->RenameFile(temp, work)) {
                const FileFailure why = host.files->LastFailure();
                host.files->DeleteFile(temp);
                RetrievalResult result;
                result.failure = RetrievalFailure::ImageNotCopied;
                result.subject = program.ChosenImage;
                result.target = work;
                result.fileFailure = why;
                return Fail(host, owner, result);
            }
        }
        program.WorkImageFile = work;
    } else {
        return Fail(host, owner, RetrievalFailure::NothingNamed);
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
