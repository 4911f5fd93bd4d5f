// The current folder, the home folder and the settings file in each, from the system.
#include "platform/posix/settings_facts.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace vexal {
namespace {

std::string AsFolder(std::string path) {
    if (!path.empty() && path.back() != '/') path.push_back('/');
    return path;
}

// The home folder as a shell's `cd` finds it: $HOME, else the user's entry.
std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir) return user->pw_dir;
    return {};
}

// Something stands under that name, readable or not: a file this user may not read is
// still the one the run must report, never skipped for another.
bool SomethingThere(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) return true;
    return errno != ENOENT && errno != ENOTDIR;
}

}  // namespace

SettingsFacts FindSettingsFacts(const std::string& fileName) {
    SettingsFacts facts;
    std::vector<char> current(4096);
    while (!::getcwd(current.data(), current.size()) && errno == ERANGE) current.resize(current.size() * 2);
    if (current[0] == '/') facts.currentFolder = AsFolder(current.data());
    facts.currentHasFile = SomethingThere(facts.currentFolder + fileName);
    const std::string home = HomeFolder();
    struct stat homeInfo {
    }, currentInfo{};
    if (home.empty() || ::stat(home.c_str(), &homeInfo) != 0 || !S_ISDIR(homeInfo.st_mode)) {
        facts.userFolder = home.empty() ? std::string() : AsFolder(home);
        return facts;
    }
    facts.userFolder = AsFolder(home);
    facts.userFolderReachable = true;
    facts.userFolderIsCurrent = ::stat(".", &currentInfo) == 0 && currentInfo.st_dev == homeInfo.st_dev &&
                                currentInfo.st_ino == homeInfo.st_ino;
    facts.userHasFile = SomethingThere(facts.userFolder + fileName);
    return facts;
}

bool EnterFolder(const std::string& folder) { return ::chdir(folder.c_str()) == 0; }

}  // namespace vexal
