// The tANS decoder's loops (TansKernel.h) with the bit instructions that
// come with AVX2 (BMI1/BMI2: shifts by a register, bzhi): the same results
// as the portable code for every input.
#include "Kernels.h"
#include "TansKernel.h"

namespace monkeys::core {

namespace {

// Compiled inside the functions below, this becomes bzhi; a type of this
// file's own, so that its loops are not the portable code's.
struct Bmi2Bits {
    static uint64_t low(uint64_t w, uint32_t k) { return w & ((uint64_t(1) << k) - 1); }
};

} // namespace

__attribute__((target("avx2,bmi,bmi2"))) void avx2::tans_symbols2(const TansEntry* mem, const uint8_t* base,
                                                                  TansCursor* c, uint16_t* out, int n)
{
    tans_detail::symbols2<Bmi2Bits>(mem, base, *c, out, n);
}

__attribute__((target("avx2,bmi,bmi2"))) bool avx2::tans_symbols_values2(const TansEntry* mem, const uint8_t* base,
                                                                         TansCursor* c, uint16_t* out,
                                                                         const uint8_t* raw, uint64_t* pos,
                                                                         int32_t* x0, int32_t* x1, int n)
{
    return tans_detail::symbols_values2<Bmi2Bits>(mem, base, *c, out, raw, *pos, x0, x1, n);
}

__attribute__((target("avx2,bmi,bmi2"))) void avx2::tans_symbols(const TansEntry* mem, const uint8_t* base,
                                                                 TansCursor* c, uint16_t* out, int n)
{
    tans_detail::symbols<Bmi2Bits>(mem, base, *c, out, n);
}

__attribute__((target("avx2,bmi,bmi2"))) bool avx2::tans_values2(const uint8_t* raw, uint64_t* pos,
                                                                 const uint16_t* in, int32_t* x0, int32_t* x1, int n)
{
    int32_t* out[2] = {x0, x1};
    return tans_detail::values<Bmi2Bits, 2>(raw, *pos, in, out, n);
}

__attribute__((target("avx2,bmi,bmi2"))) bool avx2::tans_values(const uint8_t* raw, uint64_t* pos, const uint16_t* in,
                                                                int32_t* x, int n)
{
    return tans_detail::values<Bmi2Bits, 1>(raw, *pos, in, &x, n);
}

__attribute__((target("avx2,bmi,bmi2"))) void avx2::tans_analyse2(const int32_t* x0, const int32_t* x1,
                                                                  TansAnalysis* a, int n)
{
    tans_detail::analyse2(x0, x1, *a, n);
}

__attribute__((target("avx2,bmi,bmi2"))) void avx2::tans_analyse(const int32_t* x, TansAnalysis* a, int n)
{
    tans_detail::analyse(x, *a, n);
}

__attribute__((target("avx2,bmi,bmi2"))) void avx2::tans_states2(const TansCode* codes, const uint16_t* next,
                                                                 TansStates* r, int n)
{
    tans_detail::states2(codes, next, *r, n);
}

__attribute__((target("avx2,bmi,bmi2"))) void avx2::tans_states(const TansCode* codes, const uint16_t* next,
                                                                TansStates* r, int n)
{
    tans_detail::states(codes, next, *r, n);
}

} // namespace monkeys::core
