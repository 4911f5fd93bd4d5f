// What the data folder remembers between runs: the pictures each entry installed last, so
// that a random choice does not come back to them soon, and the wallpapers before the
// current one, which going back puts in place again. Damage to the file costs only what it
// remembered: a line that cannot be read is left out, a file that cannot be read is none.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "host/desktop.h"
#include "host/file_system.h"
#include "wallpaper/install.h"

namespace vexal {

// The file's name in the user's own data folder (the one that holds the run lock).
inline constexpr const char* kHistoryFileName = "history.txt";
// Pictures remembered for each entry; more than the choice ever looks back on.
inline constexpr std::size_t kPicksKept = 10;
// Pictures remembered in all: entries that are gone do not make the file grow for ever.
inline constexpr std::size_t kPicksKeptInAll = 2000;
// Wallpapers before the current one kept to go back to, each a whole bitmap; as many
// replaced by going back are kept to go forward to again.
inline constexpr std::size_t kBackKept = 3;

struct HistoryPick {
    std::string entry;    // the entry's identifier as it was written
    std::string picture;  // the candidate installed, as the gathering named it
    bool operator==(const HistoryPick&) const = default;
};

struct PreviousWallpaper {
    std::string bitmap;  // its bare name in the wallpaper folder (see BackBitmapName)
    StyleValues style;   // the style it was shown in; empty when that is not known
    // A wallpaper of a picture for each screen, each screen's bitmap kept on its own (see
    // BackScreenBitmapName), first screen first; `bitmap` is empty then.
    std::vector<std::string> screens{};
    bool operator==(const PreviousWallpaper&) const = default;
};

struct History {
    std::vector<HistoryPick> picks;  // oldest first
    StyleValues current;             // the style of the wallpaper shown now, if known
    // How many screens the wallpaper shown now has a bitmap of their own for (see
    // ScreenBitmapPath); 0 when it is the one bitmap.
    std::size_t currentScreens = 0;
    std::vector<PreviousWallpaper> back;  // oldest first; the last is the one before now
    // The wallpapers going back replaced, the last the one it replaced last: going forward
    // takes it first. Any other change of wallpaper leaves nothing to go forward to.
    std::vector<PreviousWallpaper> forward{};
    bool operator==(const History&) const = default;

    // The pictures `entry` installed, oldest first; identifiers match as the command
    // line matches them, whatever their letter case.
    std::vector<std::string> RecentPicks(std::string_view entry) const;
    // Remembers that `entry` installed `picture`, forgetting what is beyond the bounds.
    void AddPick(std::string_view entry, std::string_view picture);
};

// The file's text and back. Reading never fails: what cannot be read is left out.
History ParseHistory(std::string_view text);
std::string HistoryText(const History& history);

// The history file's path for `desktop`; empty when the desktop has no folder of the user's.
std::string HistoryPath(Desktop* desktop);
// The history in `path`; an empty one when there is no path or no readable file.
History ReadHistory(FileSystem& files, const std::string& path);
// Replaces the file in one step; false when it could not be written (nothing else depends
// on it, so callers go on).
bool WriteHistory(FileSystem& files, const std::string& path, const History& history);

// The name of the `slot`-th kept bitmap ("vexal-back-1.bmp"), and whether `name` is one:
// only such files are ever renamed or deleted on the history's word, whatever the file says.
std::string BackBitmapName(std::size_t slot);
bool IsBackBitmapName(std::string_view name);
// The kept bitmap of screen `screen` (1 the first) of the `slot`-th kept wallpaper
// ("vexal-back-1-2.bmp"), and whether `name` is one; the screen number is at most
// kScreensKept.
inline constexpr std::size_t kScreensKept = 16;
std::string BackScreenBitmapName(std::size_t slot, std::size_t screen);
bool IsBackScreenBitmapName(std::string_view name);
// Whether `previous` keeps a file under the `slot`-th name.
bool UsesBackSlot(const PreviousWallpaper& previous, std::size_t slot);
// The same for the wallpapers kept to go forward to: "vexal-next-1.bmp",
// "vexal-next-1-2.bmp". Names of their own, so that an older copy, which knows only the
// kept wallpapers to go back to, never takes one of them for its own.
std::string NextBitmapName(std::size_t slot);
bool IsNextBitmapName(std::string_view name);
std::string NextScreenBitmapName(std::size_t slot, std::size_t screen);
bool IsNextScreenBitmapName(std::string_view name);
bool UsesNextSlot(const PreviousWallpaper& next, std::size_t slot);

}  // namespace vexal
