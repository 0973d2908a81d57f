// MD5 on AVX-512's 128-bit forms: its three-input logic does each round
// function in one single-cycle operation, so every step's chain (round
// function, add, rotate, add) is four cycles where the portable code's
// first and last rounds take five. One lane carries the state; the others
// are don't-care.
#include <immintrin.h>

#include "Kernels.h"
#include "Md5Steps.h"

namespace monkeys::core {

namespace {

#define EVEX __attribute__((target("avx512f,avx512vl")))

// The compiler may re-associate vector adds; this keeps the message word
// and constant added before the round function, off the chain.
EVEX inline __m128i settled(__m128i x)
{
    asm("" : "+v"(x));
    return x;
}

// The round functions as truth tables of (x, y, z) = (0xF0, 0xCC, 0xAA).
constexpr int kRoundTable[4] = {0xCA, 0xE4, 0x96, 0x39};

EVEX inline __m128i word(const uint8_t* p, int g, uint32_t k)
{
    return _mm_add_epi32(_mm_loadu_si32(p + 4 * g), _mm_set1_epi32(int(k)));
}

} // namespace

EVEX void avx512::md5_blocks(uint32_t* state, const uint8_t* p, size_t blocks)
{
    __m128i a = _mm_cvtsi32_si128(int(state[0])), b = _mm_cvtsi32_si128(int(state[1]));
    __m128i c = _mm_cvtsi32_si128(int(state[2])), d = _mm_cvtsi32_si128(int(state[3]));
    for (; blocks; --blocks, p += 64) {
        const __m128i a0 = a, b0 = b, c0 = c, d0 = d;
#define MD5_STEP(r, a, b, c, d, g, k, s)                                                                   \
    a = _mm_add_epi32(b, _mm_rol_epi32(_mm_add_epi32(settled(_mm_add_epi32(a, word(p, g, k))),             \
                                                     _mm_ternarylogic_epi32(b, c, d, kRoundTable[r])), s));
        MD5_STEPS(MD5_STEP)
#undef MD5_STEP
        a = _mm_add_epi32(a, a0);
        b = _mm_add_epi32(b, b0);
        c = _mm_add_epi32(c, c0);
        d = _mm_add_epi32(d, d0);
    }
    state[0] = uint32_t(_mm_cvtsi128_si32(a));
    state[1] = uint32_t(_mm_cvtsi128_si32(b));
    state[2] = uint32_t(_mm_cvtsi128_si32(c));
    state[3] = uint32_t(_mm_cvtsi128_si32(d));
}

} // namespace monkeys::core
