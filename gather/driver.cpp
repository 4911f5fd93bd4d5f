// The retrieval driver: the fetches over a transfer, the bringing step with its passing
// over, and the hand-over to the preview or the installation.
#include "gather/driver.h"

#include <optional>

#include "gather/bring.h"
#include "gather/choice.h"
#include "gather/hand_over.h"
#include "gather/overlap.h"
#include "gather/screens.h"
#include "host/run_guard.h"
#include "net/transfer.h"
#include "settings/settings_file.h"
#include "settings/source_kind.h"
#include "wallpaper/install.h"

namespace vexal {
namespace {

RetrievalResult FailureOf(RetrievalFailure failure) {
    RetrievalResult result;
    result.failure = failure;
    return result;
}

RetrievalOutcome Ended(RetrievalEnd end) {
    RetrievalOutcome outcome;
    outcome.end = end;
    return outcome;
}

RetrievalOutcome Failed(RetrievalResult result) {
    RetrievalOutcome outcome;
    outcome.failure = std::move(result);
    return outcome;
}

// What every fetch obeys, read afresh each time: the editor may have changed TimeOut since.
// An entry with the page's own picture rule reads a page with its own characters.
TransferSettings SettingsOf(const Program& program, const TransferLimits& limits) {
    return {program.RequestHeaderBlock, program.TimeOut, program.CurrentEntry().Filter[6], limits};
}

// The server a fetch talked to, after success and failure alike: the choice hangs the
// page's relative links below its folder.
void CopyServer(const Transfer& transfer, Program& program) {
    program.ServerUrl = transfer.ServerUrl();
    program.RequestHeaders = transfer.RequestHeaders();
}

// The working file's extension while its first bytes have not told its kind.
constexpr const char* kUntoldExtension = ".bin";

// Takes the run lock for what writes the working file or the wallpaper: nothing when it
// is held, otherwise how the run ends without it.
std::optional<RetrievalOutcome> LockRun(Program& program, const RetrievalServices& services,
                                        RetrievalOwner& owner) {
    switch (TakeRunLock(program, services, owner)) {
        case LockOutcome::Held:
            break;
        case LockOutcome::Interrupted:
            return Ended(RetrievalEnd::Interrupted);
        case LockOutcome::Cancelled:
            return Failed(FailureOf(RetrievalFailure::Cancelled));
        case LockOutcome::GaveUp: {
            RetrievalResult result = FailureOf(RetrievalFailure::LockNotFreed);
            result.wanted = kLockWaitLimitMs;
            return Failed(std::move(result));
        }
    }
    return std::nullopt;
}

}  // namespace

FetchResult TransferFetches::SetGrpUrl(RetrievalState& state) {
    FetchResult result =
        transfer_.SetGrpUrl(SettingsOf(program_, limits), program_.CurrentEntry().Url, program_.SourceText);
    CopyServer(transfer_, program_);
    state.PageCharset = transfer_.PageEncodingUsed();
    state.PageContentType = transfer_.response().ContentType;
    return result;
}

FetchResult TransferFetches::SetGrpData(RetrievalState& state) {
    // A name that tells no picture kind (a page's own picture is often served under such
    // a name) is kept under a neutral one until its first bytes tell what it is.
    const std::string& chosen = state.image.ChosenImage;
    const bool named = PictureKindOf(chosen, true) != PictureKind::NotAPicture;
    const std::string work =
        named ? WorkImageFileName(state.workName, chosen, true) : state.workName + kUntoldExtension;
    FetchResult result = transfer_.SetGrpData(SettingsOf(program_, limits), chosen, state.RelativeToPage,
                                              work, state.image.WorkImageFile);
    CopyServer(transfer_, program_);
    state.FetchedContentType = transfer_.response().ContentType;
    return result;
}

RetrievalOutcome frDispGo(Program& program, RetrievalState& state, const RetrievalServices& services,
                          Fetches& fetches, RetrievalOwner& owner) {
    if (state.workName.empty()) state.workName = program.CacheFileName;
    // Everything from here on writes the working file or the wallpaper.
    if (std::optional<RetrievalOutcome> refused = LockRun(program, services, owner))
        return std::move(*refused);
    // A candidate that cannot be used gives way to the next, for an entry that says so.
    RandomSource& random = RandomOf(services, state);
    RetrievalResult brought;
    for (int tries = 1;; ++tries) {
        // An address asked for once this retrieval is passed over without another request
        // and without counting as a try.
        const bool again =
            state.PhotoPages &&
            !state.Fetched.insert(AddressOf(state.PageUrl, state.image.ChosenImage, state.RelativeToPage))
                 .second;
        if (again) {
            --tries;
        } else {
            brought = BringChosenImage(program, state, services, fetches);
            if (brought.Ok()) break;
            if (!state.PassOver || !MayPassOver(brought) || tries >= kMaxTries)
                return Failed(std::move(brought));
        }
        const std::size_t next = NextCandidate(program.Candidates, program.CurrentEntry(), state.ChosenIndex,
                                               state.Tried, random, &state.Allowed);
        if (next == 0) return Failed(std::move(brought));
        TakeCandidate(program, state, services, next);
    }

    if (RetrievalResult more = BringScreenImages(program, state, services, fetches); !more.Ok())
        return Failed(std::move(more));

    if (PictureKindOf(state.image.WorkImageFile, false) == PictureKind::Png) {
        const std::string png = state.image.WorkImageFile;
        if (RetrievalResult converted = ConvertPng(state, services, owner); !converted.Ok()) {
            // A stop from outside while the picture was read ends the run without a word,
            // as a stop anywhere else does.
            if (converted.failure == RetrievalFailure::Cancelled) return Ended(RetrievalEnd::Interrupted);
            return Failed(std::move(converted));
        }
        // A screen that repeats the first screen's picture shares its working file, which
        // the conversion has just replaced.
        for (PictureInHand& screen : state.MoreScreens)
            if (screen.WorkImageFile == png) {
                screen.WorkImageFile = state.image.WorkImageFile;
                screen.WorkImageIsChosen = false;
            }
    }

    owner.HideProgress();
    if (services.pump) services.pump->Pump();
    RetrievalOutcome outcome = Ended(program.ShowPreview ? RetrievalEnd::Preview : RetrievalEnd::Installed);
    outcome.pictures.screens.push_back(std::move(state.image));
    for (PictureInHand& more : state.MoreScreens) outcome.pictures.screens.push_back(std::move(more));
    state.MoreScreens.clear();
    outcome.pictures.working = std::move(state.working);
    if (program.ShowPreview) return outcome;
    // The pictures stay in the outcome, to say what was installed; their files are gone.
    outcome.install = InstallRetrieved(program, outcome.pictures, services.ForWallpaper());
    return outcome;
}

RetrievalOutcome RunRetrieval(Program& program, const RetrievalServices& services, Fetches& fetches,
                              RetrievalOwner& owner, bool gather) {
    // A stop that came while the program started ends the run before it does anything.
    if (services.guard && services.guard->StopRequested()) return Ended(RetrievalEnd::Interrupted);
    // Refused before anything is fetched or moved: an empty name made the bitmap's path the
    // wallpaper folder itself, and the rename that puts a bitmap in place would then have
    // traded the folder, lock and all, for the picture.
    if (std::optional<RetrievalResult> unusable = UnusableFileNames(program, *services.files))
        return Failed(std::move(*unusable));
    owner.ShowProgress();
    if (services.pump) services.pump->Pump();
    RetrievalState state;
    // A stop may end the run anywhere, even while the preview shows these pictures: the run
    // knows its working files so that it can remove them then.
    state.working.KeepLedger(&program.WorkingFilesHeld);
    if (program.RunMode == RunModeValue::Direct) state.image.ChosenImage = program.CommandLineImage;
    if (gather) {
        RetrievalResult gathered = frDispGet(program, state, services, fetches, owner);
        if (!gathered.Ok()) return Failed(std::move(gathered));
    }
    return frDispGo(program, state, services, fetches, owner);
}

std::optional<RetrievalResult> UnusableFileNames(const Program& program, const FileSystem& files) {
    const char* key = UnusableFileNameKey(program);
    if (!key) return std::nullopt;
    RetrievalResult result = FailureOf(RetrievalFailure::UnusableFileName);
    result.file = SettingsFileForMessages(program, files);
    result.target = key;
    result.subject =
        std::string_view(key) == "CacheFileName" ? program.CacheFileName : program.WinFolderWPname;
    return result;
}

}  // namespace vexal
