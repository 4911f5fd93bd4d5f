// What a retrieval talks to outside the program: files, pictures, the desktop, the run
// lock, the event loop, chance, and the sockets and timer its fetches go over. No dialog
// and no way to end the process: how a retrieval ended is its return value.
#pragma once

#include "host/event_pump.h"
#include "host/file_system.h"
#include "host/random_source.h"
#include "host/run_guard.h"
#include "host/socket.h"
#include "host/timer.h"
#include "net/transfer.h"
#include "wallpaper/install.h"

namespace vexal {

class Desktop;
class ImageDecoder;

// Members a retrieval does not need may stay null; `files` never is.
struct RetrievalServices {
    FileSystem* files = nullptr;
    ImageDecoder* images = nullptr;
    Desktop* desktop = nullptr;
    RunGuard* guard = nullptr;       // null: no other run to keep apart from, no signals
    EventPump* pump = nullptr;       // null: nothing to keep live while the retrieval works
    RandomSource* random = nullptr;  // null: seeded afresh from the clock
    Socket* socket = nullptr;        // the TCP socket, for http addresses
    Socket* secureSocket = nullptr;  // the same over TLS, for https addresses
    Timer* timer = nullptr;          // the transfer's inactivity timer
    Timer* watch = nullptr;          // the transfer's rate window and the wait for the run lock
    ProxyTunnel* tunnel = nullptr;   // the TLS socket's transport and the proxies; null: none

    WallpaperServices ForWallpaper() const { return {files, images, desktop, guard}; }
    TransferServices ForTransfer() const {
        return {socket, secureSocket, timer, pump, files, guard, watch, tunnel};
    }
};

}  // namespace vexal
