// The retrieval driver: one retrieval from the current entry (or an image named on the
// command line) to the picture in the working file, then handed to the preview or
// installed at once. It returns how it ended; the front end tells the user.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "gather/retrieval_owner.h"
#include "gather/retrieval_result.h"
#include "gather/retrieval_services.h"
#include "gather/retrieval_state.h"
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
    // ChosenImage into WorkImageFile.
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

private:
    Program& program_;
    Transfer& transfer_;
};

// How a retrieval ended.
enum class RetrievalEnd : std::uint8_t {
    Failed,       // `failure` says why; the wallpaper is as it was
    Interrupted,  // a stop came from outside: the run ends without a message
    Preview,      // the picture is in WorkImageFile, for the preview to show
    Installed,    // installed at once (no preview): `install` says how that went
};

struct RetrievalOutcome {
    RetrievalEnd end = RetrievalEnd::Failed;
    RetrievalResult failure;
    InstallResult install;
};

// Gathers the candidates for CurrentEntry and chooses one into ChosenImage (only in run
// modes 0 and 1), leaving in `state` what the rest of the retrieval goes by. A failure is
// returned before anything is written.
[[nodiscard]] RetrievalResult frDispGet(Program& program, RetrievalState& state,
                                        const RetrievalServices& services, Fetches& fetches,
                                        RetrievalOwner& owner);

// Takes the run lock, brings ChosenImage into WorkImageFile (fetching or copying it, and
// passing over candidates that cannot be used where the entry says so), converts a PNG to
// a bitmap and hides the progress window; then, with ShowPreview, leaves the picture to
// the preview, and otherwise installs it.
[[nodiscard]] RetrievalOutcome frDispGo(Program& program, RetrievalState& state,
                                        const RetrievalServices& services, Fetches& fetches,
                                        RetrievalOwner& owner);

// What start-up runs in modes 1 and 2, and the preview's search-again: shows the progress
// window, lets it draw, then frDispGet (when `gather`) and frDispGo, with a working state
// of its own. In the mode that goes back, it takes the run lock and puts the wallpaper
// before the current one back, without a window.
[[nodiscard]] RetrievalOutcome RunRetrieval(Program& program, const RetrievalServices& services,
                                            Fetches& fetches, RetrievalOwner& owner, bool gather);

}  // namespace vexal
