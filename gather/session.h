// The retrievals of one run: the transfer over the host's socket and timer, made when the
// first retrieval needs it and kept for the next (the preview's search-again), and the
// driver run over its fetches. Every front end runs its retrievals through one of these.
#pragma once

#include <memory>

#include "host/host.h"
#include "net/transfer.h"
#include "program/program.h"

namespace vexal {

class Transfer;
class TransferFetches;
class RetrievalOwner;

class RetrievalSession {
public:
    // `host` carries what the driver needs; its socket and timer may be set as late as
    // the first Run. `owner` (the front end) must outlive the session.
    RetrievalSession(Program& program, Host& host, RetrievalOwner& owner);
    // The transfer goes first: it stops listening to the socket and timer it was given.
    ~RetrievalSession();
    RetrievalSession(const RetrievalSession&) = delete;
    RetrievalSession& operator=(const RetrievalSession&) = delete;

    // One retrieval, gathering first when `gather`. A host without a socket or a timer
    // cannot fetch anything: the run then ends with failure at once.
    void Run(bool gather);

private:
    Program& program_;
    Host& host_;
    RetrievalOwner& owner_;
    TransferServices services_;
    std::unique_ptr<Transfer> transfer_;
    std::unique_ptr<TransferFetches> fetches_;
};

}  // namespace vexal
