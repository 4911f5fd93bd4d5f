// The retrieval driver: one retrieval from the current entry (or an image named on the
// command line) to the pictures in their working files, then handed to the preview or
// installed at once. It returns how it ended, with the pictures it hands on; the front end
// tells the user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "gather/retrieval_owner.h"
#include "gather/retrieval_result.h"
#include "gather/retrieval_services.h"
#include "gather/retrieval_state.h"
#include "gather/working_files.h"
#include "net/transfer.h"
#include "program/program.h"
#include "wallpaper/install.h"

namespace vexal {

class Transfer;

// The progress window's two fetches. In the program they are its Transfer's; tests follow
// the driver's paths through doubles. Each records in `state` what the retrieval goes on
// with (the page's encoding, what the server called the picture).
class Fetches {
public:
    virtual ~Fetches() = default;
    // The page CurrentEntry.Url appended to SourceText.
    [[nodiscard]] virtual FetchResult SetGrpUrl(RetrievalState& state) = 0;
    // The picture in hand's ChosenImage into its WorkImageFile, named after state.workName.
    [[nodiscard]] virtual FetchResult SetGrpData(RetrievalState& state) = 0;
};

// The fetches of a Transfer: each hands it the settings and the names it needs from the
// program, and copies back what it leaves (the server, its request headers, the page text,
// the working file).
class TransferFetches final : public Fetches {
public:
    TransferFetches(Program& program, Transfer& transfer) : program_(program), transfer_(transfer) {}
    [[nodiscard]] FetchResult SetGrpUrl(RetrievalState& state) override;
    [[nodiscard]] FetchResult SetGrpData(RetrievalState& state) override;

    // The bounds of each fetch on a transfer that makes no progress.
    TransferLimits limits;

private:
    Program& program_;
    Transfer& transfer_;
};

// How a retrieval ended.
enum class RetrievalEnd : std::uint8_t {
    Failed,       // `failure` says why; the wallpaper is as it was
    Interrupted,  // a stop came from outside: the run ends without a message
    Preview,      // `pictures` are for the preview to show
    Installed,    // installed at once (no preview): `install` says how that went
};

struct RetrievalOutcome {
    RetrievalEnd end = RetrievalEnd::Failed;
    RetrievalResult failure;
    InstallResult install;
    // What a preview shows, with the working files they are in; what was installed (its
    // working files gone already); none after a failure.
    RetrievedPictures pictures;
};

// Gathers the candidates for CurrentEntry and chooses one into the picture in hand (only
// in run modes 0 and 1), leaving in `state` what the rest of the retrieval goes by. A
// failure is returned before anything is written.
[[nodiscard]] RetrievalResult frDispGet(Program& program, RetrievalState& state,
                                        const RetrievalServices& services, Fetches& fetches,
                                        RetrievalOwner& owner);

// Takes the run lock, brings the picture in hand into its working file (fetching or
// copying it, and passing over candidates that cannot be used where the entry says so),
// and those of the other screens, converts a PNG to a bitmap and hides the progress
// window; then, with ShowPreview, hands the pictures to the preview, and otherwise
// installs them.
[[nodiscard]] RetrievalOutcome frDispGo(Program& program, RetrievalState& state,
                                        const RetrievalServices& services, Fetches& fetches,
                                        RetrievalOwner& owner);

// What start-up runs in modes 1 and 2, and the preview's search-again: shows the progress
// window, lets it draw, then frDispGet (when `gather`) and frDispGo, with a working state
// of its own (in mode 2, on the picture named on the command line).
[[nodiscard]] RetrievalOutcome RunRetrieval(Program& program, const RetrievalServices& services,
                                            Fetches& fetches, RetrievalOwner& owner, bool gather);

// The run is refused before anything is fetched or moved when the settings name no plain
// file for the working file or the bitmap: what to say then.
[[nodiscard]] std::optional<RetrievalResult> UnusableFileNames(const Program& program,
                                                               const FileSystem& files);

}  // namespace vexal
