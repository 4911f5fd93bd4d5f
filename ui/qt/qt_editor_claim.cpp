// The editor's claim on its settings file under Linux.
#include "ui/qt/qt_editor_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>

namespace vexal {
namespace {

// One name per settings file, however it was reached (a symbolic link, "..", a relative
// folder): the same file gives the same name in every run.
QString ClaimName(const std::string& fullPath) {
    const QFileInfo file(QString::fromStdString(fullPath));
    QString canonical = file.canonicalFilePath();
    if (canonical.isEmpty()) {
        // No file yet: the folder it will be written to stands for it.
        const QString folder = QDir(file.absolutePath()).canonicalPath();
        canonical = (folder.isEmpty() ? file.absolutePath() : folder) + QLatin1Char('/') + file.fileName();
    }
    const QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("vexal-editor-") + QString::fromLatin1(hash.toHex().left(32));
}

bool FillAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    return true;
}

// Asks the editor listening at `path` to come forward; true once the request is queued
// there (the editor answers it from its own event loop, after this run has ended).
bool AskToComeForward(const std::string& path) {
    sockaddr_un address;
    if (!FillAddress(path, address)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool asked = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return asked;
}

}  // namespace

QtEditorClaim::QtEditorClaim() = default;

QtEditorClaim::~QtEditorClaim() { Release(); }

ClaimOutcome QtEditorClaim::Claim(const std::string& fullPath, std::function<void()> comeForward) {
    // The runtime folder is the user's alone (Qt makes a private one where the session
    // names none), so another user's editor on a shared file is never asked.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) return ClaimOutcome::Claimed;
    const QString base = folder + QLatin1Char('/') + ClaimName(fullPath);
    const std::string lockPath = (base + QStringLiteral(".lock")).toStdString();
    socketPath_ = base.toStdString();
    lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0) return ClaimOutcome::Claimed;
    // The holder may have taken the lock but not yet be listening, or be ending: ask
    // again until it listens or its lock is free. An editor that never answers (stopped
    // in a debugger) does not keep this one from opening.
    for (int attempt = 0; attempt < 250; ++attempt) {
        if (::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) {
            comeForward_ = std::move(comeForward);
            if (!Listen()) Release();
            return ClaimOutcome::Claimed;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) break;
        if (AskToComeForward(socketPath_)) {
            ::close(lockFd_);
            lockFd_ = -1;
            return ClaimOutcome::HeldElsewhere;
        }
        ::usleep(20 * 1000);
    }
    ::close(lockFd_);
    lockFd_ = -1;
    return ClaimOutcome::Claimed;
}

bool QtEditorClaim::Listen() {
    sockaddr_un address;
    if (!FillAddress(socketPath_, address)) return false;
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0) return false;
    // What a holder that was killed left behind; the lock says nobody listens there now.
    ::unlink(socketPath_.c_str());
    if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 8) != 0)
        return false;
    notifier_ = std::make_unique<QSocketNotifier>(listenFd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Accept(); });
    return true;
}

void QtEditorClaim::Accept() {
    bool asked = false;
    while (true) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) break;
        ::close(fd);
        asked = true;
    }
    // The call may end the claim (and this object's notifier) from inside: nothing after it.
    if (asked && comeForward_) comeForward_();
}

void QtEditorClaim::Release() {
    notifier_.reset();
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        ::unlink(socketPath_.c_str());
    }
    if (lockFd_ >= 0) {
        ::close(lockFd_);
        lockFd_ = -1;
    }
    comeForward_ = nullptr;
}

}  // namespace vexal
