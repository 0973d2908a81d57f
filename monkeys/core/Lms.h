// Adaptive FIR prediction stages: sign-error LMS with 16-bit weights on a
// 16-bit copy of the stage input. All sums are taken modulo 2^32, so every
// variant (Cpu.h) gives the same bits.
#pragma once

#include <cstdint>

namespace monkeys::core {

struct Md5Run;

struct LmsParams {
    int order;     // taps, a multiple of 16, 16..2048
    int shift;     // weights are fixed point with this many fraction bits
    int dirBits;   // resolution of the normalised update direction
    int kind = 0;  // kOwn, or kStereo (coding 2 on)
};

// Stage kinds. kStereo works on channel pairs (2p, 2p+1): the first as a
// kOwn stage, the second's prediction adding `order` taps on the first's
// inputs up to the current one (which the decoder has by then), with
// weights of their own updated like the others. A channel without a
// partner runs a kOwn stage. Orders 16 and 32.
constexpr int kOwn = 0;
constexpr int kStereo = 1;

constexpr int kMaxOrder = 2048;

bool lms_params_valid(const LmsParams& p, int inShift);

// x[i] -= prediction, in place (encoder) ...
void lms_encode(int32_t* x, int n, const LmsParams& p, int inShift);
// ... and x[i] += prediction (decoder).
void lms_decode(int32_t* x, int n, const LmsParams& p, int inShift);
// The same on several channels of n samples at once (faster).
void lms_encode(int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p);
void lms_decode(int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p);

// The stereo stage on channels a, b (inShifts[0], [1]).
void lms_stereo_encode(int32_t* a, int32_t* b, const int* inShifts, int n, const LmsParams& p);
void lms_stereo_decode(int32_t* a, int32_t* b, const int* inShifts, int n, const LmsParams& p);

struct LpcCoefs;
// One stage of 16 taps on two channels, then the fixed predictor of order
// at most eight (or none) on each, in parts (Lpc.h; ks[c][part]), in one
// pass; false (nothing done) where that pass does not apply.
bool lms_lpc_decode_pair(int32_t* const* xs, const int* inShifts, int n, const LmsParams& p,
                         const LpcCoefs* const* ks, int parts = 1);
// The same for one channel (the pair's pass with the channel twice, whose
// chains are no longer than one channel's own).
bool lms_lpc_decode_one(int32_t* x, int inShift, int n, const LmsParams& p, const LpcCoefs* ks, int parts = 1);

// That pass a piece at a time, for a decoder whose residuals arrive in
// pieces: the stage's and the predictors' windows between the pieces.
struct LmsLpcPair {
    alignas(32) uint8_t state[1024];
};
// False where the pass does not apply; otherwise the pieces follow, each
// from where the last ended (0 first, at least kShortOrder long; n last).
// md5: the thread's MD5 lender's run (Md5Run.h) the piece takes steps
// of, or null.
bool lms_lpc_pair_start(LmsLpcPair& pass, const int* inShifts, int n, const LmsParams& p, const LpcCoefs* const* ks,
                        int parts);
void lms_lpc_pair_on(LmsLpcPair& pass, int32_t* const* xs, int n, int from, int to, const LpcCoefs* const* ks,
                     int parts, Md5Run* md5);

} // namespace monkeys::core
