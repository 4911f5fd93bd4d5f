// The history file: one record a line, fields parted by tabs, each field escaped so that a
// path with a tab or a line end in it stays one field:
//   vexal-history 1
//   pick  ENTRY  PICTURE
//   style WALLPAPERSTYLE TILEWALLPAPER
//   back  BITMAP WALLPAPERSTYLE TILEWALLPAPER
// and, only once a picture was shown on each screen (a reader that does not know these
// lines passes over them):
//   screens     COUNT                        (the wallpaper shown now is COUNT screen bitmaps)
//   backscreens WALLPAPERSTYLE TILEWALLPAPER BITMAP1 BITMAP2 …
// and, only after going back, the wallpapers to go forward to again, in the same two forms:
//   next        BITMAP WALLPAPERSTYLE TILEWALLPAPER
//   nextscreens WALLPAPERSTYLE TILEWALLPAPER BITMAP1 BITMAP2 …
#include "wallpaper/history.h"

#include <algorithm>
#include <map>

#include "settings/source_kind.h"
#include "text/case.h"

namespace vexal {
namespace {

constexpr std::string_view kHeader = "vexal-history 1";
// A longer file is no history this program wrote: it is read as none, and the next write
// replaces it.
constexpr std::size_t kLargestFile = 4 * 1024 * 1024;

std::string Escaped(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (char c : field) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string Unescaped(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out.push_back(field[i]);
            continue;
        }
        const char c = field[++i];
        out.push_back(c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c);
    }
    return out;
}

std::vector<std::string> Fields(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(Unescaped(line.substr(start, tab - start)));
        if (tab == std::string_view::npos) return fields;
        start = tab + 1;
    }
}

// A style value as the installation writes them: a few digits.
bool IsStyleCode(std::string_view value) {
    return !value.empty() && value.size() <= 3 &&
           std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Both values, or neither (a style not known).
bool ReadStyle(const std::string& wallpaperStyle, const std::string& tileWallpaper, StyleValues& out) {
    if (wallpaperStyle.empty() && tileWallpaper.empty()) {
        out = {};
        return true;
    }
    if (!IsStyleCode(wallpaperStyle) || !IsStyleCode(tileWallpaper)) return false;
    out = {wallpaperStyle, tileWallpaper};
    return true;
}

// Keeps the newest kPicksKept of each entry and the newest kPicksKeptInAll in all, in one
// pass from the newest: a file of thousands of lines is read without a pass per line.
void TrimPicks(std::vector<HistoryPick>& picks) {
    std::map<std::string, std::size_t> perEntry;
    std::vector<HistoryPick> kept;
    for (std::size_t i = picks.size(); i-- > 0 && kept.size() < kPicksKeptInAll;)
        if (++perEntry[ToLower(picks[i].entry)] <= kPicksKept) kept.push_back(std::move(picks[i]));
    std::reverse(kept.begin(), kept.end());
    picks = std::move(kept);
}

// A number of screens, 1 to kScreensKept; 0 for anything else.
std::size_t ScreenCount(std::string_view digits) {
    if (digits.empty() || digits.size() > 2 || digits[0] == '0' ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    const std::size_t count = static_cast<std::size_t>(std::stoi(std::string(digits)));
    return count <= kScreensKept ? count : 0;
}

bool SharesFile(const PreviousWallpaper& a, const PreviousWallpaper& b) {
    if (!a.bitmap.empty() && a.bitmap == b.bitmap) return true;
    return std::any_of(a.screens.begin(), a.screens.end(), [&](const std::string& name) {
        return std::find(b.screens.begin(), b.screens.end(), name) != b.screens.end();
    });
}

}  // namespace

std::vector<std::string> History::RecentPicks(std::string_view entry) const {
    const std::string wanted = ToLower(entry);
    std::vector<std::string> recent;
    for (const HistoryPick& pick : picks)
        if (ToLower(pick.entry) == wanted) recent.push_back(pick.picture);
    return recent;
}

void History::AddPick(std::string_view entry, std::string_view picture) {
    picks.push_back({std::string(entry), std::string(picture)});
    TrimPicks(picks);
}

History ParseHistory(std::string_view text) {
    History history;
    if (text.size() > kLargestFile) return history;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::vector<std::string> f = Fields(line);
        if (f[0] == "pick" && f.size() == 3 && !f[1].empty() && !f[2].empty()) {
            history.picks.push_back({f[1], f[2]});
        } else if (f[0] == "style" && f.size() == 3) {
            StyleValues style;
            if (ReadStyle(f[1], f[2], style)) history.current = style;
        } else if (f[0] == "screens" && f.size() == 2) {
            const std::size_t count = ScreenCount(f[1]);
            if (count > 0) history.currentScreens = count;
        } else if (const bool next = f[0] == "next" || f[0] == "nextscreens";
                   next || f[0] == "back" || f[0] == "backscreens") {
            const bool screens = f[0] == "backscreens" || f[0] == "nextscreens";
            const auto single = next ? IsNextBitmapName : IsBackBitmapName;
            const auto perScreen = next ? IsNextScreenBitmapName : IsBackScreenBitmapName;
            if (screens ? !(f.size() >= 5 && f.size() <= 3 + kScreensKept &&
                            std::all_of(f.begin() + 3, f.end(), perScreen))
                        : !(f.size() == 4 && single(f[1])))
                continue;
            PreviousWallpaper previous;
            if (!screens) {
                previous.bitmap = f[1];
                if (!ReadStyle(f[2], f[3], previous.style)) continue;
            } else {
                previous.screens.assign(f.begin() + 3, f.end());
                if (!ReadStyle(f[1], f[2], previous.style)) continue;
            }
            // A name twice would let one bitmap stand for two wallpapers: the later counts.
            std::vector<PreviousWallpaper>& list = next ? history.forward : history.back;
            std::erase_if(list, [&](const PreviousWallpaper& p) { return SharesFile(p, previous); });
            list.push_back(std::move(previous));
        }
    }
    TrimPicks(history.picks);
    for (std::vector<PreviousWallpaper>* list : {&history.back, &history.forward})
        if (list->size() > kBackKept)
            list->erase(list->begin(), list->end() - static_cast<std::ptrdiff_t>(kBackKept));
    return history;
}

std::string HistoryText(const History& history) {
    std::string text(kHeader);
    text += '\n';
    for (const HistoryPick& pick : history.picks)
        text += "pick\t" + Escaped(pick.entry) + '\t' + Escaped(pick.picture) + '\n';
    if (!history.current.Empty())
        text += "style\t" + history.current.wallpaperStyle + '\t' + history.current.tileWallpaper + '\n';
    if (history.currentScreens > 0) text += "screens\t" + std::to_string(history.currentScreens) + '\n';
    const auto kept = [&](const std::vector<PreviousWallpaper>& list, const char* one, const char* each) {
        for (const PreviousWallpaper& previous : list) {
            if (previous.screens.empty()) {
                text += one + ('\t' + previous.bitmap) + '\t' + previous.style.wallpaperStyle + '\t' +
                        previous.style.tileWallpaper + '\n';
                continue;
            }
            text += each + ('\t' + previous.style.wallpaperStyle) + '\t' + previous.style.tileWallpaper;
            for (const std::string& name : previous.screens) text += '\t' + name;
            text += '\n';
        }
    };
    kept(history.back, "back", "backscreens");
    kept(history.forward, "next", "nextscreens");
    return text;
}

std::string HistoryPath(Desktop* desktop) {
    std::string folder;
    if (!desktop || !desktop->LockFolder(folder)) return {};
    return folder + kFolderSeparator + kHistoryFileName;
}

History ReadHistory(FileSystem& files, const std::string& path) {
    // Bounded as any text the program reads: a history.txt that someone linked to an
    // endless device must end the read, not the memory. Too large a file is no history of
    // ours, and is read as none.
    std::string text;
    if (path.empty() || files.ReadFileAtMost(path, kLocalTextBound, text) != ReadFailure::Nothing) return {};
    return ParseHistory(text);
}

bool WriteHistory(FileSystem& files, const std::string& path, const History& history) {
    return !path.empty() && files.ReplaceOwnFile(path, HistoryText(history));
}

namespace {

std::string KeptName(std::string_view prefix, std::size_t slot) {
    return std::string(prefix) + std::to_string(slot) + ".bmp";
}

bool IsKeptName(std::string_view prefix, std::string_view name) {
    constexpr std::string_view kSuffix = ".bmp";
    if (!name.starts_with(prefix) || !name.ends_with(kSuffix)) return false;
    const std::string_view digits = name.substr(prefix.size(), name.size() - prefix.size() - kSuffix.size());
    return !digits.empty() && digits.size() <= 2 && digits[0] != '0' &&
           std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsKeptScreenName(std::string_view prefix, std::string_view name) {
    // "PREFIX-SLOT-SCREEN.bmp": the slot as a kept bitmap's, the screen as a count.
    const std::size_t dash = name.rfind('-');
    if (dash == std::string_view::npos || !name.ends_with(".bmp")) return false;
    const std::string_view screen = name.substr(dash + 1, name.size() - dash - 1 - 4);
    return ScreenCount(screen) > 0 && IsKeptName(prefix, std::string(name.substr(0, dash)) + ".bmp");
}

bool UsesSlot(std::string_view prefix, const PreviousWallpaper& kept, std::size_t slot) {
    if (kept.bitmap == KeptName(prefix, slot)) return true;
    const std::string screens = std::string(prefix) + std::to_string(slot) + "-";
    return std::any_of(kept.screens.begin(), kept.screens.end(),
                       [&](const std::string& name) { return name.starts_with(screens); });
}

constexpr std::string_view kBackPrefix = "vexal-back-", kNextPrefix = "vexal-next-";

}  // namespace

std::string BackBitmapName(std::size_t slot) { return KeptName(kBackPrefix, slot); }
bool IsBackBitmapName(std::string_view name) { return IsKeptName(kBackPrefix, name); }
std::string BackScreenBitmapName(std::size_t slot, std::size_t screen) {
    return std::string(kBackPrefix) + std::to_string(slot) + "-" + std::to_string(screen) + ".bmp";
}
bool IsBackScreenBitmapName(std::string_view name) { return IsKeptScreenName(kBackPrefix, name); }
bool UsesBackSlot(const PreviousWallpaper& previous, std::size_t slot) {
    return UsesSlot(kBackPrefix, previous, slot);
}

std::string NextBitmapName(std::size_t slot) { return KeptName(kNextPrefix, slot); }
bool IsNextBitmapName(std::string_view name) { return IsKeptName(kNextPrefix, name); }
std::string NextScreenBitmapName(std::size_t slot, std::size_t screen) {
    return std::string(kNextPrefix) + std::to_string(slot) + "-" + std::to_string(screen) + ".bmp";
}
bool IsNextScreenBitmapName(std::string_view name) { return IsKeptScreenName(kNextPrefix, name); }
bool UsesNextSlot(const PreviousWallpaper& next, std::size_t slot) {
    return UsesSlot(kNextPrefix, next, slot);
}

}  // namespace vexal
