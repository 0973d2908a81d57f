// Running the signal coder on chosen instruction-set variants in tests.
#pragma once

#include <string>
#include <vector>

#include "Cpu.h"

namespace coretest {

// The instruction sets this build and processor run, the portable code first.
inline std::vector<monkeys::core::Isa> available_isas()
{
    std::vector<monkeys::core::Isa> out;
    for (monkeys::core::Isa isa : monkeys::core::kIsas)
        if (monkeys::core::isa_available(isa))
            out.push_back(isa);
    return out;
}

// Why only the portable code runs here, for tests that then have nothing
// to compare it with.
inline std::string no_vector_code_reason()
{
#ifdef MONKEYS_VECTOR_CODE
    return "this processor has no AVX2: only the portable code runs";
#else
    return "the vector code is built out (MONKEYS_VECTOR_CODE=OFF): only the portable code runs";
#endif
}

inline std::string isa_name(monkeys::core::Isa isa) { return isa == monkeys::core::Isa::kAvx2 ? "AVX2" : "portable"; }

inline std::string stage_name(monkeys::core::Stage s)
{
    using monkeys::core::Stage;
    return s == Stage::kAutocorrelation ? "autocorrelation"
           : s == Stage::kLpcResidual   ? "fixed predictor (encoding)"
           : s == Stage::kLpcRestore    ? "fixed predictor (decoding)"
           : s == Stage::kMagnitude     ? "residual costs"
           : s == Stage::kChecksum      ? "CRC-32 and MD5"
           : s == Stage::kJoin          ? "stereo joining"
           : s == Stage::kSplit         ? "stereo splitting"
           : s == Stage::kTans          ? "tANS decoder"
           : s == Stage::kTansEncode    ? "tANS encoder"
                                        : "adaptive stages";
}

// Every stage on one instruction set while it lives; the fastest again after.
struct OnIsa {
    explicit OnIsa(monkeys::core::Isa isa)
    {
        for (monkeys::core::Stage s : monkeys::core::kStages)
            monkeys::core::use_variant(s, isa);
    }
    ~OnIsa() { monkeys::core::use_fastest_variants(); }
    OnIsa(const OnIsa&) = delete;
    OnIsa& operator=(const OnIsa&) = delete;
};

} // namespace coretest
