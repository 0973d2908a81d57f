// The adaptive stages in AVX2: the same bits as the portable code in
// Lms.cpp for every input (all sums are taken modulo 2^32).
#include <immintrin.h>

#include <algorithm>
#include <new>

#include "Kernels.h"
#include "LmsState.h"
#include "LpcPair.h"

namespace monkeys::core {

using namespace lms_detail;

namespace {

__attribute__((target("avx2"))) inline int32_t hsum(__m256i a)
{
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(a), _mm256_extracti128_si256(a, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0x4E));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0xB1));
    return _mm_cvtsi128_si32(s);
}

#define LOADU(p) _mm256_loadu_si256((const __m256i*)(p))

// One stage of 16 or 32 taps on two channels (then, for FAST, the fixed
// predictor of order at most eight on each).
//
// The stage's chain from one output to the next is kept short: the
// prediction of sample i+1 is the sum over the older history entries,
// formed while sample i is still being decoded, plus the newest entry
// times its weight; only that product, the shifts and the residual's
// addition follow each output. Channel 0 lives in the low 128-bit half of
// every register, channel 1 in the high half, so that nothing crosses the
// halves: the windows of history entries and of update directions are
// B registers each (eight entries of each channel a register, the newest
// last), the weights of lags 8B … 2 sit in the lanes of the entries they
// take next (lane k: lag 8B + 1 - k; lane 0 stays 0) and the weight of
// lag 1 apart, and the directions enter a sample after the history, so
// that each weight meets its direction in its own lane. The single values
// of a channel (its residual, prediction, newest entry, its weight and
// direction, the running mean) fill every lane of its half.
template <int B>
struct PairStage {
    __m256i round, predShift, inShift, dirMax, avg16;
    __m128i dirBits;
    __m256i notFirst;  // every lane but the lowest of each half
    __m256i h[B], d[B], u[B];
    __m256i lag1;     // the weights of lag 1, each beside a zero
    __m256i lastDir;  // the directions of the newest history entries, each beside a zero
    // the next outputs' predictions before the shift: the older entries'
    // sums with the rounding, plus the newest entries times their weights
    __m256i next;

    __attribute__((target("avx2"))) void start(const LmsParams& p, const int* inShifts);
};

// The stereo stage's cross weights, in the low half (the high half is not
// used): lags 8B - 1 … 1 of channel a's entries laid out as the own
// weights (lane 0 stays 0), lag 0 (a's newest) apart, beside a zero.
template <int B>
struct CrossWeights {
    __m256i c[B];
    __m256i lag0;
};

// Outputs of the stage from residuals e (channel 0 in the low half,
// channel 1 in the high half, every lane), and the state for the next.
// With cross weights, the high half's next prediction also takes the low
// half's window, its newest entry included, against them, the weights
// first moved by crossSign (the high half's residual sign, in the low
// half): the stereo stage with b a sample behind a.
template <int B>
__attribute__((target("avx2"), always_inline)) inline __m256i stage_step(PairStage<B>& s, __m256i e,
                                                                         CrossWeights<B>* cross = nullptr,
                                                                         __m256i crossSign = __m256i())
{
    // the chain: outputs i from the older sums and the newest entries
    const __m256i in = _mm256_add_epi32(e, _mm256_srav_epi32(s.next, s.predShift));
    // the newest history entries, saturated to 16 bits
    const __m256i shifted = _mm256_srav_epi32(in, s.inShift);
    const __m256i newest = _mm256_packs_epi32(shifted, shifted);
    // the weights for outputs i+1: the residual's sign (saturated to 16
    // bits) signs the directions
    const __m256i sign = _mm256_packs_epi32(e, e);
    s.u[0] = _mm256_adds_epi16(s.u[0], _mm256_and_si256(_mm256_sign_epi16(s.d[0], sign), s.notFirst));
    for (int b = 1; b < B; ++b)
        s.u[b] = _mm256_adds_epi16(s.u[b], _mm256_sign_epi16(s.d[b], sign));
    s.lag1 = _mm256_adds_epi16(s.lag1, _mm256_sign_epi16(s.lastDir, sign));
    // the older entries' sums, in every lane of each half
    __m256i sum = _mm256_madd_epi16(s.h[0], s.u[0]);
    for (int b = 1; b < B; ++b)
        sum = _mm256_add_epi32(sum, _mm256_madd_epi16(s.h[b], s.u[b]));
    sum = _mm256_add_epi32(sum, _mm256_shuffle_epi32(sum, 0x4E));
    sum = _mm256_add_epi32(_mm256_add_epi32(sum, _mm256_shuffle_epi32(sum, 0xB1)), s.round);
    // madd against the lag-1 weight beside a zero forms the product
    s.next = _mm256_add_epi32(sum, _mm256_madd_epi16(newest, s.lag1));
    if (cross) {
        // the low half's window (channel a, its newest entry included)
        // against the cross weights, moved by the high half's sign, into
        // the high half's next prediction
        cross->c[0] = _mm256_adds_epi16(cross->c[0], _mm256_and_si256(_mm256_sign_epi16(s.d[0], crossSign), s.notFirst));
        for (int b = 1; b < B; ++b)
            cross->c[b] = _mm256_adds_epi16(cross->c[b], _mm256_sign_epi16(s.d[b], crossSign));
        cross->lag0 = _mm256_adds_epi16(cross->lag0, _mm256_sign_epi16(s.lastDir, crossSign));
        __m256i x = _mm256_madd_epi16(s.h[0], cross->c[0]);
        for (int b = 1; b < B; ++b)
            x = _mm256_add_epi32(x, _mm256_madd_epi16(s.h[b], cross->c[b]));
        x = _mm256_add_epi32(x, _mm256_shuffle_epi32(x, 0x4E));
        x = _mm256_add_epi32(x, _mm256_shuffle_epi32(x, 0xB1));
        x = _mm256_add_epi32(x, _mm256_madd_epi16(newest, cross->lag0));
        s.next = _mm256_add_epi32(s.next, _mm256_permute2x128_si256(x, x, 0x08));
    }
    // the windows move on; the directions enter a sample late
    for (int b = 0; b + 1 < B; ++b) {
        s.h[b] = _mm256_alignr_epi8(s.h[b + 1], s.h[b], 2);
        s.d[b] = _mm256_alignr_epi8(s.d[b + 1], s.d[b], 2);
    }
    s.h[B - 1] = _mm256_alignr_epi8(newest, s.h[B - 1], 2);
    s.d[B - 1] = _mm256_alignr_epi8(s.lastDir, s.d[B - 1], 2);
    // the update directions of the newest entries
    const __m256i mag = _mm256_srli_epi32(_mm256_abs_epi16(newest), 16);
    const __m256i mean = _mm256_srli_epi32(s.avg16, 4);
    // bit length of the mean (below 2^16): its exponent as a float, less
    // 126 at least 0 (the exponent's high 16 bits are 0)
    const __m256i length = _mm256_subs_epu16(_mm256_srli_epi32(_mm256_castps_si256(_mm256_cvtepi32_ps(mean)), 23),
                                             _mm256_set1_epi32(126));
    const __m256i m = _mm256_min_epi32(_mm256_srlv_epi32(_mm256_sll_epi32(mag, s.dirBits), length), s.dirMax);
    s.avg16 = _mm256_add_epi32(s.avg16, _mm256_sub_epi32(mag, mean));
    // m (at most 2^12) in the low 16 bits of each 32-bit lane, 0 above:
    // the window takes the low one, the lag-1 weight keeps that form
    s.lastDir = _mm256_sign_epi16(m, newest);
    return in;
}

// low in every lane of the low half, high in the high half
__attribute__((target("avx2"), always_inline)) inline __m256i halves(int32_t low, int32_t high)
{
    return _mm256_setr_epi32(low, low, low, low, high, high, high, high);
}

// x0[i] in every lane of the low half, x1[j] in the high half.
__attribute__((target("avx2"), always_inline)) inline __m256i pair_at(const int32_t* x0, const int32_t* x1, int i,
                                                                      int j)
{
    return _mm256_blend_epi32(_mm256_set1_epi32(x0[i]), _mm256_set1_epi32(x1[j]), 0xF0);
}

template <int B>
__attribute__((target("avx2"))) void PairStage<B>::start(const LmsParams& p, const int* inShifts)
{
    const State st0(p, inShifts[0], false), st1(p, inShifts[1], false);
    round = halves(st0.round, st1.round);
    predShift = halves(st0.predShift, st1.predShift);
    inShift = halves(inShifts[0], inShifts[1]);
    dirBits = _mm_cvtsi32_si128(p.dirBits);
    dirMax = _mm256_set1_epi32(st0.dirMax);
    avg16 = _mm256_set1_epi32(int32_t(st0.avg16));
    notFirst = _mm256_setr_epi16(0, -1, -1, -1, -1, -1, -1, -1, 0, -1, -1, -1, -1, -1, -1, -1);
    for (int b = 0; b < B; ++b)
        h[b] = d[b] = u[b] = _mm256_setzero_si256();
    lag1 = lastDir = _mm256_setzero_si256();
    next = round;
}

// Outputs from .. to-1 of the stage into both channels (the same channel
// twice: each sample is read before either half writes it, and both
// write the same).
template <int B>
__attribute__((target("avx2"), always_inline)) inline void stage_outputs(PairStage<B>& s, int32_t* x0, int32_t* x1,
                                                                        int from, int to)
{
    for (int i = from; i < to; ++i) {
        const __m256i in = stage_step(s, pair_at(x0, x1, i, i));
        x0[i] = _mm256_cvtsi256_si32(in);
        x1[i] = _mm256_extract_epi32(in, 4);
    }
}

// A stage of 8B taps of each's own on a channel pair, the decoder's way.
template <int B>
__attribute__((target("avx2"))) void decode_pair_stage(int32_t* const* xs, const int* inShifts, int n,
                                                       const LmsParams& p)
{
    PairStage<B> s;
    s.start(p, inShifts);
    stage_outputs(s, xs[0], xs[1], 0, n);
}

// The stereo stage on channels a and b (n >= 1), the decoder's way: b runs
// a sample behind a in the high half, so that a's output of the sample
// b needs is in a's window when b's prediction is formed. The first step
// gives b an empty sample (residual 0, its running mean kept) and the
// last one a.
template <int B>
__attribute__((target("avx2"))) void decode_stereo_pair(int32_t* a, int32_t* b, const int* inShifts, int n,
                                                        const LmsParams& p)
{
    PairStage<B> s;
    s.start(p, inShifts);
    CrossWeights<B> cross;
    for (int k = 0; k < B; ++k)
        cross.c[k] = _mm256_setzero_si256();
    cross.lag0 = _mm256_setzero_si256();
    const __m256i mean = s.avg16;
    __m256i in = stage_step(s, _mm256_blend_epi32(_mm256_set1_epi32(a[0]), _mm256_setzero_si256(), 0xF0), &cross,
                            _mm256_setzero_si256());
    s.avg16 = _mm256_blend_epi32(s.avg16, mean, 0xF0);
    a[0] = _mm256_cvtsi256_si32(in);
    for (int i = 1; i < n; ++i) {
        const __m256i e = pair_at(a, b, i, i - 1);
        const __m256i eb = _mm256_set1_epi32(b[i - 1]);
        in = stage_step(s, e, &cross, _mm256_packs_epi32(eb, eb));
        a[i] = _mm256_cvtsi256_si32(in);
        b[i - 1] = _mm256_extract_epi32(in, 4);
    }
    in = stage_step(s, _mm256_blend_epi32(_mm256_setzero_si256(), _mm256_set1_epi32(b[n - 1]), 0xF0));
    b[n - 1] = _mm256_extract_epi32(in, 4);
}

// The stage's outputs i as 64-bit lanes: channel 0 twice, channel 1 twice.
struct StageOutputs {
    PairStage<2>& s;
    const int32_t* x0;
    const int32_t* x1;
    __attribute__((target("avx2"), always_inline)) __m128i operator()(int i) const
    {
        return _mm256_castsi256_si128(_mm256_permute4x64_epi64(stage_step(s, pair_at(x0, x1, i, i)), 0x08));
    }
};

// The stage and the fixed predictors in one pass, their chains side by
// side, and their windows between the pieces of a pass.
struct PairPass {
    PairStage<2> s;
    PairPredictor f;
};
static_assert(sizeof(PairPass) <= sizeof(LmsLpcPair::state) && alignof(PairPass) <= alignof(LmsLpcPair));

// Outputs from .. to-1 of the pass. A single channel (xs[0] == xs[1])
// runs in both halves: each sample is read before either half writes it,
// and both write the same.
template <class Side>
__attribute__((target("avx2"), always_inline)) inline void pass_on(PairPass& pass, int32_t* const* xs, int n,
                                                                    int from, int to, const LpcCoefs* const* ks,
                                                                    int parts, Side side)
{
    int32_t* const x0 = xs[0];
    int32_t* const x1 = xs[1];
    PairStage<2> s = pass.s;  // locals, for registers
    PairPredictor f = pass.f;
    if (from == 0) {
        // the first samples see a shorter past: the fixed predictor
        // decodes them as its filter does
        stage_outputs(s, x0, x1, 0, kShortOrder);
        lpc_decode(x0, kShortOrder, ks[0][0]);
        if (x1 != x0)  // one channel in both halves is decoded once
            lpc_decode(x1, kShortOrder, ks[1][0]);
        f = start_predictor(x0, x1, kShortOrder);
        from = kShortOrder;
    }
    const StageOutputs in_at{s, x0, x1};
    for (int part = 0; part < parts; ++part) {
        const int lo = std::max(from, part_start(part, n, parts)), hi = std::min(to, part_start(part + 1, n, parts));
        if (lo < hi)
            predict_pair(f, near_of(ks[0][part]), near_of(ks[1][part]), in_at, lo, hi, x0, x1, NoFar(), side);
    }
    pass.s = s;
    pass.f = f;
}

// The 16-bit history and the update directions of n inputs (n <= 2048)
// of K channels into h[k] and d[k] (room for n rounded up to eight), with
// the feeds' running means: the means' chains alone in scalar code, the
// channels' side by side, the rest eight values at a time.
template <int K>
__attribute__((target("avx2"))) void feed_piece(int32_t* const* xs, int at, int n, Feed* feeds, int16_t* const* h,
                                                int16_t* const* d)
{
    alignas(32) int32_t mag[K][2048 + 8], mean[K][2048 + 8];
    const __m256i low16 = _mm256_set1_epi32(-32768), high16 = _mm256_set1_epi32(32767);
    for (int k = 0; k < K; ++k) {
        const int32_t* x = xs[k] + at;
        const __m128i inShift = _mm_cvtsi32_si128(feeds[k].inShift);
        for (int i = 0; i < n; i += 8) {
            alignas(32) int32_t tail[8] = {};
            const int32_t* in = x + i;
            if (i + 8 > n) {  // the last inputs, without reading past them
                std::copy(in, x + n, tail);
                in = tail;
            }
            const __m256i v =
                _mm256_min_epi32(_mm256_max_epi32(_mm256_sra_epi32(LOADU(in), inShift), low16), high16);
            _mm256_store_si256((__m256i*)(mag[k] + i), _mm256_abs_epi32(v));
            // the history entries, in order: packs interleaves the halves
            const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(v, v), 0x08);
            _mm_storeu_si128((__m128i*)(h[k] + i), _mm256_castsi256_si128(packed));
        }
    }
    uint32_t avg16[K];
    for (int k = 0; k < K; ++k)
        avg16[k] = feeds[k].avg16;
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < K; ++k) {
            const uint32_t now = avg16[k] >> 4;
            mean[k][i] = int32_t(now);
            avg16[k] += uint32_t(mag[k][i]) - now;
        }
    for (int k = 0; k < K; ++k) {
        feeds[k].avg16 = avg16[k];
        const __m128i dirBits = _mm_cvtsi32_si128(feeds[k].dirBits);
        const __m256i dirMax = _mm256_set1_epi32(feeds[k].dirMax);
        for (int i = 0; i < n; i += 8) {
            const __m256i mv = _mm256_load_si256((const __m256i*)(mean[k] + i));
            // bit length of the mean (below 2^16): its exponent as a float
            const __m256i length = _mm256_max_epi32(
                _mm256_sub_epi32(_mm256_srli_epi32(_mm256_castps_si256(_mm256_cvtepi32_ps(mv)), 23),
                                 _mm256_set1_epi32(126)),
                _mm256_setzero_si256());
            const __m256i size = _mm256_load_si256((const __m256i*)(mag[k] + i));
            const __m256i m = _mm256_min_epi32(_mm256_srlv_epi32(_mm256_sll_epi32(size, dirBits), length), dirMax);
            const __m256i hv = _mm256_cvtepi16_epi32(_mm_loadu_si128((const __m128i*)(h[k] + i)));
            const __m256i dv = _mm256_sign_epi32(m, hv);
            const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(dv, dv), 0x08);
            _mm_storeu_si128((__m128i*)(d[k] + i), _mm256_castsi256_si128(packed));
        }
    }
}

// The sum of the lanes in every lane.
__attribute__((target("avx2"))) inline __m256i all_sum(__m256i a)
{
    a = _mm256_add_epi32(a, _mm256_permute2x128_si256(a, a, 0x01));
    a = _mm256_add_epi32(a, _mm256_shuffle_epi32(a, 0x4E));
    return _mm256_add_epi32(a, _mm256_shuffle_epi32(a, 0xB1));
}

// The encoder's stages of 16V taps. The encoder knows every input, so
// each piece of the frame first gets its 16-bit history and update
// directions into arrays (the directions' running mean is the only chain
// there); the loop then loads its windows from them. The next prediction
// needs the weights that the sign of this sample's residual gives: it is
// taken as the prediction with the weights before the update plus that
// sign times the directions against the history, which is exact unless
// the update saturates a weight, and is then formed again from the
// saturated weights (rare). So the chain from one residual to the next is
// a few vector steps, while the sums for the next sample run beside it.
//
// The pieces of n samples of K channels for the loop: each channel's
// history and directions hold the taps' entries of the piece before and
// one more (zeros before the frame), then the piece's; loop(at, m, hs,
// ds) codes samples at .. at+m-1, whose entries are hs[k][0 .. m-1]
// (from -16V - 1 on).
template <int K, int V, class Loop>
__attribute__((target("avx2"))) void encode_pieces(int32_t* const* xs, const int* inShifts, int n, const LmsParams& p,
                                                   Loop& loop)
{
    constexpr int kPiece = 2048, kPast = 16 * V + 8;  // the taps' entries and one more, aligned
    alignas(32) int16_t hist[K][kPast + kPiece + 8], dir[K][kPast + kPiece + 8];
    Feed feeds[K];
    for (int k = 0; k < K; ++k) {
        feeds[k] = Feed(State(p, inShifts[k], false));
        std::fill(hist[k], hist[k] + kPast, int16_t(0));
        std::fill(dir[k], dir[k] + kPast, int16_t(0));
    }
    for (int at = 0; at < n; at += kPiece) {
        const int m = std::min(kPiece, n - at);
        int16_t* hs[K];
        int16_t* ds[K];
        for (int k = 0; k < K; ++k) {
            if (at > 0) {
                std::memcpy(hist[k], hist[k] + kPiece, kPast * sizeof(int16_t));
                std::memcpy(dir[k], dir[k] + kPiece, kPast * sizeof(int16_t));
            }
            hs[k] = hist[k] + kPast;
            ds[k] = dir[k] + kPast;
        }
        feed_piece<K>(xs, at, m, feeds, hs, ds);
        loop(at, m, hs, ds);
    }
}

// The sum of the lanes of each half in every lane of that half.
__attribute__((target("avx2"), always_inline)) inline __m256i half_sums(__m256i a)
{
    a = _mm256_add_epi32(a, _mm256_shuffle_epi32(a, 0x4E));
    return _mm256_add_epi32(a, _mm256_shuffle_epi32(a, 0xB1));
}

// The weights w (R registers) moved by the sign of the residual err
// against the directions d, and the next prediction's sum against the
// history h, as said above; Sum adds up the lanes of a channel.
template <int R, __m256i (*Sum)(__m256i)>
__attribute__((target("avx2"), always_inline)) inline __m256i moved_sum(__m256i* w, const __m256i* h,
                                                                       const __m256i* d, __m256i err)
{
    // the residual's sign, saturated to 16 bits, signs the directions
    const __m256i sign = _mm256_packs_epi32(err, err);
    __m256i next[R], byW = _mm256_setzero_si256(), byD = byW, saturated = byW;
    for (int v = 0; v < R; ++v) {
        const __m256i step = _mm256_sign_epi16(d[v], sign);
        next[v] = _mm256_adds_epi16(w[v], step);
        byW = _mm256_add_epi32(byW, _mm256_madd_epi16(h[v], w[v]));
        byD = _mm256_add_epi32(byD, _mm256_madd_epi16(h[v], d[v]));
        saturated = _mm256_or_si256(saturated, _mm256_xor_si256(next[v], _mm256_add_epi16(w[v], step)));
    }
    __m256i dot = _mm256_add_epi32(Sum(byW), _mm256_sign_epi32(Sum(byD), err));
    if (!_mm256_testz_si256(saturated, _mm256_set1_epi32(-1))) [[unlikely]] {
        // a weight saturated
        __m256i sum = _mm256_madd_epi16(h[0], next[0]);
        for (int v = 1; v < R; ++v)
            sum = _mm256_add_epi32(sum, _mm256_madd_epi16(h[v], next[v]));
        dot = Sum(sum);
    }
    for (int v = 0; v < R; ++v)
        w[v] = next[v];
    return dot;
}

// One channel: its 16V weights in V registers; the residual, its sign and
// the prediction fill every lane.
template <int V>
struct EncodeOne {
    int32_t* x;
    __m256i weights[V], pred, round;
    __m128i predShift;

    __attribute__((target("avx2"))) EncodeOne(int32_t* x_, const LmsParams& p, int inShift) : x(x_)
    {
        const State st(p, inShift, false);
        for (int v = 0; v < V; ++v)
            weights[v] = _mm256_setzero_si256();
        round = _mm256_set1_epi32(st.round);
        predShift = _mm_cvtsi32_si128(st.predShift);
        pred = _mm256_set1_epi32(st.predict(0));
    }

    __attribute__((target("avx2"))) void operator()(int at, int m, int16_t* const* hs, int16_t* const* ds)
    {
        const int16_t* hist = hs[0] - 16 * V;
        const int16_t* dir = ds[0] - 16 * V;
        __m256i w[V];  // in registers: the output stores might alias the members
        std::copy(weights, weights + V, w);
        for (int i = 0; i < m; ++i) {
            int32_t* xi = x + at + i;
            const __m256i err = _mm256_sub_epi32(_mm256_set1_epi32(*xi), pred);
            *xi = _mm256_cvtsi256_si32(err);
            __m256i h[V], d[V];
            for (int v = 0; v < V; ++v) {
                d[v] = LOADU(dir + i + 16 * v);       // the directions against this history
                h[v] = LOADU(hist + i + 1 + 16 * v);  // the history of the next sample
            }
            const __m256i dot = moved_sum<V, all_sum>(w, h, d, err);
            pred = _mm256_sra_epi32(_mm256_add_epi32(dot, round), predShift);
        }
        std::copy(w, w + V, weights);
    }
};

// A channel pair as the decoder's pair stage lays it out: channel 0 in
// the low half of every register, channel 1 in the high half, eight taps
// of each a register, so that no sum crosses the halves. Each step first
// moves the weights by the sign of the residual before, so that the
// windows it needs end at the sample it codes. With Cross, the stereo
// stage: channel 1's prediction also takes channel 0's window up to the
// current sample against weights of its own (registers 2V on, whose low
// half stays 0), moved by channel 1's signs and channel 0's directions of
// the window before.
template <int V, bool Cross>
struct EncodePair {
    static constexpr int kRegisters = Cross ? 4 * V : 2 * V;
    int32_t* x0;
    int32_t* x1;
    __m256i weights[kRegisters], last, round, predShift;

    __attribute__((target("avx2"))) EncodePair(int32_t* const* xs, const LmsParams& p, const int* inShifts)
        : x0(xs[0]), x1(xs[1])
    {
        const State st0(p, inShifts[0], false), st1(p, inShifts[1], false);
        for (int v = 0; v < kRegisters; ++v)
            weights[v] = _mm256_setzero_si256();
        last = _mm256_setzero_si256();  // no residual before the first: no move
        round = halves(st0.round, st1.round);
        predShift = halves(st0.predShift, st1.predShift);
    }

    __attribute__((target("avx2"))) void operator()(int at, int m, int16_t* const* hs, int16_t* const* ds)
    {
        const int16_t* h0 = hs[0] - 16 * V;
        const int16_t* h1 = hs[1] - 16 * V;
        const int16_t* d0 = ds[0] - 16 * V;
        const int16_t* d1 = ds[1] - 16 * V;
        __m256i w[kRegisters];  // in registers: the output stores might alias the members
        std::copy(weights, weights + kRegisters, w);
        __m256i err = last;
        for (int i = 0; i < m; ++i) {
            __m256i h[kRegisters], d[kRegisters];
            for (int v = 0; v < 2 * V; ++v) {
                // this sample's history, the directions of the one before
                h[v] = _mm256_loadu2_m128i((const __m128i*)(h1 + i + 8 * v), (const __m128i*)(h0 + i + 8 * v));
                d[v] = _mm256_loadu2_m128i((const __m128i*)(d1 + i - 1 + 8 * v), (const __m128i*)(d0 + i - 1 + 8 * v));
                if constexpr (Cross) {
                    const __m256i zero = _mm256_setzero_si256();
                    h[2 * V + v] = _mm256_inserti128_si256(zero, _mm_loadu_si128((const __m128i*)(h0 + i + 1 + 8 * v)), 1);
                    d[2 * V + v] = _mm256_inserti128_si256(zero, _mm_loadu_si128((const __m128i*)(d0 + i + 8 * v)), 1);
                }
            }
            const __m256i dot = moved_sum<kRegisters, half_sums>(w, h, d, err);
            err = _mm256_sub_epi32(pair_at(x0 + at, x1 + at, i, i),
                                   _mm256_srav_epi32(_mm256_add_epi32(dot, round), predShift));
            x0[at + i] = _mm256_cvtsi256_si32(err);
            x1[at + i] = _mm256_extract_epi32(err, 4);
        }
        std::copy(w, w + kRegisters, weights);
        last = err;
    }
};

template <bool Encode, int V>
void run_small(int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p)
{
    int c = 0;
    if constexpr (Encode) {
        for (; c + 2 <= count; c += 2) {
            EncodePair<V, false> pair(xs + c, p, inShifts + c);
            encode_pieces<2, V>(xs + c, inShifts + c, n, p, pair);
        }
        if (c < count) {
            EncodeOne<V> one(xs[c], p, inShifts[c]);
            encode_pieces<1, V>(xs + c, inShifts + c, n, p, one);
        }
        return;
    }
    for (; c + 2 <= count; c += 2)
        decode_pair_stage<2 * V>(xs + c, inShifts + c, n, p);
    if (c < count) {
        // a channel alone in both halves: the pair's chain is still the
        // shorter one
        int32_t* const both[2] = {xs[c], xs[c]};
        const int shifts[2] = {inShifts[c], inShifts[c]};
        decode_pair_stage<2 * V>(both, shifts, n, p);
    }
}

// Long filters stream weights, directions and history from memory.
//
// Sixteen weights moved by sign times their directions, stored, and their
// products with the history summed in pairs.
__attribute__((target("avx2"), always_inline)) inline __m256i moved_taps(int16_t* w, const int16_t* d,
                                                                        const int16_t* h, __m256i sign)
{
    const __m256i wj = _mm256_adds_epi16(LOADU(w), _mm256_sign_epi16(LOADU(d), sign));
    _mm256_storeu_si256((__m256i*)w, wj);
    return _mm256_madd_epi16(LOADU(h), wj);
}

// The encoder knows every input, so a frame's 16-bit history and update
// directions are made first (feed_piece, a piece at a time) and the loop
// loads its windows from arrays it never writes: only the weights and the
// residual's sign go from one sample to the next.
__attribute__((target("avx2"))) void encode_long(int32_t* x, int n, const LmsParams& p, int inShift)
{
    const State st(p, inShift, false);
    const int order = st.order;
    const int past = order + 16;  // zeros before the frame's entries
    const size_t room = size_t(past) + size_t(n) + 16;
    thread_local std::vector<int16_t> store;
    store.resize(2 * room + size_t(order));
    int16_t* hist = store.data();
    int16_t* dir = hist + room;
    int16_t* w = dir + room;
    std::fill(hist, hist + past, int16_t(0));
    std::fill(dir, dir + past, int16_t(0));
    std::fill(w, w + order, int16_t(0));
    Feed feed(st);
    for (int at = 0; at < n; at += 2048) {
        int16_t* hs = hist + past + at;
        int16_t* ds = dir + past + at;
        feed_piece<1>(&x, at, std::min(2048, n - at), &feed, &hs, &ds);
    }
    __m256i sign = _mm256_setzero_si256();
    for (int i = 0; i < n; ++i) {
        const int16_t* h = hist + past + i - order;  // inputs i - order .. i - 1
        const int16_t* d = dir + past + i - 1 - order;  // the last sample's window
        __m256i a0 = _mm256_setzero_si256(), a1 = a0;
        int j = 0;
        for (; j + 32 <= order; j += 32) {
            a0 = _mm256_add_epi32(a0, moved_taps(w + j, d + j, h + j, sign));
            a1 = _mm256_add_epi32(a1, moved_taps(w + j + 16, d + j + 16, h + j + 16, sign));
        }
        if (j < order)
            a0 = _mm256_add_epi32(a0, moved_taps(w + j, d + j, h + j, sign));
        const int32_t dot = hsum(_mm256_add_epi32(a0, a1));
        const int32_t err = int32_t(uint32_t(x[i]) - uint32_t(st.predict(dot)));
        x[i] = err;
        sign = _mm256_set1_epi16(int16_t((err > 0) - (err < 0)));
    }
}

// The decoder's long filters, two samples a pass over the weights, two
// channels side by side so that one's chain runs while the other waits.
// The decoder knows every residual before it starts, so both samples'
// update signs are known: the pass applies both updates, forms the first
// sample's sum and the second's over all but its newest history entry
// (which is zero in the window meanwhile), and stores the weights once.
struct LongDecoder {
    State st;
    int32_t* x;
    int sign = 0;  // of the residual before the next sample

    LongDecoder(int32_t* x_, const LmsParams& p, int inShift, int16_t* store) : st(p, inShift, false), x(x_)
    {
        st.hist = store;
        st.dir = store + st.window;
        st.w = st.dir + st.window;
    }
    static size_t room(const LmsParams& p) { return 3 * size_t(p.order + kSlack) + 32; }

    __attribute__((target("avx2"), always_inline)) void pass(int i)
    {
        st.slide_if_full(2);
        const int pos = st.pos, order = st.order;
        const int16_t* h = st.hist + pos - order;
        const int16_t* d = st.dir + pos - 1 - order;
        int16_t* w = st.w;
        st.hist[pos] = 0;
        const __m256i sa = _mm256_set1_epi16(int16_t(sign));
        const __m256i sb = _mm256_set1_epi16(int16_t((x[i] > 0) - (x[i] < 0)));
        __m256i a = _mm256_setzero_si256(), b = a;
        for (int j = 0; j < order; j += 16) {
            const __m256i w1 = _mm256_adds_epi16(LOADU(w + j), _mm256_sign_epi16(LOADU(d + j), sa));
            a = _mm256_add_epi32(a, _mm256_madd_epi16(LOADU(h + j), w1));
            const __m256i w2 = _mm256_adds_epi16(w1, _mm256_sign_epi16(LOADU(d + j + 1), sb));
            b = _mm256_add_epi32(b, _mm256_madd_epi16(LOADU(h + j + 1), w2));
            _mm256_storeu_si256((__m256i*)(w + j), w2);
        }
        const int32_t in0 = int32_t(uint32_t(x[i]) + uint32_t(st.predict(hsum(a))));
        x[i] = in0;
        st.push(in0);
        const uint32_t dot = uint32_t(hsum(b)) + uint32_t(int32_t(w[order - 1]) * st.hist[pos]);
        sign = (x[i + 1] > 0) - (x[i + 1] < 0);
        x[i + 1] = int32_t(uint32_t(x[i + 1]) + uint32_t(st.predict(int32_t(dot))));
        st.push(x[i + 1]);
    }

    __attribute__((target("avx2"))) void last(int i)  // the last sample alone
    {
        st.slide_if_full();
        const int16_t* d = st.dir + st.pos - 1 - st.order;
        const int16_t* h = st.hist + st.pos - st.order;
        const __m256i s = _mm256_set1_epi16(int16_t(sign));
        __m256i a = _mm256_setzero_si256();
        for (int j = 0; j < st.order; j += 16)
            a = _mm256_add_epi32(a, moved_taps(st.w + j, d + j, h + j, s));
        x[i] = int32_t(uint32_t(x[i]) + uint32_t(st.predict(hsum(a))));
    }
};

// K channels' long stages side by side.
template <int K>
__attribute__((target("avx2"))) void decode_long_side_by_side(LongDecoder* ds, int n)
{
    int i = 0;
    for (; i + 2 <= n; i += 2)
        for (int k = 0; k < K; ++k)
            ds[k].pass(i);
    if (i < n)
        for (int k = 0; k < K; ++k)
            ds[k].last(i);
}

void decode_long(int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p)
{
    thread_local std::vector<int16_t> store;
    const size_t room = LongDecoder::room(p);
    store.resize(2 * room);
    for (int c = 0; c < count; c += 2) {
        std::fill(store.begin(), store.end(), int16_t(0));
        if (c + 1 < count) {
            LongDecoder pair[2] = {{xs[c], p, inShifts[c], store.data()},
                                   {xs[c + 1], p, inShifts[c + 1], store.data() + room}};
            decode_long_side_by_side<2>(pair, n);
        } else {
            LongDecoder one[1] = {{xs[c], p, inShifts[c], store.data()}};
            decode_long_side_by_side<1>(one, n);
        }
    }
}

template <bool Encode>
void run(int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p)
{
    if (p.order == 16)
        return run_small<Encode, 1>(xs, inShifts, count, n, p);
    if (p.order == 32)
        return run_small<Encode, 2>(xs, inShifts, count, n, p);
    if (p.order == 48)
        return run_small<Encode, 3>(xs, inShifts, count, n, p);
    if (p.order == 64)
        return run_small<Encode, 4>(xs, inShifts, count, n, p);
    if (!Encode)
        return decode_long(xs, inShifts, count, n, p);
    for (int c = 0; c < count; ++c)
        encode_long(xs[c], n, p, inShifts[c]);
}

} // namespace

void avx2::lms(bool encode, int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p)
{
    encode ? run<true>(xs, inShifts, count, n, p) : run<false>(xs, inShifts, count, n, p);
}

void avx2::lms_stereo(bool encode, int32_t* a, int32_t* b, const int* inShifts, int n, const LmsParams& p)
{
    int32_t* const xs[2] = {a, b};
    if (encode && p.order == 16) {
        EncodePair<1, true> pair(xs, p, inShifts);
        encode_pieces<2, 1>(xs, inShifts, n, p, pair);
    } else if (encode) {
        EncodePair<2, true> pair(xs, p, inShifts);
        encode_pieces<2, 2>(xs, inShifts, n, p, pair);
    } else if (p.order == 16) {
        decode_stereo_pair<2>(a, b, inShifts, n, p);
    } else {
        decode_stereo_pair<4>(a, b, inShifts, n, p);
    }
}

__attribute__((target("avx2"))) void avx2::lms_lpc_pair_start(LmsLpcPair* pass, const int* inShifts, const LmsParams& p)
{
    new (pass->state) PairPass;
    reinterpret_cast<PairPass*>(pass->state)->s.start(p, inShifts);
}

__attribute__((target("avx2"))) void avx2::lms_lpc_pair_on(LmsLpcPair* pass, int32_t* const* xs, int n, int from, int to, const LpcCoefs* const* ks,
                           int parts, Md5Run* md5)
{
    PairPass& own = *reinterpret_cast<PairPass*>(pass->state);
    // eight MD5 steps of the thread's lender's runs beside each two outputs
    Md5Lender* lender = md5_lender();
    if (!lender)
        return pass_on(own, xs, n, from, to, ks, parts, NoSide());
    Md5Stepper steps(*lender, md5);
    pass_on(own, xs, n, from, to, ks, parts, Md5Side{steps});
}

} // namespace monkeys::core
