// Deciding from the text alone what an entry's source or an image string names, which
// picture kind a name is, and the working file a picture is stored under. Every extension test of
// the program asks here, so the rules for pages, text files, folders, the command line and installation are
// one.
#pragma once

#include <array>
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

// The picture kinds. The first five are the index of their flag in Ext and of their name
// in ImageExts; the newer kinds after WebP share its flag (see KindAllowed).
enum class PictureKind : std::int8_t {
    NotAPicture = -1,
    Gif = 0,
    Jpg = 1,
    Png = 2,
    Bmp = 3,
    Webp = 4,
    Avif = 5,
    Heif = 6,  // HEIC and HEIF: the phones' photos
    Jxl = 7,
    Svg = 8,
};

// The extension a picture of `kind` is stored under when its name told none: "gif",
// "jpg", "png", "bmp", "webp", "avif", "heic", "jxl", "svg"; empty for NotAPicture.
const char* PictureKindExtension(PictureKind kind);

// The index of the entry's flag that allows `kind`: the kinds after WebP are allowed by
// WebP's flag, the one that stands for the pictures of today's cameras and sites, so a
// settings file keeps its bytes and the four original flags their meaning.
std::size_t ExtFlagOf(PictureKind kind);

// Whether `ext` (an entry's flags) allows a picture of `kind`; never NotAPicture.
bool KindAllowed(PictureKind kind, const std::array<bool, 5>& ext);

// True for an "http://" or "https://" address, the scheme in any letter case.
bool IsWebAddress(std::string_view text);

// The part of a name that tells its picture kind. A web name (an address, or a link on a
// web page) ends before its query or fragment, which name no file; a local name is taken
// whole, since "?" and "#" are ordinary characters of file names.
std::string_view PictureNamePart(std::string_view name, bool webName);

// Which picture a name ends in, letter case ignored: ".gif", ".jpg" or ".jpeg", ".png",
// ".bmp", ".webp", ".avif", ".heic" or ".heif", ".jxl", ".svg"; NotAPicture for anything else.
PictureKind PictureKindOf(std::string_view name, bool webName);

// The working image file for `chosenImage`: `cacheFileName`, ".", and the last three
// characters of the name (letter case kept), "jpg" for a name ending in ".jpeg", or the
// last four for a picture kind of four letters (".webp", ".avif", ".heic", ".heif",
// letter case kept too). A web
// name (`webName`) is read without its query or fragment.
std::string WorkImageFileName(std::string_view cacheFileName, std::string_view chosenImage, bool webName);

// True when the text names a picture, judged by the rule for its own kind of name.
bool HasImageExtension(std::string_view text);

SourceKind ClassifySource(std::string_view text, char folderSeparator = kFolderSeparator);

}  // namespace vexal
