// The pictures of the second screen on, for an entry with a picture for each screen.
#pragma once

#include "gather/retrieval_result.h"
#include "gather/retrieval_services.h"
#include "gather/retrieval_state.h"
#include "program/program.h"

namespace vexal {

class Fetches;

// Brings the pictures of the second screen on into MoreScreens, each into a working file
// of its own named after the screen, then puts the first screen's picture back in hand. A
// screen that repeats a candidate shares the working file it was brought into. For an
// entry that passes over what it cannot use, a screen's candidate that cannot be used
// gives way as the first screen's does, and a screen for which none is left repeats the
// first screen's picture. Otherwise a failure is the run's.
[[nodiscard]] RetrievalResult BringScreenImages(const Program& program, RetrievalState& state,
                                                const RetrievalServices& services, Fetches& fetches);

}  // namespace vexal
