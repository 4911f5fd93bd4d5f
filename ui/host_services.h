// The services a run's host bundles, handed to the layers below as the narrow structs they
// take: those layers never see the dialogs or the process.
#pragma once

#include "gather/retrieval_services.h"
#include "host/host.h"

namespace vexal {

inline RetrievalServices RetrievalServicesOf(const Host& host) {
    return {host.files,  host.images,       host.desktop, host.guard, host.pump,  host.random,
            host.socket, host.secureSocket, host.timer,   host.watch, host.tunnel};
}

inline WallpaperServices WallpaperServicesOf(const Host& host) {
    return {host.files, host.images, host.desktop, host.guard};
}

}  // namespace vexal
