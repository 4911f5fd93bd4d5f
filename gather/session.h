// The retrievals of one run: the transfer over the run's socket and timer, made when the
// first retrieval needs it and kept for the next (the preview's search-again), and the
// driver run over its fetches. Every front end runs its retrievals through one of these.
#pragma once

#include <memory>

#include "gather/driver.h"
#include "gather/retrieval_services.h"
#include "net/transfer.h"
#include "program/program.h"

namespace vexal {

class Transfer;
class TransferFetches;
class RetrievalOwner;

class RetrievalSession {
public:
    // `owner` (the front end) must outlive the session.
    RetrievalSession(Program& program, const RetrievalServices& services, RetrievalOwner& owner);
    // The transfer goes first: it stops listening to the socket and timer it was given.
    ~RetrievalSession();
    RetrievalSession(const RetrievalSession&) = delete;
    RetrievalSession& operator=(const RetrievalSession&) = delete;

    // One retrieval, gathering first when `gather`, and how it ended. Without a socket or
    // a timer nothing can be fetched: the retrieval then fails at once.
    [[nodiscard]] RetrievalOutcome Run(bool gather);

private:
    Program& program_;
    RetrievalServices services_;
    RetrievalOwner& owner_;
    TransferServices transferServices_;
    std::unique_ptr<Transfer> transfer_;
    std::unique_ptr<TransferFetches> fetches_;
};

}  // namespace vexal
