// The three choice modes, and where a chosen link points.
#include "gather/choice.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/case.h"
#include "text/number.h"

namespace vexal {
namespace {

bool IsAbsoluteLocalPath(std::string_view path) {
    return !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() >= 2 && path[1] == ':'));
}

// The folder part of a local path, separator included; empty when there is none.
std::string_view FolderOf(std::string_view path) {
    const std::size_t cut = path.find_last_of(kFolderSeparator == '\\' ? "\\/" : "/");
    return cut == std::string_view::npos ? std::string_view() : path.substr(0, cut + 1);
}

// "%E6%A1%9C.jpg" read as the name it stands for.
std::string PercentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int hi = text[i] == '%' && i + 2 < text.size() ? HexDigitValue(text[i + 1]) : -1;
        const int lo = hi >= 0 ? HexDigitValue(text[i + 2]) : -1;
        if (lo >= 0) {
            out.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// Whether a candidate holds `needle` (lower case). With the page's own picture rule a
// name written with "%" escapes is matched as the name it stands for as well.
bool Contains(const std::string& candidate, const std::string& needle, bool decodedToo) {
    if (FindNoCase(candidate, needle) != std::string_view::npos) return true;
    return decodedToo && candidate.find('%') != std::string::npos &&
           FindNoCase(PercentDecoded(candidate), needle) != std::string_view::npos;
}

// 1 to `count`, uniformly. A source that strays outside [0, 1) still lands on one.
std::size_t Draw(RandomSource& random, std::size_t count) {
    double r = random.Draw();
    if (!(r >= 0.0)) r = 0.0;
    if (r > 1.0) r = 1.0;
    std::size_t index = static_cast<std::size_t>(std::floor(r * static_cast<double>(count))) + 1;
    return index > count ? count : index;
}

RetrievalResult Refused(RetrievalFailure failure) {
    RetrievalResult result;
    result.failure = failure;
    return result;
}

}  // namespace

std::vector<std::size_t> AllowedCandidates(const std::vector<std::string>& candidates,
                                           const std::vector<std::string>& recent) {
    if (candidates.size() < 2) return {};
    const std::size_t count = candidates.size() - 1;
    // Counted by name: a page that links one picture twice has not two pictures to offer.
    const std::set<std::string_view> different(candidates.begin() + 1, candidates.end());
    const std::size_t avoided = std::min(kRecentPicksAvoided, different.size() / 2);
    std::set<std::string_view> barred;
    for (auto it = recent.rbegin(); it != recent.rend() && barred.size() < avoided; ++it)
        if (different.count(*it)) barred.insert(*it);
    std::vector<std::size_t> allowed;
    for (std::size_t i = 1; i <= count; ++i)
        if (!barred.count(candidates[i])) allowed.push_back(i);
    return allowed;
}

RetrievalResult ChooseCandidate(const std::vector<std::string>& candidates, const SiteEntry& entry,
                                RandomSource& random, std::string& chosenOut, std::size_t* indexOut,
                                const std::vector<std::size_t>* allowed) {
    std::size_t ignored = 0;
    std::size_t& chosenIndex = indexOut ? *indexOut : ignored;
    const std::int64_t count = candidates.empty() ? 0 : static_cast<std::int64_t>(candidates.size()) - 1;
    if (count == 0) return Refused(RetrievalFailure::NoMatch);

    // An index of 0 would pick the empty placeholder, and an unknown mode would keep the
    // previous run's choice; both are refused as "no image named".
    switch (entry.No) {
        case ChoiceMode::Nth: {
            if (entry.No_n > count) {
                RetrievalResult result = Refused(RetrievalFailure::NthBeyondCount);
                result.wanted = entry.No_n;
                result.count = count;
                return result;
            }
            if (entry.No_n < 1) return Refused(RetrievalFailure::NothingNamed);
            chosenIndex = static_cast<std::size_t>(entry.No_n);
            chosenOut = candidates[chosenIndex];
            return {};
        }
        case ChoiceMode::Containing: {
            const std::string needle = ToLower(entry.Refstr);
            for (std::int64_t i = 1; i <= count; ++i) {
                if (Contains(candidates[static_cast<std::size_t>(i)], needle, entry.Filter[6])) {
                    chosenIndex = static_cast<std::size_t>(i);
                    chosenOut = candidates[chosenIndex];
                    return {};
                }
            }
            RetrievalResult result = Refused(RetrievalFailure::NothingContaining);
            result.subject = entry.Refstr;
            return result;
        }
        case ChoiceMode::Random: {
            if (allowed && !allowed->empty())
                chosenIndex = (*allowed)[Draw(random, allowed->size()) - 1];
            else
                chosenIndex = Draw(random, static_cast<std::size_t>(count));
            chosenOut = candidates[chosenIndex];
            return {};
        }
    }
    return Refused(RetrievalFailure::NothingNamed);
}

std::size_t NextCandidate(const std::vector<std::string>& candidates, const SiteEntry& entry,
                          std::size_t last, const std::vector<bool>& tried, RandomSource& random,
                          const std::vector<std::size_t>* allowed) {
    const std::size_t count = candidates.empty() ? 0 : candidates.size() - 1;
    switch (entry.No) {
        case ChoiceMode::Nth:
            return last + 1 <= count ? last + 1 : 0;
        case ChoiceMode::Containing: {
            const std::string needle = ToLower(entry.Refstr);
            for (std::size_t i = last + 1; i <= count; ++i)
                if (Contains(candidates[i], needle, entry.Filter[6])) return i;
            return 0;
        }
        case ChoiceMode::Random: {
            const auto untried = [&](std::size_t i) { return i >= tried.size() || !tried[i]; };
            std::vector<std::size_t> left;
            if (allowed)
                for (std::size_t i : *allowed)
                    if (i >= 1 && i <= count && untried(i)) left.push_back(i);
            if (left.empty())
                for (std::size_t i = 1; i <= count; ++i)
                    if (untried(i)) left.push_back(i);
            if (left.empty()) return 0;
            return left[Draw(random, left.size()) - 1];
        }
    }
    return 0;
}

std::vector<std::size_t> ChooseForScreens(const std::vector<std::string>& candidates, const SiteEntry& entry,
                                          std::size_t first, std::size_t screens, RandomSource& random,
                                          const std::vector<std::size_t>* allowed,
                                          const std::vector<std::string>* recent) {
    const std::size_t count = candidates.empty() ? 0 : candidates.size() - 1;
    std::vector<std::size_t> chosen;
    if (count == 0 || first < 1 || first > count || screens == 0) return chosen;
    chosen.push_back(first);
    switch (entry.No) {
        case ChoiceMode::Containing: {
            // The matches in order from the first; when they run out, from the first again.
            std::vector<std::size_t> matches;
            const std::string needle = ToLower(entry.Refstr);
            for (std::size_t i = first; i <= count; ++i)
                if (Contains(candidates[i], needle, entry.Filter[6])) matches.push_back(i);
            while (chosen.size() < screens) chosen.push_back(matches[chosen.size() % matches.size()]);
            break;
        }
        case ChoiceMode::Random: {
            // Different pictures, by name, while there are any left; then the draw starts
            // afresh. A page that links one picture twice offers it once.
            std::vector<bool> taken(count + 1, false);
            std::size_t takenCount = 0;
            const auto take = [&](std::size_t index) {
                for (std::size_t i = 1; i <= count; ++i)
                    if (!taken[i] && candidates[i] == candidates[index]) {
                        taken[i] = true;
                        ++takenCount;
                    }
            };
            take(first);
            std::vector<bool> barred(count + 1, false);
            if (allowed) {
                std::fill(barred.begin() + 1, barred.end(), true);
                for (std::size_t i : *allowed)
                    if (i >= 1 && i <= count) barred[i] = false;
            }
            // How lately a barred candidate was installed: the last time its name appears.
            const auto lastInstalled = [&](std::size_t index) {
                std::size_t when = 0;
                if (recent)
                    for (std::size_t r = 0; r < recent->size(); ++r)
                        if ((*recent)[r] == candidates[index]) when = r + 1;
                return when;
            };
            while (chosen.size() < screens) {
                if (takenCount == count) {
                    std::fill(taken.begin(), taken.end(), false);
                    takenCount = 0;
                }
                std::vector<std::size_t> left;
                for (std::size_t i = 1; i <= count; ++i)
                    if (!taken[i] && !barred[i]) left.push_back(i);
                std::size_t next = 0;
                if (!left.empty()) {
                    next = left[Draw(random, left.size()) - 1];
                } else {
                    // Only pictures the history bars are left: the one installed longest ago.
                    for (std::size_t i = 1; i <= count; ++i)
                        if (!taken[i] && (next == 0 || lastInstalled(i) < lastInstalled(next))) next = i;
                }
                take(next);
                chosen.push_back(next);
            }
            break;
        }
        case ChoiceMode::Nth:
        default:
            // N, N + 1, …, going round to the first candidate after the last.
            while (chosen.size() < screens) chosen.push_back((first - 1 + chosen.size()) % count + 1);
            break;
    }
    return chosen;
}

void DrawScreenOrder(std::vector<std::size_t>& choices, const SiteEntry& entry, RandomSource& random) {
    if (entry.No != ChoiceMode::Random) return;
    for (std::size_t i = choices.size(); i > 1; --i) std::swap(choices[i - 1], choices[Draw(random, i) - 1]);
}

ResolvedImage ResolveChosenLink(std::string chosen, SourceKind sourceKind, const std::string& sourceUrl,
                                const UrlParts& page, FileSystem& files) {
    ResolvedImage resolved{std::move(chosen), false};
    std::string& image = resolved.image;
    if (sourceKind == SourceKind::WebPage && image.starts_with("//") && !page.Scheme.empty()) {
        // A link without its scheme names a host of its own ("//upload.example.org/x.jpg"):
        // asked of the page's server as a path it could only ever give 404.
        image = ToLower(page.Scheme) + ":" + image;
    } else if (sourceKind == SourceKind::WebPage && !IsWebAddress(image)) {
        resolved.relativeToPage = true;
        // A link from the server's root stays as it is; anything else hangs below the
        // page's folder. Dot segments, queries and fragments go to the server unchanged.
        if (image.empty() || image[0] != '/') image = page.Dir + image;
    } else if (sourceKind == SourceKind::LocalFile && ClassifySource(image) == SourceKind::LocalImage &&
               !IsAbsoluteLocalPath(image) && !files.IsNormalFile(image)) {
        // A local page's relative link means the file beside the page when the current
        // folder has no such file.
        std::string besidePage = std::string(FolderOf(sourceUrl)) + image;
        if (files.IsNormalFile(besidePage)) image = std::move(besidePage);
    }
    return resolved;
}

}  // namespace vexal
