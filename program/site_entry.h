// One registered entry: where pictures come from, how one is picked, how it is shown.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/scheduler.h"

namespace vexal {

// How the wallpaper is laid out. A hand-edited settings file may hold any other value,
// which is kept as it is and names no style.
enum class WallpaperStyle : std::uint8_t {
    Centred = 0,
    Tiled = 1,
    Stretched = 2,
    Fill = 3,  // covers the screen, shape kept, the overflow cut evenly on both sides
    Fit = 4,   // the whole picture, shape kept, centred on the desktop's background colour
};

// Which candidate a gathering takes. Any other value (a hand-edited file) is kept and
// refused when a choice is made.
enum class ChoiceMode : std::uint8_t {
    Nth = 0,         // the No_n-th
    Containing = 1,  // the first whose name contains Refstr
    Random = 2,
};

struct SiteEntry {
    std::string Name;
    std::string Url;
    // 0 body background, 1 img src, 2 a href, 3 bare http:// addresses,
    // 4 every line of a text file, 5 include subfolders; 6 the page's own picture (its
    // og:image, twitter:image and image_src tags), an extension written only when set.
    std::array<bool, 7> Filter{};
    WallpaperStyle WpState = WallpaperStyle::Centred;
    ChoiceMode No = ChoiceMode::Nth;
    std::int32_t No_n = 0;
    std::string Refstr;
    // gif, jpg, png, bmp, webp; the fifth is an extension, written only when set.
    std::array<bool, 5> Ext{};
    std::string Comment;
    // Candidates narrower than this many pixels, or that cannot be fetched or read, are
    // passed over for the next; 0 (every entry without the line) takes the first chosen
    // and fails with it. An extension, written only when not 0.
    std::int32_t MinWidth = 0;
    // When the system runs the entry by itself; an extension, written only when set.
    ScheduleKind Schedule = ScheduleKind::Never;
    // A picture for each screen: a run takes one candidate per screen and shows each on its
    // own. An extension, written only when set.
    bool EachScreen = false;
    // The colour (0x00RRGGBB) around a centred or fitted picture, given to the desktop with
    // the picture; none keeps the desktop's own. An extension, written only when set.
    std::optional<std::uint32_t> Background;

    bool operator==(const SiteEntry&) const = default;
};

// Element 0 is the working copy a retrieval runs on; 1..N are the registered entries.
using SiteEntryList = std::vector<SiteEntry>;

// The extensions, index i paired with Ext(i).
inline constexpr std::array<const char*, 5> ImageExts = {"gif", "jpg", "png", "bmp", "webp"};

}  // namespace vexal
