// The three choice modes and their messages.
#include "gather/choice.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "host/random_source.h"
#include "program/program.h"
#include "settings/source_kind.h"
#include "text/case.h"

namespace vexal {
namespace {

constexpr const char* kNoMatch = "条件に合致する画像ファイルがありません。";

// An index of 0 would pick the empty placeholder, and an unknown mode would keep the
// previous run's choice; both are refused with the message for "no image named".
constexpr const char* kNothingNamed = "画像ファイルが指定されませんでした。";

bool IsAbsoluteLocalPath(std::string_view path) {
    return !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() >= 2 && path[1] == ':'));
}

// The folder part of a local path, separator included; empty when there is none.
std::string_view FolderOf(std::string_view path) {
    const std::size_t cut = path.find_last_of(kFolderSeparator == '\\' ? "\\/" : "/");
    return cut == std::string_view::npos ? std::string_view() : path.substr(0, cut + 1);
}

}  // namespace

bool ChooseCandidate(Program& program, Host& host) {
    const SiteEntry& entry = program.CurrentEntry();
    const std::int64_t count =
        program.Candidates.empty() ? 0 : static_cast<std::int64_t>(program.Candidates.size()) - 1;
    if (count == 0) {
        ShowError(program, *host.dialogs, kNoMatch);
        return false;
    }

    std::string chosen;
    switch (entry.No) {
        case ChoiceMode::Nth: {
            if (entry.No_n > count) {
                ShowError(program, *host.dialogs,
                          std::string(kNoMatch) + "\r\n" + std::to_string(entry.No_n) +
                              "番目の画像が指定されましたが、" + std::to_string(count) +
                              "個の画像ファイルしか抽出出来ませんでした。");
                return false;
            }
            if (entry.No_n < 1) {
                ShowError(program, *host.dialogs, kNothingNamed);
                return false;
            }
            chosen = program.Candidates[static_cast<std::size_t>(entry.No_n)];
            break;
        }
        case ChoiceMode::Containing: {
            const std::string needle = ToLower(entry.Refstr);
            std::int64_t found = 0;
            for (std::int64_t i = 1; i <= count && found == 0; ++i)
                if (FindNoCase(program.Candidates[static_cast<std::size_t>(i)], needle) !=
                    std::string_view::npos)
                    found = i;
            if (found == 0) {
                ShowError(program, *host.dialogs,
                          std::string(kNoMatch) + "\r\n" + "文字列\"" + entry.Refstr +
                              "\"を含む画像ファイルが見つかりませんでした。");
                return false;
            }
            chosen = program.Candidates[static_cast<std::size_t>(found)];
            break;
        }
        case ChoiceMode::Random: {
            ClockRandomSource clock;
            RandomSource& source = host.random ? *host.random : clock;
            double r = source.Draw();
            // A source that strays outside [0, 1) must still land on a candidate.
            if (!(r >= 0.0)) r = 0.0;
            if (r > 1.0) r = 1.0;
            std::int64_t index = static_cast<std::int64_t>(std::floor(r * static_cast<double>(count))) + 1;
            if (index > count) index = count;
            chosen = program.Candidates[static_cast<std::size_t>(index)];
            break;
        }
        default:
            ShowError(program, *host.dialogs, kNothingNamed);
            return false;
    }

    program.ChosenImage = std::move(chosen);
    program.RelativeToPage = false;
    if (ClassifySource(program.CurrentEntry().Url) == SourceKind::WebPage &&
        !IsWebAddress(program.ChosenImage)) {
        program.RelativeToPage = true;
        // A link from the server's root stays as it is; anything else hangs below the
        // page's folder. Dot segments, queries and fragments go to the server unchanged.
        if (program.ChosenImage.empty() || program.ChosenImage[0] != '/')
            program.ChosenImage = program.ServerUrl.Dir + program.ChosenImage;
    } else if (ClassifySource(program.CurrentEntry().Url) == SourceKind::LocalFile &&
               ClassifySource(program.ChosenImage) == SourceKind::LocalImage &&
               !IsAbsoluteLocalPath(program.ChosenImage) && !host.files->IsNormalFile(program.ChosenImage)) {
        // A local page's relative link means the file beside the page when the current
        // folder has no such file.
        std::string besidePage = std::string(FolderOf(program.CurrentEntry().Url)) + program.ChosenImage;
        if (host.files->IsNormalFile(besidePage)) program.ChosenImage = std::move(besidePage);
    }
    return true;
}

}  // namespace vexal
