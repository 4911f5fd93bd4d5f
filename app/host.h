// The services one run of the program talks to. Front ends fill it with real
// implementations; tests with doubles. Members a run does not need may stay null.
#pragma once

#include "app/dialogs.h"
#include "app/event_pump.h"
#include "app/file_system.h"
#include "app/process.h"

namespace vexal {

class Socket;        // net/socket.h
class Timer;         // net/timer.h
class ProgressView;  // ui/progress_view.h
class PreviewView;   // ui/preview_view.h
class Desktop;       // wallpaper/desktop.h
class ImageDecoder;  // wallpaper/image_decoder.h
class RandomSource;  // gather/random_source.h

struct Host {
    Dialogs* dialogs = nullptr;
    Process* process = nullptr;
    FileSystem* files = nullptr;
    EventPump* pump = nullptr;
    Socket* socket = nullptr;        // the progress window's TCP socket, for http addresses
    Socket* secureSocket = nullptr;  // the same over TLS, for https addresses
    Timer* timer = nullptr;          // the transfer's inactivity timer
    ProgressView* progress = nullptr;
    PreviewView* preview = nullptr;
    Desktop* desktop = nullptr;
    ImageDecoder* images = nullptr;
    RandomSource* random = nullptr;  // null: seeded afresh from the clock
};

}  // namespace vexal
