// The TLS engine on Linux: OpenSSL over memory buffers, so the bytes travel through the
// same non-blocking socket and pump as every other connection.
#pragma once

#include <memory>

#include "net/tls_socket.h"

namespace vexal {

// Trusts the system's roots, or those SSL_CERT_FILE and SSL_CERT_DIR name instead, as
// other OpenSSL programs do; they are read when the first session starts.
std::unique_ptr<TlsEngine> MakeOpenSslEngine();

}  // namespace vexal
