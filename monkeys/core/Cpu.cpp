#include "Cpu.h"

#include "Kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace monkeys::core {

namespace {

struct Features {
    bool avx2 = false;
    bool avx512vl = false;  // AVX-512 F and VL, with the OS keeping their registers
    bool slowVectorMd5 = false;  // AMD family 1Ah: MD5 on AVX-512 is slower than the portable code
};

#if defined(MONKEYS_VECTOR_CODE) && (defined(__x86_64__) || defined(__i386__))
// Asked directly, three leaves and the OS's register state: the compiler's
// own probe walks every leaf it knows, and each CPUID traps to the
// hypervisor on a virtual machine: about 5 % of a short file's decoding.
Features probe()
{
    Features f;
    unsigned a, b, c, d;
    __cpuid(0, a, b, c, d);
    if (a < 7)
        return f;
    const bool amd = b == signature_AMD_ebx && d == signature_AMD_edx && c == signature_AMD_ecx;
    __cpuid(1, a, b, c, d);
    // MD5's chain on AVX-512 (three-input logic, add, rotate, add) is
    // slower there than the portable code's: 410 against 690 MB/s measured
    const unsigned family = ((a >> 8) & 0xF) == 0xF ? 0xF + ((a >> 20) & 0xFF) : (a >> 8) & 0xF;
    f.slowVectorMd5 = amd && family == 0x1A;
    // the AVX variants also use the carry-less multiplication; the OS
    // must save the vector registers (XSAVE on, XMM and YMM state kept)
    const bool pclmul = c & bit_PCLMUL, osxsave = c & bit_OSXSAVE, avx = c & bit_AVX;
    if (!pclmul || !osxsave || !avx)
        return f;
    unsigned lo, hi;
    __asm__("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    if ((lo & 6) != 6)
        return f;
    __cpuid_count(7, 0, a, b, c, d);
    // and the bit instructions that every AVX2 processor has too
    f.avx2 = (b & bit_AVX2) && (b & bit_BMI) && (b & bit_BMI2);
    // the mask and upper register state too, even for 128-bit forms
    f.avx512vl = f.avx2 && (b & bit_AVX512F) && (b & bit_AVX512VL) && (lo & 0xE0) == 0xE0;
    return f;
}
#else
Features probe() { return {}; }
#endif

const Features kFeatures = probe();
const bool kHaveAvx2 = kFeatures.avx2;

// fastestOnly: leave out the variants this processor runs slower than the
// portable code (a test that asks for a variant gets it all the same)
void choose(Kernels& k, Stage stage, Isa isa, bool fastestOnly)
{
    const bool vector = isa == Isa::kAvx2;
#ifndef MONKEYS_VECTOR_CODE
    (void)vector;
#define PICK(name) portable::name
#else
#define PICK(name) (vector ? avx2::name : portable::name)
#endif
    switch (stage) {
    case Stage::kAutocorrelation:
        k.window = PICK(window);
        k.autocorrelation = PICK(autocorrelation);
        break;
    case Stage::kLpcResidual:
        k.lpc_residual = PICK(lpc_residual);
        break;
    case Stage::kLpcRestore:
        k.lpc_restore = PICK(lpc_restore);
        k.lpc_restore2 = PICK(lpc_restore2);
        break;
    case Stage::kMagnitude:
        k.magnitude = PICK(magnitude);
        break;
    case Stage::kTans:
        k.tans_symbols2 = PICK(tans_symbols2);
        k.tans_symbols = PICK(tans_symbols);
        k.tans_symbols_values2 = PICK(tans_symbols_values2);
        k.tans_values2 = PICK(tans_values2);
        k.tans_values = PICK(tans_values);
        break;
    case Stage::kTansEncode:
        k.tans_analyse2 = PICK(tans_analyse2);
        k.tans_analyse = PICK(tans_analyse);
        k.tans_states2 = PICK(tans_states2);
        k.tans_states = PICK(tans_states);
        break;
    case Stage::kLms:
        k.lms = PICK(lms);
        k.lms_stereo = PICK(lms_stereo);
#ifdef MONKEYS_VECTOR_CODE
        k.lms_lpc_pair_start = vector ? avx2::lms_lpc_pair_start : nullptr;
        k.lms_lpc_pair_on = vector ? avx2::lms_lpc_pair_on : nullptr;
#else
        k.lms_lpc_pair_start = nullptr;
        k.lms_lpc_pair_on = nullptr;
#endif
        break;
    case Stage::kJoin:
        k.join_stereo = PICK(join_stereo);
        break;
    case Stage::kSplit:
        k.split_stereo = PICK(split_stereo);
        k.pair_cost = PICK(pair_cost);
        break;
    case Stage::kChecksum:
#ifdef MONKEYS_VECTOR_CODE
        k.crc32_fold = vector ? avx2::crc32_fold : nullptr;
        k.md5_blocks = vector && kFeatures.avx512vl && !(fastestOnly && kFeatures.slowVectorMd5)
                           ? avx512::md5_blocks
                           : nullptr;
#else
        k.crc32_fold = nullptr;
        k.md5_blocks = nullptr;
#endif
        break;
    }
#undef PICK
}

Kernels fastest()
{
    Kernels k{};
    for (Stage s : kStages)
        choose(k, s, kHaveAvx2 ? Isa::kAvx2 : Isa::kPortable, true);
    return k;
}

Kernels gKernels = fastest();

} // namespace

const Kernels& kernels() { return gKernels; }

bool isa_available(Isa isa) { return isa == Isa::kPortable || (isa == Isa::kAvx2 && kHaveAvx2); }

bool use_variant(Stage stage, Isa isa)
{
    if (!isa_available(isa))
        return false;
    choose(gKernels, stage, isa, false);
    return true;
}

void use_fastest_variants() { gKernels = fastest(); }

} // namespace monkeys::core
