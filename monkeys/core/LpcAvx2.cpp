// The fixed predictor's stages in AVX2: the same results as the portable
// code in Lpc.cpp for every input (exact integer sums).
#include <immintrin.h>

#include <algorithm>

#include "Kernels.h"
#include "LpcPair.h"

namespace monkeys::core {

namespace {

// Lags base .. base+4A-1 in one pass over the frame, four to a register:
// lane j of acc[a] sums y[i] * y[i - (base + 4a + 3 - j)], which reaches
// base + 4A - 1 entries before y[0] (the lanes beyond lags are dropped).
template <int A>
__attribute__((target("avx2"))) void lag_pass(const int64_t* y, int n, int base, int lags, int64_t* r)
{
    __m256i acc[A];
    for (int a = 0; a < A; ++a)
        acc[a] = _mm256_setzero_si256();
    for (int i = 0; i < n; ++i) {
        const __m256i b = _mm256_set1_epi64x(y[i]);
        for (int a = 0; a < A; ++a)
            acc[a] = _mm256_add_epi64(
                acc[a], _mm256_mul_epi32(b, _mm256_loadu_si256((const __m256i*)(y + i - base - 4 * a - 3))));
    }
    alignas(32) int64_t sums[4 * A];
    for (int a = 0; a < A; ++a)
        _mm256_store_si256((__m256i*)(sums + 4 * a), acc[a]);
    for (int j = 0; j < 4 * A && base + j < lags; ++j)
        r[base + j] += sums[4 * (j / 4) + 3 - j % 4];
}

// One prediction from the p samples at past (exact in 64 bits).
__attribute__((target("avx2"))) inline int64_t dot(const int32_t* past, const int64_t* rev, int p)
{
    __m256i acc = _mm256_setzero_si256();
    int j = 0;
    for (; j + 4 <= p; j += 4) {
        __m256i xv = _mm256_cvtepi32_epi64(_mm_loadu_si128((const __m128i*)(past + j)));
        acc = _mm256_add_epi64(acc, _mm256_mul_epi32(xv, _mm256_loadu_si256((const __m256i*)(rev + j))));
    }
    __m128i s = _mm_add_epi64(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
    int64_t sum = _mm_cvtsi128_si64(s) + _mm_extract_epi64(s, 1);
    for (; j < p; ++j)
        sum += rev[j] * int64_t(past[j]);
    return sum;
}

inline int32_t shifted(int64_t acc, int shift) { return int32_t(uint32_t(uint64_t(acc >> shift))); }

// The coefficients of lags 1 to 8 from the reversed ones (rev[p - k] is
// the coefficient of lag k).
inline NearCoefs near_of(const int64_t* rev, int p, int shift)
{
    NearCoefs k;
    for (int t = 0; t < kShortOrder && t < p; ++t)
        k.c[t] = rev[p - 1 - t];
    k.shift = shift;
    return k;
}

} // namespace

__attribute__((target("avx2"))) void avx2::window(const int32_t* x, const int32_t* w, int n, int scale, int64_t* y)
{
    const __m128i right = _mm_cvtsi32_si128(scale), left = _mm_cvtsi32_si128(64 - scale);
    const __m256i zero = _mm256_setzero_si256();
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m256i p = _mm256_mul_epi32(_mm256_cvtepi32_epi64(_mm_loadu_si128((const __m128i*)(x + i))),
                                           _mm256_cvtepi32_epi64(_mm_loadu_si128((const __m128i*)(w + i))));
        // the arithmetic shift: the logical one with the sign's bits on top
        const __m256i shifted = _mm256_or_si256(_mm256_srl_epi64(p, right),
                                                _mm256_sll_epi64(_mm256_cmpgt_epi64(zero, p), left));
        _mm256_storeu_si256((__m256i*)(y + i), shifted);
    }
    for (; i < n; ++i)
        y[i] = (int64_t(x[i]) * w[i]) >> scale;
}

void avx2::autocorrelation(const int64_t* y, int n, int lags, int64_t* r)
{
    // the last pass starts at 24 at most and reaches 24 + 11 entries back
    static_assert(24 + 11 <= kAutocorrelationPad && kMaxLpcOrder + 1 <= 36, "");
    for (int base = 0; base < lags; base += 12) {
        const int left = lags - base;
        if (left > 8)
            lag_pass<3>(y, n, base, lags, r);
        else if (left > 4)
            lag_pass<2>(y, n, base, lags, r);
        else
            lag_pass<1>(y, n, base, lags, r);
    }
}

// The encoder knows every input, so it forms eight predictions at once
// without horizontal sums: one load of eight inputs a tap, its even
// lanes multiplied in place and its odd ones shifted down onto them, each
// into its own 64-bit sums. The low 32 bits of the arithmetic shift are
// those of the logical one (shift <= 15).
__attribute__((target("avx2"))) void avx2::lpc_residual(int32_t* x, int n, const int64_t* rev, int p, int shift)
{
    const __m128i sh = _mm_cvtsi32_si128(shift);
    int i = n - 8;
    // blocks from the top down: a block reads only samples below its last
    for (; i >= p; i -= 8) {
        __m256i even = _mm256_setzero_si256(), odd = _mm256_setzero_si256();
        for (int j = 0; j < p; ++j) {
            const __m256i xv = _mm256_loadu_si256((const __m256i*)(x + i - p + j));
            const __m256i c = _mm256_set1_epi64x(rev[j]);
            even = _mm256_add_epi64(even, _mm256_mul_epi32(xv, c));
            odd = _mm256_add_epi64(odd, _mm256_mul_epi32(_mm256_srli_epi64(xv, 32), c));
        }
        const __m256i pred = _mm256_blend_epi32(_mm256_srl_epi64(even, sh),
                                                _mm256_slli_epi64(_mm256_srl_epi64(odd, sh), 32), 0xAA);
        const __m256i cur = _mm256_loadu_si256((const __m256i*)(x + i));
        _mm256_storeu_si256((__m256i*)(x + i), _mm256_sub_epi32(cur, pred));
    }
    for (int k = std::min(i + 7, n - 1); k >= p; --k)
        x[k] = int32_t(uint32_t(x[k]) - uint32_t(shifted(dot(x + k - p, rev, p), shift)));
}

namespace {

// Decoding, where each output needs the one before: the newest seven
// outputs stay in scalar registers, and the sums over the older lags
// (eight to the order) are formed four outputs at a time, one 64-bit
// lane each, a block ahead: they read only outputs before the block in
// progress, stored long enough ago for a vector load to find them. So
// the chain from one output to the next is a multiply and three adds,
// and no load waits on a store just made. Orders 9 to 32.
constexpr int kNear = 7;

template <int First = kNear + 1>
__attribute__((target("avx2"))) inline __m256i far_sums(const int32_t* x, const int64_t* rev, int p, int i)
{
    // lane s: the sum over lags k in [First, p] of c_k * x[i + s - k];
    // rev[p - k] is c_k
    __m256i acc = _mm256_setzero_si256();
    for (int j = 0; j + First <= p; ++j) {
        const __m256i xv = _mm256_cvtepi32_epi64(_mm_loadu_si128((const __m128i*)(x + i - p + j)));
        acc = _mm256_add_epi64(acc, _mm256_mul_epi32(xv, _mm256_set1_epi64x(rev[j])));
    }
    return acc;
}

__attribute__((target("avx2"))) void restore_blocks(int32_t* x, const int64_t* rev, int p, int shift, int from,
                                                    int n)
{
    const int64_t* c = rev + p - kNear;  // c[kNear - k] is the coefficient of lag k <= kNear
    int64_t h[kNear];                     // h[k - 1] = x[i - k]
    for (int k = 1; k <= kNear; ++k)
        h[k - 1] = x[from - k];
    int i = from;
    alignas(32) int64_t far[4];
    __m256i next = far_sums(x, rev, p, i);
    for (; i + 4 <= n; i += 4) {
        _mm256_store_si256((__m256i*)far, next);
        if (i + 8 <= n)
            next = far_sums(x, rev, p, i + 4);
        for (int s = 0; s < 4; ++s) {
            const int64_t old = far[s] + c[0] * h[6] + c[1] * h[5] + c[2] * h[4] + c[3] * h[3] + c[4] * h[2] +
                                c[5] * h[1];
            const int64_t acc = old + c[6] * h[0];
            const int32_t v = int32_t(uint32_t(x[i + s]) + uint32_t(uint64_t(acc >> shift)));
            x[i + s] = v;
            for (int k = kNear - 1; k > 0; --k)
                h[k] = h[k - 1];
            h[0] = v;
        }
    }
    for (; i < n; ++i)
        x[i] = int32_t(uint32_t(x[i]) + uint32_t(shifted(dot(x + i - p, rev, p), shift)));
}

// The residuals of a channel pair at i, as the predictor's inputs.
struct PairInputs {
    const int32_t *x0, *x1;
    __attribute__((target("avx2"), always_inline)) __m128i operator()(int i) const { return pair_of(x0, x1, i); }
};

// The sums over lags 9 to p of a channel pair, two outputs at a time
// (asked for from, from + 2, …), formed four outputs at a time a block
// ahead, as restore_blocks does.
struct FarSums {
    const int32_t *x0, *x1;
    const int64_t *r0, *r1;
    int p0, p1;
    int base = -8;
    __m256i cur0 = _mm256_setzero_si256(), cur1 = cur0, next0 = cur0, next1 = cur0;
    __attribute__((target("avx2"), always_inline)) FarPair operator()(int i)
    {
        if (i >= base + 4) {
            if (i == base + 4) {
                cur0 = next0;
                cur1 = next1;
            } else {
                cur0 = far_sums<kShortOrder + 1>(x0, r0, p0, i);
                cur1 = far_sums<kShortOrder + 1>(x1, r1, p1, i);
            }
            base = i;
            // outputs i + 4 … i + 7 read only outputs before i - 1
            next0 = far_sums<kShortOrder + 1>(x0, r0, p0, i + 4);
            next1 = far_sums<kShortOrder + 1>(x1, r1, p1, i + 4);
        }
        const bool high = i > base;
        const __m128i a = high ? _mm256_extracti128_si256(cur0, 1) : _mm256_castsi256_si128(cur0);
        const __m128i b = high ? _mm256_extracti128_si256(cur1, 1) : _mm256_castsi256_si128(cur1);
        return FarPair{_mm_unpacklo_epi64(a, b), _mm_unpackhi_epi64(a, b)};
    }
};

} // namespace

__attribute__((target("avx2"))) void avx2::lpc_restore(int32_t* x, const int64_t* rev, int p, int shift, int from,
                                                       int n)
{
    if (p <= kNear) {
        for (int i = from; i < n; ++i)
            x[i] = int32_t(uint32_t(x[i]) + uint32_t(shifted(dot(x + i - p, rev, p), shift)));
        return;
    }
    restore_blocks(x, rev, p, shift, from, n);
}

// Two channels, one after the other: each chain is short enough.
__attribute__((target("avx2"))) void avx2::lpc_restore2(int32_t* x0, const int64_t* r0, int p0, int s0, int32_t* x1,
                                                        const int64_t* r1, int p1, int s1, int from, int n)
{
    // both channels side by side: the eight newest taps as the short
    // predictors of the fused stage do them, the older ones four outputs
    // at a time
    const NearCoefs k0 = near_of(r0, p0, s0), k1 = near_of(r1, p1, s1);
    PairPredictor f = start_predictor(x0, x1, from);
    predict_pair(f, k0, k1, PairInputs{x0, x1}, from, n, x0, x1,
                 FarSums{x0, x1, r0, r1, p0, p1});
}

} // namespace monkeys::core
