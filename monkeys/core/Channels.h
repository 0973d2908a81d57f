// Channel decorrelation (private to the coder): wasted low bits shifted
// out, and channel pairs (0,1), (2,3), ... turned mid/side where that
// looks cheaper; the decoder's side puts them back and interleaves.
#pragma once

#include <cstdint>

#include "FrameLayout.h"

namespace monkeys::core {

struct Side {
    int32_t mid, side;
};
inline Side to_mid_side(int32_t l, int32_t r)
{
    const int32_t s = int32_t(uint32_t(l) - uint32_t(r));
    return {int32_t(uint32_t(r) + uint32_t(s >> 1)), s};
}
inline void from_mid_side(int32_t m, int32_t s, int32_t& l, int32_t& r)
{
    r = int32_t(uint32_t(m) - uint32_t(s >> 1));
    l = int32_t(uint32_t(s) + uint32_t(r));
}

// The frame as planes xs (blocks samples per channel), wasted low bits
// shifted out and pairs turned mid/side; h gets those parameters.
template <class Samples>
void split_channels(const FrameFormat& f, const Samples& in, int blocks, int32_t* const* xs, Header& h);

// The inverse, from the planes into out; false when a sample falls
// outside the sample size (damage). The planes may be changed.
template <class Samples>
bool join_channels(const FrameFormat& f, const Header& h, int blocks, int32_t* const* xs, const Samples& out);

} // namespace monkeys::core
