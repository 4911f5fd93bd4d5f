// Which settings file a run uses, decided from what the platform finds where it starts: the
// current folder's file when there is one (a portable copy's too), else the user's own, so
// a run finds the same entries from a new console, a menu or a scheduled task.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexal {

// What the platform found, with every folder as an absolute path that ends in its separator.
struct SettingsFacts {
    std::string currentFolder;
    // Where the user's own file lives: Documents as the system names it on Windows, the home
    // folder elsewhere; empty when the system names none.
    std::string userFolder;
    bool userFolderReachable = false;
    // The same folder as currentFolder, under whatever spelling.
    bool userFolderIsCurrent = false;
    // Started in the program's own folder (Windows): with no settings file anywhere, the
    // run belongs in the user's folder, since the program's folder is not the user's.
    bool startedInProgramFolder = false;
    // Whether a file (readable or not) stands under the settings file's name there.
    bool currentHasFile = false;
    bool userHasFile = false;
};

enum class SettingsPlace : std::uint8_t {
    Current,
    User,
    // The run needs the user's folder, and it is not there (a drive that is gone).
    UserFolderUnreachable,
};

struct SettingsChoice {
    SettingsPlace place = SettingsPlace::Current;
    // The folder the run works in; the unreachable folder for UserFolderUnreachable.
    std::string folder;
    // Every settings file looked for, in order, for the messages that say none had an entry.
    std::vector<std::string> lookedIn;
};

[[nodiscard]] SettingsChoice ChooseSettingsFile(const SettingsFacts& facts, const std::string& fileName);

}  // namespace vexal
