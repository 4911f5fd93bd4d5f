// The editor's claim on its settings file under Linux.
#include "ui/qt/qt_editor_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
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

QString Hashed(const QString& key) {
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("vexal-editor-") + QString::fromLatin1(hash.toHex().left(32));
}

// The names of one settings file, however it was reached. Its canonical path: a symbolic
// link, "..", a relative folder give the same; it also stands for the file after a save
// has replaced it (a new inode). And, while it exists, its device and inode: a hard link
// of another name is the same file until one of them is saved.
std::vector<QString> ClaimNames(const std::string& fullPath) {
    const QFileInfo file(QString::fromStdString(fullPath));
    QString canonical = file.canonicalFilePath();
    if (canonical.isEmpty()) {
        // No file yet: the folder it will be written to stands for it.
        const QString folder = QDir(file.absolutePath()).canonicalPath();
        canonical = (folder.isEmpty() ? file.absolutePath() : folder) + QLatin1Char('/') + file.fileName();
    }
    std::vector<QString> names{Hashed(canonical)};
    struct stat st {};
    if (::stat(fullPath.c_str(), &st) == 0)
        names.push_back(Hashed(QStringLiteral("inode:%1:%2")
                                   .arg(static_cast<qulonglong>(st.st_dev))
                                   .arg(static_cast<qulonglong>(st.st_ino))));
    return names;
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
    comeForward_ = std::move(comeForward);
    for (const QString& name : ClaimNames(fullPath)) {
        if (ClaimName(name, folder) == ClaimOutcome::HeldElsewhere) {
            Release();
            return ClaimOutcome::HeldElsewhere;
        }
    }
    return ClaimOutcome::Claimed;
}

ClaimOutcome QtEditorClaim::ClaimName(const QString& name, const QString& folder) {
    const QString base = folder + QLatin1Char('/') + name;
    const std::string lockPath = (base + QStringLiteral(".lock")).toStdString();
    auto held = std::make_unique<Held>();
    held->socketPath = base.toStdString();
    held->lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (held->lockFd < 0) return ClaimOutcome::Claimed;
    // The holder may have taken the lock but not yet be listening, or be ending: ask
    // again until it listens or its lock is free. An editor that never answers (stopped
    // in a debugger) does not keep this one from opening.
    for (int attempt = 0; attempt < 250; ++attempt) {
        if (::flock(held->lockFd, LOCK_EX | LOCK_NB) == 0) {
            if (Listen(*held)) held_.push_back(std::move(held));
            return ClaimOutcome::Claimed;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) break;
        if (AskToComeForward(held->socketPath)) {
            ::close(held->lockFd);
            return ClaimOutcome::HeldElsewhere;
        }
        ::usleep(20 * 1000);
    }
    ::close(held->lockFd);
    return ClaimOutcome::Claimed;
}

bool QtEditorClaim::Listen(Held& held) {
    sockaddr_un address;
    const auto fail = [&held] {
        if (held.listenFd >= 0) ::close(held.listenFd);
        ::close(held.lockFd);
        return false;
    };
    if (!FillAddress(held.socketPath, address)) return fail();
    held.listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (held.listenFd < 0) return fail();
    // What a holder that was killed left behind; the lock says nobody listens there now.
    ::unlink(held.socketPath.c_str());
    if (::bind(held.listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(held.listenFd, 8) != 0)
        return fail();
    held.notifier = std::make_unique<QSocketNotifier>(held.listenFd, QSocketNotifier::Read);
    const int fd = held.listenFd;
    QObject::connect(held.notifier.get(), &QSocketNotifier::activated, [this, fd] { Accept(fd); });
    return true;
}

void QtEditorClaim::Accept(int listenFd) {
    bool asked = false;
    while (true) {
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) break;
        ::close(fd);
        asked = true;
    }
    // The call may end the claim (and this object's notifier) from inside: nothing after it.
    if (asked && comeForward_) comeForward_();
}

void QtEditorClaim::Release() {
    for (const auto& held : held_) {
        held->notifier.reset();
        ::close(held->listenFd);
        ::unlink(held->socketPath.c_str());
        ::close(held->lockFd);
    }
    held_.clear();
    comeForward_ = nullptr;
}

}  // namespace vexal
