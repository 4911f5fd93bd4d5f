// The message boxes the system shows, as one interface, so the core decides every text
// and title while each front end (or the non-interactive mode) only displays them.
#pragma once

#include <string>

namespace vexal {

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
    // Input box with OK and Cancel; Cancel gives "".
    virtual std::string AskText(const std::string& title, const std::string& prompt) = 0;
};

// The title of boxes that carry no title of their own.
inline constexpr const char* kPlainTitle = "vexal";

}  // namespace vexal
