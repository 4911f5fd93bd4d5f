// "Process pending events once" for the Qt program: the window system's events through
// Qt, then the sockets and the timer through the POSIX reactor, which sleeps in poll()
// for a short slice when nothing is ready, so waiting loops do not spin.
#pragma once

#include "host/event_pump.h"

namespace vexal {

class QtEventPump final : public EventPump {
public:
    // `network` pumps the sockets and timers; null when there are none.
    explicit QtEventPump(EventPump* network = nullptr) : network_(network) {}
    void Pump(int maxWaitMs = 0) override;

    // The longest the network may keep the window system waiting: windows stay live
    // (painting, the cancel button) while a transfer waits for its server.
    static constexpr int kSliceMs = 10;

private:
    EventPump* network_;
};

}  // namespace vexal
