// The TLS engine on Windows: Schannel through SSPI, part of every Windows, so the program
// stays one file that needs no library of its own for https.
#pragma once

#include <memory>

#include "net/tls_socket.h"

namespace vexal {

// Verifies the server's chain against the system's trusted roots and its name through the
// system's own SSL policy.
std::unique_ptr<TlsEngine> MakeSchannelEngine();

}  // namespace vexal
