// The Linux image decoder on real files of each format, on files that are no pictures,
// and on headers that announce more pixels than any screen needs.
#include "platform/linux/qt_image_decoder.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cstdio>
#include <fstream>

#include "platform/linux/command_runner.h"
#include "posix/temp_dir.h"
#include "wallpaper/bmp_writer.h"

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
    } rows[] = {
        {"bomb", 100000, 100000, DecodeError::TooLarge},
        {"tooWide", 40000, 1, DecodeError::TooLarge},
        {"overThePixelLimit", 8193, 8192, DecodeError::TooLarge},
        // At the limit the header is accepted; the missing data then makes it unreadable.
        {"atThePixelLimit", 8192, 8192, DecodeError::Unreadable},
    };
    QtImageDecoder decoder;
    for (const auto& r : rows) {
        Write(dir / "x.png", PngHeaderOnly(r.width, r.height));
        const DecodeResult probe = decoder.Probe(dir / "x.png");
        Picture p;
        const DecodeResult decoded = decoder.Decode(dir / "x.png", p);
        EXPECT_EQ(decoded.error, r.error) << r.name;
        if (r.error == DecodeError::TooLarge) {
            EXPECT_EQ(probe.error, DecodeError::TooLarge) << r.name;
            EXPECT_EQ(decoded.width, r.width) << r.name;
            EXPECT_EQ(decoded.height, r.height) << r.name;
        }
        EXPECT_TRUE(p.Empty()) << r.name;
    }
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
        {"headerOnly", BmpHeader(16, 16), DecodeError::None},
    };
    for (const auto& r : rows) {
        Write(dir / "x.bmp", r.bytes);
        const DecodeResult probe = decoder.Probe(dir / "x.bmp");
        EXPECT_EQ(probe.error, r.error) << r.name;
        Picture p;
        const DecodeResult decoded = decoder.Decode(dir / "x.bmp", p);
        if (r.error == DecodeError::TooLarge) {
            EXPECT_EQ(decoded.error, DecodeError::TooLarge) << r.name;
            EXPECT_EQ(probe.width, 50000 * (r.name[0] == 'b') + 9000 * (r.name[0] == 't')) << r.name;
        }
        EXPECT_TRUE(p.Empty() || r.error == DecodeError::None) << r.name;
    }
}

}  // namespace
}  // namespace vexal
