// The program's state: what the settings file holds, and what one run holds.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/dialogs.h"
#include "host/file_system.h"
#include "program/site_entry.h"
#include "program/url_parts.h"
#include "text/page_encoding.h"

namespace vexal {

// What a run does: the entry editor, a registered entry, or an image named on the command line.
enum class RunModeValue : std::uint8_t {
    Editor = 0,
    Entry = 1,
    Direct = 2,
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

// What one run holds: the start-up globals and the state of its retrieval.
struct RunState {
    // Start-up globals, set once by InitGlobals.
    std::string VersionText;
    std::string SettingsFileName;
    std::string TitleText;
    std::string RequestHeaderBlock;

    RunModeValue RunMode = RunModeValue::Editor;
    bool ShowPreview = false;
    std::string ChosenImage;
    std::string WorkImageFile;
    // The working file is the user's own picture (`-wp` given the working file itself):
    // it is installed where it is and never deleted.
    bool WorkImageIsChosen = false;

    // Retrieval state shared by gathering, choice and transfer.
    std::string SourceText;
    std::vector<std::string> Candidates = std::vector<std::string>(1);  // [0] is a placeholder
    UrlParts ServerUrl;
    std::string RequestHeaders;
    bool RelativeToPage = false;
    // What the folder walk passed over, for the message when it finds nothing usable: why
    // the entry's own folder could not be listed (Nothing when it could), and the files of
    // kinds not taken, counted by their upper-case extension ("SVG").
    FileFailure FolderFailure = FileFailure::Nothing;
    std::map<std::string, std::int64_t> PassedOver;
    // Set by each gathering from the entry, for the candidates it chose from. With
    // PassOver (a MinWidth) a candidate that cannot be used gives way to the next:
    // ChosenIndex is the one in hand, Tried marks those already tried. With PhotoPages a
    // candidate that arrives as a page is read for its own picture, and with
    // AnyWebAddress (the page's own picture rule) a web address is fetched whatever its
    // name ends in. PageUrl is the address the page came from, below which its links hang.
    bool PassOver = false;
    bool PhotoPages = false;
    bool AnyWebAddress = false;
    std::size_t ChosenIndex = 0;
    std::vector<bool> Tried;
    UrlParts PageUrl;
    // The encoding of the page the candidates came from, read with its own characters for
    // an entry with the page's own picture rule: a link's query goes to the server in it.
    PageEncoding PageCharset = PageEncoding::Utf8;
    // The "Content-Type" the last picture fetch was answered with: a page says so there.
    std::string FetchedContentType;
    // The page the candidates came from holds a script, which may build its pictures:
    // said when it gives none.
    bool PageHasScript = false;
    // The progress window's cancel flag: set by its cancel button, polled by the
    // transfer and by the folder walk.
    bool CancelRequested = false;
};

// The program's state: both halves in one object, passed where it is needed, so every
// member keeps the name the rest of the system knows it by.
struct Program : StoredSettings, RunState {};

// The contact address sent in the "From:" request header.
inline constexpr const char* kContactAddress = "contact@vexal.example";

// Sets the start-up globals: version and title texts, the settings file's name and the
// request header block every fetch sends.
void InitGlobals(Program& program, int majorVersion, int minorVersion);

// Deletes `path`, a file this run made, unless it is the user's own picture serving as
// the working file (WorkImageIsChosen): that one is never deleted. An empty path is none.
void DeleteWorkingFile(const Program& program, FileSystem& files, const std::string& path);

// The error box: error icon, title TitleText.
void ShowError(const Program& program, Dialogs& dialogs, const std::string& text);

}  // namespace vexal
