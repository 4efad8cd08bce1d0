#pragma once
// Fixed-capacity arrays that cost nothing until touched: one anonymous
// mapping, zero-filled by the system page by page on first use. The signal
// store and the duplex session keep their large buffers this way, so the
// program starts small despite capacities of hundreds of megabytes.

#include <cstddef>
#include <new>
#include <sys/mman.h>

namespace base {

// `rows` rows of `perRow` elements of T (a trivially constructible type,
// zero bytes meaning zero); row r is (*this)[r], a T*.
template <typename T> class ZeroPages {
  public:
    ZeroPages(std::size_t rows, std::size_t perRow)
        : perRow_(perRow), bytes_(rows * perRow * sizeof(T)) {
        // Nothing is written here: the pages stay unmapped until used.
        void* p = ::mmap(nullptr, bytes_, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
        data_ = static_cast<T*>(p);
    }
    ~ZeroPages() { ::munmap(data_, bytes_); }
    ZeroPages(const ZeroPages&) = delete;
    ZeroPages& operator=(const ZeroPages&) = delete;

    T* operator[](std::size_t r) { return data_ + r * perRow_; }
    const T* operator[](std::size_t r) const { return data_ + r * perRow_; }
    T* data(std::size_t r) { return (*this)[r]; }
    const T* data(std::size_t r) const { return (*this)[r]; }
    std::size_t perRow() const { return perRow_; }

  private:
    T* data_;
    std::size_t perRow_;
    std::size_t bytes_;
};

} // namespace base
