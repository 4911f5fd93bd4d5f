// "Process pending events once": the only way long work yields to windows, sockets and timers.
#pragma once

#include <cstdint>

namespace vexal {

// What a platform's pump has done so far. Tests check waiting loops by these counts
// instead of by the clock: a loop that sleeps shows waits that ran out, a busy one shows
// spins.
struct PumpCounts {
    std::uint64_t polls = 0;      // waits on the system (poll(), MsgWaitForMultipleObjectsEx)
    std::uint64_t woken = 0;      // waits that ended because something was ready
    std::uint64_t ranOut = 0;     // waits that lasted their whole time
    std::uint64_t spins = 0;      // pumps given no wait that found nothing to do
    std::int64_t lastWaitMs = 0;  // the time handed to the last wait
};

class EventPump {
public:
    virtual ~EventPump() = default;
    // Handles every pending window, socket and timer event, then returns. When nothing is
    // pending it may wait up to `maxWaitMs` for something to arrive instead of spinning.
    virtual void Pump(int maxWaitMs = 0) = 0;
};

}  // namespace vexal
