// Picture files whose bytes the tests write themselves (so a swapped channel or a wrong
// row order cannot cancel out between an encoder and a decoder), a JPEG from the system's
// own encoder, and a reader for the 24-bit bitmaps the program writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/utf16.h"
#include "platform/win32/win32_api.h"
// (after the Windows headers)
#include <wincodec.h>

namespace vexal::testing {

inline void Put32be(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}
inline void Put16le(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void Put32le(std::string& out, std::uint32_t v) {
    Put16le(out, v & 0xFFFF);
    Put16le(out, v >> 16);
}

inline std::uint32_t Crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline void PngChunk(std::string& png, const std::string& type, const std::string& data) {
    Put32be(png, static_cast<std::uint32_t>(data.size()));
    png += type + data;
    Put32be(png, Crc32(type + data));
}

// A PNG of 8-bit RGBA pixels (0xAARRGGBB values, rows top first), stored uncompressed.
inline std::string Png(std::uint32_t width, std::uint32_t height, const std::vector<std::uint32_t>& argb) {
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
    // Stored deflate blocks of at most 65535 bytes each.
    for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        z.push_back(at + n >= raw.size() ? 1 : 0);
        Put16le(z, static_cast<std::uint32_t>(n));
        Put16le(z, static_cast<std::uint32_t>(~n & 0xFFFF));
        z += raw.substr(at, n);
        if (raw.empty()) break;
    }
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
inline std::string Bmp(std::uint32_t width, std::uint32_t height, const std::vector<std::uint32_t>& argb) {
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

// A GIF with a logical screen of `screenW` × `screenH` whose only frame is two blue
// pixels (palette index 1) at (left, top); palette index 0 is red.
inline std::string TwoPixelGif(int screenW, int screenH, int left, int top) {
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

// Writes a JPEG of opaque pixels through the system's encoder; false on failure.
inline bool WriteJpeg(const std::string& path, std::uint32_t width, std::uint32_t height,
                      const std::vector<std::uint32_t>& argb) {
    std::vector<BYTE> bgr(width * height * 3);
    for (std::size_t i = 0; i < argb.size(); ++i) {
        bgr[i * 3] = static_cast<BYTE>(argb[i] & 0xFF);
        bgr[i * 3 + 1] = static_cast<BYTE>((argb[i] >> 8) & 0xFF);
        bgr[i * 3 + 2] = static_cast<BYTE>((argb[i] >> 16) & 0xFF);
    }
    // Balanced below; a thread that has COM already just counts one more user.
    const bool com = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    IWICImagingFactory* factory = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, reinterpret_cast<void**>(&factory)))) {
        if (com) ::CoUninitialize();
        return false;
    }
    IWICBitmap* bitmap = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    bool ok =
        SUCCEEDED(factory->CreateBitmapFromMemory(width, height, GUID_WICPixelFormat24bppBGR, width * 3,
                                                  static_cast<UINT>(bgr.size()), bgr.data(), &bitmap)) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromFilename(win32::Widen(path).c_str(), GENERIC_WRITE)) &&
        SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder)) &&
        SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
        SUCCEEDED(frame->SetSize(width, height)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
        SUCCEEDED(frame->WriteSource(bitmap, nullptr)) && SUCCEEDED(frame->Commit()) &&
        SUCCEEDED(encoder->Commit());
    for (IUnknown* p : {static_cast<IUnknown*>(frame), static_cast<IUnknown*>(encoder),
                        static_cast<IUnknown*>(stream), static_cast<IUnknown*>(bitmap)})
        if (p) p->Release();
    factory->Release();
    if (com) ::CoUninitialize();
    return ok;
}

// The pixels of a 24-bit uncompressed BMP as 0xFFRRGGBB values, rows top first; false
// when the bytes are not such a bitmap.
inline bool ReadBmp24(const std::string& bytes, int& widthOut, int& heightOut,
                      std::vector<std::uint32_t>& out) {
    auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
    };
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return false;
    const std::uint32_t offset = u32(10);
    const auto width = static_cast<std::int32_t>(u32(18));
    const auto height = static_cast<std::int32_t>(u32(22));
    const unsigned bits = static_cast<unsigned char>(bytes[28]) | static_cast<unsigned char>(bytes[29]) << 8;
    if (bits != 24 || width <= 0 || height == 0 || u32(30) != 0) return false;
    const bool bottomUp = height > 0;
    const int rows = bottomUp ? height : -height;
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    if (bytes.size() < offset + rowBytes * rows) return false;
    out.assign(static_cast<std::size_t>(width) * rows, 0);
    for (int r = 0; r < rows; ++r) {
        const int y = bottomUp ? rows - 1 - r : r;
        const char* row = bytes.data() + offset + rowBytes * r;
        for (int x = 0; x < width; ++x) {
            const auto* p = reinterpret_cast<const unsigned char*>(row + x * 3);
            out[static_cast<std::size_t>(y) * width + x] = 0xFF000000u | p[2] << 16 | p[1] << 8 | p[0];
        }
    }
    widthOut = width;
    heightOut = rows;
    return true;
}

// True when two colours differ by at most `tolerance` in every channel.
// Lossless WebP files of 3 × 2 pixels, as cwebp -lossless -exact writes them: opaque
// {FF0000, 00FF00, 0000FF, 102030, FFFFFF, 000000}, and {FF0000 whole, 000000 clear,
// 102030 at 0x80, 0000FF whole, FFFFFF at 0x40, 00FF00 whole} (rows top first).
inline const std::string kOpaqueWebp(
    "RIFF\x2c\x00\x00\x00WEBPVP8L\x1f\x00\x00\x00\x2f\x02\x40\x00\x00\x10\x08\x24\xa1\xec\x2f\xb9\x86"
    "\x40\x20\x09\x61\x7f\xd9\x05\x02\x49\x48\xfb\xcb\xdd\xff\xb0\xe1\xea\x07\x00",
    52);
inline const std::string kTranslucentWebp(
    "RIFF\x34\x00\x00\x00WEBPVP8L\x27\x00\x00\x00\x2f\x02\x40\x00\x10\x10\x08\x24\xa1\xec\x2f\xb9\x86"
    "\x40\x20\x09\x61\x7f\xd9\x05\x02\x49\x48\xfb\xcb\x4d\x90\x6d\x33\xb4\xa3\xdd\xbc\x61\x50\x75\xf6"
    "\x6f\x00\x00",
    60);

// A simple WebP file put into an extended one whose header announces a canvas of
// width × height.
inline std::string WithCanvas(const std::string& simple, std::uint32_t width, std::uint32_t height) {
    std::string chunks = "VP8X";
    Put32le(chunks, 10);
    Put32le(chunks, 0);
    for (std::uint32_t side : {width - 1, height - 1})
        for (int i = 0; i < 3; ++i) chunks.push_back(static_cast<char>(side >> (8 * i)));
    chunks += simple.substr(12);
    std::string riff = "RIFF";
    Put32le(riff, static_cast<std::uint32_t>(chunks.size() + 4));
    return riff + "WEBP" + chunks;
}

inline bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift : {16, 8, 0}) {
        const int x = static_cast<int>((a >> shift) & 0xFF), y = static_cast<int>((b >> shift) & 0xFF);
        if (x - y > tolerance || y - x > tolerance) return false;
    }
    return true;
}

}  // namespace vexal::testing
