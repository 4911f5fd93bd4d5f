// The reader: chunk walk, inflate with zlib, and a ring of row blocks between the
// inflating thread and the filtering thread. Every length read from the file is checked
// before it is used; the picture's size is checked before its memory is taken.
#include "platform/linux/png_reader.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace vexal {
namespace {

std::uint32_t Be32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// Buffered sequential reads.
class Input {
public:
    explicit Input(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~Input() {
        if (fd_ >= 0) ::close(fd_);
    }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;
    bool Open() const { return fd_ >= 0; }

    bool Read(unsigned char* to, std::size_t count) {
        while (count > 0) {
            if (pos_ == len_ && !Fill()) return false;
            const std::size_t n = std::min(count, len_ - pos_);
            std::memcpy(to, buffer_.data() + pos_, n);
            pos_ += n;
            to += n;
            count -= n;
        }
        return true;
    }
    bool Skip(std::size_t count) {
        while (count > 0) {
            if (pos_ == len_ && !Fill()) return false;
            const std::size_t n = std::min(count, len_ - pos_);
            pos_ += n;
            count -= n;
        }
        return true;
    }
    // Up to `count` buffered bytes, without copying; empty at the end of the file.
    std::pair<const unsigned char*, std::size_t> Take(std::size_t count) {
        if (pos_ == len_ && !Fill()) return {nullptr, 0};
        const std::size_t n = std::min(count, len_ - pos_);
        const unsigned char* p = buffer_.data() + pos_;
        pos_ += n;
        return {p, n};
    }

private:
    bool Fill() {
        while (true) {
            const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            pos_ = 0;
            len_ = static_cast<std::size_t>(n);
            return true;
        }
    }
    int fd_;
    std::vector<unsigned char> buffer_ = std::vector<unsigned char>(std::size_t{1} << 18);
    std::size_t pos_ = 0, len_ = 0;
};

int Paeth(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// Undoes one row's filter into `cur` (the unfiltered row above is `prev`); false for a
// filter type that does not exist.
bool Unfilter(unsigned type, const unsigned char* raw, const unsigned char* prev, unsigned char* cur,
              std::size_t n, std::size_t bpp) {
    switch (type) {
        case 0:
            std::memcpy(cur, raw, n);
            return true;
        case 1:
            for (std::size_t i = 0; i < bpp; ++i) cur[i] = raw[i];
            for (std::size_t i = bpp; i < n; ++i) cur[i] = static_cast<unsigned char>(raw[i] + cur[i - bpp]);
            return true;
        case 2:
            for (std::size_t i = 0; i < n; ++i) cur[i] = static_cast<unsigned char>(raw[i] + prev[i]);
            return true;
        case 3:
            for (std::size_t i = 0; i < bpp; ++i) cur[i] = static_cast<unsigned char>(raw[i] + prev[i] / 2);
            for (std::size_t i = bpp; i < n; ++i)
                cur[i] = static_cast<unsigned char>(raw[i] + (cur[i - bpp] + prev[i]) / 2);
            return true;
        case 4:
            for (std::size_t i = 0; i < bpp; ++i) cur[i] = static_cast<unsigned char>(raw[i] + prev[i]);
            for (std::size_t i = bpp; i < n; ++i)
                cur[i] = static_cast<unsigned char>(raw[i] + Paeth(cur[i - bpp], prev[i], prev[i - bpp]));
            return true;
        default:
            return false;
    }
}

// Blocks of filtered rows handed from the inflating thread to the filtering thread.
class RowRing {
public:
    RowRing(std::size_t blockBytes, int blocks)
        : blockBytes_(blockBytes), blocks_(static_cast<std::size_t>(blocks)) {
        for (auto& b : blocks_) b.data.resize(blockBytes);
    }
    // The producer's next empty block, or null once the consumer has given up.
    std::vector<unsigned char>* Empty() {
        std::unique_lock<std::mutex> lock(mutex_);
        emptied_.wait(lock, [this] { return stopped_ || !blocks_[writeAt_].full; });
        return stopped_ ? nullptr : &blocks_[writeAt_].data;
    }
    void Fill(std::size_t bytes) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            blocks_[writeAt_].full = true;
            blocks_[writeAt_].bytes = bytes;
            writeAt_ = (writeAt_ + 1) % blocks_.size();
        }
        filled_.notify_one();
    }
    // The consumer's next full block and its size, or null at the end.
    const std::vector<unsigned char>* Full(std::size_t& bytes) {
        std::unique_lock<std::mutex> lock(mutex_);
        filled_.wait(lock, [this] { return finished_ || stopped_ || blocks_[readAt_].full; });
        if (!blocks_[readAt_].full) return nullptr;
        bytes = blocks_[readAt_].bytes;
        return &blocks_[readAt_].data;
    }
    void Release() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            blocks_[readAt_].full = false;
            readAt_ = (readAt_ + 1) % blocks_.size();
        }
        emptied_.notify_one();
    }
    // The producer has no more blocks.
    void Finish() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
        }
        filled_.notify_one();
    }
    // Either side gives up; the other stops waiting.
    void Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopped_ = true;
        }
        filled_.notify_one();
        emptied_.notify_one();
    }
    std::size_t blockBytes() const { return blockBytes_; }

private:
    struct Block {
        std::vector<unsigned char> data;
        std::size_t bytes = 0;
        bool full = false;
    };
    std::size_t blockBytes_;
    std::vector<Block> blocks_;
    std::size_t writeAt_ = 0, readAt_ = 0;
    bool finished_ = false, stopped_ = false;
    std::mutex mutex_;
    std::condition_variable filled_, emptied_;
};

struct Layout {
    std::uint32_t width = 0, height = 0;
    std::size_t bpp = 0;       // bytes per pixel: 3 or 4
    std::size_t rowBytes = 0;  // without the filter byte
};

// The filtering thread: unfilters every row in order and stores it as 0xAARRGGBB.
// Returns the number of rows stored.
std::uint32_t StoreRows(RowRing& ring, const Layout& l, std::uint32_t* pixels) {
    std::vector<unsigned char> prev(l.rowBytes, 0), cur(l.rowBytes);
    const std::size_t line = l.rowBytes + 1;
    std::uint32_t y = 0;
    std::size_t bytes = 0;
    while (y < l.height) {
        const std::vector<unsigned char>* block = ring.Full(bytes);
        if (!block) break;
        for (std::size_t at = 0; at + line <= bytes && y < l.height; at += line, ++y) {
            const unsigned char* raw = block->data() + at;
            if (!Unfilter(raw[0], raw + 1, prev.data(), cur.data(), l.rowBytes, l.bpp)) {
                ring.Stop();
                return y;
            }
            std::uint32_t* out = pixels + static_cast<std::size_t>(y) * l.width;
            const unsigned char* p = cur.data();
            if (l.bpp == 3) {
                for (std::uint32_t x = 0; x < l.width; ++x, p += 3)
                    out[x] = 0xFF000000u | static_cast<std::uint32_t>(p[0]) << 16 |
                             static_cast<std::uint32_t>(p[1]) << 8 | p[2];
            } else {
                for (std::uint32_t x = 0; x < l.width; ++x, p += 4)
                    out[x] = static_cast<std::uint32_t>(p[3]) << 24 | static_cast<std::uint32_t>(p[0]) << 16 |
                             static_cast<std::uint32_t>(p[1]) << 8 | p[2];
            }
            std::swap(prev, cur);
        }
        ring.Release();
    }
    return y;
}

}  // namespace

PngReadResult ReadPng(const std::string& path, Picture& pictureOut, DecodeResult& result) {
    result = {DecodeError::Unreadable, 0, 0};
    Input in(path);
    if (!in.Open()) return PngReadResult::NotHandled;
    unsigned char head[8 + 8 + 13 + 4];
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!in.Read(head, sizeof head) || std::memcmp(head, kSignature, 8) != 0 || Be32(head + 8) != 13 ||
        std::memcmp(head + 12, "IHDR", 4) != 0)
        return PngReadResult::NotHandled;
    if (static_cast<std::uint32_t>(crc32(crc32(0, nullptr, 0), head + 12, 17)) != Be32(head + 29))
        return PngReadResult::NotHandled;
    const unsigned char* ihdr = head + 16;
    Layout l;
    l.width = Be32(ihdr);
    l.height = Be32(ihdr + 4);
    const unsigned depth = ihdr[8], colourType = ihdr[9];
    if (depth != 8 || (colourType != 2 && colourType != 6) || ihdr[10] != 0 || ihdr[11] != 0 || ihdr[12] != 0)
        return PngReadResult::NotHandled;
    if (l.width == 0 || l.height == 0) return PngReadResult::NotHandled;
    result.width = l.width;
    result.height = l.height;
    if (!PictureSizeAllowed(l.width, l.height)) {
        result.error = DecodeError::TooLarge;
        return PngReadResult::Failed;
    }
    l.bpp = colourType == 6 ? 4 : 3;
    l.rowBytes = static_cast<std::size_t>(l.width) * l.bpp;

    // The chunks before the pixel data: a transparent colour key is left to the general
    // decoder; other chunks (palette suggestions, colour information, text) do not change
    // the pixels as stored.
    std::uint32_t remaining = 0;
    while (true) {
        unsigned char chunk[8];
        if (!in.Read(chunk, 8)) return PngReadResult::Failed;
        const std::uint32_t length = Be32(chunk);
        if (length > 0x7FFFFFFFu) return PngReadResult::Failed;
        if (std::memcmp(chunk + 4, "IDAT", 4) == 0) {
            remaining = length;
            break;
        }
        if (std::memcmp(chunk + 4, "tRNS", 4) == 0 || std::memcmp(chunk + 4, "IEND", 4) == 0)
            return PngReadResult::NotHandled;
        // An unknown chunk the picture cannot be shown without (upper-case first letter).
        if ((chunk[4] & 0x20) == 0 && std::memcmp(chunk + 4, "PLTE", 4) != 0)
            return PngReadResult::NotHandled;
        if (!in.Skip(std::size_t{length} + 4)) return PngReadResult::Failed;
    }

    const std::size_t count = static_cast<std::size_t>(l.width) * l.height;
    std::shared_ptr<std::uint32_t[]> pixels(new (std::nothrow) std::uint32_t[count]);
    if (!pixels) return PngReadResult::NotHandled;

    z_stream z{};
    if (inflateInit(&z) != Z_OK) return PngReadResult::NotHandled;
    const std::size_t line = l.rowBytes + 1;
    const std::size_t rowsPerBlock = std::max<std::size_t>(1, (std::size_t{1} << 18) / line);
    RowRing ring(rowsPerBlock * line, 6);
    std::uint32_t stored = 0;
    std::thread filterer;
    try {
        filterer = std::thread([&] { stored = StoreRows(ring, l, pixels.get()); });
    } catch (...) {
        inflateEnd(&z);
        return PngReadResult::NotHandled;
    }

    // Gives inflate more input: the rest of the current data chunk, or the next one.
    // False once the data has ended (the file ends, or a chunk other than IDAT follows).
    auto feed = [&]() -> bool {
        while (z.avail_in == 0) {
            if (remaining == 0) {
                unsigned char chunk[12];  // the finished chunk's checksum, the next header
                if (!in.Read(chunk, 12) || std::memcmp(chunk + 8, "IDAT", 4) != 0) return false;
                remaining = Be32(chunk + 4);
                if (remaining > 0x7FFFFFFFu) return false;
                continue;
            }
            auto [data, n] = in.Take(remaining);
            if (n == 0) return false;
            remaining -= static_cast<std::uint32_t>(n);
            z.next_in = const_cast<Bytef*>(data);
            z.avail_in = static_cast<uInt>(n);
        }
        return true;
    };

    // Inflate on this thread, a block of rows at a time.
    const std::uint64_t total = static_cast<std::uint64_t>(line) * l.height;
    std::uint64_t produced = 0;
    bool ok = true, streamEnded = false;
    while (ok && produced < total) {
        std::vector<unsigned char>* block = ring.Empty();
        if (!block) {
            ok = false;
            break;
        }
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(block->size(), total - produced));
        z.next_out = block->data();
        z.avail_out = static_cast<uInt>(want);
        bool damaged = false;
        while (z.avail_out > 0 && !streamEnded && feed()) {
            const int status = inflate(&z, Z_NO_FLUSH);
            if (status == Z_STREAM_END) {
                streamEnded = true;
            } else if (status != Z_OK) {
                // Z_BUF_ERROR only says nothing could be done; anything else is damage,
                // also when found at the very end (the checksum).
                damaged = status != Z_BUF_ERROR;
                break;
            }
        }
        const std::size_t got = want - z.avail_out;
        produced += got;
        ring.Fill(got);
        if (got < want || damaged) ok = false;  // the data ended early or was damaged
    }
    ring.Finish();
    if (!ok) ring.Stop();

    // With every row in hand, the rest of the stream is its checksum: a mismatch means
    // damaged pixels. A stream cut off there is tolerated, the rows being complete.
    while (ok && !streamEnded && feed()) {
        unsigned char scratch[256];
        z.next_out = scratch;
        z.avail_out = sizeof scratch;
        const int status = inflate(&z, Z_NO_FLUSH);
        if (status == Z_STREAM_END) break;
        if (status != Z_OK) ok = false;
    }
    filterer.join();
    inflateEnd(&z);
    if (!ok || stored != l.height) return PngReadResult::Failed;

    Picture p;
    p.width = static_cast<std::int32_t>(l.width);
    p.height = static_cast<std::int32_t>(l.height);
    p.stride = p.width;
    p.pixels = pixels.get();
    p.hasAlpha = colourType == 6;
    p.storage = std::move(pixels);
    pictureOut = std::move(p);
    result.error = DecodeError::None;
    return PngReadResult::Decoded;
}

}  // namespace vexal
