// The fixed predictors of a channel pair, decoded side by side in AVX2
// (private to the coder's AVX2 files: the adaptive stage's fused pass and
// the fixed predictor's own).
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "Lpc.h"
#include "Md5Run.h"

namespace monkeys::core {
namespace {

// The coefficients of lags 1 to 8 of a channel (0 beyond its order; the
// ninth entry stays 0) and its shift.
struct NearCoefs {
    int64_t c[kShortOrder + 1] = {};
    int shift = 0;
};
inline NearCoefs near_of(const LpcCoefs& k)
{
    NearCoefs n;
    for (int t = 0; t < kShortOrder && t < k.order; ++t)
        n.c[t] = k.c[t];
    n.shift = k.shift;
    return n;
}

// Both channels' values at one index as 64-bit lanes (ch 0, ch 1).
__attribute__((target("avx2"), always_inline)) inline __m128i pair_of(const int32_t* x0, const int32_t* x1, int at)
{
    return _mm_set_epi64x(x1[at], x0[at]);
}
__attribute__((target("avx2"), always_inline)) inline __m128i pair_of(const NearCoefs& k0, const NearCoefs& k1, int t)
{
    return _mm_set_epi64x(k1.c[t], k0.c[t]);
}
__attribute__((target("avx2"), always_inline)) inline __m256i join(__m128i low, __m128i high)
{
    return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}
__attribute__((target("avx2"), always_inline)) inline __m128i low_half_sum(__m256i v)
{
    return _mm_add_epi64(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}
// The stage's outputs in (the low 32 bits of each 64-bit lane are what
// the sums add to) plus the shifted sums.
__attribute__((target("avx2"), always_inline)) inline __m128i finish(__m128i in, __m128i shift, __m128i sum)
{
    return _mm_add_epi32(in, _mm_srlv_epi64(sum, shift));
}
__attribute__((target("avx2"), always_inline)) inline void emit(int32_t* x0, int32_t* x1, int i, __m128i out)
{
    x0[i] = _mm_cvtsi128_si32(out);
    x1[i] = _mm_extract_epi32(out, 2);
}

// The fixed predictors of both channels in 64-bit lanes (ch 0, ch 1):
// p1 and p2 hold the outputs i-1 and i-2, y1, y2, y3 the outputs i-3-2j
// (low half) and i-4-2j. Samples go two at a time: only the newest
// output's product lies on the chain from one output to the next; the
// other taps' sums are formed from older outputs meanwhile, and the
// windows move by a pair, without a shuffle on the chain.
struct PairPredictor {
    __m128i p1, p2;
    __m256i y1, y2, y3;
};

// The predictor's windows at output at (at >= 8), from the outputs before.
__attribute__((target("avx2"), always_inline)) inline PairPredictor start_predictor(const int32_t* x0,
                                                                                    const int32_t* x1, int at)
{
    return PairPredictor{pair_of(x0, x1, at - 1), pair_of(x0, x1, at - 2),
                         join(pair_of(x0, x1, at - 3), pair_of(x0, x1, at - 4)),
                         join(pair_of(x0, x1, at - 5), pair_of(x0, x1, at - 6)),
                         join(pair_of(x0, x1, at - 7), pair_of(x0, x1, at - 8))};
}

// The sums over the taps beyond the eighth of outputs i and i+1, as
// (channel 0, channel 1).
struct FarPair {
    __m128i a, b;
};
// No taps beyond the eighth.
struct NoFar {
    __attribute__((target("avx2"), always_inline)) FarPair operator()(int) const
    {
        return FarPair{_mm_setzero_si128(), _mm_setzero_si128()};
    }
};

// Outputs from .. to-1 of the fixed predictors with one part's
// coefficients, from the inputs in_at(i) (the stage's outputs, or the
// residuals) and the sums over the taps beyond the eighth, far(i) (asked
// for i = from, from + 2, …); side() runs once every two outputs, its
// work beside the loop's chains.
template <class In, class Far = NoFar, class Side = NoSide>
__attribute__((target("avx2"), always_inline)) inline void predict_pair(PairPredictor& f, const NearCoefs& k0,
                                                                        const NearCoefs& k1, In in_at, int from,
                                                                        int to, int32_t* x0, int32_t* x1,
                                                                        Far far = Far(), Side side = Side())
{
    // sample i: c0 p1 + c1 p2 + (c2 c3) y1 + (c4 c5) y2 + (c6 c7) y3;
    // sample i+1: c0 out(i) + c1 p1 + c2 p2 + (c3 c4) y1 + (c5 c6) y2 + (c7 0) y3
    const __m128i c0 = pair_of(k0, k1, 0), c1 = pair_of(k0, k1, 1), c2 = pair_of(k0, k1, 2);
    const __m256i a1 = join(pair_of(k0, k1, 2), pair_of(k0, k1, 3)), a2 = join(pair_of(k0, k1, 4), pair_of(k0, k1, 5)),
                  a3 = join(pair_of(k0, k1, 6), pair_of(k0, k1, 7));
    const __m256i b1 = join(pair_of(k0, k1, 3), pair_of(k0, k1, 4)), b2 = join(pair_of(k0, k1, 5), pair_of(k0, k1, 6)),
                  b3 = join(pair_of(k0, k1, 7), pair_of(k0, k1, 8));
    const __m128i shift = _mm_set_epi64x(k1.shift, k0.shift);
    __m128i p1 = f.p1, p2 = f.p2;
    __m256i y1 = f.y1, y2 = f.y2, y3 = f.y3;
    int i = from;
    for (; i + 2 <= to; i += 2) {
        side();
        const __m128i olderA = _mm_add_epi64(
            low_half_sum(_mm256_add_epi64(_mm256_add_epi64(_mm256_mul_epi32(y1, a1), _mm256_mul_epi32(y2, a2)),
                                          _mm256_mul_epi32(y3, a3))),
            _mm_mul_epi32(p2, c1));
        const __m128i olderB = _mm_add_epi64(
            low_half_sum(_mm256_add_epi64(_mm256_add_epi64(_mm256_mul_epi32(y1, b1), _mm256_mul_epi32(y2, b2)),
                                          _mm256_mul_epi32(y3, b3))),
            _mm_add_epi64(_mm_mul_epi32(p2, c2), _mm_mul_epi32(p1, c1)));
        const FarPair sums = far(i);
        const __m128i outA =
            finish(in_at(i), shift, _mm_add_epi64(_mm_add_epi64(olderA, sums.a), _mm_mul_epi32(p1, c0)));
        emit(x0, x1, i, outA);
        const __m128i outB =
            finish(in_at(i + 1), shift, _mm_add_epi64(_mm_add_epi64(olderB, sums.b), _mm_mul_epi32(outA, c0)));
        emit(x0, x1, i + 1, outB);
        y3 = y2;
        y2 = y1;
        y1 = join(p1, p2);
        p2 = outA;
        p1 = outB;
    }
    if (i < to) {  // one sample: the windows move by one output
        const __m128i older = _mm_add_epi64(
            low_half_sum(_mm256_add_epi64(_mm256_add_epi64(_mm256_mul_epi32(y1, a1), _mm256_mul_epi32(y2, a2)),
                                          _mm256_mul_epi32(y3, a3))),
            _mm_add_epi64(_mm_mul_epi32(p2, c1), far(i).a));
        const __m128i out = finish(in_at(i), shift, _mm_add_epi64(older, _mm_mul_epi32(p1, c0)));
        emit(x0, x1, i, out);
        y3 = _mm256_permute2x128_si256(y2, y3, 0x21);
        y2 = _mm256_permute2x128_si256(y1, y2, 0x21);
        y1 = _mm256_permute2x128_si256(_mm256_castsi128_si256(p2), y1, 0x20);
        p2 = p1;
        p1 = out;
    }
    f = PairPredictor{p1, p2, y1, y2, y3};
}

} // namespace
} // namespace monkeys::core
