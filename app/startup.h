// Start-up: the command line and the run modes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/front_end.h"
#include "host/host.h"
#include "program/program.h"

namespace vexal {

// Joins arguments that arrived already split with single blanks, as one command line.
std::string JoinArguments(const std::vector<std::string>& args);

// Cuts the command line at every single blank (no quoting; empty tokens kept).
std::vector<std::string> CutTokens(std::string_view commandLine);

// The text --help prints: the command line, the unattended mode and the exit statuses.
std::string UsageText(const Program& program);

// Sets RunMode, CurrentEntry, ChosenImage and ShowPreview. Returns false when the run
// ends here: after an error's message (status 1), or after printing the usage text for
// --help or the version for --version (status 0).
bool ParseCommandLine(Program& program, Host& host, std::string_view commandLine);

// InitGlobals, LoadSettings, ParseCommandLine, then the run mode's window.
void Main(Program& program, Host& host, FrontEnd& frontEnd, std::string_view commandLine, int majorVersion,
          int minorVersion);

}  // namespace vexal
