// The services one run of the program talks to. Front ends fill it with real
// implementations; tests with doubles. Members a run does not need may stay null.
#pragma once

#include "app/dialogs.h"
#include "app/event_pump.h"
#include "app/file_system.h"
#include "app/process.h"

namespace vexal {

struct Host {
    Dialogs* dialogs = nullptr;
    Process* process = nullptr;
    FileSystem* files = nullptr;
    EventPump* pump = nullptr;
};

}  // namespace vexal
