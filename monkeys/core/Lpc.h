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

constexpr int kShortOrder = 8;

// Orders up to kShortOrder decode with this, the last eight samples in
// registers: a vector load of samples just stored waits for the store,
// which made the decoder's dependency chain several times longer than its
// arithmetic. The newest
// sample is added last, so the chain from one output to the next is one
// multiply and three adds. Zero taps pad an order below eight.
struct LpcShortDecoder {
    int64_t c[8] = {};
    int shift = 0;
    int64_t h[8] = {};  // h[j] = x[i-1-j]

    LpcShortDecoder() = default;
    // x: the first eight samples, decoded
    LpcShortDecoder(const LpcCoefs& k, const int32_t* x)
    {
        for (int j = 0; j < 8; ++j) {
            c[j] = j < k.order ? k.c[j] : 0;
            h[j] = x[7 - j];
        }
        shift = k.shift;
    }
    inline int32_t next(int32_t residual)
    {
        int64_t old = c[1] * h[1] + c[2] * h[2] + c[3] * h[3] + c[4] * h[4] + c[5] * h[5] + c[6] * h[6] +
                      c[7] * h[7];
        int64_t acc = old + c[0] * h[0];
        int32_t v = int32_t(uint32_t(residual) + uint32_t(uint64_t(acc >> shift)));
        for (int j = 7; j > 0; --j)
            h[j] = h[j - 1];
        h[0] = v;
        return v;
    }
};
// Orders the register-resident decoder handles.
inline bool lpc_is_short(const LpcCoefs& k) { return k.order > 0 && k.order <= kShortOrder; }

// Fits at most maxOrder coefficients to x (the order may come out lower,
// where more coefficients would not pay for themselves).
LpcCoefs lpc_fit(const int32_t* x, int n, int maxOrder);
// The same for count (at most 8) limits at once, into out[0 .. count).
void lpc_fit(const int32_t* x, int n, const int* maxOrders, int count, LpcCoefs* out);
void lpc_encode(int32_t* x, int n, const LpcCoefs& k);
void lpc_decode(int32_t* x, int n, const LpcCoefs& k);
// The same on several channels at once (faster).
void lpc_decode(int32_t* const* xs, const LpcCoefs* ks, int count, int n);

// A frame's fixed predictor in parts: part j of `parts` covers samples
// [j * (n / parts), (j + 1) * (n / parts)), the last one reaching to n,
// and has coefficients of its own. Each sample is predicted from the
// samples before it in the frame (those of earlier parts too), with the
// taps whose lags reach before the frame's start left out.
constexpr int kMaxLpcParts = 16;
inline int part_start(int j, int n, int parts) { return j == parts ? n : j * (n / parts); }
// ks[j]: part j's coefficients
void lpc_encode_parts(int32_t* x, int n, const LpcCoefs* ks, int parts);
// ks[c][j]: channel c's coefficients of part j
void lpc_decode_parts(int32_t* const* xs, const LpcCoefs* const* ks, int count, int n, int parts);

} // namespace monkeys::core
