// Memory for the buffers of a frame's size and more: coded frames, channel
// samples, the entropy coder's tables. Where the system maps memory in
// 2 MiB pages on request, these buffers share such pages: each fresh 4 KiB
// page costs a fault, and on some virtual machines the fault costs more
// than decoding the samples that fill the page. Freed memory stays mapped
// for the next buffer (one empty region is kept), so a second file in the
// same process touches no fresh memory for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace monkeys::core {

// Whether large buffers come from the shared regions: not under the
// sanitizers, which watch heap blocks only.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kLargeMemoryPooled = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool kLargeMemoryPooled = false;
#else
constexpr bool kLargeMemoryPooled = true;
#endif
#else
constexpr bool kLargeMemoryPooled = true;
#endif

// 64-byte aligned; throws std::bad_alloc. Smaller requests go to the heap.
void* large_allocate(size_t bytes);
// p from large_allocate(bytes), with the same bytes.
void large_free(void* p, size_t bytes) noexcept;

template <class T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) noexcept
    {
    }
    T* allocate(size_t n) { return static_cast<T*>(large_allocate(n * sizeof(T))); }
    void deallocate(T* p, size_t n) noexcept { large_free(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const LargeAllocator<U>&) const noexcept
    {
        return true;
    }
};

template <class T>
using LargeVector = std::vector<T, LargeAllocator<T>>;
// The coder's buffers: coded bytes, and samples (channel planes, residuals).
using Bytes = LargeVector<uint8_t>;
using SampleBuffer = LargeVector<int32_t>;

// An array of n trivially constructible T, left uninitialised.
template <class T>
class LargeArray {
public:
    LargeArray() = default;
    explicit LargeArray(size_t n) : p_(static_cast<T*>(large_allocate(n * sizeof(T)))), n_(n) {}
    LargeArray(LargeArray&& o) noexcept : p_(o.p_), n_(o.n_) { o.p_ = nullptr, o.n_ = 0; }
    LargeArray& operator=(LargeArray&& o) noexcept
    {
        std::swap(p_, o.p_), std::swap(n_, o.n_);
        return *this;
    }
    ~LargeArray()
    {
        if (p_)
            large_free(p_, n_ * sizeof(T));
    }
    T* get() const { return p_; }
    T& operator[](size_t i) const { return p_[i]; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
    size_t n_ = 0;
};

} // namespace monkeys::core
