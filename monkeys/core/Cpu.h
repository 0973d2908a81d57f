// The one place that looks at the processor: it detects the instruction
// sets once and chooses from them the variant each stage of the coder
// runs. Every variant gives exactly the portable code's bits (integer
// arithmetic, or floating point in one fixed order without contraction),
// so a file is the same bytes on every machine; the portable code is
// always built, and MONKEYS_VECTOR_CODE=OFF builds nothing else.
#pragma once

#include <cstddef>
#include <cstdint>

namespace monkeys::core {

enum class Isa { kPortable, kAvx2 };
constexpr Isa kIsas[] = {Isa::kPortable, Isa::kAvx2};

// The stages with variants of their own.
enum class Stage {
    kAutocorrelation,  // the windowed frame and its autocorrelation, for the predictor's fit
    kLpcResidual,      // the fixed predictor, encoding
    kLpcRestore,       // the fixed predictor above eight taps, decoding
    kLms,              // the adaptive stages, both ways
    kMagnitude,        // what coding residuals costs, for the encoder's choices
    kChecksum,         // the container's CRC-32 and MD5
    kJoin,             // a stereo frame's channels back into WAVE data
    kSplit,            // a stereo frame's WAVE data into channels, and the mid/side choice
    kTans,             // the tANS decoder
    kTansEncode,       // the tANS encoder
};
constexpr Stage kStages[] = {Stage::kAutocorrelation, Stage::kLpcResidual, Stage::kLpcRestore, Stage::kLms,
                             Stage::kMagnitude, Stage::kChecksum, Stage::kJoin, Stage::kSplit, Stage::kTans,
                             Stage::kTansEncode};

struct LmsParams;
struct LmsLpcPair;
struct LpcCoefs;
struct Md5Run;
struct TansEntry;
struct TansCursor;
struct TansAnalysis;
struct TansCode;
struct TansStates;

// What each stage calls; see Kernels.h for the contracts.
struct Kernels {
    void (*window)(const int32_t* x, const int32_t* w, int n, int scale, int64_t* y);
    void (*autocorrelation)(const int64_t* y, int n, int lags, int64_t* r);
    void (*lpc_residual)(int32_t* x, int n, const int64_t* rev, int order, int shift);
    void (*lpc_restore)(int32_t* x, const int64_t* rev, int order, int shift, int from, int n);
    void (*lpc_restore2)(int32_t* x0, const int64_t* r0, int p0, int s0, int32_t* x1, const int64_t* r1, int p1,
                         int s1, int from, int n);
    void (*magnitude)(const int32_t* x, int n, uint64_t* sum, uint64_t* bits);
    void (*lms)(bool encode, int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p);
    void (*lms_stereo)(bool encode, int32_t* a, int32_t* b, const int* inShifts, int n, const LmsParams& p);
    // null where the variant has no one-pass form
    void (*lms_lpc_pair_start)(LmsLpcPair* pass, const int* inShifts, const LmsParams& p);
    void (*lms_lpc_pair_on)(LmsLpcPair* pass, int32_t* const* xs, int n, int from, int to, const LpcCoefs* const* ks,
                            int parts, Md5Run* md5);
    void (*join_stereo)(const int32_t* a, const int32_t* b, int n, bool midSide, int width, uint8_t* out,
                        int32_t* low, int32_t* high);
    void (*split_stereo)(const uint8_t* in, int n, int width, int32_t* a, int32_t* b, uint32_t* any);
    void (*pair_cost)(const int32_t* l, const int32_t* r, int n, int bits, uint64_t* lr, uint64_t* ms);
    // null: the table code (Checksum.cpp) does it all
    uint32_t (*crc32_fold)(uint32_t state, const uint8_t* p, size_t n);
    // null: the portable code (Checksum.cpp)
    void (*md5_blocks)(uint32_t* state, const uint8_t* p, size_t blocks);
    void (*tans_symbols2)(const TansEntry* mem, const uint8_t* base, TansCursor* c, uint16_t* out, int n);
    void (*tans_symbols)(const TansEntry* mem, const uint8_t* base, TansCursor* c, uint16_t* out, int n);
    bool (*tans_symbols_values2)(const TansEntry* mem, const uint8_t* base, TansCursor* c, uint16_t* out,
                                 const uint8_t* raw, uint64_t* pos, int32_t* x0, int32_t* x1, int n);
    bool (*tans_values2)(const uint8_t* raw, uint64_t* pos, const uint16_t* in, int32_t* x0, int32_t* x1, int n);
    bool (*tans_values)(const uint8_t* raw, uint64_t* pos, const uint16_t* in, int32_t* x, int n);
    void (*tans_analyse2)(const int32_t* x0, const int32_t* x1, TansAnalysis* a, int n);
    void (*tans_analyse)(const int32_t* x, TansAnalysis* a, int n);
    void (*tans_states2)(const TansCode* codes, const uint16_t* next, TansStates* r, int n);
    void (*tans_states)(const TansCode* codes, const uint16_t* next, TansStates* r, int n);
};

// The variants in use: the fastest this processor runs, unless a test chose.
const Kernels& kernels();

// Built in and supported by this processor.
bool isa_available(Isa isa);
// Tests: runs the stage's variant for isa from now on (false, nothing
// changed, where it is not available). Not to be called while frames are
// being coded.
bool use_variant(Stage stage, Isa isa);
void use_fastest_variants();

} // namespace monkeys::core
