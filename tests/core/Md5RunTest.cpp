// The frames' MD5 taken beside other loops, in pieces of any size on any
// thread, is the MD5 of the frames in order.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "Checksum.h"
#include "FrameMd5.h"

namespace {

using Digest = std::array<uint8_t, 16>;

// A loop of n iterations taking steps of this thread's lender's runs, as
// the decoder's loops do.
void loop_beside(int n)
{
    monkeys::core::Md5Lender* lender = monkeys::core::md5_lender();
    if (!lender)
        return;
    monkeys::core::Md5Stepper steps(*lender, lender->lend());
    for (int i = 0; i < n; ++i)
        steps.step();
}

struct Frames {
    std::vector<std::vector<uint8_t>> data;
    Digest whole;
    explicit Frames(unsigned seed)
    {
        std::mt19937 rng(seed);
        monkeys::Md5 md5;
        for (int k = 0; k < 40; ++k) {
            // sizes off the block size, an empty frame among them
            std::vector<uint8_t> d(k == 7 ? 0 : rng() % 6000);
            for (uint8_t& b : d)
                b = uint8_t(rng());
            md5.update(d.data(), d.size());
            data.push_back(std::move(d));
        }
        whole = md5.finish();
    }
    monkeys::FrameMd5 hasher()
    {
        return monkeys::FrameMd5(
            data.size(), [this](uint64_t k) { return data[k].data(); }, [this](uint64_t k) { return data[k].size(); });
    }
};

} // namespace

// On one thread, each frame's loop beside takes on the one before it
// (whatever is left goes at the emits), loops long enough to ask again
// included.
TEST(FrameMd5, OneThreadHashesTheFramesInOrder)
{
    for (unsigned seed : {1u, 2u, 3u}) {
        Frames f(seed);
        monkeys::FrameMd5 md5 = f.hasher();
        std::mt19937 rng(seed);
        for (uint64_t k = 0; k < f.data.size(); ++k) {
            {
                monkeys::FrameMd5::Beside beside(md5, k);
                loop_beside(int(rng() % 3000));
            }
            md5.decoded(k);
            if (k >= 1)
                md5.through(k);
        }
        EXPECT_EQ(md5.finish(f.data.size()), f.whole) << "seed " << seed;
    }
}

// Frames decoded out of order on three threads, each loop beside taking
// whatever is next, idle threads and the emits in order taking the rest.
TEST(FrameMd5, ThreadsHashTheFramesInOrder)
{
    for (unsigned seed : {4u, 5u, 6u}) {
        Frames f(seed);
        monkeys::FrameMd5 md5 = f.hasher();
        std::atomic<uint64_t> next{0};
        std::vector<std::atomic<bool>> done(f.data.size());
        auto worker = [&](unsigned s) {
            std::mt19937 rng(s);
            for (uint64_t k; (k = next++) < f.data.size();) {
                {
                    monkeys::FrameMd5::Beside beside(md5, k);
                    loop_beside(int(rng() % 2000));
                }
                md5.decoded(k);
                done[k] = true;
                if (rng() % 2)
                    md5.spare();
            }
        };
        std::vector<std::thread> threads;
        for (unsigned t = 0; t < 3; ++t)
            threads.emplace_back(worker, seed * 10 + t);
        for (uint64_t k = 0; k < f.data.size(); ++k) {
            while (!done[k])
                std::this_thread::yield();
            if (k >= 2)
                md5.through(k - 1);
        }
        for (std::thread& t : threads)
            t.join();
        EXPECT_EQ(md5.finish(f.data.size()), f.whole) << "seed " << seed;
    }
}
