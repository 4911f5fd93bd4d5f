// Bringing the chosen picture into its working file: fetching or copying it, reading a
// photo page for its picture, telling a nameless picture's kind by its first bytes, and
// checking it is wide enough; then, once all screens have theirs, a PNG becomes a bitmap.
#pragma once

#include <cstddef>
#include <string>

#include "gather/retrieval_owner.h"
#include "gather/retrieval_result.h"
#include "gather/retrieval_services.h"
#include "gather/retrieval_state.h"
#include "program/program.h"

namespace vexal {

class Fetches;

// Candidates one run tries at most before it gives up with the last one's message.
inline constexpr int kMaxTries = 20;

// The random source of the retrieval: the services' when they give one, else its own clock.
RandomSource& RandomOf(const RetrievalServices& services, RetrievalState& state);

// The absolute address of `link` (a path on the server of `page` when `onPage`).
std::string AddressOf(const UrlParts& page, const std::string& link, bool onPage);

// Makes candidate `index` the picture in hand, as the gathering's choice would.
void TakeCandidate(const Program& program, RetrievalState& state, const RetrievalServices& services,
                   std::size_t index);

// Whether a candidate that failed so may give way to the next: not when the user
// cancelled or declined to wait, nor when the working file cannot be written (the next
// would fare no better).
bool MayPassOver(const RetrievalResult& result);

// Brings the picture in hand into its working file (fetching or copying it) and, for an
// entry with a MinWidth, checks that it is a picture at least that wide. A failure leaves
// no working file of it behind.
[[nodiscard]] RetrievalResult BringChosenImage(const Program& program, RetrievalState& state,
                                               const RetrievalServices& services, Fetches& fetches);

// Converts the PNG working file of the picture in hand into a bitmap beside it, which
// becomes its working file.
[[nodiscard]] RetrievalResult ConvertPng(RetrievalState& state, const RetrievalServices& services,
                                         RetrievalOwner& owner);

}  // namespace vexal
