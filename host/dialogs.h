// The message boxes the system shows, as one interface, so the core decides every text
// and title while each front end (or the non-interactive mode) only displays them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vexal {

enum class Answer : std::uint8_t { Yes, No, Cancel };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Modal box, OK only, error icon.
    virtual void Error(const std::string& title, const std::string& text) = 0;
    // Modal box, OK only, no icon.
    virtual void Notice(const std::string& title, const std::string& text) = 0;
    // Retry/Cancel question without icon; true for Retry.
    virtual bool AskRetry(const std::string& title, const std::string& text) = 0;
    // Yes/No question without icon, Yes the default button; true for Yes.
    virtual bool AskYesNo(const std::string& title, const std::string& text) = 0;
    // The same with No the default button: for a question whose Yes cannot be undone, so
    // that Enter pressed out of habit does nothing.
    virtual bool AskYesNoDefaultNo(const std::string& title, const std::string& text) = 0;
    // Yes/No/Cancel question without icon, Yes the default button, Escape or the close box
    // Cancel.
    virtual Answer AskYesNoCancel(const std::string& title, const std::string& text) = 0;
    // Input box with OK and Cancel; Cancel gives "".
    virtual std::string AskText(const std::string& title, const std::string& prompt) = 0;
    // The system's colour picker, starting at `initial` (0x00RRGGBB); none when the user
    // cancels, and where no person answers.
    virtual std::optional<std::uint32_t> AskColour(const std::string& /*title*/, std::uint32_t /*initial*/) {
        return std::nullopt;
    }
    // A line that needs no answer, about a wait: where no window shows it, it goes to
    // standard error.
    virtual void Inform(const std::string& /*text*/) {}
    // True when no person answers the boxes (an unattended run): questions then get their
    // cautious answer at once, and nobody is there to cancel a wait.
    virtual bool Unattended() const { return false; }
};

// The title of boxes that carry no title of their own.
inline constexpr const char* kPlainTitle = "vexal";

}  // namespace vexal
