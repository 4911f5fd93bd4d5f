// Message boxes and the input box with Qt Widgets.
#pragma once

#include "host/dialogs.h"
#include "text/language.h"

namespace vexal {

class QtDialogs final : public Dialogs {
public:
    // Buttons captioned in `language`.
    explicit QtDialogs(Language language = Language::Japanese) : language_(language) {}

    void Error(const std::string& title, const std::string& text) override;
    void Notice(const std::string& title, const std::string& text) override;
    bool AskRetry(const std::string& title, const std::string& text) override;
    bool AskYesNo(const std::string& title, const std::string& text) override;
    bool AskYesNoDefaultNo(const std::string& title, const std::string& text) override;
    Answer AskYesNoCancel(const std::string& title, const std::string& text) override;
    std::string AskText(const std::string& title, const std::string& prompt) override;
    std::optional<std::uint32_t> AskColour(const std::string& title, std::uint32_t initial) override;

private:
    Language language_;
};

}  // namespace vexal
