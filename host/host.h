// The services one run of the program talks to. Front ends fill it with real
// implementations; tests with doubles. Members a run does not need may stay null. Windows
// are no services: the front end that makes them hands them where they are needed.
#pragma once

namespace vexal {

// Declared in their own headers of this folder; a run includes the ones it uses. Only
// the top of the program and the front ends use the dialogs and the process: the layers
// below take narrow services of their own, without them.
class Dialogs;
class Process;
class FileSystem;
class EventPump;
class Socket;
class Timer;
class Desktop;
class ImageDecoder;
class RandomSource;
class RunGuard;
class Console;
class Scheduler;
class EditorClaim;
// net/'s transport under the TLS socket, which holds the proxies the platform set.
class ProxyTunnel;

struct Host {
    Dialogs* dialogs = nullptr;
    Process* process = nullptr;
    FileSystem* files = nullptr;
    EventPump* pump = nullptr;
    Socket* socket = nullptr;        // the TCP socket, for http addresses
    Socket* secureSocket = nullptr;  // the same over TLS, for https addresses
    ProxyTunnel* tunnel = nullptr;   // the TLS socket's transport and the proxies; null: no proxy
    Timer* timer = nullptr;          // the transfer's inactivity timer
    Timer* watch = nullptr;          // the transfer's rate window and the wait for the run lock
    Desktop* desktop = nullptr;
    ImageDecoder* images = nullptr;
    RandomSource* random = nullptr;  // null: seeded afresh from the clock
    RunGuard* guard = nullptr;       // null: no other run to keep apart from, no signals
    Console* console = nullptr;      // standard output; null: --help and --version print nothing
    Scheduler* scheduler = nullptr;  // the system's scheduler, for the editor; null: none
    EditorClaim* editors = nullptr;  // null: any number of editors may open on one file
};

}  // namespace vexal
