// WIC decoding against pictures whose bytes the test writes itself (so a swapped channel or
// a wrong row order cannot cancel out between an encoder and the decoder), plus a JPEG
// from the system's own encoder; and WebP, which the decoder reads with libwebp.
#include "platform/win32/wic_image_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/file_system.h"
#include "platform/win32/win32_file_system.h"
#include "support/exif_segment.h"
#include "win32/test_pictures.h"
#include "win32/win_temp_dir.h"

namespace vexal {
namespace {

using namespace vexal::testing;

class WicImageDecoderTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        EXPECT_TRUE(files.WriteFile(dir / name, bytes));
        return dir / name;
    }
    static std::vector<std::uint32_t> Pixels(const Picture& p) {
        std::vector<std::uint32_t> out;
        for (std::int32_t y = 0; y < p.height; ++y) out.insert(out.end(), p.Row(y), p.Row(y) + p.width);
        return out;
    }

    WinTempDir dir;
    Win32FileSystem files;
    WicImageDecoder decoder;
};

TEST_F(WicImageDecoderTest, LosslessFormatsGiveExactPixelsInRowOrder) {
    const std::vector<std::uint32_t> opaque = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                               0xFF102030, 0xFFFFFFFF, 0xFF000000};
    const std::vector<std::uint32_t> translucent = {0xFFFF0000, 0x00000000, 0x80102030,
                                                    0xFF0000FF, 0x40FFFFFF, 0xFF00FF00};
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::uint32_t> pixels;
        bool hasAlpha;
    } rows[] = {
        {"opaque.png", Png(3, 2, opaque), opaque, false},
        {"alpha.png", Png(3, 2, translucent), translucent, true},
        {"opaque.bmp", Bmp(3, 2, opaque), opaque, false},
        // The format comes from the content, not from the name.
        {"png-named.gif", Png(3, 2, opaque), opaque, false},
        // Lossless WebP of the same pixels (cwebp -lossless -exact), read by libwebp.
        {"opaque.webp", kOpaqueWebp, opaque, false},
        {"alpha.webp", kTranslucentWebp, translucent, true},
        {"webp-named.png", kOpaqueWebp, opaque, false},
    };
    for (const auto& row : rows) {
        const std::string path = Write(row.name, row.bytes);
        const DecodeResult probe = decoder.Probe(path);
        EXPECT_TRUE(probe.Ok()) << row.name;
        EXPECT_EQ(probe.width, 3) << row.name;
        EXPECT_EQ(probe.height, 2) << row.name;
        Picture picture;
        ASSERT_TRUE(decoder.Decode(path, picture).Ok()) << row.name;
        ASSERT_EQ(picture.width, 3) << row.name;
        ASSERT_EQ(picture.height, 2) << row.name;
        EXPECT_EQ(Pixels(picture), row.pixels) << row.name;
        EXPECT_EQ(picture.hasAlpha, row.hasAlpha) << row.name;
    }
}

TEST_F(WicImageDecoderTest, GifFramePlacedOnItsLogicalScreen) {
    const struct {
        const char* name;
        int screenW, screenH, left, top;
    } rows[] = {
        {"whole screen", 2, 1, 0, 0},
        {"inset frame", 4, 3, 1, 1},
    };
    for (const auto& row : rows) {
        const std::string path = Write("g.gif", TwoPixelGif(row.screenW, row.screenH, row.left, row.top));
        Picture picture;
        ASSERT_TRUE(decoder.Decode(path, picture).Ok()) << row.name;
        ASSERT_EQ(picture.width, row.screenW) << row.name;
        ASSERT_EQ(picture.height, row.screenH) << row.name;
        const std::vector<std::uint32_t> px = Pixels(picture);
        for (int y = 0; y < row.screenH; ++y) {
            for (int x = 0; x < row.screenW; ++x) {
                const bool covered = y == row.top && (x == row.left || x == row.left + 1);
                EXPECT_EQ(px[y * row.screenW + x], covered ? 0xFF0000FFu : 0u)
                    << row.name << " " << x << "," << y;
            }
        }
        EXPECT_EQ(picture.hasAlpha, row.screenW != 2) << row.name;
    }
}

TEST_F(WicImageDecoderTest, JpegFromTheSystemEncoderDecodesCloseToItsColours) {
    // Solid colour halves survive JPEG well enough to tell the channels apart.
    std::vector<std::uint32_t> pixels(16 * 16);
    for (int i = 0; i < 256; ++i) pixels[i] = i < 128 ? 0xFFFF0000 : 0xFF0000FF;  // red above blue
    const std::string path = dir / "photo.jpg";
    ASSERT_TRUE(WriteJpeg(path, 16, 16, pixels));

    Picture picture;
    ASSERT_TRUE(decoder.Decode(path, picture).Ok());
    ASSERT_EQ(picture.width, 16);
    ASSERT_EQ(picture.height, 16);
    EXPECT_FALSE(picture.hasAlpha);
    EXPECT_TRUE(Near(picture.Row(2)[5], 0xFFFF0000, 40)) << std::hex << picture.Row(2)[5];
    EXPECT_TRUE(Near(picture.Row(13)[5], 0xFF0000FF, 40)) << std::hex << picture.Row(13)[5];
    EXPECT_EQ(picture.Row(13)[5] >> 24, 0xFFu);
}

TEST_F(WicImageDecoderTest, OversizedPicturesAreRefusedBeforeDecoding) {
    // Headers that announce more pixels than the limit, with (almost) no pixel data: a
    // decoder that went on to decode would fail on the missing data or on the memory,
    // instead of reporting the size.
    std::string bmp = Bmp(1, 1, {0xFF000000});
    bmp.replace(18, 4, std::string("\x40\x9C\x00\x00", 4));  // width 40000
    bmp.replace(22, 4, std::string("\x40\x9C\x00\x00", 4));  // height 40000
    const struct {
        const char* name;
        std::string bytes;
        std::int64_t width, height;
    } rows[] = {
        {"huge.bmp", bmp, 40000, 40000},
        // A two-pixel frame on a screen of 9000 × 9000: within each side's limit, above the
        // pixel count.
        {"huge-screen.gif", TwoPixelGif(9000, 9000, 0, 0), 9000, 9000},
        // A WebP canvas far larger than the picture inside it; and one side beyond what a
        // WebP picture can have.
        {"huge-canvas.webp", WithCanvas(kOpaqueWebp, 60000, 60000), 60000, 60000},
        {"wide-canvas.webp", WithCanvas(kOpaqueWebp, 16385, 2), 16385, 2},
    };
    for (const auto& row : rows) {
        const std::string path = Write(row.name, row.bytes);
        for (bool decode : {false, true}) {
            Picture picture;
            const DecodeResult r = decode ? decoder.Decode(path, picture) : decoder.Probe(path);
            EXPECT_EQ(r.error, DecodeError::TooLarge) << row.name << decode;
            EXPECT_EQ(r.width, row.width) << row.name << decode;
            EXPECT_EQ(r.height, row.height) << row.name << decode;
            EXPECT_TRUE(picture.Empty()) << row.name << decode;
        }
    }
}

TEST_F(WicImageDecoderTest, WhatIsNoPictureOfTheFourFormatsIsUnreadable) {
    ASSERT_TRUE(WriteJpeg(dir / "whole.jpg", 64, 48, std::vector<std::uint32_t>(64 * 48, 0xFF336699)));
    std::string jpeg;
    ASSERT_TRUE(files.ReadFile(dir / "whole.jpg", jpeg));
    std::string tiff = "II*";
    tiff.push_back(0);
    const struct {
        const char* name;
        std::string bytes;
    } rows[] = {
        {"page.png", "<html><body>Not Found</body></html>"},  // an error page under an image name
        {"empty.jpg", ""},
        {"cut.png", Png(3, 2, std::vector<std::uint32_t>(6, 0xFF00FF00)).substr(0, 40)},
        {"image.tif", tiff + std::string(64, '\0')},
        {"cut.webp", kTranslucentWebp.substr(0, 40)},
        // Cut short: WIC showed the missing part grey or black.
        {"cut.gif", TwoPixelGif(4, 4, 0, 0).substr(0, 32)},
        {"cut.bmp", Bmp(64, 48, std::vector<std::uint32_t>(64 * 48, 0xFF00FF00)).substr(0, 154)},
        {"cut.jpg", jpeg.substr(0, jpeg.size() / 2)},
        {"lying-canvas.webp", WithCanvas(kOpaqueWebp, 4, 2)},
    };
    for (const auto& row : rows) {
        const std::string path = Write(row.name, row.bytes);
        Picture picture;
        EXPECT_EQ(decoder.Decode(path, picture).error, DecodeError::Unreadable) << row.name;
        EXPECT_TRUE(picture.Empty()) << row.name;
    }
    Picture picture;
    EXPECT_EQ(decoder.Decode(dir / "missing.png", picture).error, DecodeError::Unreadable);
}

// Without the system's codecs (Wine has none) the newer kinds are named, whatever their
// names say; SVG is never drawn here. A file of no kind at all stays unreadable.
TEST_F(WicImageDecoderTest, NewerKindsWithoutTheirCodecAreNamed) {
    const struct {
        const char* name;
        std::string bytes;
        CodecKind codec;
    } rows[] = {
        {"a.heic",
         std::string("\0\0\0\x18"
                     "ftypheic\0\0\0\0mif1heic",
                     24) +
             "meta",
         CodecKind::Heif},
        {"a.avif",
         std::string("\0\0\0\x1C"
                     "ftypavif\0\0\0\0avifmif1miaf",
                     28) +
             "meta",
         CodecKind::Avif},
        {"named.png", std::string("\0\0\0\x0CJXL \r\n\x87\n\0\0", 14), CodecKind::JpegXl},
        {"a.jxl", std::string("\xFF\x0A\xFA\x1F", 4), CodecKind::JpegXl},
        {"a.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"4\" height=\"4\"/>", CodecKind::Svg},
        {"video.heic",
         std::string("\0\0\0\x18"
                     "ftypisom\0\0\0\0isommp41",
                     24),
         CodecKind::None},
    };
    for (const auto& row : rows) {
        const std::string path = Write(row.name, row.bytes);
        Picture picture;
        const DecodeResult decoded = decoder.Decode(path, picture);
        EXPECT_EQ(decoded.error,
                  row.codec == CodecKind::None ? DecodeError::Unreadable : DecodeError::NoCodec)
            << row.name;
        EXPECT_EQ(decoded.codec, row.codec) << row.name;
        EXPECT_EQ(decoder.Probe(path).error, decoded.error) << row.name;
        EXPECT_TRUE(picture.Empty()) << row.name;
    }
}

// Phone photos were installed on their side: the Exif orientation was never read.
TEST_F(WicImageDecoderTest, ExifOrientationTurnsThePictureUpright) {
    // Stored 48 × 32, each quarter of its own colour: top left, top right, bottom left,
    // bottom right.
    const std::uint32_t corner[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    std::vector<std::uint32_t> stored(48 * 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x) stored[y * 48 + x] = corner[(y >= 16) * 2 + (x >= 24)];
    ASSERT_TRUE(WriteJpeg(dir / "stored.jpg", 48, 32, stored));
    std::string jpeg;
    ASSERT_TRUE(files.ReadFile(dir / "stored.jpg", jpeg));
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const std::string what = "orientation " + std::to_string(orientation);
        const std::string path = Write("o.jpg", WithOrientation(jpeg, orientation));
        const int width = orientation >= 5 ? 32 : 48, height = orientation >= 5 ? 48 : 32;
        const DecodeResult probe = decoder.Probe(path);
        EXPECT_EQ(probe.width, width) << what;
        EXPECT_EQ(probe.height, height) << what;
        Picture p;
        ASSERT_TRUE(decoder.Decode(path, p).Ok()) << what;
        ASSERT_EQ(p.width, width) << what;
        ASSERT_EQ(p.height, height) << what;
        // Shown at 8 × 8, the codec may reduce it (to a quarter, by its own scaling), or
        // give it whole where it cannot (Wine's); upright either way.
        Picture shown;
        ASSERT_TRUE(decoder
                        .DecodeToShow(
                            path,
                            [](std::int32_t, std::int32_t) {
                                return ShownSize{8, 8};
                            },
                            shown)
                        .Ok())
            << what;
        EXPECT_TRUE((shown.width == width && shown.height == height) ||
                    (shown.width == width / 4 && shown.height == height / 4))
            << what << " " << shown.width << "x" << shown.height;
        for (const Picture* q : {&p, &shown}) {
            const int w = q->width, h = q->height, dx = w / 12, dy = h / 12;
            const int xs[4] = {dx, w - 1 - dx, dx, w - 1 - dx}, ys[4] = {dy, dy, h - 1 - dy, h - 1 - dy};
            for (int k = 0; k < 4; ++k)
                EXPECT_TRUE(Near(q->Row(ys[k])[xs[k]], corner[kCornerShown[orientation][k]], 40))
                    << what << " corner " << k << " at " << w << "x" << h << std::hex << " "
                    << q->Row(ys[k])[xs[k]];
        }
    }
}

TEST_F(WicImageDecoderTest, AStopEndsTheDecodeBetweenBandsOfRows) {
    ASSERT_TRUE(WriteJpeg(dir / "photo.jpg", 64, 256, std::vector<std::uint32_t>(64 * 256, 0xFF336699)));
    int asked = 0;
    decoder.StopWhen([&asked] { return ++asked >= 2; });
    Picture p;
    EXPECT_EQ(decoder.Decode(dir / "photo.jpg", p).error, DecodeError::Stopped);
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(p.Empty());
}

}  // namespace
}  // namespace vexal
