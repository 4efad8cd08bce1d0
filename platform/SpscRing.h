#pragma once
// Single-producer single-consumer byte ring. The producer and the consumer
// may be different threads; neither side locks or allocates after
// construction. Only one thread may write at a time and only one may read at a
// time (a consumer side shared between threads must be serialised by the
// caller).

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <vector>

namespace platform {

class SpscByteRing {
  public:
    explicit SpscByteRing(std::size_t capacity) : buffer_(capacity + 1) {}

    // Producer: stores up to `n` bytes, returns how many fitted.
    std::size_t write(const void* data, std::size_t n) {
        const std::size_t size = buffer_.size();
        const std::size_t head = head_.load(std::memory_order_relaxed);
        const std::size_t tail = tail_.load(std::memory_order_acquire);
        const std::size_t free = (tail + size - head - 1) % size;
        n = std::min(n, free);
        const auto* src = static_cast<const char*>(data);
        const std::size_t first = std::min(n, size - head);
        std::memcpy(&buffer_[head], src, first);
        std::memcpy(&buffer_[0], src + first, n - first);
        head_.store((head + n) % size, std::memory_order_release);
        return n;
    }

    // Consumer: bytes ready to read.
    std::size_t available() const {
        const std::size_t size = buffer_.size();
        return (head_.load(std::memory_order_acquire) + size -
                tail_.load(std::memory_order_relaxed)) %
               size;
    }

    // Consumer: copies up to `n` bytes out, returns how many.
    std::size_t read(void* data, std::size_t n) {
        const std::size_t size = buffer_.size();
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        n = std::min(n, available());
        auto* dst = static_cast<char*>(data);
        const std::size_t first = std::min(n, size - tail);
        std::memcpy(dst, &buffer_[tail], first);
        std::memcpy(dst + first, &buffer_[0], n - first);
        tail_.store((tail + n) % size, std::memory_order_release);
        return n;
    }

  private:
    std::vector<char> buffer_;
    std::atomic<std::size_t> head_{0}; // next byte the producer writes
    std::atomic<std::size_t> tail_{0}; // next byte the consumer reads
};

} // namespace platform
