// Bitmap encoding and writing.
#include "wallpaper/bmp_writer.h"

namespace vexal {
namespace {

void PutU16(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void PutU32(std::string& out, std::uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

// Rows gathered before each write: large enough that a big picture takes few writes,
// small enough to stay out of the memory budget.
constexpr std::size_t kChunkBytes = std::size_t{4} << 20;

}  // namespace

std::string BmpHeader(std::int32_t width, std::int32_t height) {
    const std::uint64_t imageBytes = BmpRowBytes(width) * static_cast<std::uint64_t>(height);
    std::string h;
    h.reserve(kBmpHeaderSize);
    // BITMAPFILEHEADER
    h += "BM";
    PutU32(h, static_cast<std::uint32_t>(kBmpHeaderSize + imageBytes));
    PutU32(h, 0);  // reserved
    PutU32(h, kBmpHeaderSize);
    // BITMAPINFOHEADER; a positive height means the bottom row comes first.
    PutU32(h, 40);
    PutU32(h, static_cast<std::uint32_t>(width));
    PutU32(h, static_cast<std::uint32_t>(height));
    PutU16(h, 1);   // planes
    PutU16(h, 24);  // bits per pixel
    PutU32(h, 0);   // BI_RGB: no compression
    PutU32(h, static_cast<std::uint32_t>(imageBytes));
    PutU32(h, 0);  // horizontal resolution unknown
    PutU32(h, 0);  // vertical resolution unknown
    PutU32(h, 0);  // colours used
    PutU32(h, 0);  // important colours
    return h;
}

void AppendBmpRow(const std::uint32_t* row, std::int32_t width, bool hasAlpha, std::string& out) {
    const std::size_t start = out.size();
    const std::size_t rowBytes = static_cast<std::size_t>(BmpRowBytes(width));
    out.resize(start + rowBytes);
    unsigned char* p = reinterpret_cast<unsigned char*>(out.data()) + start;
    // Two loops rather than one test per pixel: this runs for every pixel of a photo.
    if (hasAlpha) {
        for (std::int32_t x = 0; x < width; ++x, p += 3) {
            const std::uint32_t c = OverBlack(row[x]);
            p[0] = static_cast<unsigned char>(c);
            p[1] = static_cast<unsigned char>(c >> 8);
            p[2] = static_cast<unsigned char>(c >> 16);
        }
    } else {
        for (std::int32_t x = 0; x < width; ++x, p += 3) {
            const std::uint32_t c = row[x];
            p[0] = static_cast<unsigned char>(c);
            p[1] = static_cast<unsigned char>(c >> 8);
            p[2] = static_cast<unsigned char>(c >> 16);
        }
    }
    for (std::size_t i = static_cast<std::size_t>(width) * 3; i < rowBytes; ++i) *p++ = 0;
}

bool WriteBmpRows(FileSystem& files, const std::string& path, std::int32_t width, std::int32_t height,
                  bool hasAlpha, const std::function<const std::uint32_t*(std::int32_t y)>& row) {
    if (width <= 0 || height <= 0) return false;
    // The file size field has 32 bits; pictures within the decoder's limits always fit.
    if (BmpRowBytes(width) * static_cast<std::uint64_t>(height) > 0xFFFFFFFFu - kBmpHeaderSize) return false;
    std::string chunk = BmpHeader(width, height);
    chunk.reserve(kChunkBytes + static_cast<std::size_t>(BmpRowBytes(width)));
    bool first = true;
    for (std::int32_t y = height - 1; y >= 0; --y) {
        AppendBmpRow(row(y), width, hasAlpha, chunk);
        if (chunk.size() >= kChunkBytes || y == 0) {
            const bool ok = first ? files.WriteFile(path, chunk) : files.AppendFile(path, chunk);
            if (!ok) return false;
            first = false;
            chunk.clear();
        }
    }
    return true;
}

bool WriteBmp(FileSystem& files, const std::string& path, const Picture& picture) {
    if (picture.Empty()) return false;
    return WriteBmpRows(files, path, picture.width, picture.height, picture.hasAlpha,
                        [&picture](std::int32_t y) { return picture.Row(y); });
}

}  // namespace vexal
