// The structure walk over an open file, read with pread so the descriptor's position is
// left where the decoder expects it.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/picture/whole_picture.h"

namespace vexal {

inline PictureWalk WalkPictureFile(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return PictureWalk::NotFollowed;
    return WalkPicture(
        [fd](std::uint64_t offset, unsigned char* out, std::size_t size) -> std::int64_t {
            ssize_t n;
            do {
                n = ::pread(fd, out, size, static_cast<off_t>(offset));
            } while (n < 0 && errno == EINTR);
            return n;
        },
        static_cast<std::uint64_t>(st.st_size));
}

}  // namespace vexal
