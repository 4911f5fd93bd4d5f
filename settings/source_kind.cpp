// The source classifier: web or local, image or not, folder by its trailing separator.
#include "settings/source_kind.h"

#include "text/case.h"

namespace vexal {

bool IsWebAddress(std::string_view text) {
    return StartsWithNoCase(text, "http://") || StartsWithNoCase(text, "https://");
}

std::string_view PictureNamePart(std::string_view name, bool webName) {
    if (!webName) return name;
    // After "://" an address's host may not hold "?" or "#", so the first of either ends
    // the path; a relative link has no host part at all.
    const std::size_t scheme = name.find("://");
    const std::size_t from = scheme == std::string_view::npos ? 0 : scheme + 3;
    const std::size_t end = name.find_first_of("?#", from);
    return end == std::string_view::npos ? name : name.substr(0, end);
}

PictureKind PictureKindOf(std::string_view name, bool webName) {
    name = PictureNamePart(name, webName);
    const std::size_t n = name.size();
    if (n >= 5 && name[n - 5] == '.' && EndsWithNoCase(name, "jpeg")) return PictureKind::Jpg;
    if (n < 4 || name[n - 4] != '.') return PictureKind::NotAPicture;
    const char a = LowerAscii(name[n - 3]), b = LowerAscii(name[n - 2]), c = LowerAscii(name[n - 1]);
    switch (a) {
        case 'g':
            return b == 'i' && c == 'f' ? PictureKind::Gif : PictureKind::NotAPicture;
        case 'j':
            return b == 'p' && c == 'g' ? PictureKind::Jpg : PictureKind::NotAPicture;
        case 'p':
            return b == 'n' && c == 'g' ? PictureKind::Png : PictureKind::NotAPicture;
        case 'b':
            return b == 'm' && c == 'p' ? PictureKind::Bmp : PictureKind::NotAPicture;
        default:
            return PictureKind::NotAPicture;
    }
}

bool HasImageExtension(std::string_view text) {
    return PictureKindOf(text, IsWebAddress(text)) != PictureKind::NotAPicture;
}

SourceKind ClassifySource(std::string_view text, char folderSeparator) {
    const bool image = HasImageExtension(text);
    const bool web = IsWebAddress(text);
    if (web) return image ? SourceKind::WebImage : SourceKind::WebPage;
    if (image) return SourceKind::LocalImage;
    if (!text.empty() && text.back() == folderSeparator) return SourceKind::LocalFolder;
    return SourceKind::LocalFile;
}

}  // namespace vexal
