// The adaptive stages in AVX2: the same bits as the portable code in
// Lms.cpp for every input (all sums are taken modulo 2^32).
#include <immintrin.h>

#include <optional>

#include "Kernels.h"
#include "LmsState.h"

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

// Shifts the 16 lanes down by one; the lowest lane of in enters at the top.
__attribute__((target("avx2"))) inline __m256i shift_in(__m256i v, __m256i in)
{
    return _mm256_alignr_epi8(_mm256_permute2x128_si256(v, in, 0x21), v, 2);
}

// Small filters keep weights, history and directions in registers, and
// run K channels side by side so that their dependency chains overlap.
// The chain from one prediction to the next stays in vector registers.
// What the decoder does with each output before storing it.
struct Keep {
    int32_t operator()(int, int, int32_t v) { return v; }
};

// The fixed predictor's decoding of each output, done in the same pass:
// its dependency chain and the filter's then overlap.
// Its two decoders are named members, not an array, so that they can live
// in registers: a decoder's history in memory, rewritten every sample,
// made each load wait for the stores before it.
struct ThenLpc {
    int32_t* const* x;
    const LpcCoefs* k;
    LpcShortDecoder dec0{}, dec1{};

    int32_t operator()(int ch, int i, int32_t v)
    {
        LpcShortDecoder& dec = ch == 0 ? dec0 : dec1;
        if (i >= kShortOrder) [[likely]]
            return dec.next(v);
        if (i < kShortOrder - 1)
            return v;
        // the first samples see a shorter past: decoded as the filter does
        x[ch][i] = v;
        lpc_decode(x[ch], kShortOrder, k[ch]);
        dec = LpcShortDecoder(k[ch], x[ch]);
        return x[ch][i];
    }
};

template <bool Encode, int V, int K, class Post = Keep>
__attribute__((target("avx2"))) void run_avx2_small(int32_t* const* xs, const int* inShifts, int n,
                                                    const LmsParams& p, const Post& given = Post())
{
    Post post = given;  // a local, so that its state may stay in registers
    // the scalar state as plain locals too, for registers
    Feed feeds[K];
    __m256i w[K][V], h[K][V], d[K][V], round[K];
    __m128i predShift[K], inShift[K];
    int32_t* x[K];
    for (int k = 0; k < K; ++k) {
        const State st(p, inShifts[k], false);
        feeds[k] = Feed(st);
        x[k] = xs[k];
        round[k] = _mm256_set1_epi32(st.round);
        predShift[k] = _mm_cvtsi32_si128(st.predShift);
        inShift[k] = _mm_cvtsi32_si128(inShifts[k]);
        for (int v = 0; v < V; ++v)
            w[k][v] = h[k][v] = d[k][v] = _mm256_setzero_si256();
    }
    const __m256i zero = _mm256_setzero_si256();
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < K; ++k) {
            __m256i acc = _mm256_madd_epi16(h[k][0], w[k][0]);
            for (int v = 1; v < V; ++v)
                acc = _mm256_add_epi32(acc, _mm256_madd_epi16(h[k][v], w[k][v]));
            // the sum in every lane
            acc = _mm256_add_epi32(acc, _mm256_permute2x128_si256(acc, acc, 0x01));
            acc = _mm256_add_epi32(acc, _mm256_shuffle_epi32(acc, 0x4E));
            acc = _mm256_add_epi32(acc, _mm256_shuffle_epi32(acc, 0xB1));
            __m256i pred = _mm256_sra_epi32(_mm256_add_epi32(acc, round[k]), predShift[k]);
            __m256i given = _mm256_set1_epi32(x[k][i]);
            __m256i err, in;
            if constexpr (Encode) {
                in = given;
                err = _mm256_sub_epi32(given, pred);
            } else {
                err = given;
                in = _mm256_add_epi32(given, pred);
            }
            __m256i sign = _mm256_sub_epi32(_mm256_cmpgt_epi32(zero, err), _mm256_cmpgt_epi32(err, zero));
            sign = _mm256_packs_epi32(sign, sign);
            for (int v = 0; v < V; ++v)
                w[k][v] = _mm256_adds_epi16(w[k][v], _mm256_sign_epi16(d[k][v], sign));
            __m256i hv = _mm256_sra_epi32(in, inShift[k]);
            hv = _mm256_packs_epi32(hv, hv);
            const int32_t inScalar = _mm256_cvtsi256_si32(in);
            x[k][i] = Encode ? _mm256_cvtsi256_si32(err) : post(k, i, inScalar);
            int16_t hn, dn;
            feeds[k](inScalar, hn, dn);
            __m256i dv = _mm256_castsi128_si256(_mm_cvtsi32_si128(uint16_t(dn)));
            for (int v = 0; v + 1 < V; ++v) {
                h[k][v] = shift_in(h[k][v], h[k][v + 1]);
                d[k][v] = shift_in(d[k][v], d[k][v + 1]);
            }
            h[k][V - 1] = shift_in(h[k][V - 1], hv);
            d[k][V - 1] = shift_in(d[k][V - 1], dv);
        }
    }
}

// Long filters stream weights, directions and history from memory, four
// loads and a store per sixteen taps. Small directions (at most 64, as
// the long stages use) are kept a second time as bytes, which takes a
// quarter of that traffic away.
template <bool Encode, bool Narrow>
__attribute__((target("avx2"))) void run_avx2(int32_t* x, int n, const LmsParams& p, int inShift)
{
    State st(p, inShift);
    const int order = st.order;
    int16_t* w = st.w;
    thread_local std::vector<int8_t> narrow;
    if (Narrow)
        narrow.assign(size_t(st.window) + 32, 0);
    __m256i sign = _mm256_setzero_si256();
    const int8_t* dir8 = narrow.data();
#define DIRS(at) (Narrow ? _mm256_cvtepi8_epi16(_mm_loadu_si128((const __m128i*)(dir8 + (at)))) : LOADU(st.dir + (at)))
    for (int i = 0; i < n; ++i) {
        if (st.slide_if_full() && Narrow)
            std::memmove(narrow.data(), narrow.data() + st.window - (order + 1), size_t(order + 1));
        const int d = st.pos - 1 - order;
        const int16_t* h = st.hist + st.pos - order;
        __m256i a0 = _mm256_setzero_si256(), a1 = _mm256_setzero_si256();
        int j0 = 0;
        if (order >= 64) {
            __m256i a2 = _mm256_setzero_si256(), a3 = _mm256_setzero_si256();
            for (; j0 + 64 <= order; j0 += 64) {
                __m256i w0 = _mm256_adds_epi16(LOADU(w + j0), _mm256_sign_epi16(DIRS(d + j0), sign));
                __m256i w1 = _mm256_adds_epi16(LOADU(w + j0 + 16), _mm256_sign_epi16(DIRS(d + j0 + 16), sign));
                __m256i w2 = _mm256_adds_epi16(LOADU(w + j0 + 32), _mm256_sign_epi16(DIRS(d + j0 + 32), sign));
                __m256i w3 = _mm256_adds_epi16(LOADU(w + j0 + 48), _mm256_sign_epi16(DIRS(d + j0 + 48), sign));
                _mm256_storeu_si256((__m256i*)(w + j0), w0);
                _mm256_storeu_si256((__m256i*)(w + j0 + 16), w1);
                _mm256_storeu_si256((__m256i*)(w + j0 + 32), w2);
                _mm256_storeu_si256((__m256i*)(w + j0 + 48), w3);
                a0 = _mm256_add_epi32(a0, _mm256_madd_epi16(LOADU(h + j0), w0));
                a1 = _mm256_add_epi32(a1, _mm256_madd_epi16(LOADU(h + j0 + 16), w1));
                a2 = _mm256_add_epi32(a2, _mm256_madd_epi16(LOADU(h + j0 + 32), w2));
                a3 = _mm256_add_epi32(a3, _mm256_madd_epi16(LOADU(h + j0 + 48), w3));
            }
            a0 = _mm256_add_epi32(a0, a2);
            a1 = _mm256_add_epi32(a1, a3);
        }
        for (int j = j0; j < order; j += 32) {
            if (j + 32 > order) {
                __m256i w0 = _mm256_adds_epi16(LOADU(w + j), _mm256_sign_epi16(DIRS(d + j), sign));
                _mm256_storeu_si256((__m256i*)(w + j), w0);
                a0 = _mm256_add_epi32(a0, _mm256_madd_epi16(LOADU(h + j), w0));
                break;
            }
            __m256i w0 = _mm256_adds_epi16(LOADU(w + j), _mm256_sign_epi16(DIRS(d + j), sign));
            __m256i w1 = _mm256_adds_epi16(LOADU(w + j + 16), _mm256_sign_epi16(DIRS(d + j + 16), sign));
            _mm256_storeu_si256((__m256i*)(w + j), w0);
            _mm256_storeu_si256((__m256i*)(w + j + 16), w1);
            a0 = _mm256_add_epi32(a0, _mm256_madd_epi16(LOADU(h + j), w0));
            a1 = _mm256_add_epi32(a1, _mm256_madd_epi16(LOADU(h + j + 16), w1));
        }
        sign = _mm256_set1_epi16(int16_t(step<Encode>(st, x + i, hsum(_mm256_add_epi32(a0, a1)))));
        if constexpr (Narrow)
            narrow[size_t(st.pos - 1)] = int8_t(st.dir[st.pos - 1]);
    }
#undef DIRS
}

template <bool Encode, int V>
void run_small(int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p)
{
    int c = 0;
    for (; c + 2 <= count; c += 2)
        run_avx2_small<Encode, V, 2>(xs + c, inShifts + c, n, p);
    if (c < count)
        run_avx2_small<Encode, V, 1>(xs + c, inShifts + c, n, p);
}

template <bool Encode>
void run(int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p)
{
    if (p.order == 16)
        return run_small<Encode, 1>(xs, inShifts, count, n, p);
    if (p.order == 32)
        return run_small<Encode, 2>(xs, inShifts, count, n, p);
    const bool narrow = (int32_t(1) << (p.dirBits + 2)) <= 64;
    for (int c = 0; c < count; ++c)
        narrow ? run_avx2<Encode, true>(xs[c], n, p, inShifts[c]) : run_avx2<Encode, false>(xs[c], n, p, inShifts[c]);
}

} // namespace

void avx2::lms(bool encode, int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p)
{
    encode ? run<true>(xs, inShifts, count, n, p) : run<false>(xs, inShifts, count, n, p);
}

void avx2::lms_lpc_pair(int32_t* const* xs, const int* inShifts, int n, const LmsParams& p, const LpcCoefs* ks)
{
    run_avx2_small<false, 1, 2>(xs, inShifts, n, p, ThenLpc{xs, ks, {}});
}

} // namespace monkeys::core
