// The reader: a source that reads the file in large pieces, an error handler that jumps
// back out of the library instead of ending the process, and the ring of row blocks
// between the decoding thread and the writing thread.
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
#include <cerrno>
#include <csetjmp>
#include <thread>
#include <vector>

#include "platform/linux/bmp_file_writer.h"
#include "platform/linux/row_ring.h"
#include "platform/posix/posix_file_system.h"

namespace vexal {
namespace {

struct ErrorJump {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void JumpOut(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorJump*>(info->err)->jump, 1);
}
// Warnings about damaged data are not the program's messages; the outcome counts.
void Silent(j_common_ptr) {}

constexpr std::size_t kInputBytes = std::size_t{1} << 18;

struct FileSource {
    jpeg_source_mgr manager;
    int fd;
    unsigned char* buffer;
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// At the end of the file an end-of-image marker stands in for the missing data, so a
// picture cut short shows what arrived, as the general decoder does.
boolean FillInput(j_decompress_ptr info) {
    auto* source = reinterpret_cast<FileSource*>(info->src);
    ssize_t n;
    do {
        n = ::read(source->fd, source->buffer, kInputBytes);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        WARNMS(info, JWRN_JPEG_EOF);
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        n = 2;
    }
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
    explicit Decompressor(int fd) : input_(kInputBytes) {
        info_.err = jpeg_std_error(&error_.manager);
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

    // Reads the header; false when the file is damaged there.
    bool ReadHeader() {
        if (setjmp(error_.jump)) return false;
        jpeg_create_decompress(&info_);
        created_ = true;
        info_.src = &source_.manager;
        return jpeg_read_header(&info_, TRUE) == JPEG_HEADER_OK;
    }

    jpeg_decompress_struct& info() { return info_; }

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

}  // namespace

BmpFromFile JpegToBmp(const std::string& path, const std::string& destination) {
    BmpFromFile result;
    Fd file(path);
    if (file.get() < 0 || !IsJpeg(file.get())) return result;

    Decompressor decompressor(file.get());
    result.handled = true;
    if (!decompressor.ReadHeader()) {
        result.decoded = {DecodeError::Unreadable, 0, 0};
        return result;
    }
    jpeg_decompress_struct& info = decompressor.info();
    const J_COLOR_SPACE space = info.jpeg_color_space;
    if (space != JCS_GRAYSCALE && space != JCS_YCbCr && space != JCS_RGB) return BmpFromFile{};
    const std::int64_t width = info.image_width, height = info.image_height;
    result.decoded = {DecodeError::None, width, height};
    if (!PictureSizeAllowed(width, height)) {
        result.decoded.error = DecodeError::TooLarge;
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
        result.decoded.error = DecodeError::Unreadable;
        return result;
    }
    result.written = writtenOk && writer.Commit();
    if (!result.written) result.writeFailure = FileFailureOf(writer.Error());
    return result;
}

}  // namespace vexal
