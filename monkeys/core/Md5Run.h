// MD5 over whole blocks, taken eight steps at a time beside a loop whose
// own chain leaves the integer units idle. The decoder's prediction loop
// runs in vector registers, and MD5's chain in scalar ones: the hash of
// one frame's WAVE data costs little beside the next frame's decoding,
// where it costs a quarter of the decoding on its own.
#pragma once

#include <cstdint>
#include <cstring>

#include "Md5Steps.h"

namespace monkeys::core {

// Whole blocks to hash, from next on; a block left half done goes again
// from its start.
struct Md5Run {
    uint32_t state[4];    // before the block at next
    const uint8_t* next;
    const uint8_t* end;   // past the last block
};

// Hands out a run for a loop on this thread to take steps of, if there
// is one now (null otherwise), and takes it back after the loop.
class Md5Lender {
public:
    virtual Md5Run* lend() = 0;
    virtual void back(Md5Run& run) = 0;

protected:
    ~Md5Lender() = default;
};

// This thread's lender (none when null), set by its owner for the length
// of a call.
inline Md5Lender*& md5_lender()
{
    thread_local Md5Lender* lender = nullptr;
    return lender;
}

// A run of this thread's lender, if it has a lender and a run now.
inline Md5Run* md5_lend()
{
    Md5Lender* lender = md5_lender();
    return lender ? lender->lend() : nullptr;
}

// The lender's runs in registers for the length of a loop: step() once an
// iteration; the run goes back when the stepper goes. A loop whose run is
// done (or that found none) asks again now and then: another thread's
// loop may have handed back the hash, or a frame may have been decoded.
class Md5Stepper {
public:
    // From a run the lender lent already (or none).
    Md5Stepper(Md5Lender& lender, Md5Run* run) : lender_(lender) { load(run); }
    ~Md5Stepper() { finish(); }
    Md5Stepper(const Md5Stepper&) = delete;
    Md5Stepper& operator=(const Md5Stepper&) = delete;

    __attribute__((always_inline)) inline void step()
    {
        if (p_ == end_) {
            if ((++idle_ & kAskEvery) == 0)
                refill();
            return;
        }
#define MD5_STEP(r, a, b, c, d, g, k, s) MD5_SCALAR_STEP(r, a, b, c, d, word(g), k, s)
        switch (eighths_) {
        case 0: MD5_STEPS_0(MD5_STEP) break;
        case 1: MD5_STEPS_1(MD5_STEP) break;
        case 2: MD5_STEPS_2(MD5_STEP) break;
        case 3: MD5_STEPS_3(MD5_STEP) break;
        case 4: MD5_STEPS_4(MD5_STEP) break;
        case 5: MD5_STEPS_5(MD5_STEP) break;
        case 6: MD5_STEPS_6(MD5_STEP) break;
        default:
            MD5_STEPS_7(MD5_STEP)
            a = s0_ += a;
            b = s1_ += b;
            c = s2_ += c;
            d = s3_ += d;
            p_ += 64;
            eighths_ = 0;
            return;
        }
#undef MD5_STEP
        ++eighths_;
    }

private:
    void load(Md5Run* run)
    {
        run_ = run;
        if (!run) {
            p_ = end_ = nullptr;
            return;
        }
        p_ = run->next, end_ = run->end;
        a = s0_ = run->state[0], b = s1_ = run->state[1], c = s2_ = run->state[2], d = s3_ = run->state[3];
        eighths_ = 0;
    }
    // Hands the run back, its whole blocks done.
    void finish()
    {
        if (!run_)
            return;
        run_->next = p_;
        run_->state[0] = s0_, run_->state[1] = s1_, run_->state[2] = s2_, run_->state[3] = s3_;
        lender_.back(*run_);
        run_ = nullptr;
    }
    __attribute__((noinline)) void refill()
    {
        finish();
        load(lender_.lend());
    }
    // little-endian message words (x86)
    __attribute__((always_inline)) uint32_t word(int g) const
    {
        uint32_t w;
        std::memcpy(&w, p_ + 4 * g, 4);
#if __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
        w = __builtin_bswap32(w);
#endif
        return w;
    }

    // iterations, less one, between a runless loop's questions (a lender
    // answers most of them without a lock)
    static constexpr unsigned kAskEvery = 255;
    Md5Lender& lender_;
    Md5Run* run_ = nullptr;
    const uint8_t* p_ = nullptr;
    const uint8_t* end_ = nullptr;
    uint32_t a = 0, b = 0, c = 0, d = 0;
    uint32_t s0_ = 0, s1_ = 0, s2_ = 0, s3_ = 0;
    int eighths_ = 0;
    unsigned idle_ = 0;
};

// What a loop runs beside its own work, once an iteration: nothing, or
// eight steps of a lender's runs.
struct NoSide {
    __attribute__((always_inline)) void operator()() const {}
};
struct Md5Side {
    Md5Stepper& steps;
    __attribute__((always_inline)) void operator()() const { steps.step(); }
};

} // namespace monkeys::core
