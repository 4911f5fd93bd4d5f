// One registered entry: where pictures come from, how one is picked, how it is shown.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vexal {

struct SiteEntry {
    std::string Name;
    std::string Url;
    // 0 body background, 1 img src, 2 a href, 3 bare http:// addresses,
    // 4 every line of a text file, 5 include subfolders.
    std::array<bool, 6> Filter{};
    std::uint8_t WpState = 0;  // 0 centred, 1 tiled, 2 stretched
    std::uint8_t No = 0;       // 0 the No_n-th, 1 first containing Refstr, 2 random
    std::int32_t No_n = 0;
    std::string Refstr;
    std::array<bool, 4> Ext{};  // gif, jpg, png, bmp
    std::string Comment;

    bool operator==(const SiteEntry&) const = default;
};

// Element 0 is the working copy a retrieval runs on; 1..N are the registered entries.
using SiteEntryList = std::vector<SiteEntry>;

// The four extensions, index i paired with Ext(i).
inline constexpr std::array<const char*, 4> ImageExts = {"gif", "jpg", "png", "bmp"};

}  // namespace vexal
