// Reading rows of an uncompressed bitmap with pread and laying them out.
#include "platform/linux/bmp_layout.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "host/image_decoder.h"

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

// Each picture pixel of the part used belongs to exactly one screen pixel of the part
// drawn (column x of the part to x × drawn width / used width, rows alike), and each
// screen pixel is the average of its own: an area average. Screen rows [y0, y1) of the
// drawn part take picture rows [RowStart(y0), RowStart(y1)) of the used part, read in
// blocks in the file's own order.
class Shrinker {
public:
    Shrinker(const Bmp& bmp, const ScaledPlacement& at, std::int32_t width, std::uint32_t* out)
        : bmp_(bmp),
          at_(at),
          width_(width),
          out_(out),
          columnStart_(static_cast<std::size_t>(at.screenWidth) + 1) {
        for (std::int32_t x = 0; x <= at.screenWidth; ++x)
            columnStart_[static_cast<std::size_t>(x)] =
                Ceil(static_cast<std::int64_t>(x) * at.sourceWidth, at.screenWidth);
    }
    std::int32_t RowStart(std::int32_t y) const {
        return Ceil(static_cast<std::int64_t>(y) * at_.sourceHeight, at_.screenHeight);
    }

    // Sums fit 32 bits unless one screen pixel covers over 16 million picture pixels.
    bool Run(File& file, std::int32_t y0, std::int32_t y1) {
        const std::int64_t cell = static_cast<std::int64_t>(Ceil(at_.sourceWidth, at_.screenWidth)) *
                                  Ceil(at_.sourceHeight, at_.screenHeight);
        return cell * 255 < (std::int64_t{1} << 32) ? Shrink<std::uint32_t>(file, y0, y1)
                                                    : Shrink<std::uint64_t>(file, y0, y1);
    }

private:
    static std::int32_t Ceil(std::int64_t a, std::int64_t b) {
        return static_cast<std::int32_t>((a + b - 1) / b);
    }

    // Each picture row is first added into a running sum per picture column and channel,
    // a plain loop over the row's bytes that the compiler vectorises; the columns of each
    // screen pixel are summed once per screen row, when that row is complete.
    template <typename Sum>
    bool Shrink(File& file, std::int32_t y0, std::int32_t y1) {
        // Rows of the picture, counted from the top of the whole picture.
        const std::int32_t first = at_.sourceY + RowStart(y0), last = at_.sourceY + RowStart(y1);
        const std::size_t bytesPerRow = static_cast<std::size_t>(at_.sourceWidth) * 3;
        const std::size_t skipped = static_cast<std::size_t>(at_.sourceX) * bmp_.bytesPerPixel;
        std::vector<Sum> columns(bytesPerRow, 0);  // blue, green, red of each picture column
        std::uint32_t rowsInSum = 0;
        std::int32_t current = -1;
        // Picture rows arrive in the file's order, so each screen row is complete when
        // the next one starts.
        auto flush = [&] {
            std::uint32_t* line =
                out_ + static_cast<std::size_t>(at_.screenY + current) * width_ + at_.screenX;
            const Sum* c = columns.data();
            for (std::int32_t x = 0; x < at_.screenWidth; ++x) {
                Sum b = 0, g = 0, red = 0;
                const std::int32_t count = ColumnsOf(x);
                for (std::int32_t n = 0; n < count; ++n, c += 3) {
                    b += c[0];
                    g += c[1];
                    red += c[2];
                }
                const std::uint64_t n =
                    static_cast<std::uint64_t>(rowsInSum) * static_cast<std::uint64_t>(count);
                auto avg = [n](Sum v) {
                    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(v) + n / 2) / n);
                };
                line[x] = avg(red) << 16 | avg(g) << 8 | avg(b);
            }
            std::fill(columns.begin(), columns.end(), 0);
            rowsInSum = 0;
        };

        // The file rows of picture rows [first, last) are contiguous.
        const std::int32_t fileFirst = bmp_.topDown ? first : bmp_.height - last;
        const std::int32_t count = last - first;
        constexpr std::uint64_t kBlockBytes = std::uint64_t{1} << 20;
        const std::int32_t perBlock =
            static_cast<std::int32_t>(std::max<std::uint64_t>(1, kBlockBytes / bmp_.stride));
        std::vector<unsigned char> block(static_cast<std::size_t>(perBlock) * bmp_.stride);
        for (std::int32_t done = 0; done < count; done += perBlock) {
            const std::int32_t rows = std::min(perBlock, count - done);
            if (!file.ReadAt(bmp_.dataOffset + bmp_.stride * static_cast<std::uint64_t>(fileFirst + done),
                             block.data(), bmp_.stride * static_cast<std::uint64_t>(rows)))
                return false;
            for (std::int32_t r = 0; r < rows; ++r) {
                const std::int32_t fileRow = fileFirst + done + r;
                const std::int32_t y = (bmp_.topDown ? fileRow : bmp_.height - 1 - fileRow) - at_.sourceY;
                const std::int32_t screenY = static_cast<std::int32_t>(static_cast<std::int64_t>(y) *
                                                                       at_.screenHeight / at_.sourceHeight);
                if (screenY != current) {
                    if (current >= 0) flush();
                    current = screenY;
                }
                ++rowsInSum;
                const unsigned char* p = block.data() + static_cast<std::size_t>(r) * bmp_.stride + skipped;
                Sum* acc = columns.data();
                if (bmp_.bytesPerPixel == 3) {
                    for (std::size_t i = 0; i < bytesPerRow; ++i) acc[i] += p[i];
                } else {
                    for (std::int32_t x = 0; x < at_.sourceWidth; ++x, p += 4, acc += 3) {
                        acc[0] += p[0];
                        acc[1] += p[1];
                        acc[2] += p[2];
                    }
                }
            }
        }
        if (current >= 0) flush();
        return true;
    }

    std::int32_t ColumnsOf(std::int32_t x) const {
        return columnStart_[static_cast<std::size_t>(x) + 1] - columnStart_[static_cast<std::size_t>(x)];
    }

    const Bmp& bmp_;
    ScaledPlacement at_;
    std::int32_t width_;
    std::uint32_t* out_;
    std::vector<std::int32_t> columnStart_;
};

// Two halves of the drawn part on two threads: the averaging is most of the work of
// showing a large photo scaled down.
BmpLayoutResult Shrunk(File& file, const std::string& path, const Bmp& bmp, const ScaledPlacement& at,
                       std::int32_t width, std::vector<std::uint32_t>& out) {
    Shrinker shrinker(bmp, at, width, out.data());
    const std::int32_t rows = at.screenHeight;
    const std::int32_t half = rows / 2;
    bool lowerOk = true;
    std::thread lower;
    bool threaded = half > 0;
    if (threaded) {
        try {
            lower = std::thread([&] {
                File own(path);
                lowerOk = own.Open() && shrinker.Run(own, half, rows);
            });
        } catch (...) {
            threaded = false;
        }
    }
    const bool upperOk = shrinker.Run(file, 0, threaded ? half : rows);
    if (threaded) lower.join();
    return upperOk && lowerOk ? BmpLayoutResult::Done : BmpLayoutResult::Failed;
}

}  // namespace

BmpLayoutResult LayOutBmpFile(const std::string& path, WallpaperLayout layout, std::int32_t width,
                              std::int32_t height, std::vector<std::uint32_t>& out,
                              std::uint32_t background) {
    if (width <= 0 || height <= 0) return BmpLayoutResult::NotHandled;
    File file(path);
    if (!file.Open()) return BmpLayoutResult::NotHandled;
    Bmp bmp;
    if (!ReadHeader(file, bmp)) return BmpLayoutResult::NotHandled;
    const ScaledPlacement at = PlaceScaled(layout, bmp.width, bmp.height, width, height);
    const bool scaled = layout == WallpaperLayout::Stretched || layout == WallpaperLayout::Fill ||
                        layout == WallpaperLayout::Fit;
    // Enlarging wants interpolation, which the decoded picture's scaler does well and
    // cheaply for a picture smaller than the screen.
    if (scaled && (at.sourceWidth < at.screenWidth || at.sourceHeight < at.screenHeight))
        return BmpLayoutResult::NotHandled;
    out.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), background & 0xFFFFFFu);
    switch (layout) {
        case WallpaperLayout::Centred:
            return Centred(file, bmp, width, height, out);
        case WallpaperLayout::Tiled:
        case WallpaperLayout::Spanned:
            return Tiled(file, bmp, width, height, out);
        case WallpaperLayout::Stretched:
        case WallpaperLayout::Fill:
        case WallpaperLayout::Fit:
            return Shrunk(file, path, bmp, at, width, out);
    }
    return BmpLayoutResult::NotHandled;
}

}  // namespace vexal
