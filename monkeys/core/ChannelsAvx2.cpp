// A stereo frame's channels from and back into WAVE data, and the
// mid/side choice's sums, in AVX2: the same results as the portable code
// in Channels.cpp, eight blocks a step (four for 24-bit data in).
#include <immintrin.h>

#include <algorithm>

#include "Kernels.h"

namespace monkeys::core {

__attribute__((target("avx2"))) void avx2::join_stereo(const int32_t* a, const int32_t* b, int n, bool midSide,
                                                       int width, uint8_t* out, int32_t* low, int32_t* high)
{
    __m256i least = _mm256_setzero_si256(), most = least;
    // 24 bits: each lane's 12 bytes of two blocks, from its four samples
    const __m256i three = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6,
                                           8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    int i = 0;
    // a 24-bit step stores four bytes past its blocks: it stops a block
    // before the end
    const int steps = width == 2 ? n : n - 1;
    for (; i + 8 <= steps; i += 8) {
        __m256i l = _mm256_loadu_si256((const __m256i*)(a + i));
        __m256i r = _mm256_loadu_si256((const __m256i*)(b + i));
        if (midSide) {
            r = _mm256_sub_epi32(l, _mm256_srai_epi32(r, 1));  // mid - side / 2
            l = _mm256_add_epi32(_mm256_loadu_si256((const __m256i*)(b + i)), r);
        }
        least = _mm256_min_epi32(least, _mm256_min_epi32(l, r));
        most = _mm256_max_epi32(most, _mm256_max_epi32(l, r));
        // blocks 0, 1, 4, 5 and 2, 3, 6, 7
        const __m256i v0 = _mm256_unpacklo_epi32(l, r), v1 = _mm256_unpackhi_epi32(l, r);
        if (width == 2) {
            // in range the saturating pack keeps each sample's low 16 bits
            _mm256_storeu_si256((__m256i*)(out + 4 * size_t(i)), _mm256_packs_epi32(v0, v1));
        } else {
            const __m256i p0 = _mm256_shuffle_epi8(v0, three), p1 = _mm256_shuffle_epi8(v1, three);
            uint8_t* o = out + 6 * size_t(i);
            _mm_storeu_si128((__m128i*)o, _mm256_castsi256_si128(p0));
            _mm_storeu_si128((__m128i*)(o + 12), _mm256_castsi256_si128(p1));
            _mm_storeu_si128((__m128i*)(o + 24), _mm256_extracti128_si256(p0, 1));
            _mm_storeu_si128((__m128i*)(o + 36), _mm256_extracti128_si256(p1, 1));
        }
    }
    alignas(32) int32_t lows[8], highs[8];
    _mm256_store_si256((__m256i*)lows, least);
    _mm256_store_si256((__m256i*)highs, most);
    int32_t tailLow, tailHigh;
    portable::join_stereo(a + i, b + i, n - i, midSide, width, out + size_t(width) * 2 * size_t(i), &tailLow,
                          &tailHigh);
    *low = std::min(tailLow, *std::min_element(lows, lows + 8));
    *high = std::max(tailHigh, *std::max_element(highs, highs + 8));
}

__attribute__((target("avx2"))) void avx2::split_stereo(const uint8_t* in, int n, int width, int32_t* a, int32_t* b,
                                                        uint32_t* any)
{
    __m256i anyA = _mm256_setzero_si256(), anyB = anyA;
    int i = 0;
    if (width == 2) {
        // a block is one 32-bit word: left in its low half, right above
        for (; i + 8 <= n; i += 8) {
            const __m256i w = _mm256_loadu_si256((const __m256i*)(in + 4 * size_t(i)));
            const __m256i l = _mm256_srai_epi32(_mm256_slli_epi32(w, 16), 16), r = _mm256_srai_epi32(w, 16);
            _mm256_storeu_si256((__m256i*)(a + i), l);
            _mm256_storeu_si256((__m256i*)(b + i), r);
            anyA = _mm256_or_si256(anyA, l);
            anyB = _mm256_or_si256(anyB, r);
        }
    } else {
        // two blocks a lane, each sample's three bytes at the top of a
        // word (then shifted down with their sign): left, right, left,
        // right; a step reads four bytes past its blocks, so it stops
        // before the last ones
        const __m256i top = _mm256_setr_epi8(-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3,
                                             4, 5, -1, 6, 7, 8, -1, 9, 10, 11);
        const __m256i apart = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
        for (; i + 5 <= n; i += 4) {
            const uint8_t* p = in + 6 * size_t(i);
            const __m256i bytes = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128((const __m128i*)p)),
                                                          _mm_loadu_si128((const __m128i*)(p + 12)), 1);
            const __m256i v = _mm256_permutevar8x32_epi32(_mm256_srai_epi32(_mm256_shuffle_epi8(bytes, top), 8), apart);
            const __m128i l = _mm256_castsi256_si128(v), r = _mm256_extracti128_si256(v, 1);
            _mm_storeu_si128((__m128i*)(a + i), l);
            _mm_storeu_si128((__m128i*)(b + i), r);
            anyA = _mm256_or_si256(anyA, _mm256_castsi128_si256(l));
            anyB = _mm256_or_si256(anyB, _mm256_castsi128_si256(r));
        }
    }
    uint32_t tail[2];
    portable::split_stereo(in + 2 * size_t(width) * size_t(i), n - i, width, a + i, b + i, tail);
    alignas(32) uint32_t lanes[2][8];
    _mm256_store_si256((__m256i*)lanes[0], anyA);
    _mm256_store_si256((__m256i*)lanes[1], anyB);
    for (int k = 0; k < 2; ++k) {
        any[k] = tail[k];
        for (int j = 0; j < 8; ++j)
            any[k] |= lanes[k][j];
    }
}

namespace {

// The third differences of eight samples from x[i].
__attribute__((target("avx2"), always_inline)) inline __m256i third(const int32_t* x, int i)
{
    const __m256i x0 = _mm256_loadu_si256((const __m256i*)(x + i)), x1 = _mm256_loadu_si256((const __m256i*)(x + i - 1));
    const __m256i x2 = _mm256_loadu_si256((const __m256i*)(x + i - 2)), x3 = _mm256_loadu_si256((const __m256i*)(x + i - 3));
    const __m256i d = _mm256_sub_epi32(x2, x1);  // 3 (x2 - x1) + x0 - x3
    return _mm256_add_epi32(_mm256_sub_epi32(x0, x3), _mm256_add_epi32(d, _mm256_add_epi32(d, d)));
}

__attribute__((target("avx2"))) inline uint64_t lanes_sum(__m256i v)
{
    // eight 32-bit sums, unsigned, into 64 bits
    const __m256i lo = _mm256_cvtepu32_epi64(_mm256_castsi256_si128(v));
    const __m256i hi = _mm256_cvtepu32_epi64(_mm256_extracti128_si256(v, 1));
    alignas(32) uint64_t s[4];
    _mm256_store_si256((__m256i*)s, _mm256_add_epi64(lo, hi));
    return s[0] + s[1] + s[2] + s[3];
}

} // namespace

__attribute__((target("avx2"))) void avx2::pair_cost(const int32_t* l, const int32_t* r, int n, int bits,
                                                     uint64_t* lr, uint64_t* ms)
{
    // each lane sums a run's eighth in 32 bits, as the portable code a run
    const int run = 1 << (27 - bits);
    uint64_t lrSum = 0, msSum = 0;
    int i = 3;
    while (i + 8 <= n) {
        const int end = std::min(n, i + run);
        __m256i lrRun = _mm256_setzero_si256(), msRun = lrRun;
        for (; i + 8 <= end; i += 8) {
            const __m256i da = third(l, i), db = third(r, i);
            lrRun = _mm256_add_epi32(lrRun, _mm256_add_epi32(_mm256_abs_epi32(da), _mm256_abs_epi32(db)));
            msRun = _mm256_add_epi32(msRun, _mm256_add_epi32(_mm256_srli_epi32(_mm256_abs_epi32(_mm256_add_epi32(da, db)), 1),
                                                             _mm256_abs_epi32(_mm256_sub_epi32(da, db))));
        }
        lrSum += lanes_sum(lrRun);
        msSum += lanes_sum(msRun);
    }
    uint64_t lrTail = 0, msTail = 0;
    if (i < n)  // the rest, with the three samples before it
        portable::pair_cost(l + i - 3, r + i - 3, n - i + 3, bits, &lrTail, &msTail);
    *lr = lrSum + lrTail;
    *ms = msSum + msTail;
}

} // namespace monkeys::core
