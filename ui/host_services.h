// The services a run's host bundles, handed to the layers below as the narrow structs they
// take: those layers never see the dialogs or the process.
#pragma once

#include "gather/retrieval_services.h"
#include "host/host.h"

namespace vexal {

inline RetrievalServices RetrievalServicesOf(const Host& host) {
    RetrievalServices services;
    services.files = host.files;
    services.images = host.images;
    services.desktop = host.desktop;
    services.guard = host.guard;
    services.pump = host.pump;
    services.random = host.random;
    services.socket = host.socket;
    services.secureSocket = host.secureSocket;
    services.timer = host.timer;
    return services;
}

inline WallpaperServices WallpaperServicesOf(const Host& host) {
    return {host.files, host.images, host.desktop, host.guard};
}

}  // namespace vexal
