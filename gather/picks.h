// What each entry installed lately, as the data folder's history remembers it: read by
// the random choice, which stays away from those pictures for a while, and added to once
// a change of wallpaper has held.
#pragma once

#include <string>
#include <vector>

#include "host/desktop.h"
#include "host/file_system.h"

namespace vexal {

// The pictures `entry` installed, oldest first; none when the history cannot be read.
std::vector<std::string> RecentPicks(FileSystem& files, Desktop* desktop, const std::string& entry);

// Remembers that `entry` installed `pictures` (the candidates, as the gathering named
// them): each once, empty ones left out. A history that cannot be written costs only what
// it would have remembered.
void RecordPicks(FileSystem& files, Desktop* desktop, const std::string& entry,
                 const std::vector<std::string>& pictures);

}  // namespace vexal
