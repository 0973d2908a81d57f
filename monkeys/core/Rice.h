// Entropy coding of residuals with adaptive Rice codes.
#pragma once

#include <cstdint>

#include "BitIO.h"
#include "Residual.h"

namespace monkeys::core {

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

} // namespace monkeys::core
