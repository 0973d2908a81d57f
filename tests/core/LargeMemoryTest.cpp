// The large buffers' memory: every buffer aligned and its own while held,
// from the heap and the shared regions alike, also with threads taking and
// freeing at once; memory freed is taken again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "LargeMemory.h"

using namespace monkeys::core;

namespace {

// Takes buffers of random sizes (a byte to 16 MiB, past a region),
// each filled with its own byte, and frees them in random order; true when
// every one held its bytes to the end.
bool churn(unsigned seed, int rounds)
{
    std::mt19937 rng(seed);
    struct Held {
        uint8_t* p;
        size_t n;
        uint8_t mark;
    };
    std::vector<Held> held;
    bool ok = true;
    for (int r = 0; r < rounds; ++r) {
        const size_t n = size_t(1) << (rng() % 24);
        const size_t bytes = n + rng() % n;
        auto p = static_cast<uint8_t*>(large_allocate(bytes));
        ok &= reinterpret_cast<uintptr_t>(p) % 64 == 0;
        held.push_back({p, bytes, uint8_t(r)});
        std::memset(p, uint8_t(r), bytes);
        if (rng() % 3 == 0 || r + 1 == rounds) {
            std::shuffle(held.begin(), held.end(), rng);
            for (size_t k = held.size() / 2; k < held.size(); ++k) {
                const Held& h = held[k];
                for (size_t i = 0; i < h.n; i += 999)
                    ok &= h.p[i] == h.mark;
                ok &= h.p[h.n - 1] == h.mark;
                large_free(h.p, h.n);
            }
            held.resize(held.size() / 2);
        }
    }
    for (const Held& h : held)
        large_free(h.p, h.n);
    return ok;
}

TEST(LargeMemory, BuffersStayApartAndMemoryReturns)
{
    EXPECT_TRUE(churn(1, 200));
    // what was freed is what the next buffer gets
    void* a = large_allocate(1 << 20);
    large_free(a, 1 << 20);
    void* b = large_allocate(1 << 20);
    if (kLargeMemoryPooled) {
        EXPECT_EQ(a, b);
    }
    large_free(b, 1 << 20);

    bool ok[4];
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t)
        threads.emplace_back([&ok, t] { ok[t] = churn(10 + t, 120); });
    for (std::thread& t : threads)
        t.join();
    EXPECT_TRUE(ok[0] && ok[1] && ok[2] && ok[3]);
}

} // namespace
