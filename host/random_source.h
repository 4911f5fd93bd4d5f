// The pseudo-random numbers behind the random choice of a candidate, behind an interface
// so tests can script the draw while the real program seeds afresh from the clock.
#pragma once

#include <cstdint>

namespace vexal {

class RandomSource {
public:
    virtual ~RandomSource() = default;
    // A number drawn uniformly from [0, 1).
    virtual double Draw() = 0;
};

// Seeds a new generator from the clock and the number of this source's draws before it
// for every draw, so two runs of the program do not repeat each other's picks and the
// draws of one source differ even within one tick of the clock.
class ClockRandomSource final : public RandomSource {
public:
    double Draw() override;

private:
    std::uint32_t draws_ = 0;  // this source's draws so far
};

}  // namespace vexal
