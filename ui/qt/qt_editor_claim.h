// The editor's claim on its settings file under Linux: a lock file and a listening local
// socket in the user's runtime folder, both named after the file's canonical path. The
// kernel lets the lock go however the process ends, so a crashed editor never blocks the
// next one; the socket carries a later run's request to come forward.
#pragma once

#include <functional>
#include <memory>
#include <string>

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
    bool Listen();
    void Accept();

    int lockFd_ = -1;
    int listenFd_ = -1;
    std::string socketPath_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> comeForward_;
};

}  // namespace vexal
