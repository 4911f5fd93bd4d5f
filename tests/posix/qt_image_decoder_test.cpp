// The Linux image decoder on real files of each format, on files that are no pictures,
// and on headers that announce more pixels than any screen needs.
#include "platform/linux/qt_image_decoder.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QImageWriter>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>

#include "platform/linux/command_runner.h"
#include "platform/picture/exif_orientation.h"
#include "platform/posix/posix_file_system.h"
#include "posix/temp_dir.h"
#include "support/exif_segment.h"
#include "wallpaper/bmp_writer.h"
#include "wallpaper/image_library.h"

namespace vexal {
namespace {

std::uint32_t Crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

std::string Be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

std::string Chunk(const std::string& type, const std::string& data) {
    return Be32(static_cast<std::uint32_t>(data.size())) + type + data + Be32(Crc32(type + data));
}

// A PNG that announces width × height but holds no pixel data: a decoder that allocates
// before checking would ask for the whole picture's memory.
std::string PngHeaderOnly(std::uint32_t width, std::uint32_t height) {
    return std::string("\x89PNG\r\n\x1a\n", 8) +
           Chunk("IHDR", Be32(width) + Be32(height) + std::string("\x08\x02\x00\x00\x00", 5)) +
           Chunk("IDAT", "") + Chunk("IEND", "");
}

std::string Le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

// A WebP file holding `chunks`, and one chunk of it (padded to an even length).
std::string Riff(const std::string& chunks) {
    return "RIFF" + Le32(static_cast<std::uint32_t>(chunks.size() + 4)) + "WEBP" + chunks;
}
std::string WebpChunk(const std::string& type, const std::string& data) {
    return type + Le32(static_cast<std::uint32_t>(data.size())) + data + std::string(data.size() % 2, '\0');
}
// The extended header's canvas of width × height.
std::string Vp8x(std::uint32_t width, std::uint32_t height) {
    return WebpChunk("VP8X",
                     std::string(4, '\0') + Le32(width - 1).substr(0, 3) + Le32(height - 1).substr(0, 3));
}
// A lossless picture's header announcing width × height, with no pixel data after it.
std::string Vp8lHeader(std::uint32_t width, std::uint32_t height) {
    return WebpChunk("VP8L", "\x2f" + Le32((width - 1) | (height - 1) << 14));
}
// One red pixel, lossless, as cwebp writes it.
const std::string kOnePixelVp8l =
    WebpChunk("VP8L", std::string("\x2f\0\0\0\0\x07\x10\xfd\x8f\xfe\x07\x22\xa2\xff\x01", 15));

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// 8 × 4: the left half red, the right half blue, top row at full alpha.
QImage TestImage(bool alpha) {
    QImage img(8, 4, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            img.setPixel(x, y, x < 4 ? qRgba(255, 0, 0, alpha && y > 0 ? 128 : 255) : qRgb(0, 0, 255));
    return img;
}

bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16}) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance) return false;
    }
    return true;
}

TEST(QtImageDecoderTest, EveryFormatTheProgramInstalls) {
    testing::TempDir dir;
    ASSERT_TRUE(TestImage(false).save(QString::fromStdString(dir / "a.png"), "PNG"));
    ASSERT_TRUE(TestImage(false).save(QString::fromStdString(dir / "a.jpg"), "JPEG", 100));
    ASSERT_TRUE(TestImage(false).save(QString::fromStdString(dir / "a.bmp"), "BMP"));
    // The format is told from the content, not from the name.
    ASSERT_TRUE(TestImage(false).save(QString::fromStdString(dir / "jpeg-inside.png"), "JPEG", 100));
    std::vector<std::string> names = {"a.png", "a.jpg", "a.bmp", "jpeg-inside.png"};
    SpawnCommandRunner runner;
    if (runner.Run({"/usr/bin/convert", dir / "a.png", dir / "a.gif"}).status == 0) names.push_back("a.gif");

    QtImageDecoder decoder;
    for (const std::string& name : names) {
        EXPECT_TRUE(decoder.Probe(dir / name).Ok()) << name;
        Picture p;
        const DecodeResult r = decoder.Decode(dir / name, p);
        ASSERT_TRUE(r.Ok()) << name;
        EXPECT_EQ(r.width, 8) << name;
        EXPECT_EQ(r.height, 4) << name;
        ASSERT_EQ(p.width, 8) << name;
        ASSERT_EQ(p.height, 4) << name;
        EXPECT_FALSE(p.hasAlpha) << name;
        const int tolerance = name.find("jp") != std::string::npos ? 40 : 0;
        EXPECT_TRUE(Near(p.Row(1)[0], 0xFF0000, tolerance)) << name << std::hex << " " << p.Row(1)[0];
        EXPECT_TRUE(Near(p.Row(3)[7], 0x0000FF, tolerance)) << name << std::hex << " " << p.Row(3)[7];
        EXPECT_EQ(p.Row(0)[0] >> 24, 0xFFu) << name;
    }
}

TEST(QtImageDecoderTest, TransparencyIsKeptStraight) {
    testing::TempDir dir;
    ASSERT_TRUE(TestImage(true).save(QString::fromStdString(dir / "alpha.png"), "PNG"));
    QtImageDecoder decoder;
    Picture p;
    ASSERT_TRUE(decoder.Decode(dir / "alpha.png", p).Ok());
    EXPECT_TRUE(p.hasAlpha);
    EXPECT_EQ(p.Row(0)[0], 0xFFFF0000u);
    EXPECT_EQ(p.Row(1)[0], 0x80FF0000u);
}

TEST(QtImageDecoderTest, AnimationGivesItsFirstFrameOnATransparentCanvas) {
    testing::TempDir dir;
    SpawnCommandRunner runner;
    ASSERT_TRUE(TestImage(true).save(QString::fromStdString(dir / "first.png"), "PNG"));
    ASSERT_TRUE(TestImage(false).scaled(20, 10).save(QString::fromStdString(dir / "second.png"), "PNG"));
    for (const char* name : {"first", "second"})
        if (runner
                .Run({"/usr/bin/cwebp", "-quiet", "-lossless", "-exact", dir / (std::string(name) + ".png"),
                      "-o", dir / (std::string(name) + ".webp")})
                .status != 0)
            GTEST_SKIP() << "the webp tools are not installed";
    // The first frame at (6, 4) on a canvas of 20 × 10 that the second frame fills.
    ASSERT_EQ(runner
                  .Run({"/usr/bin/webpmux", "-frame", dir / "first.webp", "+100+6+4", "-frame",
                        dir / "second.webp", "+100", "-o", dir / "animation.webp"})
                  .status,
              0);
    QtImageDecoder decoder;
    Picture p;
    ASSERT_TRUE(decoder.Decode(dir / "animation.webp", p).Ok());
    ASSERT_EQ(p.width, 20);
    ASSERT_EQ(p.height, 10);
    EXPECT_TRUE(p.hasAlpha);
    const QImage first = TestImage(true);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 6 && x < 14 && y >= 4 && y < 8;
            EXPECT_EQ(p.Row(y)[x], inside ? first.pixel(x - 6, y - 4) : 0u) << x << "," << y;
        }
}

TEST(QtImageDecoderTest, WhatIsNoPictureIsUnreadable) {
    testing::TempDir dir;
    ASSERT_TRUE(TestImage(false).save(QString::fromStdString(dir / "whole.png"), "PNG"));
    std::string whole;
    {
        std::ifstream in(dir / "whole.png", std::ios::binary);
        whole.assign(std::istreambuf_iterator<char>(in), {});
    }
    const struct {
        const char* name;
        std::string bytes;
    } rows[] = {
        {"errorPage.png", "<html><body>404 Not Found</body></html>"},
        {"empty.jpg", ""},
        {"truncated.png", whole.substr(0, whole.size() / 2)},
        {"signatureOnly.png", whole.substr(0, 8)},
        {"riffOnly.webp", Riff("")},
        {"sound.webp", "RIFF" + Le32(4) + "WAVE"},
        {"canvasLargerThanItsPicture.webp", Riff(Vp8x(2, 2) + kOnePixelVp8l)},
        {"headerWithoutPixels.webp", Riff(Vp8lHeader(64, 64))},
    };
    QtImageDecoder decoder;
    for (const auto& r : rows) {
        Write(dir / r.name, r.bytes);
        Picture p;
        EXPECT_EQ(decoder.Decode(dir / r.name, p).error, DecodeError::Unreadable) << r.name;
        EXPECT_TRUE(p.Empty()) << r.name;
    }
    Picture p;
    EXPECT_EQ(decoder.Decode(dir / "missing.png", p).error, DecodeError::Unreadable);
    EXPECT_EQ(decoder.Probe(dir / "missing.png").error, DecodeError::Unreadable);
    EXPECT_EQ(decoder.Probe(dir / "errorPage.png").error, DecodeError::Unreadable);
}

TEST(QtImageDecoderTest, AnnouncedSizesAboveTheLimitAreRefusedBeforeDecoding) {
    testing::TempDir dir;
    const struct {
        const char* name;
        std::uint32_t width, height;
        DecodeError error;
        std::optional<DecodeError> webpError = std::nullopt;
    } rows[] = {
        {"bomb", 100000, 100000, DecodeError::TooLarge},
        {"tooWide", 40000, 1, DecodeError::TooLarge},
        {"overThePixelLimit", 8193, 8192, DecodeError::TooLarge},
        // At the limit the header is accepted; the missing data then makes it unreadable.
        {"atThePixelLimit", 8192, 8192, DecodeError::Unreadable},
        // No WebP picture can be wider than 16384; only a lying canvas says so.
        {"beyondTheWebpSide", 16385, 16, DecodeError::Unreadable, DecodeError::TooLarge},
        {"webpCanvasBomb", 0xFFFFFF, 0xFFFFFF, DecodeError::TooLarge},
    };
    QtImageDecoder decoder;
    for (const auto& r : rows) {
        // The same size in a PNG header and in a WebP canvas over a lossless picture's
        // header of that size (as far as the format can say it).
        const std::pair<std::string, DecodeError> files[] = {
            {"x.png", r.error},
            {"x.webp", r.webpError.value_or(r.error)},
        };
        Write(dir / "x.png", PngHeaderOnly(r.width, r.height));
        Write(dir / "x.webp", Riff(Vp8x(r.width, r.height) +
                                   Vp8lHeader(std::min(r.width, 16384u), std::min(r.height, 16384u))));
        for (const auto& [name, error] : files) {
            const DecodeResult probe = decoder.Probe(dir / name);
            Picture p;
            const DecodeResult decoded = decoder.Decode(dir / name, p);
            const BmpFromFile direct = decoder.DecodeToBmp(dir / name, dir / "x.bmp");
            EXPECT_EQ(decoded.error, error) << r.name << " " << name;
            if (error == DecodeError::TooLarge) {
                EXPECT_EQ(probe.error, DecodeError::TooLarge) << r.name << " " << name;
                EXPECT_EQ(decoded.width, r.width) << r.name << " " << name;
                EXPECT_EQ(decoded.height, r.height) << r.name << " " << name;
            }
            if (direct.handled) {
                EXPECT_EQ(direct.decoded.error, error) << r.name << " " << name;
            }
            EXPECT_FALSE(direct.written) << r.name << " " << name;
            EXPECT_TRUE(p.Empty()) << r.name << " " << name;
        }
    }
    // A simple lossless file announcing the largest picture the format can hold.
    Write(dir / "x.webp", Riff(Vp8lHeader(16384, 16384)));
    EXPECT_EQ(decoder.Probe(dir / "x.webp").error, DecodeError::TooLarge);
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Debian's own wallpapers, read by the decoder and written straight into a bitmap, against
// what libwebp's own tool makes of them: the RGBA of a PAM file, and the rows of its
// 24-bit bitmap.
TEST(QtImageDecoderTest, WebpWallpapersMatchLibwebpsOwnDecode) {
    testing::TempDir dir;
    SpawnCommandRunner runner;
    QtImageDecoder decoder;
    int compared = 0;
    for (const char* name : {"adwaita-d.webp", "pixels-l.webp", "vnc-d.webp"}) {
        SCOPED_TRACE(name);
        const std::string path = std::string("/usr/share/backgrounds/gnome/") + name;
        if (!std::ifstream(path) || !std::ifstream("/usr/bin/dwebp")) continue;
        ASSERT_EQ(runner.Run({"/usr/bin/dwebp", "-quiet", path, "-pam", "-o", dir / "ref.pam"}).status, 0);
        ASSERT_EQ(runner.Run({"/usr/bin/dwebp", "-quiet", path, "-bmp", "-o", dir / "ref.bmp"}).status, 0);
        const std::string pam = Slurp(dir / "ref.pam");
        int width = 0, height = 0;
        ASSERT_EQ(std::sscanf(pam.c_str(), "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\n", &width, &height), 2);
        const std::size_t pixels = pam.find("ENDHDR\n") + 7;
        ASSERT_EQ(pam.size() - pixels, static_cast<std::size_t>(width) * height * 4);

        EXPECT_TRUE(decoder.Probe(path).Ok());
        Picture p;
        const DecodeResult r = decoder.Decode(path, p);
        ASSERT_TRUE(r.Ok());
        ASSERT_EQ(p.width, width);
        ASSERT_EQ(p.height, height);
        std::int64_t differing = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const auto* c = reinterpret_cast<const unsigned char*>(pam.data() + pixels) +
                                (static_cast<std::size_t>(y) * width + x) * 4;
                const std::uint32_t want = static_cast<std::uint32_t>(c[3]) << 24 |
                                           static_cast<std::uint32_t>(c[0]) << 16 |
                                           static_cast<std::uint32_t>(c[1]) << 8 | c[2];
                differing += p.Row(y)[x] != want;
            }
        EXPECT_EQ(differing, 0) << "pixels unlike libwebp's";

        const BmpFromFile direct = decoder.DecodeToBmp(path, dir / "direct.bmp");
        ASSERT_TRUE(direct.handled && direct.written);
        const std::string ours = Slurp(dir / "direct.bmp"), theirs = Slurp(dir / "ref.bmp");
        ASSERT_GE(theirs.size(), 54u);
        const std::uint32_t theirOffset =
            static_cast<unsigned char>(theirs[10]) | static_cast<unsigned char>(theirs[11]) << 8;
        EXPECT_EQ(ours.substr(0, 54), BmpHeader(width, height));
        EXPECT_TRUE(ours.substr(54) == theirs.substr(theirOffset)) << "bitmap rows unlike libwebp's";
        ++compared;
    }
    if (compared == 0) GTEST_SKIP() << "gnome-backgrounds or dwebp is not installed";
}

TEST(QtImageDecoderTest, BitmapHeadersAreCheckedToo) {
    testing::TempDir dir;
    QtImageDecoder decoder;
    const struct {
        const char* name;
        std::string bytes;
        DecodeError error;
    } rows[] = {
        {"bomb", BmpHeader(50000, 50000), DecodeError::TooLarge},
        {"topDownBomb", BmpHeader(9000, -9000), DecodeError::TooLarge},
        // Installed as a success, and the bitmap copied did not open elsewhere.
        {"headerOnly", BmpHeader(16, 16), DecodeError::Unreadable},
        {"shortPixels", BmpHeader(64, 48) + std::string(100, '\x40'), DecodeError::Unreadable},
        {"whole", BmpHeader(64, 48) + std::string(64 * 3 * 48, '\x40'), DecodeError::None},
        {"topDown", BmpHeader(64, -48) + std::string(64 * 3 * 48, '\x40'), DecodeError::None},
    };
    for (const auto& r : rows) {
        Write(dir / "x.bmp", r.bytes);
        const DecodeResult probe = decoder.Probe(dir / "x.bmp");
        EXPECT_EQ(probe.error, r.error) << r.name;
        Picture p;
        const DecodeResult decoded = decoder.Decode(dir / "x.bmp", p);
        EXPECT_EQ(decoded.error, r.error) << r.name;
        if (r.error == DecodeError::None) {
            EXPECT_EQ(p.width, 64) << r.name;
            EXPECT_EQ(p.height, 48) << r.name;
        }
        if (r.error == DecodeError::TooLarge) {
            EXPECT_EQ(probe.width, 50000 * (r.name[0] == 'b') + 9000 * (r.name[0] == 't')) << r.name;
        }
        EXPECT_TRUE(p.Empty() || r.error == DecodeError::None) << r.name;
    }
}

}  // namespace
}  // namespace vexal

namespace vexal {
namespace {

// Qt announced a top-down bitmap as 8 × -4 and the picture was refused.
TEST(QtImageDecoderTest, TopDownBitmapKeepsItsRowsInOrder) {
    testing::TempDir dir;
    std::string rows;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) rows += y == 0 ? std::string("\xff\0\0", 3) : std::string("\0\0\xff", 3);
    Write(dir / "top-down.bmp", BmpHeader(8, -4) + rows);
    QtImageDecoder decoder;
    Picture p;
    ASSERT_TRUE(decoder.Decode(dir / "top-down.bmp", p).Ok());
    ASSERT_EQ(p.height, 4);
    EXPECT_EQ(p.Row(0)[3] & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(p.Row(3)[3] & 0xFFFFFF, 0xFF0000u);
}

// A pixel of a 24-bit bitmap file, as 0xRRGGBB.
std::uint32_t BmpPixel(const std::string& bmp, int x, int y) {
    auto byte = [&bmp](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at]));
    };
    const std::uint32_t width = byte(18) | byte(19) << 8, height = byte(22) | byte(23) << 8;
    const std::size_t at = 54 + (height - 1 - y) * ((width * 3 + 3) / 4 * 4) + x * 3;
    return byte(at + 2) << 16 | byte(at + 1) << 8 | byte(at);
}

// Phone photos were installed on their side: the Exif orientation was never read.
TEST(QtImageDecoderTest, ExifOrientationTurnsThePictureUpright) {
    testing::TempDir dir;
    // Stored 48 × 32, each quarter of its own colour: top left, top right, bottom left,
    // bottom right.
    const std::uint32_t corner[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    QImage stored(48, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x) stored.setPixel(x, y, corner[(y >= 16) * 2 + (x >= 24)] | 0xFF000000u);
    ASSERT_TRUE(stored.save(QString::fromStdString(dir / "stored.jpg"), "JPEG", 100));
    const std::string jpeg = Slurp(dir / "stored.jpg");
    QtImageDecoder decoder;
    PosixFileSystem files;
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const std::string what = "orientation " + std::to_string(orientation);
        const std::string path = dir / ("o" + std::to_string(orientation) + ".jpg");
        Write(path, testing::WithOrientation(jpeg, orientation));
        const bool turned = orientation >= 5;
        const int width = turned ? 32 : 48, height = turned ? 48 : 32;
        const DecodeResult probe = decoder.Probe(path);
        EXPECT_EQ(probe.width, width) << what;
        EXPECT_EQ(probe.height, height) << what;
        // The bitmap the wallpaper is installed from.
        const BmpFromFile converted = ConvertToBmp(decoder, files, path, dir / "out.bmp");
        ASSERT_TRUE(converted.decoded.Ok() && converted.written) << what;
        const std::string bmp = Slurp(dir / "out.bmp");
        ASSERT_EQ(bmp.substr(0, 54), BmpHeader(width, height)) << what;
        const int xs[4] = {4, width - 5, 4, width - 5}, ys[4] = {4, 4, height - 5, height - 5};
        for (int k = 0; k < 4; ++k)
            EXPECT_TRUE(Near(BmpPixel(bmp, xs[k], ys[k]), corner[testing::kCornerShown[orientation][k]], 40))
                << what << " corner " << k << std::hex << " " << BmpPixel(bmp, xs[k], ys[k]);
    }
}

TEST(QtImageDecoderTest, ExifBlocksThatSayNothingUsableLeaveThePictureAsStored) {
    const std::string good = testing::ExifSegment(6, true).substr(4);
    const struct {
        const char* name;
        std::string payload;
        int orientation;
    } rows[] = {
        {"good", good, 6},
        {"littleEndian", testing::ExifSegment(8, false).substr(4), 8},
        {"outOfRange", testing::ExifSegment(9, false).substr(4), 1},
        {"cutInTheEntry", good.substr(0, good.size() - 8), 1},
        {"noTiffMark", good.substr(0, 6) + "XX" + good.substr(8), 1},
        {"directoryPastTheEnd", good.substr(0, 10) + std::string("\xff\xff\xff\xf0", 4) + good.substr(14), 1},
        {"manyEntriesClaimed", good.substr(0, 14) + std::string("\xff\xff", 2) + good.substr(16), 6},
        {"notExif", "JFIF" + good.substr(4), 1},
        {"empty", "", 1},
    };
    for (const auto& r : rows)
        EXPECT_EQ(ExifOrientation(reinterpret_cast<const std::uint8_t*>(r.payload.data()), r.payload.size()),
                  r.orientation)
            << r.name;
}

// The progressive sample with its last scan repeated `times` more times.
std::string RepeatingLastScan(const std::string& jpeg, int times) {
    const std::size_t last = jpeg.rfind(std::string("\xff\xda", 2));
    const std::size_t end = jpeg.size() - 2;
    const std::string scan = jpeg.substr(last, end - last);
    std::string out = jpeg.substr(0, end);
    for (int i = 0; i < times; ++i) out += scan;
    return out + jpeg.substr(end);
}

// A 361 KB progressive JPEG repeating its last scan 1,000 times decoded for 94 seconds.
TEST(QtImageDecoderTest, ScansBeyondWhatEncodersWriteAreRefusedBeforeDecoding) {
    testing::TempDir dir;
    QImageWriter writer(QString::fromStdString(dir / "progressive.jpg"), "JPEG");
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(TestImage(false)));
    const std::string jpeg = Slurp(dir / "progressive.jpg");
    // Stuffed entropy-coded data hold no marker: every 0xFF 0xDA starts a scan.
    int scans = 0;
    for (std::size_t at = jpeg.find("\xff\xda"); at != std::string::npos; at = jpeg.find("\xff\xda", at + 2))
        ++scans;
    ASSERT_GT(scans, 1);
    QtImageDecoder decoder;
    int asked = 0;
    decoder.StopWhen([&asked] { return ++asked < 0; });
    for (const int total : {400, 500, 501, 5000}) {
        const std::string path = dir / ("scans" + std::to_string(total) + ".jpg");
        Write(path, RepeatingLastScan(jpeg, total - scans));
        const DecodeError expected = total <= 500 ? DecodeError::None : DecodeError::Unreadable;
        asked = 0;
        Picture p;
        EXPECT_EQ(decoder.Decode(path, p).error, expected) << total;
        // Refused before any row of blocks was read.
        if (expected != DecodeError::None) {
            EXPECT_EQ(asked, 0) << total;
        }
        EXPECT_EQ(decoder.DecodeToBmp(path, dir / "out.bmp").decoded.error, expected) << total;
    }
}

// Two 6000 × 4000 photos on two screens cost as much as the peer's decode of both whole.
TEST(QtImageDecoderTest, PictureShownSmallerDecodesAtTheSmallestScaleThatCoversIt) {
    testing::TempDir dir;
    QImage photo(800, 600, QImage::Format_RGB32);
    photo.fill(0xFF336699u);
    ASSERT_TRUE(photo.save(QString::fromStdString(dir / "photo.jpg"), "JPEG"));
    Write(dir / "turned.jpg", testing::WithOrientation(Slurp(dir / "photo.jpg"), 6));
    const struct {
        const char* name;
        const char* file;
        ShownSize shown;
        std::int32_t width, height;
    } rows[] = {
        {"quarter", "photo.jpg", {190, 140}, 200, 150},
        {"justAboveAnEighth", "photo.jpg", {101, 1}, 200, 150},
        {"eighth", "photo.jpg", {1, 1}, 100, 75},
        {"whole", "photo.jpg", {800, 600}, 800, 600},
        {"largerThanThePicture", "photo.jpg", {1600, 1200}, 800, 600},
        {"threeEighthsUpright", "turned.jpg", {220, 290}, 225, 300},
    };
    QtImageDecoder decoder;
    for (const auto& r : rows) {
        Picture p;
        std::int32_t askedWidth = 0;
        const DecodeResult result = decoder.DecodeToShow(
            dir / r.file,
            [&](std::int32_t width, std::int32_t) {
                askedWidth = width;
                return r.shown;
            },
            p);
        ASSERT_TRUE(result.Ok()) << r.name;
        EXPECT_EQ(askedWidth, std::string(r.file) == "turned.jpg" ? 600 : 800)
            << r.name << ": the full upright size";
        EXPECT_EQ(p.width, r.width) << r.name;
        EXPECT_EQ(p.height, r.height) << r.name;
        EXPECT_TRUE(Near(p.Row(p.height / 2)[p.width / 2], 0x336699, 8)) << r.name;
    }
}

// Rows decoded as asked for are those of the reduced picture, for photos that need no turn.
TEST(QtImageDecoderTest, RowsToShowAreTheReducedPicturesRows) {
    testing::TempDir dir;
    QImage photo(800, 600, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF));
    ASSERT_TRUE(photo.save(QString::fromStdString(dir / "photo.jpg"), "JPEG"));
    ASSERT_TRUE(photo.save(QString::fromStdString(dir / "photo.png"), "PNG"));
    const std::string jpeg = Slurp(dir / "photo.jpg");
    Write(dir / "turned.jpg", testing::WithOrientation(jpeg, 6));
    Write(dir / "cut.jpg", jpeg.substr(0, jpeg.size() / 2));
    QtImageDecoder decoder;
    const auto shown = [](std::int32_t, std::int32_t) { return ShownSize{190, 140}; };
    std::unique_ptr<PictureRows> rows = decoder.RowsToShow(dir / "photo.jpg", shown);
    ASSERT_TRUE(rows);
    Picture whole;
    ASSERT_TRUE(decoder.DecodeToShow(dir / "photo.jpg", shown, whole).Ok());
    ASSERT_EQ(rows->width, whole.width);
    ASSERT_EQ(rows->height, whole.height);
    EXPECT_EQ(rows->width, 200);
    // Rows skipped, asked for again and beyond the picture, as a crop asks for them.
    for (const std::int32_t y : {3, 3, 20, 21, 149}) {
        const std::uint32_t* row = rows->Row(y);
        ASSERT_NE(row, nullptr) << y;
        EXPECT_TRUE(std::equal(row, row + whole.width, whole.Row(y))) << y;
    }
    EXPECT_EQ(rows->Row(150), nullptr);
    EXPECT_TRUE(rows->Result().Ok());
    // A cut photo opens (only its header is read then) and gives no row.
    std::unique_ptr<PictureRows> cut = decoder.RowsToShow(dir / "cut.jpg", shown);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->Row(0), nullptr);
    EXPECT_EQ(cut->Result().error, DecodeError::Unreadable);
    // Turned and other photos decode whole, where their turn is dealt with.
    for (const char* name : {"turned.jpg", "photo.png"})
        EXPECT_FALSE(decoder.RowsToShow(dir / name, shown)) << name;
    int asked = 0;
    decoder.StopWhen([&asked] { return ++asked > 8; });
    rows = decoder.RowsToShow(dir / "photo.jpg", shown);
    ASSERT_TRUE(rows);
    std::int32_t y = 0;
    while (y < rows->height && rows->Row(y)) ++y;
    EXPECT_LT(y, rows->height);
    EXPECT_EQ(rows->Result().error, DecodeError::Stopped);
}

TEST(QtImageDecoderTest, AStopEndsTheDecodeAtTheNextBandOfRows) {
    testing::TempDir dir;
    // Grain, so that the WebP files are long enough to be decoded in several steps.
    QImage big(640, 480, QImage::Format_RGB32);
    std::uint32_t seed = 7;
    for (int y = 0; y < big.height(); ++y)
        for (int x = 0; x < big.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            big.setPixel(x, y, 0xFF000000u | seed >> 8);
        }
    ASSERT_TRUE(big.save(QString::fromStdString(dir / "baseline.jpg"), "JPEG"));
    ASSERT_TRUE(big.save(QString::fromStdString(dir / "photo.png"), "PNG"));
    QImageWriter writer(QString::fromStdString(dir / "progressive.jpg"), "JPEG");
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(big));
    std::vector<std::string> names = {"baseline.jpg", "progressive.jpg", "photo.png"};
    // PNG and WebP were decoded to their end whatever the stop said.
    SpawnCommandRunner runner;
    for (const std::vector<std::string>& kind : {std::vector<std::string>{"-q", "90"}, {"-lossless"}}) {
        const std::string name = "photo" + kind[0] + ".webp";
        std::vector<std::string> command = {"/usr/bin/cwebp", "-quiet"};
        command.insert(command.end(), kind.begin(), kind.end());
        command.insert(command.end(), {dir / "photo.png", "-o", dir / name});
        if (runner.Run(command).status == 0) names.push_back(name);
    }
    for (const std::string& name : names) {
        QtImageDecoder decoder;
        int asked = 0;
        decoder.StopWhen([&asked] { return ++asked >= 3; });
        Picture p;
        EXPECT_EQ(decoder.Decode(dir / name, p).error, DecodeError::Stopped) << name;
        EXPECT_EQ(asked, 3) << name;
        EXPECT_TRUE(p.Empty()) << name;
        asked = 0;
        const BmpFromFile direct = decoder.DecodeToBmp(dir / name, dir / "out.bmp");
        EXPECT_EQ(direct.decoded.error, DecodeError::Stopped) << name;
        EXPECT_FALSE(direct.written) << name;
        EXPECT_EQ(asked, 3) << name;
    }
}

}  // namespace
}  // namespace vexal
