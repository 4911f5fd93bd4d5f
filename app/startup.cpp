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
#include "text/case.h"
#include "ui/host_services.h"
#include "ui/messages.h"
#include "ui/retrieval_reporter.h"
#include "wallpaper/install.h"

namespace vexal {

std::string JoinArguments(const std::vector<std::string>& args) {
    std::string line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i) line.push_back(' ');
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
    return MessageText(Message::Usage, {program.SettingsFileName, program.TitleText});
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
            if (!found) return {CommandLineOutcome::UnknownIdentifier, token};
        } else if (first == '-' || first == '/') {
            const std::string option = ToLower(std::string_view(token).substr(1));
            if (option == "wp") {
                if (i + 1 == tokens.size()) return {CommandLineOutcome::MissingImage, token};
                ++i;
                program.RunMode = RunModeValue::Direct;
                program.CommandLineImage = tokens[i];
            } else if (option == "back") {
                program.RunMode = RunModeValue::Back;
            } else if (option == "preview") {
                program.ShowPreview = true;
            } else if (option == "quiet") {
                program.Quiet = true;
            } else {
                return {CommandLineOutcome::InvalidOption, token};
            }
        } else {
            return {CommandLineOutcome::InvalidOption, token};
        }
    }
    return {};
}

void GoBackRun(RunController& controller) {
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
    const InstallResult back = GoBack(program.WinFolderWPname, WallpaperServicesOf(host));
    if (!back.Ok()) controller.InstallFailed(back);
    controller.End(back.Ok() ? kExitSuccess : kExitFailure);
}

void Main(RunController& controller, FrontEnd& frontEnd, std::string_view commandLine, int majorVersion,
          int minorVersion) {
    Program& program = controller.program();
    Host& host = controller.host();
    InitGlobals(program, majorVersion, minorVersion);
    const bool settingsRead = LoadSettings(program, *host.files);
    // Known before the line is read, as the front end knew it: a scheduled run whose
    // identifier is refused still leaves its outcome for the user to find.
    program.Quiet = AsksForQuietRun(commandLine);
    const CommandLineResult parsed = ParseCommandLine(program, commandLine);
    switch (parsed.outcome) {
        case CommandLineOutcome::Run:
            break;
        case CommandLineOutcome::Help:
        case CommandLineOutcome::Version:
            if (host.console)
                host.console->Print(parsed.outcome == CommandLineOutcome::Help ? UsageText(program)
                                                                               : program.TitleText + "\n");
            return controller.End(kExitSuccess);
        case CommandLineOutcome::UnknownIdentifier:
            // The run may have started in another folder than the user thinks (a menu, a
            // timer, a terminal elsewhere): say which file was searched.
            return controller.Fail(settingsRead ? Message::IdentifierNotFound : Message::IdentifierNoSettings,
                                   {parsed.subject, host.files->FullPath(program.SettingsFileName)});
        case CommandLineOutcome::MissingImage:
            return controller.Fail(Message::WpNeedsImage);
        case CommandLineOutcome::InvalidOption:
            return controller.Fail(Message::InvalidOption, {parsed.subject});
    }
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
        default:
            break;
    }
}

}  // namespace vexal
