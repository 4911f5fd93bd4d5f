// The entries' recent pictures.
#include "gather/picks.h"

#include <algorithm>

#include "wallpaper/history.h"

namespace vexal {

std::vector<std::string> RecentPicks(FileSystem& files, Desktop* desktop, const std::string& entry) {
    return ReadHistory(files, HistoryPath(desktop)).RecentPicks(entry);
}

void RecordPicks(FileSystem& files, Desktop* desktop, const std::string& entry,
                 const std::vector<std::string>& pictures) {
    const std::string path = HistoryPath(desktop);
    History history = ReadHistory(files, path);
    const History before = history;
    std::vector<std::string> recorded;
    for (const std::string& picture : pictures) {
        // A picture repeated on another screen is remembered once.
        if (picture.empty() || std::find(recorded.begin(), recorded.end(), picture) != recorded.end())
            continue;
        recorded.push_back(picture);
        history.AddPick(entry, picture);
    }
    if (history != before) (void)WriteHistory(files, path, history);
}

}  // namespace vexal
