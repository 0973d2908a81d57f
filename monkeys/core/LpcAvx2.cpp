// The fixed predictor's stages in AVX2: the same results as the portable
// code in Lpc.cpp for every input (exact integer sums).
#include <immintrin.h>

#include <algorithm>

#include "Kernels.h"

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

// The encoder knows every input, so it forms four predictions at once,
// one per 64-bit lane, without horizontal sums. The low 32 bits of the
// arithmetic shift are those of the logical one (shift <= 15).
__attribute__((target("avx2"))) void avx2::lpc_residual(int32_t* x, int n, const int64_t* rev, int p, int shift)
{
    const __m128i sh = _mm_cvtsi32_si128(shift);
    const __m256i pick = _mm256_setr_epi32(0, 2, 4, 6, 0, 0, 0, 0);
    int i = n - 4;
    // blocks from the top down: a block reads only samples below it
    for (; i >= p; i -= 4) {
        __m256i acc = _mm256_setzero_si256();
        for (int j = 0; j < p; ++j) {
            __m256i xv = _mm256_cvtepi32_epi64(_mm_loadu_si128((const __m128i*)(x + i - p + j)));
            acc = _mm256_add_epi64(acc, _mm256_mul_epi32(xv, _mm256_set1_epi64x(rev[j])));
        }
        __m128i pred = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(_mm256_srl_epi64(acc, sh), pick));
        __m128i cur = _mm_loadu_si128((const __m128i*)(x + i));
        _mm_storeu_si128((__m128i*)(x + i), _mm_sub_epi32(cur, pred));
    }
    for (int k = std::min(i + 3, n - 1); k >= p; --k)
        x[k] = int32_t(uint32_t(x[k]) - uint32_t(shifted(dot(x + k - p, rev, p), shift)));
}

__attribute__((target("avx2"))) void avx2::lpc_restore(int32_t* x, const int64_t* rev, int p, int shift, int from,
                                                       int n)
{
    for (int i = from; i < n; ++i)
        x[i] = int32_t(uint32_t(x[i]) + uint32_t(shifted(dot(x + i - p, rev, p), shift)));
}

// Two channels in step, so that their dependency chains overlap.
__attribute__((target("avx2"))) void avx2::lpc_restore2(int32_t* x0, const int64_t* r0, int p0, int s0, int32_t* x1,
                                                        const int64_t* r1, int p1, int s1, int from, int n)
{
    for (int i = from; i < n; ++i) {
        int64_t a0 = dot(x0 + i - p0, r0, p0);
        int64_t a1 = dot(x1 + i - p1, r1, p1);
        x0[i] = int32_t(uint32_t(x0[i]) + uint32_t(shifted(a0, s0)));
        x1[i] = int32_t(uint32_t(x1[i]) + uint32_t(shifted(a1, s1)));
    }
}

} // namespace monkeys::core
