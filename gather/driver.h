// The retrieval driver: one retrieval from the current entry (or an image named on the
// command line) to the preview or the installed wallpaper, ending the program with its
// message at the first step that fails.
#pragma once

#include <string>
#include <string_view>

#include "gather/retrieval_owner.h"
#include "host/front_end.h"
#include "host/host.h"
#include "net/transfer.h"
#include "program/program.h"

namespace vexal {

class Transfer;

// The progress window's two fetches. In the program they are its Transfer's; tests follow
// the driver's paths through doubles.
class Fetches {
public:
    virtual ~Fetches() = default;
    // The page CurrentEntry.Url appended to SourceText.
    [[nodiscard]] virtual FetchResult SetGrpUrl() = 0;
    // ChosenImage into WorkImageFile.
    [[nodiscard]] virtual FetchResult SetGrpData() = 0;
};

// The fetches of a Transfer: each hands it the settings and the names it needs from the
// program, and copies back what it leaves (the server, its request headers, the page text,
// the working file).
class TransferFetches final : public Fetches {
public:
    TransferFetches(Program& program, Transfer& transfer) : program_(program), transfer_(transfer) {}
    [[nodiscard]] FetchResult SetGrpUrl() override;
    [[nodiscard]] FetchResult SetGrpData() override;

private:
    Program& program_;
    Transfer& transfer_;
};

// Gathers the candidates for CurrentEntry and chooses one into ChosenImage (only in run
// modes 0 and 1). Returns false when it ended the program, after `owner` told why.
[[nodiscard]] bool frDispGet(Program& program, Host& host, Fetches& fetches, RetrievalOwner& owner);

// Brings ChosenImage into WorkImageFile (fetching or copying it), converts a PNG to a
// bitmap, hides the progress window and hands over to the owner's preview: shown with the
// picture when ShowPreview, else loaded hidden and installed at once. Every failure is
// told by `owner`, ends the program with status 1 and returns false; once the preview has
// the picture it returns true, and the preview ends the run.
[[nodiscard]] bool frDispGo(Program& program, Host& host, Fetches& fetches, RetrievalOwner& owner);

// What start-up runs in modes 1 and 2, and the preview's search-again: shows the progress
// window, lets it draw, then frDispGet (when `gather`) and frDispGo. False when a step
// failed and ended the program.
bool RunRetrieval(Program& program, Host& host, Fetches& fetches, RetrievalOwner& owner, bool gather);

}  // namespace vexal
