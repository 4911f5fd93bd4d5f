// Positioned writes into a file named after the destination and this process, renamed
// over the destination at the end.
#include "platform/linux/bmp_file_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "wallpaper/bmp_writer.h"

namespace vexal {
namespace {

bool WriteAllAt(int fd, const unsigned char* data, std::size_t count, std::uint64_t offset) {
    while (count > 0) {
        const ssize_t n = ::pwrite(fd, data, count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = ENOSPC;  // a write that takes nothing: the disk is full
        if (n <= 0) return false;
        data += n;
        count -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

}  // namespace

BmpFileWriter::BmpFileWriter(std::string destination, std::int32_t width, std::int32_t height)
    : destination_(std::move(destination)),
      temporary_(destination_ + ".part" + std::to_string(::getpid())),
      width_(width),
      height_(height),
      rowBytes_(static_cast<std::size_t>(BmpRowBytes(width))) {}

BmpFileWriter::~BmpFileWriter() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && fd_ != -1) ::unlink(temporary_.c_str());
}

bool BmpFileWriter::Open() {
    if (width_ <= 0 || height_ <= 0) return false;
    // The file size field has 32 bits.
    if (BmpRowBytes(width_) * static_cast<std::uint64_t>(height_) > 0xFFFFFFFFu - kBmpHeaderSize)
        return false;
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error_ = errno;
        fd_ = -1;
        return false;
    }
    const std::string header = BmpHeader(width_, height_);
    return WriteAllAt(fd_, reinterpret_cast<const unsigned char*>(header.data()), header.size(), 0) ||
           Failed();
}

bool BmpFileWriter::WriteRows(std::int32_t top, std::int32_t count, const unsigned char* rows) {
    if (fd_ < 0 || top < 0 || count <= 0 || top + count > height_) return false;
    const std::uint64_t firstStored = static_cast<std::uint64_t>(height_ - top - count);
    rowsWritten_ += count;
    return WriteAllAt(fd_, rows, rowBytes_ * static_cast<std::size_t>(count),
                      kBmpHeaderSize + firstStored * rowBytes_) ||
           Failed();
}

bool BmpFileWriter::Commit() {
    // A row never written would stand as zeros in a file that looks complete.
    if (fd_ < 0 || rowsWritten_ != height_) return false;
    const bool closed = ::close(fd_) == 0 || Failed();
    fd_ = -2;  // closed, the file still to be removed on failure
    if (!closed || (::rename(temporary_.c_str(), destination_.c_str()) != 0 && !Failed())) return false;
    committed_ = true;
    return true;
}

}  // namespace vexal
