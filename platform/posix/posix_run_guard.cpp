// flock, the stop signals' self-pipe, and process ids.
#include "platform/posix/posix_run_guard.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace vexal {
namespace {

volatile sig_atomic_t gStopSignal = 0;
int gStopPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int signal) {
    const int saved = errno;
    gStopSignal = signal;
    if (gStopPipe[1] >= 0) {
        const char byte = 1;
        // A full pipe already holds a wake-up; nothing is lost by dropping this one.
        [[maybe_unused]] const ssize_t n = ::write(gStopPipe[1], &byte, 1);
    }
    errno = saved;
}

}  // namespace

PosixRunGuard::~PosixRunGuard() {
    if (lockFd_ >= 0) ::close(lockFd_);
}

RunGuard::LockState PosixRunGuard::TryLock(const std::string& folder) {
    if (lockFd_ >= 0 && lockFolder_ == folder) {
        if (::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) return LockState::Held;
        return errno == EWOULDBLOCK ? LockState::Busy : LockState::Failed;
    }
    if (lockFd_ >= 0) ::close(lockFd_);
    lockFolder_ = folder;
    // Close-on-exec: a desktop tool started later must not carry the lock past this run. A
    // link in the lock's place is refused: the lock is never a file outside the folder.
    lockFd_ = ::open((folder + "/" + kLockFileName).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lockFd_ < 0) return LockState::Failed;
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) return LockState::Held;
    return errno == EWOULDBLOCK ? LockState::Busy : LockState::Failed;
}

void PosixRunGuard::Unlock() {
    if (lockFd_ >= 0) ::flock(lockFd_, LOCK_UN);
}

bool PosixRunGuard::StopRequested() const { return gStopSignal != 0; }

std::uint32_t PosixRunGuard::ProcessId() const { return static_cast<std::uint32_t>(::getpid()); }

bool PosixRunGuard::ProcessAlive(std::uint32_t pid) const {
    if (pid == 0 || pid > 0x7FFFFFFFu) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

int PosixRunGuard::CatchStopSignals() {
    if (gStopPipe[0] >= 0) return gStopPipe[0];
    if (::pipe2(gStopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return gStopPipe[0] = gStopPipe[1] = -1;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted calls resume: the loop that reads the pipe decides what happens next.
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
    return gStopPipe[0];
}

void PosixRunGuard::DrainStopPipe() {
    char buffer[64];
    while (gStopPipe[0] >= 0 && ::read(gStopPipe[0], buffer, sizeof buffer) > 0) {
    }
}

StopSignalSource::StopSignalSource(PosixReactor& reactor, std::function<void()> onStop)
    : reactor_(reactor), onStop_(std::move(onStop)), fd_(PosixRunGuard::CatchStopSignals()) {
    reactor_.Add(this);
}

StopSignalSource::~StopSignalSource() { reactor_.Remove(this); }

int StopSignalSource::PollFd(short& eventsOut) const {
    eventsOut = POLLIN;
    return fd_;
}

void StopSignalSource::OnPollReady(int, short) {
    PosixRunGuard::DrainStopPipe();
    if (gStopSignal != 0 && onStop_) onStop_();
}

}  // namespace vexal
