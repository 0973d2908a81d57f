// The encoder's search over ways of coding a frame (private to the
// coder): each level codes every frame in the ways of every level up to
// it and keeps the smallest result, so a higher level never gives a
// larger frame than a lower one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "FrameLayout.h"
#include "LargeMemory.h"

namespace monkeys::core {

// A frame coded one way: its parameters, its residuals (channel after
// channel), its size and, once written, its bytes.
struct Coded {
    Header h;
    SampleBuffer planes;
    size_t size = 0;
    Bytes bytes;  // empty until written
};

// Codes the frame (blocks > 0) in each way of the level and keeps the
// smallest; ties go to the lower way. Returns the winner, its bytes
// written (per-thread memory, valid until the thread's next frame).
template <class Samples>
const Coded& encode_predicted(const FrameFormat& f, const Samples& in, int blocks);

} // namespace monkeys::core
