// Deciding from the text alone what an entry's source or an image string names.
#pragma once

#include <cstdint>
#include <string_view>

namespace vexal {

enum class SourceKind : std::int16_t {
    WebPage = 1,
    WebImage = 2,
    LocalFile = 3,
    LocalImage = 4,
    LocalFolder = 5,
};

// The character that ends a folder path: "\" on Windows, "/" on POSIX systems.
#ifdef _WIN32
inline constexpr char kFolderSeparator = '\\';
#else
inline constexpr char kFolderSeparator = '/';
#endif

// True when the last four characters, lower-cased, are "." and one of gif, jpg, png, bmp.
bool HasImageExtension(std::string_view text);

SourceKind ClassifySource(std::string_view text, char folderSeparator = kFolderSeparator);

}  // namespace vexal
