// WIC decoding against pictures whose bytes the test writes itself (so a swapped channel or
// a wrong row order cannot cancel out between an encoder and the decoder), plus a JPEG
// from the system's own encoder.
#include "platform/win32/wic_image_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/file_system.h"
#include "platform/win32/win32_file_system.h"
#include "win32/win_temp_dir.h"
// (after the Windows headers)
#include <wincodec.h>

namespace vexal {
namespace {

using testing::WinTempDir;

void Put32be(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}
void Put16le(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32le(std::string& out, std::uint32_t v) {
    Put16le(out, v & 0xFFFF);
    Put16le(out, v >> 16);
}

std::uint32_t Crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PngChunk(std::string& png, const std::string& type, const std::string& data) {
    Put32be(png, static_cast<std::uint32_t>(data.size()));
    png += type + data;
    Put32be(png, Crc32(type + data));
}

// A PNG of 8-bit RGBA pixels (0xAARRGGBB values), stored without compression.
std::string Png(std::uint32_t width, std::uint32_t height, const std::vector<std::uint32_t>& argb) {
    std::string raw;
    for (std::uint32_t y = 0; y < height; ++y) {
        raw.push_back(0);  // filter: none
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t p = argb[y * width + x];
            raw.push_back(static_cast<char>((p >> 16) & 0xFF));
            raw.push_back(static_cast<char>((p >> 8) & 0xFF));
            raw.push_back(static_cast<char>(p & 0xFF));
            raw.push_back(static_cast<char>(p >> 24));
        }
    }
    std::string z = "\x78\x01";
    z.push_back(1);  // final stored block
    Put16le(z, static_cast<std::uint32_t>(raw.size()));
    Put16le(z, static_cast<std::uint32_t>(~raw.size() & 0xFFFF));
    z += raw;
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    Put32be(z, (b << 16) | a);

    std::string png = "\x89PNG\r\n\x1a\n";
    std::string ihdr;
    Put32be(ihdr, width);
    Put32be(ihdr, height);
    ihdr += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA
    PngChunk(png, "IHDR", ihdr);
    PngChunk(png, "IDAT", z);
    PngChunk(png, "IEND", "");
    return png;
}

// A 24-bit bottom-up BMP of opaque pixels.
std::string Bmp(std::uint32_t width, std::uint32_t height, const std::vector<std::uint32_t>& argb) {
    const std::uint32_t rowBytes = (width * 3 + 3) & ~3u;
    std::string bmp = "BM";
    Put32le(bmp, 54 + rowBytes * height);
    Put32le(bmp, 0);
    Put32le(bmp, 54);
    Put32le(bmp, 40);
    Put32le(bmp, width);
    Put32le(bmp, height);
    Put16le(bmp, 1);
    Put16le(bmp, 24);
    for (int i = 0; i < 6; ++i) Put32le(bmp, 0);
    for (std::uint32_t y = height; y-- > 0;) {
        std::string row;
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t p = argb[y * width + x];
            row.push_back(static_cast<char>(p & 0xFF));
            row.push_back(static_cast<char>((p >> 8) & 0xFF));
            row.push_back(static_cast<char>((p >> 16) & 0xFF));
        }
        row.resize(rowBytes, '\0');
        bmp += row;
    }
    return bmp;
}

// A GIF with a logical screen of `screenW` × `screenH` whose only frame is two blue pixels
// (palette index 1) at (left, top); palette index 0 is red.
std::string TwoPixelGif(int screenW, int screenH, int left, int top) {
    std::string gif = "GIF89a";
    Put16le(gif, screenW);
    Put16le(gif, screenH);
    gif += std::string("\x80\x00\x00", 3);              // global palette of two colours
    gif += std::string("\xFF\x00\x00\x00\x00\xFF", 6);  // red, blue
    gif.push_back(0x2C);
    Put16le(gif, left);
    Put16le(gif, top);
    Put16le(gif, 2);
    Put16le(gif, 1);
    gif.push_back(0);
    // LZW, minimum code size 2: clear, 1, 1, end, packed in 3-bit codes.
    gif += std::string("\x02\x02\x4C\x0A\x00", 5);
    gif.push_back(0x3B);
    return gif;
}

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
    IWICImagingFactory* factory = nullptr;
    ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))));
    const UINT w = 16, h = 16;
    std::vector<BYTE> bgr(w * h * 3);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x) {
            BYTE* p = &bgr[(y * w + x) * 3];
            p[0] = y < 8 ? 0 : 255;  // blue in the lower half
            p[1] = 0;
            p[2] = y < 8 ? 255 : 0;  // red in the upper half
        }
    const std::string path = dir / "photo.jpg";
    IWICBitmap* bitmap = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    ASSERT_TRUE(SUCCEEDED(factory->CreateBitmapFromMemory(
        w, h, GUID_WICPixelFormat24bppBGR, w * 3, static_cast<UINT>(bgr.size()), bgr.data(), &bitmap)));
    ASSERT_TRUE(SUCCEEDED(factory->CreateStream(&stream)));
    ASSERT_TRUE(SUCCEEDED(stream->InitializeFromFilename(win32::Widen(path).c_str(), GENERIC_WRITE)));
    ASSERT_TRUE(SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder)));
    ASSERT_TRUE(SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)));
    ASSERT_TRUE(SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)));
    ASSERT_TRUE(SUCCEEDED(frame->Initialize(nullptr)));
    ASSERT_TRUE(SUCCEEDED(frame->SetSize(w, h)));
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    ASSERT_TRUE(SUCCEEDED(frame->SetPixelFormat(&format)));
    ASSERT_TRUE(SUCCEEDED(frame->WriteSource(bitmap, nullptr)));
    ASSERT_TRUE(SUCCEEDED(frame->Commit()));
    ASSERT_TRUE(SUCCEEDED(encoder->Commit()));
    frame->Release();
    encoder->Release();
    stream->Release();
    bitmap->Release();
    factory->Release();

    Picture picture;
    ASSERT_TRUE(decoder.Decode(path, picture).Ok());
    ASSERT_EQ(picture.width, 16);
    ASSERT_EQ(picture.height, 16);
    EXPECT_FALSE(picture.hasAlpha);
    auto closeTo = [](std::uint32_t px, std::uint32_t want) {
        for (int shift : {16, 8, 0}) {
            const int a = static_cast<int>((px >> shift) & 0xFF),
                      b = static_cast<int>((want >> shift) & 0xFF);
            if (a - b > 40 || b - a > 40) return false;
        }
        return (px >> 24) == 0xFF;
    };
    EXPECT_TRUE(closeTo(picture.Row(2)[5], 0xFFFF0000)) << std::hex << picture.Row(2)[5];
    EXPECT_TRUE(closeTo(picture.Row(13)[5], 0xFF0000FF)) << std::hex << picture.Row(13)[5];
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

}  // namespace
}  // namespace vexal
