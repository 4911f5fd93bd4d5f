// Deciding from the text alone what an entry's source or an image string names, which of
// the four picture kinds a name is, and the working file a picture is stored under. Every extension test of
// the program asks here, so the rules for pages, text files, folders, the command line and installation are
// one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vexal {

enum class SourceKind : std::int16_t {
    WebPage = 1,
    WebImage = 2,
    LocalFile = 3,
    LocalImage = 4,
    LocalFolder = 5,
};

// The character that ends a folder path: "\" on Windows, "/" on POSIX systems. The build
// names it (VEXAL_FOLDER_SEPARATOR, the character's code) for the system it builds for.
inline constexpr char kFolderSeparator = static_cast<char>(VEXAL_FOLDER_SEPARATOR);

// The picture kinds; each value is the index of its flag in Ext and of its name in
// ImageExts.
enum class PictureKind : std::int8_t { NotAPicture = -1, Gif = 0, Jpg = 1, Png = 2, Bmp = 3, Webp = 4 };

// True for an "http://" or "https://" address, the scheme in any letter case.
bool IsWebAddress(std::string_view text);

// The part of a name that tells its picture kind. A web name (an address, or a link on a
// web page) ends before its query or fragment, which name no file; a local name is taken
// whole, since "?" and "#" are ordinary characters of file names.
std::string_view PictureNamePart(std::string_view name, bool webName);

// Which picture a name ends in, letter case ignored: ".gif", ".jpg" or ".jpeg", ".png",
// ".bmp", ".webp"; NotAPicture for anything else.
PictureKind PictureKindOf(std::string_view name, bool webName);

// The working image file for `chosenImage`: `cacheFileName`, ".", and the last three
// characters of the name (letter case kept), "jpg" for a name ending in ".jpeg", or "webp"
// for one ending in ".webp" (letter case kept too). A web
// name (`webName`) is read without its query or fragment.
std::string WorkImageFileName(std::string_view cacheFileName, std::string_view chosenImage, bool webName);

// True when the text names a picture, judged by the rule for its own kind of name.
bool HasImageExtension(std::string_view text);

SourceKind ClassifySource(std::string_view text, char folderSeparator = kFolderSeparator);

}  // namespace vexal
