// Start-up: the command line and the run modes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/run_controller.h"
#include "host/front_end.h"
#include "host/host.h"
#include "program/program.h"
#include "settings/settings_location.h"

namespace vexal {

// Joins arguments that arrived already split with single blanks, as one command line. The
// path after -wp, split off by a shell that read its quotes, is quoted again when it holds a
// blank, as it would have been typed; every other argument goes on as it is.
std::string JoinArguments(const std::vector<std::string>& args);

// Cuts the command line at every single blank (no quoting; empty tokens kept).
std::vector<std::string> CutTokens(std::string_view commandLine);

// The text --help prints: the command line, the unattended mode and the exit statuses.
std::string UsageText(const Program& program);

// The text -list prints: one line per registered entry, in the file's order, its fields
// parted by tabs: the identifier, the source's kind (webpage, webimage, localfile,
// localimage, folder), the style (centre, tile, stretch, fill, fit), the choice (nth:N,
// contains:TEXT, random) and the schedule (never, 15min, 30min, hourly, 3hours, 6hours,
// daily, logon). A value no entry should hold (a hand-edited file) reads "other".
std::string EntryListText(const Program& program);

// True when the command line holds -quiet (either prefix, any letter case): the run must
// be started without windows, before the line is otherwise read.
bool AsksForQuietRun(std::string_view commandLine);

// What the command line asks for: a run in the mode it set, a text to print, or nothing
// because a token was refused (`subject` is that token).
enum class CommandLineOutcome : std::uint8_t {
    Run,
    Help,
    Version,
    UnknownIdentifier,
    MissingImage,
    InvalidOption,
    // A word after -wp's path was refused: the path held a blank and was not quoted.
    WpPathHasBlank,
    List,  // -list: the registered entries, printed
};

struct CommandLineResult {
    CommandLineOutcome outcome = CommandLineOutcome::Run;
    std::string subject;
};

// Sets RunMode, CurrentEntry, CommandLineImage and ShowPreview as far as the line is read.
// Stops at the first refused token, --help or --version. The path after -wp may be quoted
// ("C:\My Pictures\a.jpg"): it then runs to the closing quote, blanks included, and loses
// its quotes; anywhere else a quote is an ordinary character.
[[nodiscard]] CommandLineResult ParseCommandLine(Program& program, std::string_view commandLine);

// The mode that goes back: under the run lock, the wallpaper before the current one is put
// back (with `forward`, the one the last step back replaced), and the run ends with how
// that went.
void GoBackRun(RunController& controller, bool forward = false);

// The mode that goes forward: the last step back undone while there is one; otherwise the
// entry that installed last runs again for a new picture; with neither, a notice.
void GoForwardRun(RunController& controller, FrontEnd& frontEnd);

// Where the run works: the folder of the settings file ChooseSettingsFile picks from
// `facts`, entered through `enterFolder` (false: it could not be), recorded in `program` for
// the messages and for -wp's relative paths. A folder that cannot be entered is recorded as
// unreachable, and Main then reads nothing and says so.
void SettleSettingsPlace(Program& program, const SettingsFacts& facts,
                         const std::function<bool(const std::string&)>& enterFolder);

// The run's start, under its controller: InitGlobals, LoadSettings, ParseCommandLine, then
// the run mode's window; a refused command line shows its message and ends the run
// (status 1), --help and --version print and end it (status 0).
void Main(RunController& run, FrontEnd& frontEnd, std::string_view commandLine, int majorVersion,
          int minorVersion);

}  // namespace vexal
