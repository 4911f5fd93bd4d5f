// What a retrieval tells the front end while it runs: the steps the progress window shows,
// besides the transfer's own progress, the question on a silent server and cancelling. How
// it ended is its return value, not a call on its owner.
#pragma once

#include <cstdint>

#include "net/transfer.h"

namespace vexal {

// What the progress window shows besides the fetches' own steps.
enum class RetrievalStep : std::uint8_t {
    ListingFolder,       // the entry's folder is being walked
    WaitingForOtherRun,  // another run holds the lock
    ConvertingPng,       // the PNG working file becomes a bitmap
};

// The front end as a retrieval sees it while it runs: the transfer's owner (progress, the
// question on a silent server, cancelling) and the progress window's other steps.
class RetrievalOwner : public TransferOwner {
public:
    virtual void Say(RetrievalStep step) = 0;
    virtual void ShowProgress() = 0;
    virtual void HideProgress() = 0;
};

}  // namespace vexal
