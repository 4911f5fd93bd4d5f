// Writing the program's bitmap file while a decoder is still producing the rows: the
// file's size is known from the picture's, so each block of rows goes straight to its
// final place (the bottom row comes first in the file). The rows go into a file beside
// the destination, which replaces the destination only once it is complete, so a picture
// that fails half way leaves the previous bitmap as it was.
#pragma once

#include <cerrno>
#include <cstdint>
#include <string>

namespace vexal {

class BmpFileWriter {
public:
    BmpFileWriter(std::string destination, std::int32_t width, std::int32_t height);
    ~BmpFileWriter();  // removes the unfinished file unless Commit succeeded
    BmpFileWriter(const BmpFileWriter&) = delete;
    BmpFileWriter& operator=(const BmpFileWriter&) = delete;

    // Creates the file beside the destination and writes the headers; false when it
    // cannot be written or the picture is too large for the format.
    [[nodiscard]] bool Open();
    // Bytes of one stored row, padding included.
    std::size_t RowBytes() const { return rowBytes_; }
    // Writes `count` stored rows of which the topmost is picture row `top`. `rows` holds
    // them as the file does: picture row top + count - 1 first, row `top` last.
    [[nodiscard]] bool WriteRows(std::int32_t top, std::int32_t count, const unsigned char* rows);
    // Puts the finished file in place of the destination.
    [[nodiscard]] bool Commit();
    // The system's error of the first write that failed, 0 when none did.
    int Error() const { return error_; }

private:
    // Keeps the first failure's errno; false, for the caller to return.
    bool Failed() {
        if (error_ == 0) error_ = errno;
        return false;
    }
    std::string destination_, temporary_;
    std::int32_t width_, height_;
    std::size_t rowBytes_;
    std::int64_t rowsWritten_ = 0;
    int fd_ = -1;
    int error_ = 0;
    bool committed_ = false;
};

// Where the rows of a picture go inside blocks of `rowsPerBlock` rows written in one
// piece each: blocks cover picture rows [k × rowsPerBlock, (k + 1) × rowsPerBlock), and
// within a block the rows stand in file order, bottom row first.
struct BmpBlocks {
    std::int32_t height = 0, rowsPerBlock = 1;

    std::int32_t BlockTop(std::int32_t y) const { return y - y % rowsPerBlock; }
    std::int32_t RowsIn(std::int32_t top) const {
        return height - top < rowsPerBlock ? height - top : rowsPerBlock;
    }
    // The place of picture row `y` inside its block, in rows from the block's start.
    std::int32_t Slot(std::int32_t y) const {
        const std::int32_t top = BlockTop(y);
        return top + RowsIn(top) - 1 - y;
    }
    // True when row `y` completes its block (rows arrive top to bottom).
    bool Completes(std::int32_t y) const { return y == BlockTop(y) + RowsIn(BlockTop(y)) - 1; }
};

}  // namespace vexal
