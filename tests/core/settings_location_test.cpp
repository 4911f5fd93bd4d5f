// The choice of the settings file, from the facts a platform finds.
#include "settings/settings_location.h"

#include <gtest/gtest.h>

namespace vexal {
namespace {

TEST(SettingsLocationTest, CurrentFolderFirstThenTheUsersNeverTheProgramsInstead) {
    const std::string here = "/start/", user = "/home/me/";
    enum : unsigned { kHere = 1, kUser = 2, kReachable = 4, kSame = 8, kOwnFolder = 16 };
    const struct {
        const char* name;
        unsigned facts;
        SettingsPlace place;
        std::string folder;
        std::vector<std::string> lookedIn;
    } rows[] = {
        {"current folder's file wins",
         kHere | kUser | kReachable,
         SettingsPlace::Current,
         here,
         {here + "f"}},
        {"portable copy in its own folder", kHere | kOwnFolder, SettingsPlace::Current, here, {here + "f"}},
        {"the user's file from anywhere",
         kUser | kReachable,
         SettingsPlace::User,
         user,
         {here + "f", user + "f"}},
        {"neither: the current folder", kReachable, SettingsPlace::Current, here, {here + "f", user + "f"}},
        {"neither, own folder: the user's",
         kReachable | kOwnFolder,
         SettingsPlace::User,
         user,
         {here + "f", user + "f"}},
        {"own folder, user's folder gone",
         kOwnFolder,
         SettingsPlace::UserFolderUnreachable,
         user,
         {here + "f", user + "f"}},
        {"elsewhere, user's folder gone", 0, SettingsPlace::Current, here, {here + "f", user + "f"}},
        {"started in the user's folder",
         kReachable | kSame | kOwnFolder,
         SettingsPlace::Current,
         here,
         {here + "f"}},
    };
    for (const auto& row : rows) {
        SettingsFacts facts;
        facts.currentFolder = here;
        facts.userFolder = user;
        facts.currentHasFile = row.facts & kHere;
        facts.userHasFile = row.facts & kUser;
        facts.userFolderReachable = row.facts & kReachable;
        facts.userFolderIsCurrent = row.facts & kSame;
        facts.startedInProgramFolder = row.facts & kOwnFolder;
        const SettingsChoice choice = ChooseSettingsFile(facts, "f");
        EXPECT_EQ(choice.place, row.place) << row.name;
        EXPECT_EQ(choice.folder, row.folder) << row.name;
        EXPECT_EQ(choice.lookedIn, row.lookedIn) << row.name;
    }
    // A system that names no folder of the user's: only the current folder is looked in, and a
    // start in the program's own folder has nowhere to go.
    SettingsFacts none;
    none.currentFolder = here;
    EXPECT_EQ(ChooseSettingsFile(none, "f").lookedIn, std::vector<std::string>{here + "f"});
    none.startedInProgramFolder = true;
    EXPECT_EQ(ChooseSettingsFile(none, "f").place, SettingsPlace::UserFolderUnreachable);
}

}  // namespace
}  // namespace vexal
