// The variants of each stage, for Cpu.cpp to choose from (private to the
// signal coder). Each instruction set's variants live in a file of their
// own (LpcAvx2.cpp, LmsAvx2.cpp, ResidualAvx2.cpp, ChannelsAvx2.cpp,
// TansAvx2.cpp, Md5Avx512.cpp) beside the stage's portable code, and must
// give exactly the portable code's results for every input.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Lms.h"
#include "Lpc.h"
#include "Tans.h"

namespace monkeys::core {

// Entries the autocorrelation reads before y[0]: the samples before
// them, or zeros.
constexpr int kAutocorrelationPad = 40;

// The contracts every variant keeps:
//
// window: y[i] = (x[i] * w[i]) >> scale (64-bit product, arithmetic
//   shift) for i below n; |w| <= 2^16.
// autocorrelation: r[lag] += sum over i in [0, n) of y[i] * y[i - lag],
//   for lag below lags <= kMaxLpcOrder + 1 (so y[-lags + 1 .. -1] are
//   read); |y| < 2^31 and the sums fit 63 bits. Exact, so any order of
//   summing gives the same result.
// lpc_residual: x[i] -= (sum of rev[j] * x[i - order + j]) >> shift for i
//   in [order, n), every prediction from the input (rev: coefficients
//   oldest first).
// lpc_restore: the inverse, for i in [from, n), from >= order;
//   lpc_restore2 on two channels in step.
// magnitude: the sum of |x[i]| and of the bit lengths read off the
//   exponent of float(|x[i]| >> 1) * 2 + float(|x[i]| & 1), rounded as
//   IEEE single precision does, each step on its own.
// lms: every adaptive stage, encoding (x -= prediction) or decoding;
//   lms_stereo: the stereo stage (Lms.h) on a channel pair.
// join_stereo: the blocks of a stereo frame from its two planes, a and b
//   as left and right or (midSide) as mid and side, into out as WAVE data
//   stores them, width (2 or 3) bytes a sample (the bytes of a sample out
//   of that range are unspecified); *low, *high: the least and the
//   largest sample, and 0. At width 2, out may be a: block i's four bytes
//   replace a[i].
// split_stereo: n blocks of stereo WAVE data, width (2 or 3) bytes a
//   sample, into planes a (left) and b (right), sign-extended; any[0],
//   any[1]: the bitwise or of each channel's samples.
// pair_cost: over i in [3, n), with d the third differences of l and r
//   (samples of at most bits <= 24 bits), *lr the sum of |d(l)| + |d(r)|
//   and *ms that of (|d(l) + d(r)| >> 1) + |d(l) - d(r)|.
// tans_symbols2, tans_symbols: n groups of classes of a channel pair (in
//   turns into out), or of one channel, from their state stream
//   (TansKernel.h), every read within it.
// tans_symbols_values2: tans_symbols2 and tans_values2 on the same n
//   groups in one loop, every read within either stream, out room for one
//   group's classes (each group's overwrite the last's); false at a class
//   without a table.
// tans_values2, tans_values: n residuals of a channel
//   pair (their classes in turns in in) or of one channel, from the raw
//   stream at *pos, every read within it; false at a class without a table.
// tans_analyse2, tans_analyse: the classes and raw bits of n residuals of
//   a channel pair in step, or of one channel (room for their bits given).
// tans_states2, tans_states: the state bits of n classes of a channel
//   pair, or of one, backwards, put before those already written (room
//   given).
#define MONKEYS_STAGE_VARIANTS                                                                                  \
    void window(const int32_t* x, const int32_t* w, int n, int scale, int64_t* y);                              \
    void magnitude(const int32_t* x, int n, uint64_t* sum, uint64_t* bits);                                     \
    void autocorrelation(const int64_t* y, int n, int lags, int64_t* r);                                       \
    void lpc_residual(int32_t* x, int n, const int64_t* rev, int order, int shift);                             \
    void lpc_restore(int32_t* x, const int64_t* rev, int order, int shift, int from, int n);                    \
    void lpc_restore2(int32_t* x0, const int64_t* r0, int p0, int s0, int32_t* x1, const int64_t* r1, int p1,   \
                      int s1, int from, int n);                                                                 \
    void lms(bool encode, int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p);         \
    void join_stereo(const int32_t* a, const int32_t* b, int n, bool midSide, int width, uint8_t* out,           \
                     int32_t* low, int32_t* high);                                                               \
    void lms_stereo(bool encode, int32_t* a, int32_t* b, const int* inShifts, int n, const LmsParams& p);        \
    void split_stereo(const uint8_t* in, int n, int width, int32_t* a, int32_t* b, uint32_t* any);               \
    void pair_cost(const int32_t* l, const int32_t* r, int n, int bits, uint64_t* lr, uint64_t* ms);             \
    void tans_symbols2(const TansEntry* mem, const uint8_t* base, TansCursor* c, uint16_t* out, int n);          \
    void tans_symbols(const TansEntry* mem, const uint8_t* base, TansCursor* c, uint16_t* out, int n);           \
    bool tans_symbols_values2(const TansEntry* mem, const uint8_t* base, TansCursor* c, uint16_t* out,           \
                              const uint8_t* raw, uint64_t* pos, int32_t* x0, int32_t* x1, int n);                \
    bool tans_values2(const uint8_t* raw, uint64_t* pos, const uint16_t* in, int32_t* x0, int32_t* x1, int n);   \
    bool tans_values(const uint8_t* raw, uint64_t* pos, const uint16_t* in, int32_t* x, int n);                  \
    void tans_analyse2(const int32_t* x0, const int32_t* x1, TansAnalysis* a, int n);                             \
    void tans_analyse(const int32_t* x, TansAnalysis* a, int n);                                                  \
    void tans_states2(const TansCode* codes, const uint16_t* next, TansStates* r, int n);                         \
    void tans_states(const TansCode* codes, const uint16_t* next, TansStates* r, int n);

namespace portable {
MONKEYS_STAGE_VARIANTS
} // namespace portable

#ifdef MONKEYS_VECTOR_CODE
namespace avx2 {
MONKEYS_STAGE_VARIANTS
// One stage of 16 taps on two channels, then the fixed predictor of order
// at most eight on each (0 for none) in parts (ks[c][part]; every part at
// least kShortOrder long), in one pass, a piece at a time: start, then
// the pieces from 0 to n, each from where the last ended, with eight MD5
// steps of md5 (a run of the thread's lender, or null) beside each two
// outputs; xs[0] == xs[1] decodes one channel.
void lms_lpc_pair_start(LmsLpcPair* pass, const int* inShifts, const LmsParams& p);
void lms_lpc_pair_on(LmsLpcPair* pass, int32_t* const* xs, int n, int from, int to, const LpcCoefs* const* ks,
                     int parts, Md5Run* md5);
// CRC-32's register after n bytes (n >= 64, a multiple of 16) from state
// (ChecksumClmul.cpp); the portable code is the table in Checksum.cpp.
uint32_t crc32_fold(uint32_t state, const uint8_t* p, size_t n);
} // namespace avx2

namespace avx512 {
// MD5's state after the 64-byte blocks from p (Md5Avx512.cpp); the
// portable code is in Checksum.cpp.
void md5_blocks(uint32_t* state, const uint8_t* p, size_t blocks);
} // namespace avx512
#endif

#undef MONKEYS_STAGE_VARIANTS

} // namespace monkeys::core
