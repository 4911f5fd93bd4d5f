// Message boxes and the input box with the system's own dialogs.
#pragma once

#include "host/dialogs.h"

namespace vexal {

class Win32Dialogs final : public Dialogs {
public:
    void Error(const std::string& title, const std::string& text) override;
    void Notice(const std::string& title, const std::string& text) override;
    bool AskRetry(const std::string& title, const std::string& text) override;
    bool AskYesNo(const std::string& title, const std::string& text) override;
    bool AskYesNoDefaultNo(const std::string& title, const std::string& text) override;
    Answer AskYesNoCancel(const std::string& title, const std::string& text) override;
    std::string AskText(const std::string& title, const std::string& prompt) override;
    std::optional<std::uint32_t> AskColour(const std::string& title, std::uint32_t initial) override;

    // A box for a text laid out in columns, as for a console (the usage): a fixed-pitch
    // font, the box as wide as the longest line so nothing wraps, and an OK button.
    void ShowText(const std::string& title, const std::string& text);
};

}  // namespace vexal
