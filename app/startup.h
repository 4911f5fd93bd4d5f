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

// Sets RunMode, CurrentEntry, ChosenImage and ShowPreview. On an error it shows the
// message, ends the program (status 1) and returns false.
bool ParseCommandLine(Program& program, Host& host, std::string_view commandLine);

// InitGlobals, LoadSettings, ParseCommandLine, then the run mode's window.
void Main(Program& program, Host& host, FrontEnd& frontEnd, std::string_view commandLine, int majorVersion,
          int minorVersion);

}  // namespace vexal
