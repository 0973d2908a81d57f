// Fixed linear prediction per frame: the encoder fits the coefficients to
// the frame and sends them; the decoder only runs the filter. Sums are
// exact in 64 bits; the output is taken modulo 2^32.
#pragma once

#include <cstdint>

namespace monkeys::core {

constexpr int kMaxLpcOrder = 32;

struct LpcCoefs {
    int order = 0;  // 0: no prediction
    int shift = 0;  // coefficients are fixed point with this many fraction bits
    int16_t c[kMaxLpcOrder] = {};
};

// Fits at most maxOrder coefficients to x (the order may come out lower).
LpcCoefs lpc_fit(const int32_t* x, int n, int maxOrder);
void lpc_encode(int32_t* x, int n, const LpcCoefs& k);
void lpc_decode(int32_t* x, int n, const LpcCoefs& k);
// The same on several channels at once (faster).
void lpc_decode(int32_t* const* xs, const LpcCoefs* ks, int count, int n);

} // namespace monkeys::core
