// Choosing the one candidate a gathering installs, and making a link relative to the
// source page a path on that page's server.
#pragma once

#include "host/host.h"
#include "program/program.h"

namespace vexal {

// Picks from Candidates by the current entry's No, No_n and Refstr into ChosenImage and
// sets RelativeToPage. On an empty or impossible choice it shows one error box, leaves
// ChosenImage and RelativeToPage as they were and returns false.
// The random mode draws from host.random, or from a clock-seeded generator when null.
[[nodiscard]] bool ChooseCandidate(Program& program, Host& host);

}  // namespace vexal
