// One editor per settings file: two editors on one file would each write back only what
// they read, so a run that opens the editor first claims the file, and a later one asks
// the editor that holds it to come forward instead of opening a window of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vexal {

enum class ClaimOutcome : std::uint8_t {
    // This run holds the file (also when no claim can be had here at all: the editor then
    // opens as before, and saving still merges what others wrote).
    Claimed,
    // Another run's editor holds it and has been asked to come forward.
    HeldElsewhere,
};

class EditorClaim {
public:
    virtual ~EditorClaim() = default;
    // Claims the settings file at `fullPath` for this run's editor. While the claim is held,
    // `comeForward` runs from the event loop each time a later run asks.
    [[nodiscard]] virtual ClaimOutcome Claim(const std::string& fullPath,
                                             std::function<void()> comeForward) = 0;
    // Lets the claim go: the editor is gone for good (it hid for a retrieval that ends the
    // run) and will not write the file again.
    virtual void Release() = 0;
};

}  // namespace vexal
