// Telling a picture or a page by its first bytes.
#include "gather/content_kind.h"

#include <algorithm>

namespace vexal {
namespace {

// An ISO base media file (HEIF and AVIF) names its kinds as four-letter brands in the
// "ftyp" box that opens it: the major brand, then the compatible ones. A picture that
// lists an AV1 brand is AVIF even where its major brand is the general "mif1".
PictureKind BrandedKind(std::string_view b) {
    if (b.size() < 16 || b.substr(4, 4) != "ftyp") return PictureKind::NotAPicture;
    const std::size_t box = static_cast<std::size_t>(static_cast<unsigned char>(b[0])) << 24 |
                            static_cast<std::size_t>(static_cast<unsigned char>(b[1])) << 16 |
                            static_cast<std::size_t>(static_cast<unsigned char>(b[2])) << 8 |
                            static_cast<unsigned char>(b[3]);
    const std::string_view brands = b.substr(0, std::min(box, b.size()));
    bool heif = false;
    for (std::size_t at = 8; at + 4 <= brands.size(); at += at == 8 ? 8 : 4) {
        const std::string_view brand = brands.substr(at, 4);
        if (brand == "avif" || brand == "avis") return PictureKind::Avif;
        for (std::string_view h : {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1"})
            heif = heif || brand == h;
    }
    return heif ? PictureKind::Heif : PictureKind::NotAPicture;
}

// An SVG file opens with its root element, perhaps after an XML declaration, a document
// type and comments; a page written as XHTML opens the same way but with another root.
bool StartsSvg(std::string_view b) {
    for (;;) {
        while (!b.empty() && (b[0] == ' ' || b[0] == '\t' || b[0] == '\r' || b[0] == '\n'))
            b.remove_prefix(1);
        if (b.starts_with("<svg") || b.starts_with("<!DOCTYPE svg")) return true;
        std::string_view close;
        if (b.starts_with("<?"))
            close = "?>";
        else if (b.starts_with("<!--"))
            close = "-->";
        else
            return false;
        const std::size_t end = b.find(close);
        if (end == std::string_view::npos) return false;
        b.remove_prefix(end + close.size());
    }
}

}  // namespace

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
    } else if (const PictureKind branded = BrandedKind(b); branded != PictureKind::NotAPicture) {
        kind.picture = branded;
    } else if (b.starts_with("\xFF\x0A") || b.starts_with(std::string_view("\0\0\0\x0CJXL \r\n\x87\n", 12))) {
        kind.picture = PictureKind::Jxl;
    } else {
        if (b.starts_with("\xEF\xBB\xBF")) b.remove_prefix(3);
        if (StartsSvg(b)) {
            kind.picture = PictureKind::Svg;
            return kind;
        }
        std::size_t i = 0;
        while (i < b.size() && (b[i] == ' ' || b[i] == '\t' || b[i] == '\r' || b[i] == '\n' || b[i] == '\f'))
            ++i;
        kind.html = i < b.size() && b[i] == '<';
    }
    return kind;
}

}  // namespace vexal
