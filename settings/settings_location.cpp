// The choice of the settings file, from facts alone.
#include "settings/settings_location.h"

namespace vexal {

SettingsChoice ChooseSettingsFile(const SettingsFacts& facts, const std::string& fileName) {
    SettingsChoice choice;
    choice.lookedIn.push_back(facts.currentFolder + fileName);
    if (facts.currentHasFile) {
        choice.folder = facts.currentFolder;
        return choice;
    }
    const bool separateUserFolder = !facts.userFolder.empty() && !facts.userFolderIsCurrent;
    if (separateUserFolder) {
        choice.lookedIn.push_back(facts.userFolder + fileName);
        if (facts.userFolderReachable && facts.userHasFile) {
            choice.place = SettingsPlace::User;
            choice.folder = facts.userFolder;
            return choice;
        }
    }
    if (!facts.startedInProgramFolder || facts.userFolderIsCurrent) {
        choice.folder = facts.currentFolder;
        return choice;
    }
    // Never the program's folder instead: its vexal.ini is another user's, or nobody's, and
    // what the editor saved there would be lost to the user's own runs.
    if (facts.userFolder.empty() || !facts.userFolderReachable) {
        choice.place = SettingsPlace::UserFolderUnreachable;
        choice.folder = facts.userFolder;
        return choice;
    }
    choice.place = SettingsPlace::User;
    choice.folder = facts.userFolder;
    return choice;
}

}  // namespace vexal
