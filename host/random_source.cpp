// The clock-seeded generator used when the host supplies none.
#include "host/random_source.h"

#include <chrono>
#include <cstdint>
#include <random>

namespace vexal {

double ClockRandomSource::Draw() {
    // A run now draws several times (a picture for each screen, a candidate passed over),
    // often within one tick of a coarse clock: the count of draws so far keeps the seeds apart.
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto ticks =
        static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    std::seed_seq seed{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32), draws_++};
    std::mt19937_64 generator(seed);
    double r = std::generate_canonical<double, 64>(generator);
    // generate_canonical may round up to exactly 1 on some library versions.
    return r < 1.0 ? r : 0.0;
}

}  // namespace vexal
