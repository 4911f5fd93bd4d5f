// The retrieval driver: one retrieval from the current entry (or an image named on the
// command line) to the preview or the installed wallpaper, ending the program with its
// message at the first step that fails.
#pragma once

#include <string>
#include <string_view>

#include "host/front_end.h"
#include "host/host.h"
#include "net/transfer.h"
#include "program/program.h"

namespace vexal {

class Transfer;

// The front end as a retrieval sees it: the transfer's owner (progress, the question on a
// silent server, cancelling), and the one that tells the user why a fetch failed.
class RetrievalOwner : public TransferOwner {
public:
    // Says why a fetch failed; the run ends right after.
    virtual void FetchFailed(const FetchResult& result) = 0;
};

// The progress window's two fetches. In the program they are its Transfer's; tests follow
// the driver's paths through doubles.
class Fetches {
public:
    virtual ~Fetches() = default;
    // The page CurrentEntry.Url appended to SourceText; false, after its message, when it
    // could not be had.
    [[nodiscard]] virtual bool SetGrpUrl() = 0;
    // ChosenImage into WorkImageFile; false, after its message, when it could not be had.
    [[nodiscard]] virtual bool SetGrpData() = 0;
};

// The fetches of a Transfer: each hands it the settings and the names it needs from the
// program, copies back what it leaves (the server, its request headers, the page text,
// the working file), and hands a failure to the owner to tell.
class TransferFetches final : public Fetches {
public:
    TransferFetches(Program& program, Transfer& transfer, RetrievalOwner& owner)
        : program_(program), transfer_(transfer), owner_(owner) {}
    [[nodiscard]] bool SetGrpUrl() override;
    [[nodiscard]] bool SetGrpData() override;

private:
    bool Told(const FetchResult& result);

    Program& program_;
    Transfer& transfer_;
    RetrievalOwner& owner_;
};

// Gathers the candidates for CurrentEntry and chooses one into ChosenImage (only in run
// modes 0 and 1). Returns false when it ended the program.
[[nodiscard]] bool frDispGet(Program& program, Host& host, Fetches& fetches);

// Brings ChosenImage into WorkImageFile (fetching or copying it), converts a PNG to a
// bitmap, hides the progress window and hands over to the preview (host.preview): shown
// with the picture when ShowPreview, else loaded hidden and installed at once. Every
// failure shows its message, ends the program with status 1 and returns false; once the
// preview has the picture it returns true, and the preview ends the run.
[[nodiscard]] bool frDispGo(Program& program, Host& host, Fetches& fetches);

// What start-up runs in modes 1 and 2, and the preview's search-again: shows the progress
// window, lets it draw, then frDispGet (when `gather`) and frDispGo. False when a step
// failed and ended the program.
bool RunRetrieval(Program& program, Host& host, Fetches& fetches, bool gather);

// The settings name a working copy or bitmap that is no plain file name.
inline std::string UnusableFileNameText(const std::string& settingsFile, const std::string& key,
                                        const std::string& value) {
    return "設定ファイル " + settingsFile + " の " + key + " = " + value +
           " はファイル名として使えません。\r\n空欄、.、.. や / \\ を含む名前は使えません。";
}

}  // namespace vexal
