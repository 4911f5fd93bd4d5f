// Bringing the chosen picture into its working file.
#include "gather/bring.h"

#include <algorithm>
#include <cassert>

#include "gather/choice.h"
#include "gather/content_kind.h"
#include "gather/driver.h"
#include "gather/links.h"
#include "host/image_decoder.h"
#include "net/response.h"
#include "net/url.h"
#include "settings/source_kind.h"
#include "text/case.h"
#include "wallpaper/image_library.h"

namespace vexal {
namespace {

bool SameFile(FileSystem& files, const std::string& a, const std::string& b) {
    if (a == b) return true;
    std::string idA, idB;
    return files.FolderIdentity(a, idA) && files.FolderIdentity(b, idB) && idA == idB;
}

// The same address, fragment and scheme's letter case aside.
bool SameAddress(std::string_view a, std::string_view b) {
    a = a.substr(0, a.find('#'));
    b = b.substr(0, b.find('#'));
    const std::size_t sa = a.find("://"), sb = b.find("://");
    if (sa == std::string_view::npos || sb == std::string_view::npos) return a == b;
    return ToLower(a.substr(0, sa)) == ToLower(b.substr(0, sb)) && a.substr(sa) == b.substr(sb);
}

RetrievalResult NoPicture(const std::string& subject) {
    RetrievalResult result;
    result.failure = RetrievalFailure::PictureRefused;
    result.subject = subject;
    result.decode.error = DecodeError::Unreadable;
    return result;
}

// Fetches the picture in hand; what arrives is the retrieval's own from then on, whether
// the fetch ended well or not (a stop in its last pass finds the file already named).
FetchResult FetchChosen(RetrievalState& state, const RetrievalServices& services, Fetches& fetches) {
    state.image.WorkImageFile.clear();
    state.image.WorkImageIsChosen = false;
    FetchResult fetched = fetches.SetGrpData(state);
    state.working.Adopt(*services.files, state.image.WorkImageFile);
    return fetched;
}

// How many of a photo page's pictures are tried: its own picture is often a social cover
// or a thumbnail, smaller than the picture the page shows after it.
constexpr std::size_t kPhotoPagePictures = 4;

// The pictures the photo page in `bytes` names first, as whole addresses, in its order,
// those to fetch only: not the page itself, not the address asked for, not one asked for
// already this retrieval. Empty when there is none.
std::vector<std::string> PhotoPagePictures(const Program& program, const RetrievalState& state,
                                           const RetrievalServices& services, const std::string& bytes,
                                           const std::string& askedAddress) {
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
    std::vector<std::string> pictures;
    for (std::size_t i = 1; i < found.size() && pictures.size() < kPhotoPagePictures; ++i) {
        const std::string link =
            program.CurrentEntry().Filter[6] ? QueryInPageEncoding(found[i], encoding) : found[i];
        const ResolvedImage resolved =
            ResolveChosenLink(link, SourceKind::WebPage, UrlText(photo), photo, *services.files);
        std::string next = AddressOf(photo, resolved.image, resolved.relativeToPage);
        // A page that names itself as its picture ends there.
        if (SameAddress(next, UrlText(photo)) || SameAddress(next, askedAddress)) {
            if (i == 1) return {};
            continue;
        }
        // Asked for already this retrieval: the answer would be the same.
        if (state.Fetched.count(next) || std::find(pictures.begin(), pictures.end(), next) != pictures.end())
            continue;
        pictures.push_back(std::move(next));
    }
    return pictures;
}

// For an entry with a MinWidth: whether the picture in hand is one, at least that wide and
// of a shape a screen takes. A picture that is not leaves no working file behind.
RetrievalResult CheckWidth(const Program& program, RetrievalState& state, const RetrievalServices& services) {
    const std::int32_t minWidth = state.PassOver ? program.CurrentEntry().MinWidth : 0;
    if (minWidth <= 0 || !services.images) return {};
    const DecodeResult probed = services.images->Probe(state.image.WorkImageFile);
    RetrievalResult result;
    result.subject = state.image.ChosenImage;
    if (!probed.Ok()) {
        result.failure = RetrievalFailure::PictureRefused;
        result.decode = probed;
    } else if (probed.width < minWidth) {
        result.failure = RetrievalFailure::TooNarrow;
        result.count = probed.width;
        result.wanted = minWidth;
    } else if (probed.width > 4 * probed.height || probed.height > 4 * probed.width) {
        // A header's banner (990 × 120) is wide enough, yet no screen can show it.
        result.failure = RetrievalFailure::UnusableShape;
        result.count = probed.width;
        result.wanted = probed.height;
    } else {
        return {};
    }
    state.working.Delete(state.image.WorkImageFile);
    return result;
}

// Judges what a web fetch brought into the working file. A page, where photo pages are
// read (`photoPage` is true only for a candidate of the gathered page, not for what a
// photo page names), is read with the page's own picture rule and the entry's rules, and
// its first candidates fetched instead, until one can be used (`widthCheckedOut` then says
// that the width of the one taken was checked already). A picture whose name told no kind
// gets the extension its first bytes tell.
RetrievalResult JudgeArrival(const Program& program, RetrievalState& state, const RetrievalServices& services,
                             Fetches& fetches, bool photoPage, bool& widthCheckedOut) {
    const bool named = PictureKindOf(state.image.ChosenImage, true) != PictureKind::NotAPicture;
    if (named && !state.PhotoPages) return {};
    // The first bytes tell a picture from a page; only a page to be read as a photo page is
    // read whole, so an unnamed picture of a gibibyte is not held here before decoding.
    std::string bytes;
    if (!services.files->ReadFileHead(state.image.WorkImageFile, 512, bytes))
        return {};  // the decoder will say
    const ContentKind content = ContentKindOf(bytes);
    // A page by its first bytes or by what the server calls it, unless its bytes are a
    // picture's (servers do label pictures wrongly).
    const std::string_view type = TrimSpaces(state.FetchedContentType);
    const bool page =
        content.picture == PictureKind::NotAPicture && (content.html || StartsWithNoCase(type, "text/html") ||
                                                        StartsWithNoCase(type, "application/xhtml+xml"));
    if (page && state.PhotoPages) {
        const std::string asked = state.image.ChosenImage;
        const std::string askedAddress = AddressOf(state.PageUrl, asked, state.RelativeToPage);
        // A page past the bound of any text the program reads is no photo page to read.
        const bool read =
            photoPage && services.files->ReadFileAtMost(state.image.WorkImageFile, kLocalTextBound, bytes) ==
                             ReadFailure::Nothing;
        state.working.Delete(state.image.WorkImageFile);
        if (!read) return NoPicture(asked);
        const std::vector<std::string> pictures =
            PhotoPagePictures(program, state, services, bytes, askedAddress);
        if (pictures.empty()) return NoPicture(asked);
        // The page's pictures in its order, until one can be used.
        RetrievalResult result = NoPicture(asked);
        for (const std::string& next : pictures) {
            if (!state.Fetched.insert(next).second) continue;
            state.image.ChosenImage = next;
            state.RelativeToPage = false;
            const FetchResult fetched = FetchChosen(state, services, fetches);
            bool unused = false;
            result = fetched.Ok() ? JudgeArrival(program, state, services, fetches, false, unused)
                                  : FetchFailed(fetched);
            if (result.Ok()) result = CheckWidth(program, state, services);
            widthCheckedOut = result.Ok();
            if (result.Ok() || !state.PassOver || !MayPassOver(result)) break;
        }
        return result;
    }
    if (named) return {};
    if (content.picture == PictureKind::NotAPicture) {
        state.working.Delete(state.image.WorkImageFile);
        return NoPicture(state.image.ChosenImage);
    }
    const std::string told = state.workName + "." + PictureKindExtension(content.picture);
    if (!services.files->RenameFile(state.image.WorkImageFile, told)) {
        RetrievalResult result;
        result.failure = RetrievalFailure::ImageNotCopied;
        result.subject = state.image.WorkImageFile;
        result.target = told;
        result.fileFailure = services.files->LastFailure();
        state.working.Delete(state.image.WorkImageFile);
        return result;
    }
    state.working.Renamed(state.image.WorkImageFile, told);
    state.image.WorkImageFile = told;
    return {};
}

}  // namespace

RandomSource& RandomOf(const RetrievalServices& services, RetrievalState& state) {
    return services.random ? *services.random : state.clock;
}

std::string AddressOf(const UrlParts& page, const std::string& link, bool onPage) {
    if (!onPage) return link;
    UrlParts parts = page;
    parts.Dir = UrlDirPart(link);
    parts.File = UrlFilePart(link);
    return UrlText(parts);
}

void TakeCandidate(const Program& program, RetrievalState& state, const RetrievalServices& services,
                   std::size_t index) {
    const SiteEntry& entry = program.CurrentEntry();
    // A page read with its own characters sends a link's query in its own encoding.
    const std::string link = state.kind == SourceKind::WebPage && entry.Filter[6]
                                 ? QueryInPageEncoding(program.Candidates[index], state.PageCharset)
                                 : program.Candidates[index];
    ResolvedImage resolved = ResolveChosenLink(link, state.kind, entry.Url, state.PageUrl, *services.files);
    state.ChosenIndex = index;
    state.image.candidate = program.Candidates[index];
    if (index < state.Tried.size()) state.Tried[index] = true;
    // After the first try the transfer may be on another server (a picture's, a photo
    // page's): a link on the page goes by its whole address from then on.
    const bool first = std::count(state.Tried.begin(), state.Tried.end(), true) <= 1;
    if (resolved.relativeToPage && !first) {
        state.image.ChosenImage = AddressOf(state.PageUrl, resolved.image, true);
        state.RelativeToPage = false;
    } else {
        state.image.ChosenImage = std::move(resolved.image);
        state.RelativeToPage = resolved.relativeToPage;
    }
}

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
        case RetrievalFailure::UnusableShape:
        case RetrievalFailure::NothingNamed:
            return true;
        default:
            return false;
    }
}

RetrievalResult BringChosenImage(const Program& program, RetrievalState& state,
                                 const RetrievalServices& services, Fetches& fetches) {
    const SourceKind kind = ClassifySource(state.image.ChosenImage);
    if (state.RelativeToPage || kind == SourceKind::WebImage ||
        (kind == SourceKind::WebPage && state.AnyWebAddress)) {
        const FetchResult fetched = FetchChosen(state, services, fetches);
        if (!fetched.Ok()) return FetchFailed(fetched);
        bool widthChecked = false;
        const RetrievalResult judged = JudgeArrival(program, state, services, fetches, true, widthChecked);
        if (!judged.Ok() || widthChecked) return judged;
    } else if (kind == SourceKind::LocalImage) {
        RetrievalResult result;
        if (!services.files->IsNormalFile(state.image.ChosenImage)) {
            result.failure = RetrievalFailure::ImageMissing;
            result.subject = state.image.ChosenImage;
            return result;
        }
        const std::string work = WorkImageFileName(state.workName, state.image.ChosenImage, false);
        // Copying the working file onto itself would gain nothing, and deleting the working
        // file afterwards would delete the user's picture: it is used where it is instead.
        state.image.WorkImageIsChosen = SameFile(*services.files, state.image.ChosenImage, work);
        if (!state.image.WorkImageIsChosen) {
            const std::string temp = TempPathFor(work, services.guard);
            state.working.Adopt(*services.files, temp);
            if (!services.files->CopyFile(state.image.ChosenImage, temp) ||
                !services.files->RenameFile(temp, work)) {
                const FileFailure why = services.files->LastFailure();
                state.working.Delete(temp);
                result.failure = RetrievalFailure::ImageNotCopied;
                result.subject = state.image.ChosenImage;
                result.target = work;
                result.fileFailure = why;
                return result;
            }
            state.working.Renamed(temp, work);
        }
        state.image.WorkImageFile = work;
    } else {
        RetrievalResult result;
        result.failure = RetrievalFailure::NothingNamed;
        return result;
    }

    return CheckWidth(program, state, services);
}

RetrievalResult ConvertPng(RetrievalState& state, const RetrievalServices& services, RetrievalOwner& owner) {
    owner.Say(RetrievalStep::ConvertingPng);
    const std::string png = state.image.WorkImageFile;
    assert(services.images);
    const std::string bmp = png.substr(0, png.size() - 3) + "bmp";
    // Written under a name of its own first, so no half bitmap ever carries the working name.
    const std::string temp = TempPathFor(bmp, services.guard);
    state.working.Adopt(*services.files, temp);
    auto failed = [&](RetrievalResult result) {
        state.working.Delete(png);
        state.working.Delete(temp);
        return result;
    };
    auto unreadable = [&](const DecodeResult& why) {
        // A picture refused for its size says so; anything else is the library's failure.
        RetrievalResult result;
        if (why.error == DecodeError::Stopped) {
            // Asked to stop while the picture was read: the run ends without a word.
            result.failure = RetrievalFailure::Cancelled;
        } else if (why.error == DecodeError::TooLarge) {
            result.failure = RetrievalFailure::PictureRefused;
            result.subject = state.image.ChosenImage;
            result.decode = why;
        } else {
            result.failure = RetrievalFailure::PngUnreadable;
            result.subject = state.image.ChosenImage;
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
    state.working.Renamed(temp, bmp);
    state.working.Delete(png);
    state.image.WorkImageFile = bmp;
    state.image.WorkImageIsChosen = false;
    return {};
}

}  // namespace vexal
