// What coding residuals costs, in AVX2: the same sums as the portable code
// in Residual.cpp for every input.
#include <immintrin.h>

#include "Kernels.h"

namespace monkeys::core {

__attribute__((target("avx2"))) void avx2::magnitude(const int32_t* x, int n, uint64_t* sumOut, uint64_t* bitsOut)
{
    __m256i sums = _mm256_setzero_si256(), bits = sums;
    const __m256i one = _mm256_set1_epi32(1), floor = _mm256_set1_epi32(126), zero = sums;
    const __m256 two = _mm256_set1_ps(2.0f);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i a = _mm256_abs_epi32(_mm256_loadu_si256((const __m256i*)(x + i)));  // 2^31 stays as it is
        sums = _mm256_add_epi64(sums, _mm256_unpacklo_epi32(a, zero));
        sums = _mm256_add_epi64(sums, _mm256_unpackhi_epi32(a, zero));
        const __m256 v = _mm256_add_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srli_epi32(a, 1)), two),
                                       _mm256_cvtepi32_ps(_mm256_and_si256(a, one)));
        const __m256i length = _mm256_sub_epi32(_mm256_srli_epi32(_mm256_castps_si256(v), 23), floor);
        bits = _mm256_add_epi32(bits, _mm256_max_epi32(length, zero));
    }
    alignas(32) uint64_t s[4];
    alignas(32) uint32_t b[8];
    _mm256_store_si256((__m256i*)s, sums);
    _mm256_store_si256((__m256i*)b, bits);
    uint64_t sum = s[0] + s[1] + s[2] + s[3];
    uint64_t length = uint64_t(b[0]) + b[1] + b[2] + b[3] + b[4] + b[5] + b[6] + b[7];
    uint64_t tailSum, tailBits;
    portable::magnitude(x + i, n - i, &tailSum, &tailBits);
    *sumOut = sum + tailSum;
    *bitsOut = length + tailBits;
}

} // namespace monkeys::core
