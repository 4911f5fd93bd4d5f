// The reader: chunk walk, inflate with ISA-L (a streaming inflate of the same format,
// more than twice as fast as zlib's on photos), and a ring of row blocks between the
// inflating thread and the filtering thread. Every length read from the file is checked
// before it is used; the picture's size is checked before its memory is taken.
#include "platform/linux/png_reader.h"

#include <fcntl.h>
#include <isa-l/igzip_lib.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <thread>
#include <vector>

#include "platform/linux/bmp_file_writer.h"
#include "platform/linux/row_ring.h"
#include "platform/posix/posix_file_system.h"

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

struct Layout {
    std::uint32_t width = 0, height = 0;
    std::size_t bpp = 0;       // bytes per pixel: 3 or 4
    std::size_t rowBytes = 0;  // without the filter byte
};

// Where the filtering thread puts each unfiltered row (3 or 4 bytes a pixel, red first).
class RowStore {
public:
    virtual ~RowStore() = default;
    // False when the row could not be kept, which ends the reading.
    virtual bool Store(std::uint32_t y, const unsigned char* row) = 0;
};

// Rows as 0xAARRGGBB pixels of a picture in memory.
class PixelStore final : public RowStore {
public:
    PixelStore(const Layout& l, std::uint32_t* pixels) : l_(l), pixels_(pixels) {}
    bool Store(std::uint32_t y, const unsigned char* p) override {
        std::uint32_t* out = pixels_ + static_cast<std::size_t>(y) * l_.width;
        if (l_.bpp == 3) {
            for (std::uint32_t x = 0; x < l_.width; ++x, p += 3)
                out[x] = 0xFF000000u | static_cast<std::uint32_t>(p[0]) << 16 |
                         static_cast<std::uint32_t>(p[1]) << 8 | p[2];
        } else {
            for (std::uint32_t x = 0; x < l_.width; ++x, p += 4)
                out[x] = static_cast<std::uint32_t>(p[3]) << 24 | static_cast<std::uint32_t>(p[0]) << 16 |
                         static_cast<std::uint32_t>(p[1]) << 8 | p[2];
        }
        return true;
    }

private:
    const Layout& l_;
    std::uint32_t* pixels_;
};

// Rows in the bitmap's stored form, gathered into blocks that go to the file as each
// completes: the writing happens on the filtering thread, the shorter of the two.
class BmpStore final : public RowStore {
public:
    BmpStore(const Layout& l, BmpFileWriter& writer) : l_(l), writer_(writer) {
        blocks_.height = static_cast<std::int32_t>(l.height);
        blocks_.rowsPerBlock = static_cast<std::int32_t>(
            std::clamp<std::size_t>((std::size_t{1} << 19) / writer.RowBytes(), 1, l.height));
        block_.resize(static_cast<std::size_t>(blocks_.rowsPerBlock) * writer.RowBytes());
    }
    bool Store(std::uint32_t row, const unsigned char* p) override {
        const auto y = static_cast<std::int32_t>(row);
        unsigned char* out = block_.data() + static_cast<std::size_t>(blocks_.Slot(y)) * writer_.RowBytes();
        if (l_.bpp == 3) {
            for (std::uint32_t x = 0; x < l_.width; ++x, p += 3, out += 3) {
                out[0] = p[2];
                out[1] = p[1];
                out[2] = p[0];
            }
        } else {
            for (std::uint32_t x = 0; x < l_.width; ++x, p += 4, out += 3) {
                const std::uint32_t c = OverBlack(static_cast<std::uint32_t>(p[3]) << 24 |
                                                  static_cast<std::uint32_t>(p[0]) << 16 |
                                                  static_cast<std::uint32_t>(p[1]) << 8 | p[2]);
                out[0] = static_cast<unsigned char>(c);
                out[1] = static_cast<unsigned char>(c >> 8);
                out[2] = static_cast<unsigned char>(c >> 16);
            }
        }
        if (!blocks_.Completes(y)) return true;
        const std::int32_t top = blocks_.BlockTop(y);
        writeFailed_ = !writer_.WriteRows(top, blocks_.RowsIn(top), block_.data());
        return !writeFailed_;
    }
    bool WriteFailed() const { return writeFailed_; }

private:
    const Layout& l_;
    BmpFileWriter& writer_;
    BmpBlocks blocks_;
    std::vector<unsigned char> block_;  // padding bytes stay zero
    bool writeFailed_ = false;
};

// The filtering thread: unfilters every row in order and stores it. Returns the number
// of rows stored.
std::uint32_t StoreRows(RowRing& ring, const Layout& l, RowStore& store) {
    std::vector<unsigned char> prev(l.rowBytes, 0), cur(l.rowBytes);
    const std::size_t line = l.rowBytes + 1;
    std::uint32_t y = 0;
    std::size_t bytes = 0;
    while (y < l.height) {
        const std::vector<unsigned char>* block = ring.Full(bytes);
        if (!block) break;
        for (std::size_t at = 0; at + line <= bytes && y < l.height; at += line, ++y) {
            const unsigned char* raw = block->data() + at;
            if (!Unfilter(raw[0], raw + 1, prev.data(), cur.data(), l.rowBytes, l.bpp) ||
                !store.Store(y, cur.data())) {
                ring.Stop();
                return y;
            }
            std::swap(prev, cur);
        }
        ring.Release();
    }
    return y;
}

}  // namespace

namespace {

// Reads the signature and the header chunk into `layoutOut`. Nothing when the file is a
// PNG of the kinds read here; otherwise the result the reading ends with.
std::optional<PngReadResult> ReadHeader(Input& in, Layout& layoutOut, bool& alphaOut, DecodeResult& result) {
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
    layoutOut = l;
    alphaOut = colourType == 6;
    return std::nullopt;
}

// Passes over the chunks before the pixel data: a transparent colour key is left to the
// general decoder; other chunks (palette suggestions, colour information, text) do not
// change the pixels as stored. Nothing once the first data chunk's header is read, its
// length in `lengthOut`; otherwise the result the reading ends with.
std::optional<PngReadResult> SkipToPixelData(Input& in, std::uint32_t& lengthOut) {
    while (true) {
        unsigned char chunk[8];
        if (!in.Read(chunk, 8)) return PngReadResult::Failed;
        const std::uint32_t length = Be32(chunk);
        if (length > 0x7FFFFFFFu) return PngReadResult::Failed;
        if (std::memcmp(chunk + 4, "IDAT", 4) == 0) {
            lengthOut = length;
            return std::nullopt;
        }
        if (std::memcmp(chunk + 4, "tRNS", 4) == 0 || std::memcmp(chunk + 4, "IEND", 4) == 0)
            return PngReadResult::NotHandled;
        // An unknown chunk the picture cannot be shown without (upper-case first letter).
        if ((chunk[4] & 0x20) == 0 && std::memcmp(chunk + 4, "PLTE", 4) != 0)
            return PngReadResult::NotHandled;
        if (!in.Skip(std::size_t{length} + 4)) return PngReadResult::Failed;
    }
}

// The pixel data: one zlib stream spread over consecutive data chunks, inflated on the
// calling thread. The inflate state is large (its decoding tables), so it lives on the
// heap; the zlib wrapper and its checksum are checked by the library.
class PixelData {
public:
    // `in` stands just after the header of the first data chunk, `length` bytes long.
    PixelData(Input& in, std::uint32_t length)
        : in_(in), remaining_(length), z_(std::make_unique<inflate_state>()) {
        isal_inflate_init(z_.get());
        z_->crc_flag = ISAL_ZLIB;
    }

    // Inflates `total` bytes of filtered rows into the ring's empty blocks, a block at a
    // time, asking `stop` before each. False when the data ended early or was damaged,
    // the other side gave up, or `stop` said so (then `stoppedOut` is set).
    bool InflateRows(RowRing& ring, std::uint64_t total, const std::function<bool()>& stop,
                     bool& stoppedOut) {
        std::uint64_t produced = 0;
        while (produced < total) {
            if (stop && stop()) {
                stoppedOut = true;
                return false;
            }
            std::vector<unsigned char>* block = ring.Empty();
            if (!block) return false;
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(block->size(), total - produced));
            z_->next_out = block->data();
            z_->avail_out = static_cast<std::uint32_t>(want);
            bool damaged = false;
            while (z_->avail_out > 0 && !streamEnded_ && Feed()) {
                // Damage is a negative status, also when found at the very end (the
                // checksum); a stream that wants a preset dictionary is no PNG.
                const int status = isal_inflate(z_.get());
                if (status < 0 || status == ISAL_NEED_DICT) {
                    damaged = true;
                    break;
                }
                streamEnded_ = z_->block_state == ISAL_BLOCK_FINISH;
            }
            const std::size_t got = want - z_->avail_out;
            produced += got;
            ring.Fill(got);
            if (got < want || damaged) return false;
        }
        return true;
    }

    // With every row in hand, the rest of the stream is its checksum: false for a
    // mismatch, which means damaged pixels. A stream cut off there is tolerated, the rows
    // being complete.
    bool CheckRest() {
        while (!streamEnded_ && Feed()) {
            unsigned char scratch[256];
            z_->next_out = scratch;
            z_->avail_out = sizeof scratch;
            const int status = isal_inflate(z_.get());
            if (status < 0 || status == ISAL_NEED_DICT) return false;
            if (z_->block_state == ISAL_BLOCK_FINISH) break;
        }
        return true;
    }

private:
    // Gives inflate more input: the rest of the current data chunk, or the next one.
    // False once the data has ended (the file ends, or a chunk other than IDAT follows).
    bool Feed() {
        while (z_->avail_in == 0) {
            if (remaining_ == 0) {
                unsigned char chunk[12];  // the finished chunk's checksum, the next header
                if (!in_.Read(chunk, 12) || std::memcmp(chunk + 8, "IDAT", 4) != 0) return false;
                remaining_ = Be32(chunk + 4);
                if (remaining_ > 0x7FFFFFFFu) return false;
                continue;
            }
            auto [data, n] = in_.Take(remaining_);
            if (n == 0) return false;
            remaining_ -= static_cast<std::uint32_t>(n);
            z_->next_in = const_cast<std::uint8_t*>(data);
            z_->avail_in = static_cast<std::uint32_t>(n);
        }
        return true;
    }

    Input& in_;
    std::uint32_t remaining_;  // bytes of the current data chunk not yet given to inflate
    std::unique_ptr<inflate_state> z_;
    bool streamEnded_ = false;
};

// Reads the file up to its pixel data, then hands the rows to the store that `begin`
// makes for the picture's layout (none: the file is left to another decoder).
template <typename Begin>
PngReadResult ReadRows(const std::string& path, DecodeResult& result, const std::function<bool()>& stop,
                       Begin begin) {
    result = {DecodeError::Unreadable, 0, 0};
    Input in(path);
    if (!in.Open()) return PngReadResult::NotHandled;
    Layout l;
    bool alpha = false;
    if (const auto end = ReadHeader(in, l, alpha, result)) return *end;
    std::uint32_t dataLength = 0;
    if (const auto end = SkipToPixelData(in, dataLength)) return *end;

    RowStore* store = begin(l, alpha);
    if (!store) return PngReadResult::NotHandled;

    PixelData data(in, dataLength);
    const std::size_t line = l.rowBytes + 1;
    const std::size_t rowsPerBlock = std::max<std::size_t>(1, (std::size_t{1} << 18) / line);
    RowRing ring(rowsPerBlock * line, 6);
    std::uint32_t stored = 0;
    std::thread filterer;
    try {
        filterer = std::thread([&] { stored = StoreRows(ring, l, *store); });
    } catch (...) {
        return PngReadResult::NotHandled;
    }
    bool stopped = false;
    bool ok = data.InflateRows(ring, static_cast<std::uint64_t>(line) * l.height, stop, stopped);
    ring.Finish();
    if (!ok) ring.Stop();
    ok = ok && data.CheckRest();
    filterer.join();
    if (stopped) result.error = DecodeError::Stopped;
    if (!ok || stored != l.height) return PngReadResult::Failed;
    result.error = DecodeError::None;
    return PngReadResult::Decoded;
}

}  // namespace

PngReadResult ReadPng(const std::string& path, Picture& pictureOut, DecodeResult& result,
                      const std::function<bool()>& stop) {
    std::shared_ptr<std::uint32_t[]> pixels;
    std::optional<PixelStore> store;
    bool alpha = false;
    Layout layout;
    const PngReadResult read = ReadRows(path, result, stop, [&](const Layout& l, bool hasAlpha) -> RowStore* {
        pixels.reset(new (std::nothrow) std::uint32_t[static_cast<std::size_t>(l.width) * l.height]);
        if (!pixels) return nullptr;
        layout = l;
        alpha = hasAlpha;
        return &store.emplace(layout, pixels.get());
    });
    if (read != PngReadResult::Decoded) return read;
    Picture p;
    p.width = static_cast<std::int32_t>(layout.width);
    p.height = static_cast<std::int32_t>(layout.height);
    p.stride = p.width;
    p.pixels = pixels.get();
    p.hasAlpha = alpha;
    p.storage = std::move(pixels);
    pictureOut = std::move(p);
    return read;
}

BmpFromFile PngToBmp(const std::string& path, const std::string& destination,
                     const std::function<bool()>& stop) {
    std::optional<BmpFileWriter> writer;
    std::optional<BmpStore> store;
    Layout layout;
    BmpFromFile out;
    const PngReadResult read = ReadRows(path, out.decoded, stop, [&](const Layout& l, bool) -> RowStore* {
        layout = l;
        writer.emplace(destination, static_cast<std::int32_t>(l.width), static_cast<std::int32_t>(l.height));
        // A bitmap that cannot even be started is left to the general path, which
        // reports a damaged picture before a failed write.
        if (!writer->Open()) return nullptr;
        return &store.emplace(layout, *writer);
    });
    if (read == PngReadResult::NotHandled) return BmpFromFile{};
    out.handled = true;
    if (read == PngReadResult::Decoded) {
        out.written = writer->Commit();
        if (!out.written) out.writeFailure = FileFailureOf(writer->Error());
    } else if (store && store->WriteFailed()) {
        out.decoded.error = DecodeError::None;  // the picture was fine; the file was not
        out.writeFailure = FileFailureOf(writer->Error());
    }
    return out;
}

}  // namespace vexal
