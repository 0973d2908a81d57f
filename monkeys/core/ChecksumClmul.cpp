// CRC-32 by carry-less multiplication (PCLMULQDQ, which every AVX2
// processor has): the same value as the table code in Checksum.cpp. The
// input is folded 64 bytes a step into four 128-bit remainders, which
// are folded into one and reduced to 32 bits (Barrett). The constants
// are powers of x modulo the reflected IEEE polynomial.
#include <immintrin.h>

#include "Kernels.h"

namespace monkeys::core {

namespace {

#define LOADU(p) _mm_loadu_si128((const __m128i*)(p))

// x^(4*128+64), x^(4*128) mod P: four blocks ahead
constexpr uint64_t kFold4[2] = {0x154442bd4, 0x1c6e41596};
// x^(128+64), x^128 mod P: one block ahead
constexpr uint64_t kFold1[2] = {0x1751997d0, 0x0ccaa009e};
// x^64 mod P
constexpr uint64_t kFold64 = 0x163cd6124;
// P and floor(x^64 / P), for the Barrett reduction
constexpr uint64_t kBarrett[2] = {0x1db710641, 0x1f7011641};

__attribute__((target("pclmul,sse4.1"))) inline __m128i fold(__m128i acc, __m128i k, __m128i next)
{
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(acc, k, 0x00), _mm_clmulepi64_si128(acc, k, 0x11)), next);
}

} // namespace

__attribute__((target("pclmul,sse4.1"))) uint32_t avx2::crc32_fold(uint32_t state, const uint8_t* p, size_t n)
{
    __m128i x1 = _mm_xor_si128(LOADU(p), _mm_cvtsi32_si128(int(state)));
    __m128i x2 = LOADU(p + 16), x3 = LOADU(p + 32), x4 = LOADU(p + 48);
    p += 64;
    n -= 64;
    __m128i k = _mm_set_epi64x(int64_t(kFold4[1]), int64_t(kFold4[0]));
    for (; n >= 64; n -= 64, p += 64) {
        x1 = fold(x1, k, LOADU(p));
        x2 = fold(x2, k, LOADU(p + 16));
        x3 = fold(x3, k, LOADU(p + 32));
        x4 = fold(x4, k, LOADU(p + 48));
    }
    k = _mm_set_epi64x(int64_t(kFold1[1]), int64_t(kFold1[0]));
    x1 = fold(x1, k, x2);
    x1 = fold(x1, k, x3);
    x1 = fold(x1, k, x4);
    for (; n >= 16; n -= 16, p += 16)
        x1 = fold(x1, k, LOADU(p));
    // 128 bits to 64, then the Barrett reduction to 32
    const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k, 0x10));
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 4),
                       _mm_clmulepi64_si128(_mm_and_si128(x1, low32), _mm_cvtsi64_si128(int64_t(kFold64)), 0x00));
    const __m128i b = _mm_set_epi64x(int64_t(kBarrett[1]), int64_t(kBarrett[0]));
    __m128i t = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), b, 0x10), low32);
    x1 = _mm_xor_si128(x1, _mm_clmulepi64_si128(t, b, 0x00));
    return uint32_t(_mm_extract_epi32(x1, 1));
}

} // namespace monkeys::core
