// The source classifier: web or local, image or not, folder by its trailing separator;
// and the working file a picture is stored under, named after its kind.
#include "settings/source_kind.h"

#include <iterator>

#include "text/case.h"

namespace vexal {
namespace {

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The last `count` characters of a UTF-8 text, never cutting one in half.
std::string_view LastChars(std::string_view text, int count) {
    std::size_t start = text.size();
    for (int n = 0; n < count && start > 0; ++n) {
        --start;
        while (start > 0 && IsUtf8Continuation(text[start])) --start;
    }
    return text.substr(start);
}

}  // namespace

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

const char* PictureKindExtension(PictureKind kind) {
    static constexpr const char* kNames[] = {"gif",  "jpg",  "png", "bmp", "webp",
                                             "avif", "heic", "jxl", "svg"};
    const auto i = static_cast<std::size_t>(kind);
    return kind == PictureKind::NotAPicture || i >= std::size(kNames) ? "" : kNames[i];
}

std::size_t ExtFlagOf(PictureKind kind) {
    return kind >= PictureKind::Webp ? 4 : static_cast<std::size_t>(kind);
}

bool KindAllowed(PictureKind kind, const std::array<bool, 5>& ext) {
    return kind != PictureKind::NotAPicture && ext[ExtFlagOf(kind)];
}

PictureKind PictureKindOf(std::string_view name, bool webName) {
    name = PictureNamePart(name, webName);
    const std::size_t n = name.size();
    if (n >= 5 && name[n - 5] == '.') {
        struct Four {
            const char* letters;
            PictureKind kind;
        };
        static constexpr Four kFour[] = {{"jpeg", PictureKind::Jpg},
                                         {"webp", PictureKind::Webp},
                                         {"avif", PictureKind::Avif},
                                         {"heic", PictureKind::Heif},
                                         {"heif", PictureKind::Heif}};
        for (const Four& four : kFour)
            if (EndsWithNoCase(name, four.letters)) return four.kind;
    }
    if (n < 4 || name[n - 4] != '.') return PictureKind::NotAPicture;
    const char a = LowerAscii(name[n - 3]), b = LowerAscii(name[n - 2]), c = LowerAscii(name[n - 1]);
    switch (a) {
        case 'g':
            return b == 'i' && c == 'f' ? PictureKind::Gif : PictureKind::NotAPicture;
        case 'j':
            return b == 'p' && c == 'g'   ? PictureKind::Jpg
                   : b == 'x' && c == 'l' ? PictureKind::Jxl
                                          : PictureKind::NotAPicture;
        case 'p':
            return b == 'n' && c == 'g' ? PictureKind::Png : PictureKind::NotAPicture;
        case 'b':
            return b == 'm' && c == 'p' ? PictureKind::Bmp : PictureKind::NotAPicture;
        case 's':
            return b == 'v' && c == 'g' ? PictureKind::Svg : PictureKind::NotAPicture;
        default:
            return PictureKind::NotAPicture;
    }
}

std::string WorkImageFileName(std::string_view cacheFileName, std::string_view chosenImage, bool webName) {
    const std::string_view picture = PictureNamePart(chosenImage, webName);
    std::string name(cacheFileName);
    name += '.';
    // A JPEG named ".jpeg" is stored under the three letters every later step knows.
    const std::size_t n = picture.size();
    if (n >= 5 && picture[n - 5] == '.' && PictureKindOf(picture, false) == PictureKind::Jpg) {
        name += "jpg";
    } else if (n >= 5 && picture[n - 5] == '.' && PictureKindOf(picture, false) != PictureKind::NotAPicture) {
        // Three letters would leave "ebp" or "vif", which name no kind.
        name += picture.substr(n - 4);
    } else {
        name += LastChars(picture, 3);
    }
    return name;
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
