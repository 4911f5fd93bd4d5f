// The three choice modes, and where a chosen link points.
#include "gather/choice.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "text/case.h"

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

RetrievalResult Refused(RetrievalFailure failure) {
    RetrievalResult result;
    result.failure = failure;
    return result;
}

}  // namespace

RetrievalResult ChooseCandidate(const std::vector<std::string>& candidates, const SiteEntry& entry,
                                RandomSource& random, std::string& chosenOut) {
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
            chosenOut = candidates[static_cast<std::size_t>(entry.No_n)];
            return {};
        }
        case ChoiceMode::Containing: {
            const std::string needle = ToLower(entry.Refstr);
            for (std::int64_t i = 1; i <= count; ++i) {
                if (FindNoCase(candidates[static_cast<std::size_t>(i)], needle) != std::string_view::npos) {
                    chosenOut = candidates[static_cast<std::size_t>(i)];
                    return {};
                }
            }
            RetrievalResult result = Refused(RetrievalFailure::NothingContaining);
            result.subject = entry.Refstr;
            return result;
        }
        case ChoiceMode::Random: {
            double r = random.Draw();
            // A source that strays outside [0, 1) must still land on a candidate.
            if (!(r >= 0.0)) r = 0.0;
            if (r > 1.0) r = 1.0;
            std::int64_t index = static_cast<std::int64_t>(std::floor(r * static_cast<double>(count))) + 1;
            if (index > count) index = count;
            chosenOut = candidates[static_cast<std::size_t>(index)];
            return {};
        }
    }
    return Refused(RetrievalFailure::NothingNamed);
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
