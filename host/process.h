// Ending the program. The core never exits by itself: it asks the Process, so tests can
// observe an end and the real program can stop at once without unload handling.
#pragma once

namespace vexal {

// Exit statuses: 0 only after the wallpaper was changed or the editor ended normally.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;

class Process {
public:
    virtual ~Process() = default;
    // Stops the program at once with `status`. The real implementation does not return;
    // a test double records the call and returns, so callers return right after it.
    virtual void End(int status) = 0;
};

}  // namespace vexal

#include <cstdio>
#include <cstdlib>

namespace vexal {

// The real end: buffered output is flushed, no destructors or unload handlers run.
class ExitProcess final : public Process {
public:
    [[noreturn]] void End(int status) override {
        std::fflush(nullptr);
        std::_Exit(status);
    }
};

}  // namespace vexal
