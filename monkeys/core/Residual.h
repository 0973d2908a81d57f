// Prediction residuals: their zigzag form, and what coding them costs
// (for the encoder's choices).
#pragma once

#include <cstddef>
#include <cstdint>

namespace monkeys::core {

inline uint32_t zigzag(int32_t v) { return (uint32_t(v) << 1) ^ uint32_t(v >> 31); }
inline int32_t unzigzag(uint32_t u) { return int32_t(u >> 1) ^ -int32_t(u & 1); }

// The sum of the magnitudes of a channel's values, and what coding them
// costs in the entropy coders' terms: about the sum of their bit lengths
// (adaptive Golomb codes spend about log2 of the local mean a value).
struct Magnitude {
    uint64_t sum = 0;
    uint64_t bits = 0;
};
Magnitude magnitude(const int32_t* x, int n);

} // namespace monkeys::core
