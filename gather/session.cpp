// The retrievals of one run.
#include "gather/session.h"

#include "gather/driver.h"
#include "net/transfer.h"

namespace vexal {

RetrievalSession::RetrievalSession(Program& program, Host& host) : program_(program), host_(host) {}

RetrievalSession::~RetrievalSession() {
    fetches_.reset();
    transfer_.reset();
}

void RetrievalSession::Run(bool gather) {
    if (!transfer_ && host_.socket && host_.timer) {
        transfer_ = std::make_unique<Transfer>(host_, program_.CancelRequested);
        fetches_ = std::make_unique<TransferFetches>(program_, *transfer_);
    }
    if (!fetches_) {
        host_.process->End(kExitFailure);
        return;
    }
    RunRetrieval(program_, host_, *fetches_, gather);
}

}  // namespace vexal
