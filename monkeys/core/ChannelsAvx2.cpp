// A stereo frame's channels back into WAVE data in AVX2: the same bytes
// and range as the portable code in Channels.cpp, eight blocks a step.
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

} // namespace monkeys::core
