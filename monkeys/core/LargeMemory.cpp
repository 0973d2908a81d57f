#include "LargeMemory.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <new>

namespace monkeys::core {

namespace {

constexpr size_t kAlign = 64;
constexpr size_t kHugePage = size_t(2) << 20;
// Below this a buffer takes few pages, and the heap may have them already.
constexpr size_t kLargeFrom = size_t(64) << 10;
// A region holds the buffers of a few frames; untouched pages cost nothing.
constexpr size_t kRegionBytes = size_t(8) << 20;

struct Range {
    size_t at, bytes;
};

struct Region {
    uint8_t* base;
    size_t bytes;
    std::vector<Range> free;  // by address, never adjacent
    bool empty() const { return free.size() == 1 && free[0].bytes == bytes; }
};

size_t round_up(size_t n, size_t to) { return (n + to - 1) / to * to; }

// Maps bytes (a multiple of kHugePage) on a kHugePage boundary.
uint8_t* map_region(size_t bytes)
{
    const size_t mapped = bytes + kHugePage;
    void* p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return nullptr;
    uint8_t* raw = static_cast<uint8_t*>(p);
    uint8_t* base = reinterpret_cast<uint8_t*>(round_up(reinterpret_cast<uintptr_t>(raw), kHugePage));
    if (base > raw)
        munmap(raw, size_t(base - raw));
    if (raw + mapped > base + bytes)
        munmap(base + bytes, size_t(raw + mapped - (base + bytes)));
    // only a request: without such pages the region works the same
    madvise(base, bytes, MADV_HUGEPAGE);
    return base;
}

class Pool {
public:
    void* take(size_t bytes)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Region& r : regions_)
            if (void* p = carve(r, bytes))
                return p;
        const size_t size = std::max(kRegionBytes, round_up(bytes, kHugePage));
        uint8_t* base = map_region(size);
        if (!base)
            return nullptr;
        try {
            regions_.push_back(Region{base, size, {Range{0, size}}});
        } catch (const std::bad_alloc&) {
            munmap(base, size);
            return nullptr;
        }
        return carve(regions_.back(), bytes);
    }

    void give(void* p, size_t bytes)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto at = static_cast<uint8_t*>(p);
        auto r = std::find_if(regions_.begin(), regions_.end(),
                              [&](const Region& x) { return at >= x.base && at < x.base + x.bytes; });
        if (r == regions_.end())
            return;
        const size_t off = size_t(at - r->base);
        auto& free = r->free;
        auto next = std::lower_bound(free.begin(), free.end(), off, [](const Range& x, size_t o) { return x.at < o; });
        try {
            next = free.insert(next, Range{off, bytes});
        } catch (const std::bad_alloc&) {
            return;  // the range stays taken: better than failing a free
        }
        if (next + 1 != free.end() && next->at + next->bytes == (next + 1)->at) {
            next->bytes += (next + 1)->bytes;
            free.erase(next + 1);
        }
        if (next != free.begin() && (next - 1)->at + (next - 1)->bytes == next->at) {
            (next - 1)->bytes += next->bytes;
            free.erase(next);
        }
        // one empty region stays for the next file; more would only hold memory
        if (r->empty() && std::count_if(regions_.begin(), regions_.end(), [](const Region& x) { return x.empty(); }) > 1) {
            munmap(r->base, r->bytes);
            regions_.erase(r);
        }
    }

private:
    // First fit, from the region's start: buffers in use share few pages.
    static void* carve(Region& r, size_t bytes)
    {
        for (auto f = r.free.begin(); f != r.free.end(); ++f) {
            if (f->bytes < bytes)
                continue;
            void* p = r.base + f->at;
            f->at += bytes;
            f->bytes -= bytes;
            if (f->bytes == 0)
                r.free.erase(f);
            return p;
        }
        return nullptr;
    }

    std::mutex mutex_;
    std::vector<Region> regions_;
};

// Never destroyed: threads may free their buffers after static destructors ran.
Pool& pool()
{
    static Pool* p = new Pool;
    return *p;
}

bool from_heap(size_t bytes) { return !kLargeMemoryPooled || bytes < kLargeFrom; }

} // namespace

void* large_allocate(size_t bytes)
{
    if (from_heap(bytes))
        return ::operator new(std::max<size_t>(bytes, 1), std::align_val_t(kAlign));
    void* p = pool().take(round_up(bytes, kAlign));
    if (!p)
        throw std::bad_alloc();
    return p;
}

void large_free(void* p, size_t bytes) noexcept
{
    if (!p)
        return;
    if (from_heap(bytes))
        ::operator delete(p, std::align_val_t(kAlign));
    else
        pool().give(p, round_up(bytes, kAlign));
}

} // namespace monkeys::core
