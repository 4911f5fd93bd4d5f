// The pictures of the second screen on.
#include "gather/screens.h"

#include <map>
#include <unordered_set>

#include "gather/bring.h"
#include "gather/choice.h"

namespace vexal {
namespace {

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

}  // namespace

RetrievalResult BringScreenImages(const Program& program, RetrievalState& state,
                                  const RetrievalServices& services, Fetches& fetches) {
    state.MoreScreens.clear();
    RandomSource& random = RandomOf(services, state);
    ChooseAgainForScreens(program, state, random);
    if (state.ScreenChoices.size() < 2) return {};
    // The first screen's picture, put back in hand once the others are brought.
    const PictureInHand first = state.image;
    const bool relative = state.RelativeToPage;
    const std::string workName = state.workName;
    const std::size_t index = state.ChosenIndex;
    std::map<std::size_t, PictureInHand> brought = {{index, first}};
    RetrievalResult result;
    for (std::size_t screen = 1; screen < state.ScreenChoices.size() && result.Ok(); ++screen) {
        std::size_t& candidate = state.ScreenChoices[screen];
        for (int tries = 0;;) {
            if (auto it = brought.find(candidate); it != brought.end()) {
                state.MoreScreens.push_back(it->second);
                break;
            }
            // A candidate tried before and not brought failed then: it is not asked for again.
            if (candidate >= state.Tried.size() || !state.Tried[candidate]) {
                state.workName = workName + "-" + std::to_string(screen + 1);
                TakeCandidate(program, state, services, candidate);
                RetrievalResult one = BringChosenImage(program, state, services, fetches);
                if (one.Ok()) {
                    brought[candidate] = state.image;
                    state.MoreScreens.push_back(state.image);
                    break;
                }
                if (!state.PassOver || !MayPassOver(one) || ++tries >= kMaxTries) {
                    result = std::move(one);
                    break;
                }
            }
            const std::size_t next = ScreenStandIn(program, state, random, candidate, screen);
            candidate = next != 0 ? next : index;
        }
    }
    state.workName = workName;
    state.image = first;
    state.RelativeToPage = relative;
    state.ChosenIndex = index;
    if (!result.Ok()) state.MoreScreens.clear();
    return result;
}

}  // namespace vexal
