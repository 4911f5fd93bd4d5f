// Reading a WebP file into memory for libwebp, which decodes from whole buffers: no more
// than the container declares is read, and a probe reads only the start of the file.
#include "platform/linux/webp_reader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <vector>

#include "platform/linux/bmp_file_writer.h"
#include "platform/posix/posix_file_system.h"
#include "platform/webp/webp_picture.h"

namespace vexal {
namespace {

// Enough for the headers of every WebP file but those with a large colour profile
// before the picture, which are then read whole.
constexpr std::size_t kProbeBytes = std::size_t{1} << 16;

constexpr DecodeResult kUnreadable{DecodeError::Unreadable, 0, 0};

class WebpFile {
public:
    explicit WebpFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        struct stat st {};
        if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return;
        unsigned char head[12];
        if (!ReadAt(head, sizeof head, 0) || !LooksLikeWebp(head, sizeof head)) return;
        // A file longer than its container holds trailing bytes that are no part of it.
        length_ = std::min<std::uint64_t>(static_cast<std::uint64_t>(st.st_size),
                                          WebpDeclaredBytes(head, sizeof head));
        webp_ = true;
    }
    ~WebpFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    WebpFile(const WebpFile&) = delete;
    WebpFile& operator=(const WebpFile&) = delete;

    bool IsWebp() const { return webp_; }
    std::uint64_t Length() const { return length_; }

    // The first `count` bytes (no more than the file's length) in `out`, which may hold
    // the start of the file already from an earlier call: only the rest is read. False
    // when they cannot be read or held.
    bool Read(std::uint64_t count, std::vector<unsigned char>& out) {
        const std::size_t held = out.size();
        count = std::min(count, length_);
        if (count <= held) {
            out.resize(static_cast<std::size_t>(count));
            return true;
        }
        try {
            out.resize(static_cast<std::size_t>(count));
        } catch (const std::bad_alloc&) {
            return false;
        }
        return ReadAt(out.data() + held, out.size() - held, static_cast<off_t>(held));
    }

private:
    bool ReadAt(unsigned char* to, std::size_t count, off_t offset) {
        while (count > 0) {
            const ssize_t n = ::pread(fd_, to, count, offset);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            to += n;
            count -= static_cast<std::size_t>(n);
            offset += n;
        }
        return true;
    }

    int fd_;
    std::uint64_t length_ = 0;
    bool webp_ = false;
};

// The headers' verdict; `bytes` keeps the start of the file that was read for it.
DecodeResult Probe(WebpFile& file, std::vector<unsigned char>& bytes) {
    if (!file.Read(kProbeBytes, bytes)) return kUnreadable;
    bool needsMore = false;
    const DecodeResult head = ProbeWebp(bytes.data(), bytes.size(), needsMore);
    if (!needsMore || bytes.size() == file.Length()) return head;
    if (!file.Read(file.Length(), bytes)) return kUnreadable;
    return ProbeWebp(bytes.data(), bytes.size(), needsMore);
}

// The canvas as pages of its own, each band written to the bitmap file as it is decoded
// and its pages then given back: the whole picture is never held, and the rows are
// copied into the file while they are still in the processor's cache.
class BandWriter final : public WebpBmpSink {
public:
    explicit BandWriter(BmpFileWriter& writer) : writer_(writer) {}
    ~BandWriter() override {
        if (canvas_) ::munmap(canvas_, bytes_);
    }
    BandWriter(const BandWriter&) = delete;
    BandWriter& operator=(const BandWriter&) = delete;

    unsigned char* Canvas(std::size_t bytes) override {
        void* memory = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) return nullptr;
        canvas_ = static_cast<unsigned char*>(memory);
        bytes_ = bytes;
        return canvas_;
    }
    bool Rows(std::int32_t top, std::int32_t count, const unsigned char* rows) override {
        if (!writer_.WriteRows(top, count, rows)) return false;
        // Only whole pages inside the band: the pages at its ends may hold rows still to come.
        const std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        const auto start = reinterpret_cast<std::uintptr_t>(rows);
        const std::uintptr_t first = (start + page - 1) / page * page;
        const std::uintptr_t end =
            (start + static_cast<std::uintptr_t>(count) * writer_.RowBytes()) / page * page;
        if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_DONTNEED);
        return true;
    }

private:
    BmpFileWriter& writer_;
    unsigned char* canvas_ = nullptr;
    std::size_t bytes_ = 0;
};

}  // namespace

std::optional<DecodeResult> ProbeWebpFile(const std::string& path) {
    WebpFile file(path);
    if (!file.IsWebp()) return std::nullopt;
    std::vector<unsigned char> bytes;
    return Probe(file, bytes);
}

std::optional<DecodeResult> ReadWebp(const std::string& path, Picture& pictureOut,
                                     const std::function<bool()>& stop) {
    WebpFile file(path);
    if (!file.IsWebp()) return std::nullopt;
    // The size is checked on the headers before the whole file is read.
    std::vector<unsigned char> bytes;
    const DecodeResult head = Probe(file, bytes);
    if (!head.Ok()) return head;
    if (!file.Read(file.Length(), bytes)) return kUnreadable;
    return DecodeWebp(bytes.data(), bytes.size(), pictureOut, stop);
}

BmpFromFile WebpToBmp(const std::string& path, const std::string& destination,
                      const std::function<bool()>& stop) {
    WebpFile file(path);
    if (!file.IsWebp()) return BmpFromFile{};
    BmpFromFile result;
    result.handled = true;
    std::vector<unsigned char> bytes;
    result.decoded = Probe(file, bytes);
    if (!result.decoded.Ok()) return result;

    BmpFileWriter writer(destination, static_cast<std::int32_t>(result.decoded.width),
                         static_cast<std::int32_t>(result.decoded.height));
    // A bitmap that cannot even be started is left to the general path, which reports a
    // damaged picture before a failed write.
    if (!writer.Open()) return BmpFromFile{};
    if (!file.Read(file.Length(), bytes)) {
        result.decoded.error = DecodeError::Unreadable;
        return result;
    }
    BandWriter bands(writer);
    result.decoded = DecodeWebpToBmp(bytes.data(), bytes.size(), bands, stop);
    if (!result.decoded.Ok()) return result;
    result.written = writer.Commit();
    if (!result.written) result.writeFailure = FileFailureOf(writer.Error());
    return result;
}

}  // namespace vexal
