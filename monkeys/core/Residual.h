// Entropy coding of prediction residuals.
#pragma once

#include <cstddef>
#include <cstdint>

#include "BitIO.h"
#include "RangeCoder.h"

namespace monkeys::core {

inline uint32_t zigzag(int32_t v) { return (uint32_t(v) << 1) ^ uint32_t(v >> 31); }
inline int32_t unzigzag(uint32_t u) { return int32_t(u >> 1) ^ -int32_t(u & 1); }

// Adaptive Rice code: the parameter follows a running mean of the values.
void rice_encode(CodeWriter& w, const int32_t* x, int n);
// Two channels into streams of their own, in step.
void rice_encode2(CodeWriter& w0, const int32_t* x0, CodeWriter& w1, const int32_t* x1, int n);
// The bits rice_encode writes for x, without writing them.
uint64_t rice_bits(const int32_t* x, int n);
void rice_decode(BitReader& br, int32_t* x, int n);
// Two channels, each from a stream of its own, in step: their decoding
// chains overlap.
void rice_decode2(BitReader& b0, int32_t* x0, BitReader& b1, int32_t* x1, int n);
// The same decoding compared with x: true when every value equals.
bool rice_matches(BitReader& br, const int32_t* x, int n);
bool rice_matches2(BitReader& b0, const int32_t* x0, BitReader& b1, const int32_t* x1, int n);

// The sum of the magnitudes of a channel's values, and what coding them
// costs in the entropy coders' terms: about the sum of their bit lengths
// (adaptive Golomb codes spend about log2 of the local mean a value).
struct Magnitude {
    uint64_t sum = 0;
    uint64_t bits = 0;
};
Magnitude magnitude(const int32_t* x, int n);

// Adaptive Golomb code whose quotient and first remainder bit go through
// the range coder with contexts; the other remainder bits go raw to bw.
void range_encode(RangeEncoder& rc, BitWriter& bw, const int32_t* x, int n);
// False when an escape is malformed.
bool range_decode(RangeDecoder& rc, BitReader& br, int32_t* x, int n);

} // namespace monkeys::core
