// The retrieval driver.
#include "gather/driver.h"

#include <algorithm>
#include <cassert>
#include <map>
#include <optional>

#include "gather/choice.h"
#include "gather/content_kind.h"
#include "gather/links.h"
#include "gather/local_sources.h"
#include "gather/overlap.h"
#include "host/desktop.h"
#include "host/random_source.h"
#include "host/run_guard.h"
#include "net/transfer.h"
#include "net/url.h"
#include "program/program.h"
#include "settings/settings_file.h"
#include "settings/source_kind.h"
#include "text/case.h"
#include "wallpaper/history.h"
#include "wallpaper/image_library.h"
#include "wallpaper/install.h"
#include "wallpaper/screen_layout.h"

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

bool SameFile(FileSystem& files, const std::string& a, const std::string& b) {
    if (a == b) return true;
    std::string idA, idB;
    return files.FolderIdentity(a, idA) && files.FolderIdentity(b, idB) && idA == idB;
}

// Converts the PNG working file into a bitmap beside it, which becomes the working file.
RetrievalResult ConvertPng(Program& program, const RetrievalServices& services, RetrievalOwner& owner) {
    owner.Say(RetrievalStep::ConvertingPng);
    const std::string png = program.WorkImageFile;
    assert(services.images);
    const std::string bmp = png.substr(0, png.size() - 3) + "bmp";
    // Written under a name of its own first, so no half bitmap ever carries the working name.
    const std::string temp = TempPathFor(bmp, services.guard);
    auto failed = [&](RetrievalResult result) {
        DeleteWorkingFile(program, *services.files, png);
        services.files->DeleteFile(temp);
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
    const BmpFromFile converted = ConvertToBmp(*services.images, *services.files, png, temp);
    if (!converted.decoded.Ok()) return unreadable(converted.decoded);
    const bool written = converted.written;
    if (!written || !services.files->RenameFile(temp, bmp)) {
        RetrievalResult result;
        result.failure = RetrievalFailure::PngNotConverted;
        return failed(result);
    }
    DeleteWorkingFile(program, *services.files, png);
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

RandomSource& RandomOf(const RetrievalServices& services, ClockRandomSource& clock) {
    return services.random ? *services.random : clock;
}

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
void TakeCandidate(Program& program, RetrievalState& state, const RetrievalServices& services,
                   std::size_t index) {
    const SiteEntry& entry = program.CurrentEntry();
    // A page read with its own characters sends a link's query in its own encoding.
    const std::string link = state.kind == SourceKind::WebPage && entry.Filter[6]
                                 ? QueryInPageEncoding(program.Candidates[index], state.PageCharset)
                                 : program.Candidates[index];
    ResolvedImage resolved = ResolveChosenLink(link, state.kind, entry.Url, state.PageUrl, *services.files);
    state.ChosenIndex = index;
    program.ChosenCandidate = program.Candidates[index];
    if (index < state.Tried.size()) state.Tried[index] = true;
    // After the first try the transfer may be on another server (a picture's, a photo
    // page's): a link on the page goes by its whole address from then on.
    const bool first = std::count(state.Tried.begin(), state.Tried.end(), true) <= 1;
    if (resolved.relativeToPage && !first) {
        program.ChosenImage = AddressOf(state.PageUrl, resolved.image, true);
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

// The picture the photo page in `bytes` names first, as a whole address, when it is one
// to fetch: not the page itself, not the address asked for, not one asked for already
// this retrieval. Empty when there is none.
std::string PhotoPagePicture(const Program& program, RetrievalState& state, const RetrievalServices& services,
                             const std::string& bytes, const std::string& askedAddress) {
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
    // One level only: a link on the photo page is no further page to read.
    const std::vector<std::string> found =
        ExtractLinks(text, rules, SourceKind::WebPage, nullptr, {state.FetchedContentType, true, false});
    if (found.size() < 2) return {};
    const std::string link =
        program.CurrentEntry().Filter[6] ? QueryInPageEncoding(found[1], encoding) : found[1];
    const ResolvedImage resolved =
        ResolveChosenLink(link, SourceKind::WebPage, UrlText(photo), photo, *services.files);
    const std::string next = AddressOf(photo, resolved.image, resolved.relativeToPage);
    // A page that names itself as its picture ends there.
    if (SameAddress(next, UrlText(photo)) || SameAddress(next, askedAddress)) return {};
    // Asked for already this retrieval: the answer would be the same.
    if (!state.Fetched.insert(next).second) return {};
    return next;
}

// Judges what a web fetch brought into the working file. A page, where photo pages are
// read (`photoPage` is true only for a candidate of the gathered page, not for what a
// photo page names), is read with the page's own picture rule and the entry's rules, and
// its first candidate fetched instead. A picture whose name told no kind gets the
// extension its first bytes tell.
RetrievalResult JudgeArrival(Program& program, RetrievalState& state, const RetrievalServices& services,
                             Fetches& fetches, bool photoPage) {
    const bool named = PictureKindOf(program.ChosenImage, true) != PictureKind::NotAPicture;
    if (named && !state.PhotoPages) return {};
    std::string bytes;
    if (!services.files->ReadFile(program.WorkImageFile, bytes)) return {};  // the decoder will say
    const ContentKind content = ContentKindOf(std::string_view(bytes).substr(0, 64));
    // A page by its first bytes or by what the server calls it, unless its bytes are a
    // picture's (servers do label pictures wrongly).
    const std::string_view type = TrimSpaces(state.FetchedContentType);
    const bool page =
        content.picture == PictureKind::NotAPicture && (content.html || StartsWithNoCase(type, "text/html") ||
                                                        StartsWithNoCase(type, "application/xhtml+xml"));
    if (page && state.PhotoPages) {
        const std::string asked = program.ChosenImage;
        const std::string askedAddress = AddressOf(state.PageUrl, asked, program.RelativeToPage);
        DeleteWorkingFile(program, *services.files, program.WorkImageFile);
        if (!photoPage) return NoPicture(asked);
        const std::string next = PhotoPagePicture(program, state, services, bytes, askedAddress);
        if (next.empty()) return NoPicture(asked);
        program.ChosenImage = next;
        program.RelativeToPage = false;
        const FetchResult fetched = fetches.SetGrpData(state);
        if (!fetched.Ok()) return FetchFailed(fetched);
        return JudgeArrival(program, state, services, fetches, false);
    }
    if (named) return {};
    if (content.picture == PictureKind::NotAPicture) {
        DeleteWorkingFile(program, *services.files, program.WorkImageFile);
        return NoPicture(program.ChosenImage);
    }
    const std::string told =
        program.CacheFileName + "." + ImageExts[static_cast<std::size_t>(content.picture)];
    if (!services.files->RenameFile(program.WorkImageFile, told)) {
        RetrievalResult result;
        result.failure = RetrievalFailure::ImageNotCopied;
        result.subject = program.WorkImageFile;
        result.target = told;
        result.fileFailure = services.files->LastFailure();
        DeleteWorkingFile(program, *services.files, program.WorkImageFile);
        return result;
    }
    program.WorkImageFile = told;
    return {};
}

// Brings ChosenImage into WorkImageFile (fetching or copying it) and, for an entry with
// a MinWidth, checks that it is a picture at least that wide.
RetrievalResult BringChosenImage(Program& program, RetrievalState& state, const RetrievalServices& services,
                                 Fetches& fetches) {
    const SourceKind kind = ClassifySource(program.ChosenImage);
    if (program.RelativeToPage || kind == SourceKind::WebImage ||
        (kind == SourceKind::WebPage && state.AnyWebAddress)) {
        const FetchResult fetched = fetches.SetGrpData(state);
        if (!fetched.Ok()) return FetchFailed(fetched);
        const RetrievalResult judged = JudgeArrival(program, state, services, fetches, true);
        if (!judged.Ok()) return judged;
    } else if (kind == SourceKind::LocalImage) {
        RetrievalResult result;
        if (!services.files->IsNormalFile(program.ChosenImage)) {
            result.failure = RetrievalFailure::ImageMissing;
            result.subject = program.ChosenImage;
            return result;
        }
        const std::string work = WorkImageFileName(program.CacheFileName, program.ChosenImage, false);
        // Copying the working file onto itself would gain nothing, and deleting the working
        // file afterwards would delete the user's picture: it is used where it is instead.
        program.WorkImageIsChosen = SameFile(*services.files, program.ChosenImage, work);
        if (!program.WorkImageIsChosen) {
            const std::string temp = TempPathFor(work, services.guard);
            if (!services.files->CopyFile(program.ChosenImage, temp) ||
                !services.files->RenameFile(temp, work)) {
                const FileFailure why = services.files->LastFailure();
                services.files->DeleteFile(temp);
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

    const std::int32_t minWidth = state.PassOver ? program.CurrentEntry().MinWidth : 0;
    if (minWidth > 0 && services.images) {
        const DecodeResult probed = services.images->Probe(program.WorkImageFile);
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
        DeleteWorkingFile(program, *services.files, program.WorkImageFile);
        return result;
    }
    return {};
}

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
    }
    return std::nullopt;
}

// Going back writes the wallpaper folder as an installation does, so it waits its turn
// behind another run just the same; there is nothing to fetch and nothing to preview.
RetrievalOutcome GoBackUnderLock(Program& program, const RetrievalServices& services, RetrievalOwner& owner) {
    if (std::optional<RetrievalOutcome> refused = LockRun(program, services, owner)) return *refused;
    RetrievalOutcome installed = Ended(RetrievalEnd::Installed);
    installed.install = GoBack(program, services.ForWallpaper());
    return installed;
}

// The screens' choices once the first screen has its picture: made again from the one it
// shows when it passed over the candidate chosen for it, so that no other screen repeats
// that picture or takes one that failed while better ones are left.
void ChooseAgainForScreens(const Program& program, RetrievalState& state, RandomSource& random) {
    if (state.ScreenChoices.size() < 2 || state.ScreenChoices[0] == state.ChosenIndex) return;
    std::vector<std::size_t> allowed;
    for (std::size_t i : state.Allowed)
        if (i >= state.Tried.size() || !state.Tried[i]) allowed.push_back(i);
    state.ScreenChoices = ChooseForScreens(program.Candidates, program.CurrentEntry(), state.ChosenIndex,
                                           state.ScreenChoices.size(), random, &allowed, &state.Recent);
}

// The candidate that stands in for the one `screen` could not use (`from`): the next
// after it for the N-th and the "contains" choice, a new draw for the random one; never
// one tried already, nor a picture another screen shows or is to show. 0 when none is left.
std::size_t ScreenStandIn(const Program& program, const RetrievalState& state, RandomSource& random,
                          std::size_t from, std::size_t screen) {
    const std::vector<std::string>& candidates = program.Candidates;
    std::unordered_set<std::string> others;
    for (std::size_t s = 0; s < state.ScreenChoices.size(); ++s)
        if (s != screen && state.ScreenChoices[s] < candidates.size())
            others.insert(candidates[state.ScreenChoices[s]]);
    std::vector<bool> unusable = state.Tried;
    unusable.resize(candidates.size(), false);
    for (std::size_t i = 1; i < candidates.size(); ++i)
        if (others.count(candidates[i])) unusable[i] = true;
    std::size_t next = from;
    do {
        next = NextCandidate(candidates, program.CurrentEntry(), next, unusable, random, &state.Allowed);
    } while (next != 0 && unusable[next]);
    return next;
}

// Brings the pictures of the second screen on, each into a working file of its own named
// after the screen, then puts the first screen's picture back in hand. A screen that
// repeats a candidate shares the working file it was brought into. For an entry that
// passes over what it cannot use, a screen's candidate that cannot be used gives way as
// the first screen's does (see ScreenStandIn), and a screen for which none is left repeats
// the first screen's picture. Otherwise a failure is the run's, and the files already
// brought are deleted.
RetrievalResult BringScreenImages(Program& program, RetrievalState& state, const RetrievalServices& services,
                                  Fetches& fetches) {
    DeleteScreenImages(program, *services.files);
    ClockRandomSource clock;
    ChooseAgainForScreens(program, state, RandomOf(services, clock));
    if (state.ScreenChoices.size() < 2) return {};
    const std::string chosen = program.ChosenImage, work = program.WorkImageFile,
                      cache = program.CacheFileName, candidateName = program.ChosenCandidate;
    const bool relative = program.RelativeToPage, isChosen = program.WorkImageIsChosen;
    const std::size_t index = state.ChosenIndex;
    std::map<std::size_t, ScreenImage> brought = {{index, {work, chosen, isChosen, candidateName}}};
    RetrievalResult result;
    for (std::size_t screen = 1; screen < state.ScreenChoices.size() && result.Ok(); ++screen) {
        std::size_t& candidate = state.ScreenChoices[screen];
        for (int tries = 0;;) {
            if (auto it = brought.find(candidate); it != brought.end()) {
                program.MoreScreens.push_back(it->second);
                break;
            }
            // A candidate tried before and not brought failed then: it is not asked for again.
            if (candidate >= state.Tried.size() || !state.Tried[candidate]) {
                program.CacheFileName = cache + "-" + std::to_string(screen + 1);
                TakeCandidate(program, state, services, candidate);
                RetrievalResult one = BringChosenImage(program, state, services, fetches);
                if (one.Ok()) {
                    ScreenImage image{program.WorkImageFile, program.ChosenImage, program.WorkImageIsChosen,
                                      program.ChosenCandidate};
                    brought[candidate] = image;
                    program.MoreScreens.push_back(std::move(image));
                    break;
                }
                if (!state.PassOver || !MayPassOver(one) || ++tries >= kMaxTries) {
                    result = std::move(one);
                    break;
                }
            }
            const std::size_t next = ScreenStandIn(program, state, RandomOf(services, clock), candidate, screen);
            candidate = next != 0 ? next : index;
        }
    }
    program.CacheFileName = cache;
    program.ChosenImage = chosen;
    program.ChosenCandidate = candidateName;
    program.WorkImageFile = work;
    program.RelativeToPage = relative;
    program.WorkImageIsChosen = isChosen;
    state.ChosenIndex = index;
    if (!result.Ok()) DeleteScreenImages(program, *services.files);
    return result;
}

}  // namespace

FetchResult TransferFetches::SetGrpUrl(RetrievalState& state) {
    FetchResult result =
        transfer_.SetGrpUrl(SettingsOf(program_), program_.CurrentEntry().Url, program_.SourceText);
    CopyServer(transfer_, program_);
    state.PageCharset = transfer_.PageEncodingUsed();
    state.PageContentType = transfer_.response().ContentType;
    return result;
}

FetchResult TransferFetches::SetGrpData(RetrievalState& state) {
    // A name that tells no picture kind (a page's own picture is often served under such
    // a name) is kept under a neutral one until its first bytes tell what it is.
    const bool named = PictureKindOf(program_.ChosenImage, true) != PictureKind::NotAPicture;
    const std::string work = named ? WorkImageFileName(program_.CacheFileName, program_.ChosenImage, true)
                                   : program_.CacheFileName + kUntoldExtension;
    FetchResult result = transfer_.SetGrpData(SettingsOf(program_), program_.ChosenImage,
                                              program_.RelativeToPage, work, program_.WorkImageFile);
    CopyServer(transfer_, program_);
    state.FetchedContentType = transfer_.response().ContentType;
    return result;
}

RetrievalResult frDispGet(Program& program, RetrievalState& state, const RetrievalServices& services,
                          Fetches& fetches, RetrievalOwner& owner) {
    if (program.RunMode != RunModeValue::Editor && program.RunMode != RunModeValue::Entry) return {};
    const SiteEntry& entry = program.CurrentEntry();
    state = {};
    program.ChosenCandidate.clear();
    state.kind = ClassifySource(entry.Url);
    FolderScan scan;
    switch (state.kind) {
        case SourceKind::WebPage: {
            program.SourceText.clear();
            const FetchResult fetched = fetches.SetGrpUrl(state);
            if (!fetched.Ok()) return FetchFailed(fetched);
            program.Candidates =
                ExtractLinks(program.SourceText, entry, state.kind, nullptr, {state.PageContentType});
            state.PageHasScript = FindNoCase(program.SourceText, "<script") != std::string::npos;
            break;
        }
        case SourceKind::LocalFile: {
            RetrievalResult loaded = Load_sDArr(entry.Url, *services.files, program.SourceText);
            if (!loaded.Ok()) return loaded;
            program.Candidates = ExtractLinks(program.SourceText, entry, state.kind);
            break;
        }
        case SourceKind::WebImage:
        case SourceKind::LocalImage:
            program.ChosenImage = entry.Url;
            return {};
        case SourceKind::LocalFolder:
            scan = LoadFlist(program, services, owner);
            break;
        default:
            return {};
    }
    if (entry.No == ChoiceMode::Random) {
        // A history that cannot be read is none: the choice then takes any candidate.
        state.Recent = ReadHistory(*services.files, HistoryPath(services.desktop)).RecentPicks(entry.Name);
        state.Allowed = AllowedCandidates(program.Candidates, state.Recent);
    }
    ClockRandomSource clock;
    std::string chosen;
    std::size_t index = 0;
    RetrievalResult choice =
        ChooseCandidate(program.Candidates, entry, RandomOf(services, clock), chosen, &index, &state.Allowed);
    if (!choice.Ok()) {
        if (choice.failure == RetrievalFailure::NoMatch && state.kind == SourceKind::LocalFolder)
            return FolderWithoutMatch(scan, entry.Url);
        // Said only for an entry that uses the new rules: the others keep their message.
        choice.scriptPage = choice.failure == RetrievalFailure::NoMatch && state.PageHasScript &&
                            (entry.Filter[6] || entry.MinWidth > 0);
        return choice;
    }
    state.PageUrl = program.ServerUrl;
    state.PassOver = entry.MinWidth > 0;
    state.PhotoPages = entry.Filter[6] || entry.MinWidth > 0;
    state.AnyWebAddress = UsesPageRules(entry);
    state.Tried.assign(program.Candidates.size(), false);
    if (entry.EachScreen && services.desktop) {
        const std::vector<Screen> screens = services.desktop->Screens();
        if (SeveralScreens(screens)) {
            state.ScreenChoices = ChooseForScreens(program.Candidates, entry, index, screens.size(),
                                                   RandomOf(services, clock), &state.Allowed, &state.Recent);
            DrawScreenOrder(state.ScreenChoices, entry, RandomOf(services, clock));
            if (!state.ScreenChoices.empty()) index = state.ScreenChoices[0];
        }
    }
    TakeCandidate(program, state, services, index);
    return {};
}

RetrievalOutcome frDispGo(Program& program, RetrievalState& state, const RetrievalServices& services,
                          Fetches& fetches, RetrievalOwner& owner) {
    program.WorkImageIsChosen = false;
    // Everything from here on writes the working file or the wallpaper.
    if (std::optional<RetrievalOutcome> refused = LockRun(program, services, owner)) return *refused;
    // A candidate that cannot be used gives way to the next, for an entry that says so.
    ClockRandomSource clock;
    RetrievalResult brought;
    for (int tries = 1;; ++tries) {
        // An address asked for once this retrieval is passed over without another request
        // and without counting as a try.
        const bool again =
            state.PhotoPages &&
            !state.Fetched.insert(AddressOf(state.PageUrl, program.ChosenImage, program.RelativeToPage))
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
                                               state.Tried, RandomOf(services, clock), &state.Allowed);
        if (next == 0) return Failed(std::move(brought));
        TakeCandidate(program, state, services, next);
    }

    if (RetrievalResult more = BringScreenImages(program, state, services, fetches); !more.Ok()) {
        DeleteWorkingFile(program, *services.files, program.WorkImageFile);
        return Failed(std::move(more));
    }

    if (PictureKindOf(program.WorkImageFile, false) == PictureKind::Png) {
        const std::string png = program.WorkImageFile;
        RetrievalResult converted = ConvertPng(program, services, owner);
        if (!converted.Ok()) {
            DeleteScreenImages(program, *services.files);
            return Failed(std::move(converted));
        }
        // A screen that repeats the first screen's picture shares its working file, which
        // the conversion has just replaced.
        for (ScreenImage& screen : program.MoreScreens)
            if (screen.file == png) {
                screen.file = program.WorkImageFile;
                screen.isChosen = false;
            }
    }

    owner.HideProgress();
    if (services.pump) services.pump->Pump();
    if (program.ShowPreview) return Ended(RetrievalEnd::Preview);
    RetrievalOutcome installed = Ended(RetrievalEnd::Installed);
    installed.install = Autowp(program, services.ForWallpaper());
    return installed;
}

RetrievalOutcome RunRetrieval(Program& program, const RetrievalServices& services, Fetches& fetches,
                              RetrievalOwner& owner, bool gather) {
    // A stop that came while the program started ends the run before it does anything.
    if (services.guard && services.guard->StopRequested()) return Ended(RetrievalEnd::Interrupted);
    // Refused before anything is fetched or moved: an empty name made the bitmap's path the
    // wallpaper folder itself, and the rename that puts a bitmap in place would then have
    // traded the folder, lock and all, for the picture.
    if (const char* key = UnusableFileNameKey(program)) {
        RetrievalResult result = FailureOf(RetrievalFailure::UnusableFileName);
        result.file = SettingsFileForMessages(program, *services.files);
        result.target = key;
        result.subject =
            std::string_view(key) == "CacheFileName" ? program.CacheFileName : program.WinFolderWPname;
        return Failed(std::move(result));
    }
    if (program.RunMode == RunModeValue::Back) return GoBackUnderLock(program, services, owner);
    owner.ShowProgress();
    if (services.pump) services.pump->Pump();
    RetrievalState state;
    if (gather) {
        RetrievalResult gathered = frDispGet(program, state, services, fetches, owner);
        if (!gathered.Ok()) return Failed(std::move(gathered));
    }
    return frDispGo(program, state, services, fetches, owner);
}

}  // namespace vexal
