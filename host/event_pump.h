// "Process pending events once": the only way long work yields to windows, sockets and timers.
#pragma once

namespace vexal {

class EventPump {
public:
    virtual ~EventPump() = default;
    // Handles every pending window, socket and timer event, then returns. When nothing is
    // pending it may wait up to `maxWaitMs` for something to arrive instead of spinning.
    virtual void Pump(int maxWaitMs = 0) = 0;
};

}  // namespace vexal
