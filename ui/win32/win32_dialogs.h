// Message boxes and the input box with the system's own dialogs.
#pragma once

#include "host/dialogs.h"
#include "text/language.h"

namespace vexal {

class Win32Dialogs final : public Dialogs {
public:
    // The input box's buttons captioned in `language`; the message boxes' buttons are the
    // system's own, in the user's language.
    explicit Win32Dialogs(Language language = Language::Japanese) : language_(language) {}

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

private:
    Language language_;
};

}  // namespace vexal
