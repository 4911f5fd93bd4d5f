// The entry point's logic, independent of any front end: it sits on top of the core.
#include "app/startup.h"

#include <optional>

#include "app/run_controller.h"
#include "gather/driver.h"
#include "gather/overlap.h"
#include "host/console.h"
#include "host/dialogs.h"
#include "host/editor_claim.h"
#include "host/process.h"
#include "settings/settings_file.h"
#include "settings/source_kind.h"
#include "text/case.h"
#include "ui/failure_texts.h"
#include "ui/host_services.h"
#include "ui/messages.h"
#include "ui/retrieval_reporter.h"
#include "wallpaper/history.h"
#include "wallpaper/install.h"

namespace vexal {

namespace {

bool IsWpOption(std::string_view token) {
    return token.size() == 3 && (token[0] == '-' || token[0] == '/') && ToLower(token.substr(1)) == "wp";
}

// A path typed relative to the folder the user started in, while the run works in its
// settings file's folder. Addresses, absolute paths and (on Windows) a drive's own current
// folder or root ("D:x", "\x") are left as they are.
std::string FromStartFolder(const std::string& path, const std::string& startFolder) {
    if (startFolder.empty() || path.empty() || IsWebAddress(path)) return path;
    if (path[0] == '/' || path[0] == kFolderSeparator) return path;
    if (kFolderSeparator == '\\' && path.size() > 1 && path[1] == ':') return path;
    return startFolder + path;
}

// An identifier no settings file registers, with every file that was looked in.
void IdentifierNotFound(RunController& controller, bool settingsRead, const std::string& identifier) {
    const Program& program = controller.program();
    const std::vector<std::string>& looked = program.SettingsLookedIn;
    if (looked.size() < 2) {
        // The run may have started in another folder than the user thinks (a menu, a
        // timer, a terminal elsewhere): say which file was searched.
        const std::string file =
            looked.empty() ? controller.host().files->FullPath(program.SettingsFileName) : looked[0];
        return controller.Fail(settingsRead ? Message::IdentifierNotFound : Message::IdentifierNoSettings,
                               {identifier, file});
    }
    // Two places: the current folder had none, so the user's own file was the one read.
    controller.Fail(settingsRead ? Message::IdentifierNotInUsersFile : Message::IdentifierNoSettingsEither,
                    {identifier, looked[0], looked[1]});
}

}  // namespace

std::string JoinArguments(const std::vector<std::string>& args) {
    std::string line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i) line.push_back(' ');
        if (i && IsWpOption(args[i - 1]) && args[i].find(' ') != std::string::npos)
            line += '"' + args[i] + '"';
        else
            line += args[i];
    }
    return line;
}

std::vector<std::string> CutTokens(std::string_view commandLine) {
    std::vector<std::string> tokens;
    std::size_t start = 0;
    while (true) {
        std::size_t blank = commandLine.find(' ', start);
        if (blank == std::string_view::npos) {
            tokens.emplace_back(commandLine.substr(start));
            return tokens;
        }
        tokens.emplace_back(commandLine.substr(start, blank - start));
        start = blank + 1;
    }
}

std::string UsageText(const Program& program) {
    const std::string where = MessageText(
        program.UserLanguage,
        kFolderSeparator == '\\' ? Message::UsageSettingsWindows : Message::UsageSettingsElsewhere,
        {program.SettingsFileName});
    return MessageText(program.UserLanguage, Message::Usage,
                       {program.SettingsFileName, program.TitleText, where});
}

namespace {

const char* SourceToken(SourceKind kind) {
    switch (kind) {
        case SourceKind::WebPage:
            return "webpage";
        case SourceKind::WebImage:
            return "webimage";
        case SourceKind::LocalFile:
            return "localfile";
        case SourceKind::LocalImage:
            return "localimage";
        case SourceKind::LocalFolder:
            return "folder";
    }
    return "other";
}

const char* StyleToken(WallpaperStyle style) {
    switch (style) {
        case WallpaperStyle::Centred:
            return "centre";
        case WallpaperStyle::Tiled:
            return "tile";
        case WallpaperStyle::Stretched:
            return "stretch";
        case WallpaperStyle::Fill:
            return "fill";
        case WallpaperStyle::Fit:
            return "fit";
    }
    return "other";
}

// A field as it stands, but for a tab or a line end, which would cut it.
std::string ListField(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return text;
}

}  // namespace

std::string EntryListText(const Program& program) {
    std::string text;
    for (std::int32_t k = 1; k <= program.EntryCount(); ++k) {
        const SiteEntry& e = program.SiteEntries[static_cast<std::size_t>(k)];
        std::string choice = "other";
        if (e.No == ChoiceMode::Nth) choice = "nth:" + std::to_string(e.No_n);
        if (e.No == ChoiceMode::Containing) choice = "contains:" + ListField(e.Refstr);
        if (e.No == ChoiceMode::Random) choice = "random";
        const char* schedule = e.Schedule == ScheduleKind::Never ? "never" : ScheduleText(e.Schedule);
        text += ListField(e.Name) + '\t' + SourceToken(ClassifySource(e.Url)) + '\t' + StyleToken(e.WpState) +
                '\t' + choice + '\t' + (*schedule ? schedule : "other") + '\n';
    }
    return text;
}

bool AsksForQuietRun(std::string_view commandLine) {
    for (const std::string& token : CutTokens(commandLine))
        if (token.size() > 1 && (token[0] == '-' || token[0] == '/') && ToLower(token.substr(1)) == "quiet")
            return true;
    return false;
}

CommandLineResult ParseCommandLine(Program& program, std::string_view commandLine) {
    if (commandLine.empty()) return {};
    program.ShowPreview = false;
    const std::vector<std::string> tokens = CutTokens(commandLine);
    // The token that holds an unquoted -wp path, for the word after it; npos: none.
    std::size_t wpPath = std::string::npos;
    const auto refused = [&](std::size_t i, CommandLineOutcome outcome) -> CommandLineResult {
        if (i > 0 && i - 1 == wpPath)
            return {CommandLineOutcome::WpPathHasBlank, tokens[wpPath] + " " + tokens[i]};
        return {outcome, tokens[i]};
    };
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string& token = tokens[i];
        if (token.empty()) continue;
        const char first = token[0];
        // The two options a Linux user tries first, and the short ones a Windows user tries
        // first ("/?", "-h"). Only these: any other option, "--" ones included, keeps its
        // message.
        const std::string lower = ToLower(token);
        const bool help = lower == "--help" || ((first == '-' || first == '/') &&
                                                (lower.substr(1) == "?" || lower.substr(1) == "h"));
        if (help) return {CommandLineOutcome::Help, token};
        if (lower == "--version") return {CommandLineOutcome::Version, token};
        if (IsIdentifierStart(first)) {
            const std::string wanted = ToLower(token);
            bool found = false;
            for (std::int32_t k = 1; k <= program.EntryCount(); ++k) {
                if (ToLower(program.SiteEntries[k].Name) == wanted) {
                    program.RunMode = RunModeValue::Entry;
                    program.SiteEntries[0] = program.SiteEntries[k];
                    found = true;
                    break;
                }
            }
            if (!found) return refused(i, CommandLineOutcome::UnknownIdentifier);
        } else if (first == '-' || first == '/') {
            const std::string option = ToLower(std::string_view(token).substr(1));
            if (option == "wp") {
                if (i + 1 == tokens.size()) return {CommandLineOutcome::MissingImage, token};
                ++i;
                program.RunMode = RunModeValue::Direct;
                program.CommandLineImage = tokens[i];
                if (!tokens[i].empty() && tokens[i][0] == '"') {
                    // Quoted: up to the token that ends in the closing quote, or to the end of
                    // the line, as Windows reads an argument whose quote is never closed.
                    std::string path = tokens[i];
                    while ((path.size() < 2 || path.back() != '"') && i + 1 < tokens.size())
                        path += " " + tokens[++i];
                    const bool closed = path.size() >= 2 && path.back() == '"';
                    program.CommandLineImage = path.substr(1, path.size() - (closed ? 2 : 1));
                } else {
                    wpPath = i;
                }
            } else if (option == "back") {
                program.RunMode = RunModeValue::Back;
            } else if (option == "next") {
                program.RunMode = RunModeValue::Next;
            } else if (option == "list") {
                return {CommandLineOutcome::List, token};
            } else if (option == "preview") {
                program.ShowPreview = true;
            } else if (option == "quiet") {
                program.Quiet = true;
            } else {
                return refused(i, CommandLineOutcome::InvalidOption);
            }
        } else {
            return refused(i, CommandLineOutcome::InvalidOption);
        }
    }
    return {};
}

void GoBackRun(RunController& controller, bool forward) {
    Program& program = controller.program();
    Host& host = controller.host();
    if (host.guard && host.guard->StopRequested()) return controller.Interrupted();
    if (std::optional<RetrievalResult> unusable = UnusableFileNames(program, *host.files))
        return controller.RetrievalFailed(*unusable);
    // Going back writes the wallpaper folder as an installation does, so it waits its turn
    // behind another run just the same; there is nothing to fetch and nothing to preview.
    RetrievalReporter reporter(program, *host.dialogs);
    const LockOutcome outcome = TakeRunLock(program, RetrievalServicesOf(host), reporter);
    switch (outcome) {
        case LockOutcome::Held:
            break;
        case LockOutcome::Interrupted:
            return controller.Interrupted();
        case LockOutcome::Cancelled:
        case LockOutcome::GaveUp: {
            RetrievalResult failed;
            failed.failure = RetrievalFailure::Cancelled;
            if (outcome == LockOutcome::GaveUp) {
                failed.failure = RetrievalFailure::LockNotFreed;
                failed.wanted = kLockWaitLimitMs;
            }
            return controller.RetrievalFailed(failed);
        }
    }
    const WallpaperServices services = WallpaperServicesOf(host);
    const InstallResult step =
        forward ? GoForward(program.WinFolderWPname, services) : GoBack(program.WinFolderWPname, services);
    if (!step.Ok()) controller.InstallFailed(step);
    controller.End(step.Ok() ? kExitSuccess : kExitFailure);
}

void GoForwardRun(RunController& controller, FrontEnd& frontEnd) {
    Program& program = controller.program();
    Host& host = controller.host();
    // Decided before the lock, which the entry's run takes itself; a run that goes back
    // meanwhile only leaves this one something to go forward to that it does not take.
    const History history = ReadHistory(*host.files, HistoryPath(host.desktop));
    if (!history.forward.empty()) return GoBackRun(controller, true);
    // The entry that installed last is the one whose pick the history added last.
    const std::string last = history.picks.empty() ? std::string() : ToLower(history.picks.back().entry);
    for (std::int32_t k = 1; !last.empty() && k <= program.EntryCount(); ++k) {
        if (ToLower(program.SiteEntries[k].Name) == last) {
            program.RunMode = RunModeValue::Entry;
            program.SiteEntries[0] = program.SiteEntries[k];
            return frontEnd.RunRetrieval(true);
        }
    }
    InstallResult nothing;
    nothing.outcome = InstallOutcome::NothingToGoForward;
    controller.InstallFailed(nothing);
    controller.End(kExitFailure);
}

void SettleSettingsPlace(Program& program, const SettingsFacts& facts,
                         const std::function<bool(const std::string&)>& enterFolder) {
    const SettingsChoice choice = ChooseSettingsFile(facts, kSettingsFileName);
    // Only a run that moves needs it: elsewhere a relative path keeps its meaning, and its
    // messages name it as it was typed.
    if (choice.place == SettingsPlace::User) program.StartFolder = facts.currentFolder;
    program.SettingsLookedIn = choice.lookedIn;
    if (choice.place == SettingsPlace::UserFolderUnreachable ||
        (choice.place == SettingsPlace::User && !enterFolder(choice.folder)))
        program.UnreachableSettingsFolder = choice.folder;
}

void Main(RunController& controller, FrontEnd& frontEnd, std::string_view commandLine, int majorVersion,
          int minorVersion) {
    Program& program = controller.program();
    Host& host = controller.host();
    InitGlobals(program, majorVersion, minorVersion);
    if (program.UnreachableSettingsFolder) {
        // Nothing is read (the current folder is the program's, whose file is not the
        // user's); only the texts that need no settings are given.
        program.Quiet = AsksForQuietRun(commandLine);
        const CommandLineOutcome asked = ParseCommandLine(program, commandLine).outcome;
        if (asked == CommandLineOutcome::Help || asked == CommandLineOutcome::Version) {
            if (host.console)
                host.console->Print(asked == CommandLineOutcome::Help ? UsageText(program)
                                                                      : program.TitleText + "\n");
            return controller.End(kExitSuccess);
        }
        // The folder as the system's own windows show it, without the closing separator.
        std::string folder = *program.UnreachableSettingsFolder;
        if (folder.size() > 1 && folder.back() == kFolderSeparator && folder[folder.size() - 2] != ':')
            folder.pop_back();
        return controller.Fail(Message::SettingsFolderUnreachable, {folder});
    }
    const SettingsLoad settings = LoadSettings(program, *host.files);
    const bool settingsRead = settings.Read();
    // Known before the line is read, as the front end knew it: a scheduled run whose
    // identifier is refused still leaves its outcome for the user to find.
    program.Quiet = AsksForQuietRun(commandLine);
    const CommandLineResult parsed = ParseCommandLine(program, commandLine);
    if (settings.kind == SettingsReadKind::Unreadable && parsed.outcome != CommandLineOutcome::Help &&
        parsed.outcome != CommandLineOutcome::Version) {
        // It is there: saying it is missing would send the user looking in the wrong place,
        // and running on without it would use settings the user never made. The editor
        // would replace it, and every entry it holds, with an empty list.
        const bool editor =
            parsed.outcome == CommandLineOutcome::Run && program.RunMode == RunModeValue::Editor;
        return controller.Fail(editor ? Message::EditorSettingsUnreadable : Message::SettingsUnreadable,
                               {host.files->FullPath(program.SettingsFileName),
                                SettingsReadText(program.UserLanguage, settings)});
    }
    switch (parsed.outcome) {
        case CommandLineOutcome::Run:
            break;
        case CommandLineOutcome::Help:
        case CommandLineOutcome::Version:
            if (host.console)
                host.console->Print(parsed.outcome == CommandLineOutcome::Help ? UsageText(program)
                                                                               : program.TitleText + "\n");
            return controller.End(kExitSuccess);
        case CommandLineOutcome::List:
            // Read only: nothing is written, whatever the file held.
            if (host.console) host.console->Print(EntryListText(program));
            return controller.End(kExitSuccess);
        case CommandLineOutcome::UnknownIdentifier:
            return IdentifierNotFound(controller, settingsRead, parsed.subject);
        case CommandLineOutcome::MissingImage:
            return controller.Fail(Message::WpNeedsImage);
        case CommandLineOutcome::WpPathHasBlank:
            return controller.Fail(Message::WpPathHasBlank, {parsed.subject});
        case CommandLineOutcome::InvalidOption:
            return controller.Fail(Message::InvalidOption, {parsed.subject});
    }
    if (program.RunMode == RunModeValue::Direct)
        program.CommandLineImage = FromStartFolder(program.CommandLineImage, program.StartFolder);
    switch (program.RunMode) {
        case RunModeValue::Editor:
            // -quiet alone names nothing to change; that, not the display, is what is wrong.
            if (program.Quiet) return controller.Fail(Message::QuietNeedsName);
            if (!frontEnd.HasEditor()) return controller.Fail(Message::NoEditorWithoutDisplay);
            // Started again (the menu entry twice, say), the user wants the editor already
            // open on this file, and a second one would lose what the first saves.
            if (host.editors &&
                host.editors->Claim(host.files->FullPath(program.SettingsFileName),
                                    [&frontEnd] { frontEnd.ShowEditor(); }) == ClaimOutcome::HeldElsewhere)
                return controller.End(kExitSuccess);
            frontEnd.ShowEditor();
            break;
        case RunModeValue::Entry:
            frontEnd.RunRetrieval(true);
            break;
        case RunModeValue::Direct:
            frontEnd.RunRetrieval(false);
            break;
        case RunModeValue::Back:
            GoBackRun(controller);
            break;
        case RunModeValue::Next:
            GoForwardRun(controller, frontEnd);
            break;
        default:
            break;
    }
}

}  // namespace vexal
