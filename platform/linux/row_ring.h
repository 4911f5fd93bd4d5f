// Blocks of rows handed from one thread to another in order, through a fixed ring of
// buffers: a decoder fills the next empty block while the other thread works on the
// blocks already full, and either side can give up and release the other.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

namespace vexal {

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

}  // namespace vexal
