// The retrievals of one run.
#include "gather/session.h"

#include "gather/driver.h"
#include "net/transfer.h"

namespace vexal {

RetrievalSession::RetrievalSession(Program& program, Host& host, RetrievalOwner& owner)
    : program_(program), host_(host), owner_(owner) {}

RetrievalSession::~RetrievalSession() {
    fetches_.reset();
    transfer_.reset();
}

void RetrievalSession::Run(bool gather) {
    if (!transfer_ && host_.socket && host_.timer) {
        services_ = {host_.socket, host_.secureSocket, host_.timer, host_.pump, host_.files, host_.guard};
        transfer_ = std::make_unique<Transfer>(services_, owner_);
        fetches_ = std::make_unique<TransferFetches>(program_, *transfer_);
    }
    if (!fetches_) {
        RetrievalResult result;
        result.failure = RetrievalFailure::NoConnection;
        owner_.Failed(result);
        return;
    }
    RunRetrieval(program_, host_, *fetches_, owner_, gather);
}

}  // namespace vexal
