// The pseudo-random numbers behind the random choice of a candidate, behind an interface
// so tests can script the draw while the real program seeds afresh from the clock.
#pragma once

namespace vexal {

class RandomSource {
public:
    virtual ~RandomSource() = default;
    // A number drawn uniformly from [0, 1).
    virtual double Draw() = 0;
};

// Seeds a new generator from the clock and the number of draws before it for every draw,
// so two runs of the program do not repeat each other's picks and one run's draws differ
// even within one tick of the clock.
class ClockRandomSource final : public RandomSource {
public:
    double Draw() override;
};

}  // namespace vexal
