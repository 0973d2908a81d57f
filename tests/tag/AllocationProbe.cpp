// Replaces operator new for the tag tests to record the largest single
// allocation: lying sizes in a tag must be refused before anything is
// allocated for them.
#include <atomic>
#include <cstdlib>
#include <new>

#include "TagTestSupport.h"

namespace {

std::atomic<size_t> gLargest{0};

void* probed_allocation(size_t size) noexcept
{
    size_t seen = gLargest.load();
    while (size > seen && !gLargest.compare_exchange_weak(seen, size)) {
    }
    return std::malloc(size ? size : 1);
}

} // namespace

// Every plain form is replaced, so that no allocation mixes with another
// allocator (the sanitizers have their own).
void* operator new(size_t size)
{
    if (void* p = probed_allocation(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return probed_allocation(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return probed_allocation(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace tagtest {

size_t largest_allocation(bool reset)
{
    return reset ? gLargest.exchange(0) : gLargest.load();
}

} // namespace tagtest
