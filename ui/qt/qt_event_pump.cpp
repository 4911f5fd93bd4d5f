// The Qt program's event pump.
#include "ui/qt/qt_event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>

namespace vexal {

void QtEventPump::Pump(int maxWaitMs) {
    // Deferred deletes are left to the main loop: a window or dialog must not be deleted
    // under a handler that is still running further up the stack.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (network_) network_->Pump(std::clamp(maxWaitMs, 0, kSliceMs));
}

}  // namespace vexal
