// The editor's claim on its settings file under Linux: a lock file and a listening local
// socket in the user's runtime folder for each name of the file: its canonical path, and
// its device and inode, which its hard links share. The
// kernel lets the lock go however the process ends, so a crashed editor never blocks the
// next one; the socket carries a later run's request to come forward.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/editor_claim.h"

class QSocketNotifier;

namespace vexal {

class QtEditorClaim final : public EditorClaim {
public:
    QtEditorClaim();
    ~QtEditorClaim() override;
    QtEditorClaim(const QtEditorClaim&) = delete;
    QtEditorClaim& operator=(const QtEditorClaim&) = delete;

    [[nodiscard]] ClaimOutcome Claim(const std::string& fullPath, std::function<void()> comeForward) override;
    void Release() override;

private:
    // One name's lock and socket.
    struct Held {
        int lockFd = -1;
        int listenFd = -1;
        std::string socketPath;
        std::unique_ptr<QSocketNotifier> notifier;
    };
    // Takes the lock of one name, or asks its holder to come forward.
    ClaimOutcome ClaimName(const QString& name, const QString& folder);
    bool Listen(Held& held);
    void Accept(int listenFd);

    std::vector<std::unique_ptr<Held>> held_;
    std::function<void()> comeForward_;
};

}  // namespace vexal
