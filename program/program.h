// The program's state: what the settings file holds, and what one run holds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "program/site_entry.h"
#include "program/url_parts.h"
#include "text/language.h"

namespace vexal {

// What a run does: the entry editor, a registered entry, or an image named on the command line.
enum class RunModeValue : std::uint8_t {
    Editor = 0,
    Entry = 1,
    Direct = 2,
    Back = 3,  // the wallpaper before the current one, put back
    Next = 4,  // the last step back undone, or else the last entry run again
};

// What the settings file holds: the program's settings and the registered entries.
struct StoredSettings {
    std::string NewMsg;
    std::string CacheFileName;
    std::string WinFolderWPname;
    std::int32_t TimeOut = 0;

    // Element 0 is CurrentEntry, the working copy a run goes by; 1..N are the registered
    // entries.
    SiteEntryList SiteEntries = SiteEntryList(1);
    SiteEntry& CurrentEntry() { return SiteEntries[0]; }
    const SiteEntry& CurrentEntry() const { return SiteEntries[0]; }
    // N, the number of registered entries.
    std::int32_t EntryCount() const { return static_cast<std::int32_t>(SiteEntries.size()) - 1; }
};

// What one run holds: the start-up globals and what its retrievals hand from step to step.
struct RunState {
    // Start-up globals, set once by InitGlobals.
    std::string VersionText;
    std::string SettingsFileName;
    std::string TitleText;
    std::string RequestHeaderBlock;
    // The language every window, box and message speaks, chosen by the platform from the
    // user's system before anything is shown (ChooseLanguage).
    Language UserLanguage = Language::Japanese;

    RunModeValue RunMode = RunModeValue::Editor;
    bool ShowPreview = false;
    // -quiet: a run the system's scheduler started. Nobody watches it, so it shows no
    // window and leaves its outcome in the data folder instead.
    bool Quiet = false;
    // The picture named on the command line after -wp, as typed (a relative path counted
    // from StartFolder); the retrieval of that mode brings it.
    std::string CommandLineImage;

    // Where the settings were looked for, set by the platform before the run starts (empty:
    // the current folder's file alone). The run works in the chosen file's folder; when that
    // is not the folder the user started it in, StartFolder names the latter.
    std::string StartFolder;
    std::vector<std::string> SettingsLookedIn;
    // The user's folder the run needed for its settings and could not enter (empty when the
    // system names none); set, it ends the run with a message instead of reading anything.
    std::optional<std::string> UnreachableSettingsFolder;

    // Retrieval state shared by gathering, choice and transfer.
    std::string SourceText;
    std::vector<std::string> Candidates = std::vector<std::string>(1);  // [0] is a placeholder
    UrlParts ServerUrl;
    std::string RequestHeaders;
    // The working files this run's retrievals hold now: what a run that ends at once (a
    // stop signal in the middle of a fetch, or while the preview waits) removes. Kept by
    // the retrieval's owner of its working files, and by nothing else.
    std::vector<std::string> WorkingFilesHeld;
    // The progress window's cancel flag: set by its cancel button, polled by the
    // transfer and by the folder walk.
    bool CancelRequested = false;
};

// The program's state: both halves in one object, passed where it is needed, so every
// member keeps the name the rest of the system knows it by.
struct Program : StoredSettings, RunState {};

// The settings file's name, looked for in the folders ChooseSettingsFile names.
inline constexpr const char* kSettingsFileName = "vexal.ini";

// The contact address sent in the "From:" request header.
inline constexpr const char* kContactAddress = "contact@vexal.example";

// Sets the start-up globals: version and title texts, the settings file's name and the
// request header block every fetch sends.
void InitGlobals(Program& program, int majorVersion, int minorVersion);

}  // namespace vexal
