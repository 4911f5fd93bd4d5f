// The retrievals of one run.
#include "gather/session.h"

#include "net/transfer.h"

namespace vexal {

RetrievalSession::RetrievalSession(Program& program, const RetrievalServices& services, RetrievalOwner& owner)
    : program_(program), services_(services), owner_(owner) {}

RetrievalSession::~RetrievalSession() {
    fetches_.reset();
    transfer_.reset();
}

RetrievalOutcome RetrievalSession::Run(bool gather) {
    if (!transfer_ && services_.socket && services_.timer) {
        transferServices_ = services_.ForTransfer();
        transfer_ = std::make_unique<Transfer>(transferServices_, owner_);
        fetches_ = std::make_unique<TransferFetches>(program_, *transfer_);
    }
    if (!fetches_) {
        RetrievalOutcome outcome;
        outcome.failure.failure = RetrievalFailure::NoConnection;
        return outcome;
    }
    return RunRetrieval(program_, services_, *fetches_, owner_, gather);
}

}  // namespace vexal
