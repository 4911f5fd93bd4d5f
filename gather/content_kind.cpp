// Telling a picture or a page by its first bytes.
#include "gather/content_kind.h"

namespace vexal {

ContentKind ContentKindOf(std::string_view b) {
    ContentKind kind;
    if (b.starts_with("GIF87a") || b.starts_with("GIF89a")) {
        kind.picture = PictureKind::Gif;
    } else if (b.starts_with("\xFF\xD8\xFF")) {
        kind.picture = PictureKind::Jpg;
    } else if (b.starts_with("\x89PNG\r\n\x1A\n")) {
        kind.picture = PictureKind::Png;
    } else if (b.starts_with("BM") && b.size() >= 14) {
        kind.picture = PictureKind::Bmp;
    } else if (b.size() >= 12 && b.starts_with("RIFF") && b.substr(8, 4) == "WEBP") {
        kind.picture = PictureKind::Webp;
    } else {
        if (b.starts_with("\xEF\xBB\xBF")) b.remove_prefix(3);
        std::size_t i = 0;
        while (i < b.size() && (b[i] == ' ' || b[i] == '\t' || b[i] == '\r' || b[i] == '\n' || b[i] == '\f'))
            ++i;
        kind.html = i < b.size() && b[i] == '<';
    }
    return kind;
}

}  // namespace vexal
