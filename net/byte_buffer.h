// A growable byte array for response bodies that may run to hundreds of megabytes.
// It grows with realloc, which large allocators can satisfy by remapping pages instead of
// copying, so growing never holds the old and the new block at once; and it reports an
// allocation failure instead of throwing, so a server cannot crash the program.
#pragma once

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace vexal {

class ByteBuffer {
public:
    ByteBuffer() = default;
    ~ByteBuffer() { std::free(data_); }
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    const char* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::string_view view() const { return std::string_view(data_, size_); }

    // Empties the buffer but keeps its memory for the next contents.
    void Clear() { size_ = 0; }

    // Empties the buffer and gives its memory back.
    void Release() {
        std::free(data_);
        data_ = nullptr;
        size_ = capacity_ = 0;
    }

    // False, with the contents unchanged, when memory runs out.
    bool Append(std::string_view bytes) {
        if (bytes.empty()) return true;
        if (bytes.size() > capacity_ - size_ && !Grow(size_ + bytes.size())) return false;
        std::memcpy(data_ + size_, bytes.data(), bytes.size());
        size_ += bytes.size();
        return true;
    }

    // Keeps only the first `count` bytes.
    void Truncate(std::size_t count) {
        if (count < size_) size_ = count;
    }

    // Drops the first `count` bytes.
    void EraseFront(std::size_t count) {
        if (count >= size_) {
            size_ = 0;
            return;
        }
        std::memmove(data_, data_ + count, size_ - count);
        size_ -= count;
    }

private:
    bool Grow(std::size_t needed) {
        if (needed < size_) return false;  // overflow
        std::size_t capacity = capacity_ < kMinCapacity ? kMinCapacity : capacity_;
        while (capacity < needed) {
            if (capacity > static_cast<std::size_t>(-1) / 2) {
                capacity = needed;
                break;
            }
            capacity *= 2;
        }
        void* grown = std::realloc(data_, capacity);
        if (!grown) return false;
        data_ = static_cast<char*>(grown);
        capacity_ = capacity;
        return true;
    }

    static constexpr std::size_t kMinCapacity = 64 * 1024;
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace vexal
