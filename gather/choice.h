// Choosing the one candidate a gathering installs, and making a link relative to the
// source page a path on that page's server.
#pragma once

#include <string>
#include <vector>

#include "gather/retrieval_result.h"
#include "host/file_system.h"
#include "host/random_source.h"
#include "program/site_entry.h"
#include "program/url_parts.h"
#include "settings/source_kind.h"

namespace vexal {

// How many of the pictures an entry installed last a random choice stays away from, at
// most: fewer when the entry has fewer candidates (see AllowedCandidates).
inline constexpr std::size_t kRecentPicksAvoided = 10;

// The candidates (indices into `candidates`, whose 0 is a placeholder) a random choice may
// take, given the pictures the entry installed before (`recent`, oldest first): none of
// the last K different ones, K = min(10, half the number of different candidates, rounded
// down). No picture comes back before at least half of them were shown, and at least half
// are always left to draw from, so the order changes from one pass to the next (barring all
// but one would turn a small folder into a fixed rotation).
std::vector<std::size_t> AllowedCandidates(const std::vector<std::string>& candidates,
                                           const std::vector<std::string>& recent);

// Picks from `candidates` (index 0 is a placeholder) by the entry's No, No_n and Refstr
// into `chosenOut` (and its index into `indexOut`, if given), which are left as they were
// on an empty or impossible choice. The random mode draws once from `random`, among
// `allowed` when given (see AllowedCandidates) and among all candidates otherwise.
[[nodiscard]] RetrievalResult ChooseCandidate(const std::vector<std::string>& candidates,
                                              const SiteEntry& entry, RandomSource& random,
                                              std::string& chosenOut, std::size_t* indexOut = nullptr,
                                              const std::vector<std::size_t>* allowed = nullptr);

// The candidate to try when the one at `last` could not be used, for an entry that passes
// over such candidates: the next match after it for the N-th and the "contains" choice,
// a new draw among those `tried` does not mark for the random one: among `allowed` while
// any of them is left, then among the rest, since a picture installed lately is better
// than none. 0 when none is left.
std::size_t NextCandidate(const std::vector<std::string>& candidates, const SiteEntry& entry,
                          std::size_t last, const std::vector<bool>& tried, RandomSource& random,
                          const std::vector<std::size_t>* allowed = nullptr);

// The candidates for `screens` screens of an entry that shows a picture on each, the
// first being `first` (what ChooseCandidate chose): the N-th choice takes N, N + 1, …; the
// "contains" choice the matches in order; the random one different pictures, among
// `allowed` (see AllowedCandidates) while any of them is left, then among the others,
// those installed longest ago (by `recent`, oldest first) before the newer ones: different
// pictures on the screens come before the history's rule. A source with fewer candidates
// than screens repeats them. Empty when `first` is no candidate. Only the candidates given
// are drawn from, so a rule that narrows them applies here too.
std::vector<std::size_t> ChooseForScreens(const std::vector<std::string>& candidates, const SiteEntry& entry,
                                          std::size_t first, std::size_t screens, RandomSource& random,
                                          const std::vector<std::size_t>* allowed = nullptr,
                                          const std::vector<std::string>* recent = nullptr);

// Puts the screens' candidates of a random choice in an order drawn afresh, so that the
// same pictures do not stand on the same screens run after run (two pictures on two
// screens would otherwise never change places). Other choices keep their order.
void DrawScreenOrder(std::vector<std::size_t>& choices, const SiteEntry& entry, RandomSource& random);

// Where a chosen link points.
struct ResolvedImage {
    std::string image;
    bool relativeToPage = false;  // a path on the server of the page (`image` then holds it)
};

// The picture the link `chosen` names, for a source of `sourceKind` at `sourceUrl`: a
// link relative to a web page becomes a path below the page's folder (`page`, the address
// the page came from) on its server, and a "//host/path" link an address of the page's
// scheme on that host; a relative link on a local page means the file beside the page
// when the current folder has no such file.
ResolvedImage ResolveChosenLink(std::string chosen, SourceKind sourceKind, const std::string& sourceUrl,
                                const UrlParts& page, FileSystem& files);

}  // namespace vexal
