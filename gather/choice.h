// Choosing the one candidate a gathering installs, and making a link relative to the
// source page a path on that page's server.
#pragma once

#include "host/host.h"
#include "program/program.h"

namespace vexal {

// Picks from Candidates by the current entry's No, No_n and Refstr into ChosenImage, sets
// RelativeToPage and then StepSucceeded. On an empty or impossible choice it shows one
// error box and leaves ChosenImage, RelativeToPage and StepSucceeded as they were.
// The random mode draws from host.random, or from a clock-seeded generator when null.
void ChooseCandidate(Program& program, Host& host);

}  // namespace vexal
