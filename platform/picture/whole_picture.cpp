// The walks over JPEG markers, GIF blocks and a bitmap's header, each bounded by the file:
// every length read from the file only moves the reading position forwards.
#include "platform/picture/whole_picture.h"

#include <cstring>
#include <vector>

#include "platform/picture/exif_orientation.h"

namespace vexal {
namespace {

// The file read forwards in large pieces.
class Bytes {
public:
    explicit Bytes(const ReadAt& read) : read_(read), buffer_(std::size_t{1} << 16) {}
    // The next byte, or -1 at the end of the file.
    int Next() {
        if (at_ == have_ && !Refill()) return -1;
        return buffer_[at_++];
    }
    void Skip(std::uint64_t n) {
        if (n <= have_ - at_) {
            at_ += static_cast<std::size_t>(n);
        } else {
            start_ += at_ + n;
            at_ = have_ = 0;
        }
    }
    // Moves to the next 0xFF byte; false at the end of the file.
    bool ToNextFF() {
        for (;;) {
            if (const void* ff = std::memchr(buffer_.data() + at_, 0xFF, have_ - at_)) {
                at_ = static_cast<std::size_t>(static_cast<const unsigned char*>(ff) - buffer_.data());
                return true;
            }
            at_ = have_;
            if (!Refill()) return false;
        }
    }

private:
    bool Refill() {
        start_ += have_;
        at_ = have_ = 0;
        const std::int64_t n = read_(start_, buffer_.data(), buffer_.size());
        if (n <= 0) return false;
        have_ = static_cast<std::size_t>(n);
        return true;
    }

    const ReadAt& read_;
    std::vector<unsigned char> buffer_;
    std::uint64_t start_ = 0;  // the file offset of buffer_[0]
    std::size_t at_ = 0, have_ = 0;
};

PictureWalk WalkJpeg(Bytes& in, int* orientationOut) {
    int scans = 0;
    bool exifSeen = false;
    for (;;) {
        if (!in.ToNextFF()) return PictureWalk::CutShort;
        int c;
        do c = in.Next();
        while (c == 0xFF);
        if (c < 0) return PictureWalk::CutShort;
        if (c == 0xD9) return PictureWalk::Whole;
        // A stuffed zero in entropy-coded data, a restart marker, the start of the image:
        // no length follows.
        if (c == 0x00 || c == 0x01 || (c >= 0xD0 && c <= 0xD8)) continue;
        const int high = in.Next(), low = in.Next();
        if (low < 0) return PictureWalk::CutShort;
        const int length = high << 8 | low;
        if (length < 2) return PictureWalk::NotFollowed;
        if (c == 0xDA && ++scans > kMaxJpegScans) return PictureWalk::TooManyScans;
        if (c == 0xE1 && orientationOut && !exifSeen) {
            // An APP1 segment: the Exif block, when it starts as one.
            std::vector<std::uint8_t> block;
            block.reserve(static_cast<std::size_t>(length - 2));
            for (int i = 0; i < length - 2; ++i) {
                const int b = in.Next();
                if (b < 0) return PictureWalk::CutShort;
                block.push_back(static_cast<std::uint8_t>(b));
            }
            if (block.size() >= 6 && std::memcmp(block.data(), "Exif\0", 6) == 0) {
                exifSeen = true;
                *orientationOut = ExifOrientation(block.data(), block.size());
            }
            continue;
        }
        in.Skip(static_cast<std::uint64_t>(length - 2));
    }
}

PictureWalk WalkGif(Bytes& in) {
    // The logical screen descriptor's flags: its colour table.
    unsigned char screen[7];
    for (unsigned char& b : screen) {
        const int c = in.Next();
        if (c < 0) return PictureWalk::CutShort;
        b = static_cast<unsigned char>(c);
    }
    auto table = [](int flags) { return flags & 0x80 ? std::uint64_t{3} << ((flags & 7) + 1) : 0; };
    in.Skip(table(screen[4]));
    // Data sub-blocks up to the empty one; false when the file ends first.
    auto blocks = [&in] {
        for (;;) {
            const int length = in.Next();
            if (length < 0) return false;
            if (length == 0) return true;
            in.Skip(static_cast<std::uint64_t>(length));
        }
    };
    for (;;) {
        const int introducer = in.Next();
        if (introducer == 0x21) {
            if (in.Next() < 0 || !blocks()) return PictureWalk::CutShort;
        } else if (introducer == 0x2C) {
            // Position and size, then the flags that tell of a local colour table.
            for (int i = 0; i < 8; ++i) in.Next();
            const int flags = in.Next();
            if (flags < 0) return PictureWalk::CutShort;
            in.Skip(table(flags));
            if (in.Next() < 0) return PictureWalk::CutShort;  // the code size
            return blocks() ? PictureWalk::Whole : PictureWalk::CutShort;
        } else if (introducer < 0) {
            return PictureWalk::CutShort;
        } else {
            return PictureWalk::NotFollowed;
        }
    }
}

// A bitmap's 8- or 4-bit runs up to the end-of-picture mark, or until every row has
// ended; a decoder shows rows the file never reached as black.
PictureWalk WalkRunLengths(Bytes& in, std::uint64_t rows, std::uint32_t bits) {
    std::uint64_t row = 0;
    while (row < rows) {
        const int count = in.Next(), code = in.Next();
        if (code < 0) return PictureWalk::CutShort;
        if (count > 0) continue;  // a run of one value
        if (code == 0) {
            ++row;
        } else if (code == 1) {
            return PictureWalk::Whole;
        } else if (code == 2) {
            if (in.Next() < 0) return PictureWalk::CutShort;
            const int down = in.Next();
            if (down < 0) return PictureWalk::CutShort;
            row += static_cast<std::uint64_t>(down);
        } else {
            // That many pixels stored as they are, padded to a whole 16-bit word.
            const std::uint64_t bytes = bits == 8 ? static_cast<std::uint64_t>(code) : (code + 1) / 2;
            in.Skip(bytes + (bytes & 1) - 1);
            if (in.Next() < 0) return PictureWalk::CutShort;
        }
    }
    return PictureWalk::Whole;
}

PictureWalk WalkBmp(Bytes& in, std::uint64_t fileSize) {
    unsigned char h[36];  // after "BM": the file header's rest and the info header up to its image size
    for (unsigned char& b : h) {
        const int c = in.Next();
        if (c < 0) return PictureWalk::CutShort;
        b = static_cast<unsigned char>(c);
    }
    auto le = [&h](int at, int bytes) {
        std::uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i) v = v << 8 | h[at - 2 + i];
        return v;
    };
    if (le(14, 4) < 40) return PictureWalk::NotFollowed;
    const auto width = static_cast<std::int32_t>(le(18, 4));
    const auto height = static_cast<std::int32_t>(le(22, 4));
    const std::uint32_t bits = le(28, 2), compression = le(30, 4);
    if (width <= 0 || height == 0 || height == INT32_MIN || bits == 0 || bits > 32)
        return PictureWalk::NotFollowed;
    const std::uint64_t rows =
        static_cast<std::uint64_t>(height < 0 ? -static_cast<std::int64_t>(height) : height);
    if (compression == 1 || compression == 2) {
        // Run-length data: the header's length for them may be zero or wrong, so the runs
        // themselves are followed from where the pixel data begin.
        const std::uint32_t offset = le(10, 4);
        if (offset < 2 + sizeof h || (compression == 1) != (bits == 8) || (compression == 2) != (bits == 4))
            return PictureWalk::NotFollowed;
        in.Skip(offset - (2 + sizeof h));
        return WalkRunLengths(in, rows, bits);
    }
    if (compression != 0 && compression != 3) return PictureWalk::NotFollowed;
    const std::uint64_t data = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4 * rows;
    return fileSize >= std::uint64_t{le(10, 4)} + data ? PictureWalk::Whole : PictureWalk::CutShort;
}

}  // namespace

PictureWalk WalkPicture(const ReadAt& read, std::uint64_t fileSize, int* orientationOut) {
    if (orientationOut) *orientationOut = 1;
    Bytes in(read);
    const int a = in.Next(), b = in.Next();
    if (a == 0xFF && b == 0xD8) return WalkJpeg(in, orientationOut);
    if (a == 'B' && b == 'M') return WalkBmp(in, fileSize);
    if (a == 'G' && b == 'I') {
        if (in.Next() != 'F' || in.Next() != '8') return PictureWalk::NotFollowed;
        in.Skip(2);  // "7a" or "9a"
        return WalkGif(in);
    }
    return PictureWalk::NotFollowed;
}

}  // namespace vexal
