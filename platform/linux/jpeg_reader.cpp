// The reader: a source that reads the file in large pieces, an error handler that jumps
// back out of the library instead of ending the process, a progress monitor that heeds a
// stop, the ring of row blocks between the decoding thread and the writing thread, and
// the turn of a photo taken on its side.
#include "platform/linux/jpeg_reader.h"

#include <fcntl.h>
#include <unistd.h>

// jpeglib.h uses FILE and size_t without including their header.
#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <bit>
#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "platform/linux/bmp_file_writer.h"
#include "platform/linux/picture_walk_file.h"
#include "platform/linux/row_ring.h"
#include "platform/picture/exif_orientation.h"
#include "platform/posix/posix_file_system.h"

namespace vexal {
namespace {

struct ErrorJump {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    bool stopped = false;
};

[[noreturn]] void JumpOut(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorJump*>(info->err)->jump, 1);
}
// Warnings about damaged data are not the program's messages; the outcome counts.
void Silent(j_common_ptr) {}

// Called by the library after every row of blocks it reads or writes, also while a
// progressive picture's scans are read in before the first row comes out.
struct StopMonitor {
    jpeg_progress_mgr manager;
    const std::function<bool()>* asked;
};

void HeedStop(j_common_ptr info) {
    const auto* monitor = reinterpret_cast<StopMonitor*>(info->progress);
    if (*monitor->asked && (*monitor->asked)()) {
        auto* error = reinterpret_cast<ErrorJump*>(info->err);
        error->stopped = true;
        std::longjmp(error->jump, 1);
    }
}

constexpr std::size_t kInputBytes = std::size_t{1} << 18;
// Rows decoded at a time into a picture: the library's largest work unit.
constexpr JDIMENSION kBandRows = 16;

struct FileSource {
    jpeg_source_mgr manager;
    int fd;
    unsigned char* buffer;
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// A file that ends before its end-of-image marker is refused (the walk before decoding
// finds most; this catches a file that shrinks meanwhile): the library would fill the
// missing rows with grey and report success.
boolean FillInput(j_decompress_ptr info) {
    auto* source = reinterpret_cast<FileSource*>(info->src);
    ssize_t n;
    do {
        n = ::read(source->fd, source->buffer, kInputBytes);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) ERREXIT(info, JERR_INPUT_EOF);
    source->manager.next_input_byte = source->buffer;
    source->manager.bytes_in_buffer = static_cast<std::size_t>(n);
    return TRUE;
}

void SkipInput(j_decompress_ptr info, long count) {
    auto* source = reinterpret_cast<FileSource*>(info->src);
    while (count > static_cast<long>(source->manager.bytes_in_buffer)) {
        count -= static_cast<long>(source->manager.bytes_in_buffer);
        FillInput(info);
    }
    if (count > 0) {
        source->manager.next_input_byte += count;
        source->manager.bytes_in_buffer -= static_cast<std::size_t>(count);
    }
}

// The decompressor with its source and error handler; destroyed with the object.
class Decompressor {
public:
    Decompressor(int fd, const std::function<bool()>& stop) : input_(kInputBytes) {
        info_.err = jpeg_std_error(&error_.manager);
        monitor_.manager.progress_monitor = HeedStop;
        monitor_.asked = &stop;
        error_.manager.error_exit = JumpOut;
        error_.manager.output_message = Silent;
        source_.manager.init_source = InitSource;
        source_.manager.fill_input_buffer = FillInput;
        source_.manager.skip_input_data = SkipInput;
        source_.manager.resync_to_restart = jpeg_resync_to_restart;
        source_.manager.term_source = TermSource;
        source_.manager.next_input_byte = nullptr;
        source_.manager.bytes_in_buffer = 0;
        source_.fd = fd;
        source_.buffer = input_.data();
    }
    ~Decompressor() {
        if (created_) jpeg_destroy_decompress(&info_);
    }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    // Reads the header, keeping the Exif block; false when the file is damaged there.
    bool ReadHeader() {
        if (setjmp(error_.jump)) return false;
        jpeg_create_decompress(&info_);
        created_ = true;
        info_.src = &source_.manager;
        info_.progress = &monitor_.manager;
        jpeg_save_markers(&info_, JPEG_APP0 + 1, 0xFFFF);
        return jpeg_read_header(&info_, TRUE) == JPEG_HEADER_OK;
    }

    jpeg_decompress_struct& info() { return info_; }
    bool stopped() const { return error_.stopped; }

    // How the camera was held, from the first Exif block.
    int Orientation() const {
        for (jpeg_saved_marker_ptr m = info_.marker_list; m; m = m->next)
            if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && std::memcmp(m->data, "Exif\0", 6) == 0)
                return ExifOrientation(m->data, m->data_length);
        return 1;
    }

    // Decodes every row as 0xAARRGGBB pixels, each stored pixel placed where `upright`
    // says, into `pixels`; false when the data are damaged or a stop came. No object with
    // a destructor lives in this frame, which the error handler may jump back into.
    bool DecodeUpright(std::uint32_t* pixels, const Upright& upright, JDIMENSION width, JDIMENSION height,
                       unsigned char* band) {
        if (setjmp(error_.jump)) return false;
        info_.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&info_);
        if (info_.output_width != width || info_.output_height != height || info_.output_components != 4)
            return false;
        const std::size_t rowPixels = width;
        const bool inPlace = band == nullptr;
        JSAMPROW rows[kBandRows];
        while (info_.output_scanline < info_.output_height) {
            const JDIMENSION top = info_.output_scanline;
            const JDIMENSION count = std::min<JDIMENSION>(kBandRows, info_.output_height - top);
            for (JDIMENSION i = 0; i < count; ++i)
                rows[i] = inPlace ? reinterpret_cast<JSAMPROW>(pixels + (top + i) * rowPixels)
                                  : band + i * rowPixels * 4;
            JDIMENSION done = 0;
            while (done < count) {
                const JDIMENSION got = jpeg_read_scanlines(&info_, rows + done, count - done);
                if (got == 0) return false;
                done += got;
            }
            if (inPlace) continue;
            for (JDIMENSION i = 0; i < count; ++i) {
                const auto* from = reinterpret_cast<const std::uint32_t*>(rows[i]);
                std::uint32_t* to =
                    pixels + upright.origin + static_cast<std::ptrdiff_t>(top + i) * upright.stepY;
                for (std::size_t x = 0; x < rowPixels; ++x, to += upright.stepX) *to = from[x];
            }
        }
        jpeg_finish_decompress(&info_);
        return true;
    }

    // The size of the picture decoding with pixels in `space` will give, from the header;
    // false when the library refuses the scale or the space.
    bool CalculateOutput(J_COLOR_SPACE space) {
        if (setjmp(error_.jump)) return false;
        info_.out_color_space = space;
        jpeg_calc_output_dimensions(&info_);
        return true;
    }

    // Starts decoding with pixels in `space`; false when the data are damaged or a stop came.
    bool Start(J_COLOR_SPACE space) {
        if (setjmp(error_.jump)) return false;
        info_.out_color_space = space;
        jpeg_start_decompress(&info_);
        return true;
    }

    // Decodes the next band of up to kBandRows rows into `band` (rows of `rowBytes`),
    // telling its first row and its count; false at the end of the picture, when the data
    // are damaged, or a stop came. No object with a destructor lives in this frame.
    bool ReadBand(unsigned char* band, std::size_t rowBytes, JDIMENSION& topOut, JDIMENSION& countOut) {
        if (setjmp(error_.jump)) return false;
        if (info_.output_scanline >= info_.output_height) return false;
        topOut = info_.output_scanline;
        countOut = std::min<JDIMENSION>(kBandRows, info_.output_height - topOut);
        JSAMPROW rows[kBandRows];
        for (JDIMENSION i = 0; i < countOut; ++i) rows[i] = band + i * rowBytes;
        JDIMENSION done = 0;
        while (done < countOut) {
            const JDIMENSION got = jpeg_read_scanlines(&info_, rows + done, countOut - done);
            if (got == 0) return false;
            done += got;
        }
        return true;
    }

    // Passes over `count` rows without producing them (the library still reads their data,
    // but spares their transform and colour work); false when the data are damaged or a
    // stop came. No object with a destructor lives in this frame.
    bool SkipRows(JDIMENSION count) {
        if (setjmp(error_.jump)) return false;
        while (count > 0) {
            const JDIMENSION skipped = jpeg_skip_scanlines(&info_, count);
            if (skipped == 0) return false;
            count -= std::min(count, skipped);
        }
        return true;
    }

    // Decodes every row as blue, green, red into the blocks of `ring`, laid out by
    // `blocks`; false when the data are damaged or the ring was stopped. No object with a
    // destructor lives in this frame, which the error handler may jump back into.
    bool DecodeInto(RowRing& ring, const BmpBlocks& blocks, std::size_t rowBytes) {
        if (setjmp(error_.jump)) return false;
        info_.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&info_);
        if (static_cast<std::int64_t>(info_.output_width) != static_cast<std::int64_t>(info_.image_width) ||
            static_cast<std::int32_t>(info_.output_height) != blocks.height || info_.output_components != 3)
            return false;
        JSAMPROW rows[256];
        while (info_.output_scanline < info_.output_height) {
            const std::int32_t top = static_cast<std::int32_t>(info_.output_scanline);
            const std::int32_t count = blocks.RowsIn(top);
            std::vector<unsigned char>* block = ring.Empty();
            if (!block) return false;
            for (std::int32_t i = 0; i < count; ++i)
                rows[i] = block->data() + static_cast<std::size_t>(blocks.Slot(top + i)) * rowBytes;
            std::int32_t done = 0;
            while (done < count) {
                const JDIMENSION got =
                    jpeg_read_scanlines(&info_, rows + done, static_cast<JDIMENSION>(count - done));
                if (got == 0) return false;
                done += static_cast<std::int32_t>(got);
            }
            ring.Fill(static_cast<std::size_t>(count) * rowBytes);
        }
        jpeg_finish_decompress(&info_);
        return true;
    }

private:
    jpeg_decompress_struct info_{};
    ErrorJump error_{};
    StopMonitor monitor_{};
    FileSource source_{};
    std::vector<unsigned char> input_;
    bool created_ = false;
};

class Fd {
public:
    explicit Fd(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool IsJpeg(int fd) {
    unsigned char head[3] = {};
    const bool ok =
        ::pread(fd, head, sizeof head, 0) == 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
    return ok;
}

// A file cut short, or with more scans than any encoder writes, is refused before a
// row is decoded.
bool WalkedWhole(int fd) {
    const PictureWalk walk = WalkPictureFile(fd);
    return walk != PictureWalk::CutShort && walk != PictureWalk::TooManyScans;
}

// The smallest scale M/8 whose picture (each side rounded up, as libjpeg does) is still
// no smaller than `want`.
int EighthsToShow(std::int32_t width, std::int32_t height, ShownSize want) {
    auto scaled = [](std::int32_t side, int m) {
        return static_cast<std::int32_t>((std::int64_t{side} * m + 7) / 8);
    };
    for (int m = 1; m < 8; ++m)
        if (scaled(width, m) >= want.width && scaled(height, m) >= want.height) return m;
    return 8;
}

JDIMENSION Scaled(JDIMENSION side, int eighths) {
    return static_cast<JDIMENSION>((std::uint64_t{side} * static_cast<unsigned>(eighths) + 7) / 8);
}

// An upright photo's rows at the scale it is shown at, a band decoded whenever a row
// beyond the last band is asked for.
class JpegRows final : public PictureRows {
public:
    JpegRows(const std::string& path, const std::function<bool()>& stop)
        : file_(path), decompressor_(file_.get(), stop) {}

    // False when the photo cannot be given this way: DecodeToShow then decodes it, or says
    // what is wrong with it. Only the header is read here, on the thread that opens it; the
    // walk over the whole file and the decoding (for a progressive photo, of every scan)
    // wait for the first row, on the thread that lays it out.
    bool Open(const std::function<ShownSize(std::int32_t, std::int32_t)>& shown) {
        if (file_.get() < 0 || !IsJpeg(file_.get()) || !decompressor_.ReadHeader()) return false;
        jpeg_decompress_struct& info = decompressor_.info();
        const J_COLOR_SPACE space = info.jpeg_color_space;
        if ((space != JCS_GRAYSCALE && space != JCS_YCbCr && space != JCS_RGB) ||
            decompressor_.Orientation() != 1)
            return false;
        const auto fullWidth = static_cast<std::int32_t>(info.image_width);
        const auto fullHeight = static_cast<std::int32_t>(info.image_height);
        if (!PictureSizeAllowed(fullWidth, fullHeight)) return false;
        const int eighths = EighthsToShow(fullWidth, fullHeight, shown(fullWidth, fullHeight));
        info.scale_num = static_cast<unsigned int>(eighths);
        info.scale_denom = 8;
        static_assert(std::endian::native == std::endian::little,
                      "pixels are stored as blue, green, red, alpha");
        if (!decompressor_.CalculateOutput(JCS_EXT_BGRA) ||
            info.output_width != Scaled(info.image_width, eighths) ||
            info.output_height != Scaled(info.image_height, eighths) || info.output_components != 4)
            return false;
        width = static_cast<std::int32_t>(info.output_width);
        height = static_cast<std::int32_t>(info.output_height);
        result_ = {DecodeError::None, width, height};
        try {
            band_.resize(std::size_t{kBandRows} * static_cast<std::size_t>(width));
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    const std::uint32_t* Row(std::int32_t y) override {
        // A row of a band already given back cannot be had again.
        if (!result_.Ok() || y < top_ || y >= height) return nullptr;
        if (!started_) {
            // A file cut short, or with more scans than any encoder writes, is refused
            // before a row is decoded.
            started_ = true;
            if (!WalkedWhole(file_.get())) {
                result_.error = DecodeError::Unreadable;
                return nullptr;
            }
            jpeg_decompress_struct& info = decompressor_.info();
            const JDIMENSION expectedWidth = info.output_width, expectedHeight = info.output_height;
            if (!decompressor_.Start(JCS_EXT_BGRA) || info.output_width != expectedWidth ||
                info.output_height != expectedHeight) {
                result_.error = decompressor_.stopped() ? DecodeError::Stopped : DecodeError::Unreadable;
                return nullptr;
            }
        }
        while (y >= top_ + count_) {
            // Rows above the band that holds `y` (the top a fill style cuts away) are
            // passed over.
            const auto next = static_cast<std::int32_t>(decompressor_.info().output_scanline);
            if (y - next >= static_cast<std::int32_t>(kBandRows) &&
                !decompressor_.SkipRows(static_cast<JDIMENSION>(y - next))) {
                result_.error = decompressor_.stopped() ? DecodeError::Stopped : DecodeError::Unreadable;
                return nullptr;
            }
            JDIMENSION top = 0, count = 0;
            if (!decompressor_.ReadBand(reinterpret_cast<unsigned char*>(band_.data()),
                                        static_cast<std::size_t>(width) * 4, top, count)) {
                result_.error = decompressor_.stopped() ? DecodeError::Stopped : DecodeError::Unreadable;
                return nullptr;
            }
            top_ = static_cast<std::int32_t>(top);
            count_ = static_cast<std::int32_t>(count);
        }
        return band_.data() + static_cast<std::size_t>(y - top_) * static_cast<std::size_t>(width);
    }
    DecodeResult Result() const override { return result_; }

private:
    Fd file_;
    Decompressor decompressor_;
    std::vector<std::uint32_t> band_;
    std::int32_t top_ = 0, count_ = 0;  // the rows in band_
    bool started_ = false;
    DecodeResult result_{DecodeError::Unreadable, 0, 0};
};

}  // namespace

std::optional<DecodeResult> ReadJpeg(const std::string& path, Picture& pictureOut,
                                     const std::function<bool()>& stop,
                                     const std::function<ShownSize(std::int32_t, std::int32_t)>* shown) {
    Fd file(path);
    if (file.get() < 0 || !IsJpeg(file.get())) return std::nullopt;
    Decompressor decompressor(file.get(), stop);
    if (!decompressor.ReadHeader()) return DecodeResult{DecodeError::Unreadable, 0, 0};
    jpeg_decompress_struct& info = decompressor.info();
    const J_COLOR_SPACE space = info.jpeg_color_space;
    if (space != JCS_GRAYSCALE && space != JCS_YCbCr && space != JCS_RGB) return std::nullopt;
    const int orientation = decompressor.Orientation();
    const Upright full = UprightLayout(orientation, static_cast<std::int32_t>(info.image_width),
                                       static_cast<std::int32_t>(info.image_height));
    DecodeResult result{DecodeError::None, full.width, full.height};
    if (!PictureSizeAllowed(full.width, full.height)) {
        result.error = DecodeError::TooLarge;
        return result;
    }
    if (!WalkedWhole(file.get())) {
        result.error = DecodeError::Unreadable;
        return result;
    }
    int eighths = 8;
    if (shown) {
        eighths = EighthsToShow(full.width, full.height, (*shown)(full.width, full.height));
        info.scale_num = static_cast<unsigned int>(eighths);
        info.scale_denom = 8;
    }
    const JDIMENSION storedWidth = Scaled(info.image_width, eighths);
    const JDIMENSION storedHeight = Scaled(info.image_height, eighths);
    const Upright upright = UprightLayout(orientation, static_cast<std::int32_t>(storedWidth),
                                          static_cast<std::int32_t>(storedHeight));
    result.width = upright.width;
    result.height = upright.height;
    static_assert(std::endian::native == std::endian::little, "pixels are stored as blue, green, red, alpha");
    std::vector<std::uint32_t> pixels;
    std::vector<unsigned char> band;
    try {
        pixels.resize(static_cast<std::size_t>(upright.width) * static_cast<std::size_t>(upright.height));
        if (upright.origin != 0 || upright.stepX != 1) band.resize(std::size_t{kBandRows} * storedWidth * 4);
    } catch (const std::bad_alloc&) {
        result.error = DecodeError::TooLarge;
        return result;
    }
    if (!decompressor.DecodeUpright(pixels.data(), upright, storedWidth, storedHeight,
                                    band.empty() ? nullptr : band.data())) {
        result.error = decompressor.stopped() ? DecodeError::Stopped : DecodeError::Unreadable;
        return result;
    }
    pictureOut = Picture::FromPixels(upright.width, upright.height, std::move(pixels));
    return result;
}

std::unique_ptr<PictureRows> JpegRowsToShow(
    const std::string& path, const std::function<bool()>& stop,
    const std::function<ShownSize(std::int32_t, std::int32_t)>& shown) {
    auto rows = std::make_unique<JpegRows>(path, stop);
    if (!rows->Open(shown)) return nullptr;
    return rows;
}

std::optional<DecodeResult> ProbeJpeg(const std::string& path) {
    static const std::function<bool()> kNever;
    Fd file(path);
    if (file.get() < 0 || !IsJpeg(file.get())) return std::nullopt;
    Decompressor decompressor(file.get(), kNever);
    if (!decompressor.ReadHeader()) return DecodeResult{DecodeError::Unreadable, 0, 0};
    const jpeg_decompress_struct& info = decompressor.info();
    const Upright upright =
        UprightLayout(decompressor.Orientation(), static_cast<std::int32_t>(info.image_width),
                      static_cast<std::int32_t>(info.image_height));
    if (!PictureSizeAllowed(upright.width, upright.height))
        return DecodeResult{DecodeError::TooLarge, upright.width, upright.height};
    return DecodeResult{DecodeError::None, upright.width, upright.height};
}

BmpFromFile JpegToBmp(const std::string& path, const std::string& destination,
                      const std::function<bool()>& stop) {
    BmpFromFile result;
    Fd file(path);
    if (file.get() < 0 || !IsJpeg(file.get())) return result;

    Decompressor decompressor(file.get(), stop);
    result.handled = true;
    if (!decompressor.ReadHeader()) {
        result.decoded = {DecodeError::Unreadable, 0, 0};
        return result;
    }
    jpeg_decompress_struct& info = decompressor.info();
    const J_COLOR_SPACE space = info.jpeg_color_space;
    if (space != JCS_GRAYSCALE && space != JCS_YCbCr && space != JCS_RGB) return BmpFromFile{};
    // A photo taken on its side is turned in memory by the decode into a picture.
    if (decompressor.Orientation() != 1) return BmpFromFile{};
    const std::int64_t width = info.image_width, height = info.image_height;
    result.decoded = {DecodeError::None, width, height};
    if (!PictureSizeAllowed(width, height)) {
        result.decoded.error = DecodeError::TooLarge;
        return result;
    }
    if (!WalkedWhole(file.get())) {
        result.decoded.error = DecodeError::Unreadable;
        return result;
    }

    BmpFileWriter writer(destination, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    if (!writer.Open()) return BmpFromFile{};
    // Blocks of about half a mebibyte, whole rows of the library's work units (up to 16
    // picture rows), four in the ring.
    BmpBlocks blocks;
    blocks.height = static_cast<std::int32_t>(height);
    blocks.rowsPerBlock = static_cast<std::int32_t>(
        std::clamp<std::size_t>((std::size_t{1} << 19) / writer.RowBytes() / 16 * 16, 16, 256));
    RowRing ring(static_cast<std::size_t>(blocks.rowsPerBlock) * writer.RowBytes(), 4);

    bool writtenOk = true;
    std::thread storing;
    try {
        storing = std::thread([&] {
            std::int32_t top = 0;
            std::size_t bytes = 0;
            while (const std::vector<unsigned char>* block = ring.Full(bytes)) {
                const auto count = static_cast<std::int32_t>(bytes / writer.RowBytes());
                if (!writer.WriteRows(top, count, block->data())) {
                    writtenOk = false;
                    ring.Stop();
                    return;
                }
                top += count;
                ring.Release();
            }
        });
    } catch (...) {
        return BmpFromFile{};
    }
    const bool decodedOk = decompressor.DecodeInto(ring, blocks, writer.RowBytes());
    ring.Finish();
    if (!decodedOk) ring.Stop();
    storing.join();
    if (!decodedOk && writtenOk) {
        result.decoded.error = decompressor.stopped() ? DecodeError::Stopped : DecodeError::Unreadable;
        return result;
    }
    result.written = writtenOk && writer.Commit();
    if (!result.written) result.writeFailure = FileFailureOf(writer.Error());
    return result;
}

}  // namespace vexal
