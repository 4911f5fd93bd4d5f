// Telling a fetched file's kind by its first bytes: the newer picture kinds beside the
// older ones, and the pages and near misses that must stay what they are.
#include "gather/content_kind.h"

#include <gtest/gtest.h>

#include <string>

namespace vexal {
namespace {

std::string Bytes(const char* text, std::size_t size) { return std::string(text, size); }

TEST(ContentKindTest, PicturesAndPagesByTheirFirstBytes) {
    const std::string ftypAvif = Bytes(
        "\0\0\0\x1C"
        "ftypavif\0\0\0\0avifmif1miaf",
        28);
    const std::string ftypMif1Av1 = Bytes(
        "\0\0\0\x18"
        "ftypmif1\0\0\0\0mif1avif",
        24);
    const std::string ftypHeic = Bytes(
        "\0\0\0\x18"
        "ftypheic\0\0\0\0mif1heic",
        24);
    const std::string ftypVideo = Bytes(
        "\0\0\0\x18"
        "ftypisom\0\0\0\0isommp41",
        24);
    // A brand past the box's own length is no brand of this file.
    const std::string brandOutside = Bytes(
        "\0\0\0\x10"
        "ftypisom\0\0\0\0avif",
        20);
    const struct {
        const char* name;
        std::string bytes;
        PictureKind picture;
        bool html;
    } rows[] = {
        {"webp", Bytes("RIFF\x10\0\0\0WEBPVP8 ", 16), PictureKind::Webp, false},
        {"avif", ftypAvif, PictureKind::Avif, false},
        {"avifUnderTheGeneralBrand", ftypMif1Av1, PictureKind::Avif, false},
        {"heic", ftypHeic, PictureKind::Heif, false},
        {"mp4IsNoPicture", ftypVideo, PictureKind::NotAPicture, false},
        {"brandOutsideItsBox", brandOutside, PictureKind::NotAPicture, false},
        {"jxlCodestream", Bytes("\xFF\x0A\xFA\x1F", 4), PictureKind::Jxl, false},
        {"jxlContainer", Bytes("\0\0\0\x0CJXL \r\n\x87\n\0\0", 14), PictureKind::Jxl, false},
        {"svg", "<svg xmlns=\"http://www.w3.org/2000/svg\">", PictureKind::Svg, false},
        {"svgAfterPrologue",
         "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- Created by hand -->\n<!DOCTYPE svg PUBLIC>\n<svg>",
         PictureKind::Svg, false},
        {"xhtmlIsAPage", "<?xml version=\"1.0\"?>\n<!DOCTYPE html>\n<html>", PictureKind::NotAPicture, true},
        {"pageNamingSvg", "<html><body><svg></svg>", PictureKind::NotAPicture, true},
        {"prologueCutShort", "<?xml version=\"1.0\"", PictureKind::NotAPicture, true},
        {"text", "svg", PictureKind::NotAPicture, false},
    };
    for (const auto& row : rows) {
        const ContentKind kind = ContentKindOf(row.bytes);
        EXPECT_EQ(kind.picture, row.picture) << row.name;
        EXPECT_EQ(kind.html, row.html) << row.name;
    }
}

}  // namespace
}  // namespace vexal
