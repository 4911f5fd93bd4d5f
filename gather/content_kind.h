// What a fetched candidate turned out to be, told by its first bytes: a picture of one of
// the kinds the program reads, a web page, or something else.
#pragma once

#include <string_view>

#include "settings/source_kind.h"

namespace vexal {

struct ContentKind {
    PictureKind picture = PictureKind::NotAPicture;
    bool html = false;  // markup: a page about the picture rather than the picture
};

// GIF, JPEG, PNG, BMP, WebP, AVIF, HEIF and JPEG XL by their signatures; SVG by its root
// element opening the text; a page by its first character after a byte-order mark and
// blanks being "<", which no other picture of those kinds starts with.
ContentKind ContentKindOf(std::string_view firstBytes);

}  // namespace vexal
