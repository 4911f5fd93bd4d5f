// Start-up: the start-up globals, the error box, the command line and the run modes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/host.h"
#include "app/program.h"

namespace vexal {

// The contact address sent in the "From:" request header.
inline constexpr const char* kContactAddress = "contact@vexal.example";

void InitGlobals(Program& program, int majorVersion, int minorVersion);

// The error box: error icon, title TitleText.
void ShowError(const Program& program, Dialogs& dialogs, const std::string& text);

// Joins arguments that arrived already split with single blanks, as one command line.
std::string JoinArguments(const std::vector<std::string>& args);

// Cuts the command line at every single blank (no quoting; empty tokens kept).
std::vector<std::string> CutTokens(std::string_view commandLine);

// Sets RunMode, CurrentEntry, ChosenImage and ShowPreview. On an error it shows the
// message, ends the program (status 1) and returns false.
bool ParseCommandLine(Program& program, Host& host, std::string_view commandLine);

// What Main hands control to once the run mode is known.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    // Mode 0: show the entry editor without blocking.
    virtual void ShowEditor() = 0;
    // Modes 1 and 2: show the progress window, let it draw, then run the retrieval
    // (gathering and choice only when `gather`), ending in the preview or installation.
    virtual void RunRetrieval(bool gather) = 0;
};

// InitGlobals, LoadSettings, ParseCommandLine, then the run mode's window.
void Main(Program& program, Host& host, FrontEnd& frontEnd, std::string_view commandLine, int majorVersion,
          int minorVersion);

}  // namespace vexal
