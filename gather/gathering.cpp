// The gathering step of a retrieval: the entry's candidates, from a page, a list, a folder
// or the entry's own picture, and the choice of one (and of one for each screen).
#include "gather/bring.h"
#include "gather/choice.h"
#include "gather/driver.h"
#include "gather/links.h"
#include "gather/local_sources.h"
#include "gather/picks.h"
#include "host/desktop.h"
#include "settings/source_kind.h"
#include "text/case.h"
#include "wallpaper/screen_layout.h"

namespace vexal {

RetrievalResult frDispGet(Program& program, RetrievalState& state, const RetrievalServices& services,
                          Fetches& fetches, RetrievalOwner& owner) {
    if (program.RunMode != RunModeValue::Editor && program.RunMode != RunModeValue::Entry) return {};
    const SiteEntry& entry = program.CurrentEntry();
    state.image.candidate.clear();
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
            state.image.ChosenImage = entry.Url;
            return {};
        case SourceKind::LocalFolder:
            scan = LoadFlist(program, services, owner);
            break;
        default:
            return {};
    }
    if (entry.No == ChoiceMode::Random) {
        // A history that cannot be read is none: the choice then takes any candidate.
        state.Recent = RecentPicks(*services.files, services.desktop, entry.Name);
        state.Allowed = AllowedCandidates(program.Candidates, state.Recent);
    }
    RandomSource& random = RandomOf(services, state);
    std::string chosen;
    std::size_t index = 0;
    RetrievalResult choice =
        ChooseCandidate(program.Candidates, entry, random, chosen, &index, &state.Allowed);
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
            state.ScreenChoices = ChooseForScreens(program.Candidates, entry, index, screens.size(), random,
                                                   &state.Allowed, &state.Recent);
            DrawScreenOrder(state.ScreenChoices, entry, random);
            if (!state.ScreenChoices.empty()) index = state.ScreenChoices[0];
        }
    }
    TakeCandidate(program, state, services, index);
    return {};
}

}  // namespace vexal
