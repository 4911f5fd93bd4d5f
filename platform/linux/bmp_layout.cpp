// Reading rows of an uncompressed bitmap with pread and laying them out.
#include "platform/linux/bmp_layout.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "wallpaper/image_decoder.h"

namespace vexal {
namespace {

std::uint32_t U16(const unsigned char* p) { return p[0] | p[1] << 8; }
std::uint32_t U32(const unsigned char* p) { return U16(p) | U16(p + 2) << 16; }

class File {
public:
    explicit File(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~File() {
        if (fd_ >= 0) ::close(fd_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool Open() const { return fd_ >= 0; }
    bool ReadAt(std::uint64_t offset, unsigned char* to, std::size_t count) {
        while (count > 0) {
            const ssize_t n = ::pread(fd_, to, count, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            to += n;
            count -= static_cast<std::size_t>(n);
            offset += static_cast<std::uint64_t>(n);
        }
        return true;
    }
    std::uint64_t Size() const {
        struct stat st {};
        return ::fstat(fd_, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    }

private:
    int fd_;
};

struct Bmp {
    std::int32_t width = 0, height = 0;  // height positive, top-down rows told apart below
    bool topDown = false;
    int bytesPerPixel = 0;
    std::uint64_t dataOffset = 0, stride = 0;

    // The file offset of picture row `y` (0 is the top).
    std::uint64_t RowAt(std::int32_t y) const {
        return dataOffset + stride * static_cast<std::uint64_t>(topDown ? y : height - 1 - y);
    }
    void Convert(const unsigned char* row, std::int32_t from, std::int32_t count, std::uint32_t* to) const {
        const unsigned char* p = row + static_cast<std::size_t>(from) * bytesPerPixel;
        for (std::int32_t i = 0; i < count; ++i, p += bytesPerPixel)
            to[i] = static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[1]) << 8 | p[0];
    }
};

bool ReadHeader(File& file, Bmp& bmp) {
    unsigned char h[54];
    if (!file.ReadAt(0, h, sizeof h) || h[0] != 'B' || h[1] != 'M') return false;
    const std::uint32_t infoSize = U32(h + 14);
    const std::int32_t width = static_cast<std::int32_t>(U32(h + 18));
    const std::int32_t height = static_cast<std::int32_t>(U32(h + 22));
    const std::uint32_t planes = U16(h + 26), bits = U16(h + 28), compression = U32(h + 30);
    // BITMAPINFOHEADER and its later extensions; BI_RGB only (the alpha byte of 32-bit
    // rows is not transparency there).
    if (infoSize < 40 || planes != 1 || (bits != 24 && bits != 32) || compression != 0) return false;
    if (width <= 0 || height == 0 || height == INT32_MIN) return false;
    bmp.width = width;
    bmp.height = height < 0 ? -height : height;
    bmp.topDown = height < 0;
    if (!PictureSizeAllowed(bmp.width, bmp.height)) return false;
    bmp.bytesPerPixel = static_cast<int>(bits / 8);
    bmp.stride = (static_cast<std::uint64_t>(bmp.width) * bmp.bytesPerPixel + 3) & ~std::uint64_t{3};
    bmp.dataOffset = U32(h + 10);
    return bmp.dataOffset >= 54 &&
           bmp.dataOffset + bmp.stride * static_cast<std::uint64_t>(bmp.height) <= file.Size();
}

// Floor division, as the picture layout uses for centring.
std::int32_t HalfOf(std::int32_t v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); }

BmpLayoutResult Centred(File& file, const Bmp& bmp, std::int32_t width, std::int32_t height,
                        std::vector<std::uint32_t>& out) {
    const std::int32_t left = HalfOf(width - bmp.width), top = HalfOf(height - bmp.height);
    const std::int32_t x0 = std::max(0, left), x1 = std::min(width, left + bmp.width);
    const std::int32_t y0 = std::max(0, top), y1 = std::min(height, top + bmp.height);
    std::vector<unsigned char> row(bmp.stride);
    for (std::int32_t y = y0; y < y1; ++y) {
        if (!file.ReadAt(bmp.RowAt(y - top), row.data(), row.size())) return BmpLayoutResult::Failed;
        bmp.Convert(row.data(), x0 - left, x1 - x0, out.data() + static_cast<std::size_t>(y) * width + x0);
    }
    return BmpLayoutResult::Done;
}

BmpLayoutResult Tiled(File& file, const Bmp& bmp, std::int32_t width, std::int32_t height,
                      std::vector<std::uint32_t>& out) {
    std::vector<unsigned char> row(bmp.stride);
    const std::int32_t tileWidth = std::min(width, bmp.width);
    for (std::int32_t y = 0; y < std::min(height, bmp.height); ++y) {
        if (!file.ReadAt(bmp.RowAt(y), row.data(), row.size())) return BmpLayoutResult::Failed;
        std::uint32_t* line = out.data() + static_cast<std::size_t>(y) * width;
        bmp.Convert(row.data(), 0, tileWidth, line);
        for (std::int32_t x = tileWidth; x < width; x += bmp.width)
            std::memcpy(line + x, line,
                        sizeof(std::uint32_t) * static_cast<std::size_t>(std::min(bmp.width, width - x)));
    }
    // Rows below the first tile repeat the rows above them.
    for (std::int32_t y = bmp.height; y < height; ++y)
        std::memcpy(out.data() + static_cast<std::size_t>(y) * width,
                    out.data() + static_cast<std::size_t>(y - bmp.height) * width,
                    sizeof(std::uint32_t) * width);
    return BmpLayoutResult::Done;
}

// Each picture pixel belongs to exactly one screen pixel (column x of the picture to
// x × width / picture width, rows alike), and each screen pixel is the average of its
// own: an area average, read in one pass in the file's row order.
BmpLayoutResult Shrunk(File& file, const Bmp& bmp, std::int32_t width, std::int32_t height,
                       std::vector<std::uint32_t>& out) {
    std::vector<std::int32_t> column(static_cast<std::size_t>(bmp.width));
    std::vector<std::uint32_t> columnCount(static_cast<std::size_t>(width), 0);
    for (std::int32_t x = 0; x < bmp.width; ++x) {
        column[static_cast<std::size_t>(x)] =
            static_cast<std::int32_t>(static_cast<std::int64_t>(x) * width / bmp.width);
        ++columnCount[static_cast<std::size_t>(column[static_cast<std::size_t>(x)])];
    }
    auto screenRow = [&](std::int32_t y) {
        return static_cast<std::int32_t>(static_cast<std::int64_t>(y) * height / bmp.height);
    };
    std::vector<std::uint64_t> sums(static_cast<std::size_t>(width) * 3, 0);
    std::uint64_t rowsInSum = 0;
    auto flush = [&](std::int32_t screenY) {
        std::uint32_t* line = out.data() + static_cast<std::size_t>(screenY) * width;
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint64_t n = rowsInSum * columnCount[static_cast<std::size_t>(x)];
            const std::uint64_t* s = &sums[static_cast<std::size_t>(x) * 3];
            line[x] = static_cast<std::uint32_t>((s[2] + n / 2) / n) << 16 |
                      static_cast<std::uint32_t>((s[1] + n / 2) / n) << 8 |
                      static_cast<std::uint32_t>((s[0] + n / 2) / n);
        }
        std::fill(sums.begin(), sums.end(), 0);
        rowsInSum = 0;
    };

    // Rows are read in blocks in the file's own order (bottom-up for most bitmaps).
    constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
    const std::int32_t rowsPerBlock =
        static_cast<std::int32_t>(std::max<std::uint64_t>(1, kBlockBytes / bmp.stride));
    std::vector<unsigned char> block(static_cast<std::size_t>(rowsPerBlock) * bmp.stride);
    std::int32_t current = -1;
    for (std::int32_t fileRow = 0; fileRow < bmp.height; fileRow += rowsPerBlock) {
        const std::int32_t rows = std::min(rowsPerBlock, bmp.height - fileRow);
        if (!file.ReadAt(bmp.dataOffset + bmp.stride * static_cast<std::uint64_t>(fileRow), block.data(),
                         bmp.stride * static_cast<std::uint64_t>(rows)))
            return BmpLayoutResult::Failed;
        for (std::int32_t r = 0; r < rows; ++r) {
            const std::int32_t y = bmp.topDown ? fileRow + r : bmp.height - 1 - (fileRow + r);
            const std::int32_t screenY = screenRow(y);
            if (screenY != current) {
                if (current >= 0) flush(current);
                current = screenY;
            }
            const unsigned char* p = block.data() + static_cast<std::size_t>(r) * bmp.stride;
            for (std::int32_t x = 0; x < bmp.width; ++x, p += bmp.bytesPerPixel) {
                std::uint64_t* s = &sums[static_cast<std::size_t>(column[static_cast<std::size_t>(x)]) * 3];
                s[0] += p[0];
                s[1] += p[1];
                s[2] += p[2];
            }
            ++rowsInSum;
        }
    }
    if (current >= 0) flush(current);
    return BmpLayoutResult::Done;
}

}  // namespace

BmpLayoutResult LayOutBmpFile(const std::string& path, WallpaperLayout layout, std::int32_t width,
                              std::int32_t height, std::vector<std::uint32_t>& out) {
    if (width <= 0 || height <= 0) return BmpLayoutResult::NotHandled;
    File file(path);
    if (!file.Open()) return BmpLayoutResult::NotHandled;
    Bmp bmp;
    if (!ReadHeader(file, bmp)) return BmpLayoutResult::NotHandled;
    // Enlarging wants interpolation, which the decoded picture's scaler does well and
    // cheaply for a picture smaller than the screen.
    if (layout == WallpaperLayout::Stretched && (bmp.width < width || bmp.height < height))
        return BmpLayoutResult::NotHandled;
    out.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    switch (layout) {
        case WallpaperLayout::Centred:
            return Centred(file, bmp, width, height, out);
        case WallpaperLayout::Tiled:
            return Tiled(file, bmp, width, height, out);
        case WallpaperLayout::Stretched:
            return Shrunk(file, bmp, width, height, out);
    }
    return BmpLayoutResult::NotHandled;
}

}  // namespace vexal
