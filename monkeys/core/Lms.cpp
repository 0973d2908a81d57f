#include "Lms.h"

#include "Lpc.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define CORE_X86 1
#endif

namespace monkeys::core {
namespace {

constexpr int kSlack = 4096;

inline int16_t sat16(int32_t v) { return int16_t(std::clamp(v, -32768, 32767)); }

std::atomic<bool> gPortable{false};

inline int bit_length(uint32_t v) { return v == 0 ? 0 : 32 - __builtin_clz(v); }

// The filter state. The history (16-bit copy of the input) and the update
// directions live in windows longer than the filter, slid back now and
// then, so that the taps are one contiguous run. Each step first applies
// the previous sample's update, w += sign(err) * dir, then forms the next
// prediction; the vector code fuses both into one pass.
struct State {
    int order, window, pos;
    int predShift, inShift, dirBits;
    int32_t round, dirMax;
    uint32_t avg16 = 16;  // 16 times the mean magnitude of the input
    int16_t* hist;
    int16_t* dir;
    int16_t* w;

    State(const LmsParams& p, int shiftIn, bool windows = true)
        : order(p.order), window(p.order + kSlack), pos(p.order + 1), predShift(p.shift - shiftIn),
          inShift(shiftIn), dirBits(p.dirBits), round(predShift > 0 ? int32_t(1) << (predShift - 1) : 0),
          dirMax(int32_t(1) << (p.dirBits + 2))
    {
        thread_local std::vector<int16_t> store;
        if (!windows)
            return;
        store.assign(size_t(3) * size_t(window) + 32, 0);
        hist = store.data();
        dir = hist + window;
        w = dir + window;
    }

    void slide_if_full()
    {
        if (pos < window)
            return;
        const int keep = order + 1;
        std::memmove(hist, hist + window - keep, size_t(keep) * sizeof(int16_t));
        std::memmove(dir, dir + window - keep, size_t(keep) * sizeof(int16_t));
        pos = keep;
    }

    int32_t predict(int32_t dot) const { return int32_t(uint32_t(dot) + uint32_t(round)) >> predShift; }

    // The 16-bit history value of an input and its update direction.
    void feed(int32_t in, int16_t& h, int16_t& d)
    {
        h = sat16(in >> inShift);
        int32_t mag = h < 0 ? -h : h;
        int32_t m = std::min((mag << dirBits) >> bit_length(avg16 >> 4), dirMax);
        d = int16_t(h < 0 ? -m : m);
        avg16 += uint32_t(mag) - (avg16 >> 4);
    }

    void push(int32_t in)
    {
        feed(in, hist[pos], dir[pos]);
        ++pos;
    }
};

// Forms the output from the prediction; returns the sign of the error.
template <bool Encode>
inline int apply(const State& st, int32_t* x, int32_t dot, int32_t& in)
{
    int32_t pred = st.predict(dot);
    int32_t err;
    if constexpr (Encode) {
        in = *x;
        err = int32_t(uint32_t(in) - uint32_t(pred));
        *x = err;
    } else {
        err = *x;
        in = int32_t(uint32_t(err) + uint32_t(pred));
        *x = in;
    }
    return (err > 0) - (err < 0);
}

template <bool Encode>
inline int step(State& st, int32_t* x, int32_t dot)
{
    int32_t in;
    int sign = apply<Encode>(st, x, dot, in);
    st.push(in);
    return sign;
}

template <bool Encode>
void run_portable(int32_t* x, int n, const LmsParams& p, int inShift)
{
    State st(p, inShift);
    const int order = st.order;
    int sign = 0;
    for (int i = 0; i < n; ++i) {
        st.slide_if_full();
        const int16_t* d = st.dir + st.pos - 1 - order;
        const int16_t* h = st.hist + st.pos - order;
        uint32_t dot = 0;
        for (int j = 0; j < order; ++j) {
            int32_t wj = std::clamp(int32_t(st.w[j]) + sign * d[j], -32768, 32767);
            st.w[j] = int16_t(wj);
            dot += uint32_t(wj * int32_t(h[j]));
        }
        sign = step<Encode>(st, x + i, int32_t(dot));
    }
}

#ifdef CORE_X86
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
struct ThenLpc {
    int32_t* const* x;
    const LpcCoefs* k;
    std::optional<LpcShortDecoder> dec[2];

    int32_t operator()(int ch, int i, int32_t v)
    {
        if (i >= kShortOrder)
            return dec[ch]->next(v);
        if (i < kShortOrder - 1)
            return v;
        // the first samples see a shorter past: decoded as the filter does
        x[ch][i] = v;
        lpc_decode(x[ch], kShortOrder, k[ch]);
        dec[ch].emplace(k[ch], x[ch]);
        return x[ch][i];
    }
};

template <bool Encode, int V, int K, class Post = Keep>
__attribute__((target("avx2"))) void run_avx2_small(int32_t* const* xs, const int* inShifts, int n,
                                                    const LmsParams& p, Post post = Post())
{
    std::optional<State> st[K];
    __m256i w[K][V], h[K][V], d[K][V], round[K];
    __m128i predShift[K], inShift[K];
    int32_t* x[K];
    for (int k = 0; k < K; ++k) {
        st[k].emplace(p, inShifts[k], false);
        x[k] = xs[k];
        round[k] = _mm256_set1_epi32(st[k]->round);
        predShift[k] = _mm_cvtsi32_si128(st[k]->predShift);
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
            st[k]->feed(inScalar, hn, dn);
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
        if (Narrow && st.pos >= st.window) {
            const int keep = order + 1;
            std::memmove(narrow.data(), narrow.data() + st.window - keep, size_t(keep));
        }
        st.slide_if_full();
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

bool have_avx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
const bool kAvx2 = have_avx2();
#else
const bool kAvx2 = false;
#endif

#ifdef CORE_X86
template <bool Encode, int V>
void run_small(int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p)
{
    int c = 0;
    for (; c + 2 <= count; c += 2)
        run_avx2_small<Encode, V, 2>(xs + c, inShifts + c, n, p);
    if (c < count)
        run_avx2_small<Encode, V, 1>(xs + c, inShifts + c, n, p);
}
#endif

template <bool Encode>
void run(int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p)
{
#ifdef CORE_X86
    if (kAvx2 && !gPortable.load(std::memory_order_relaxed)) {
        if (p.order == 16)
            return run_small<Encode, 1>(xs, inShifts, count, n, p);
        if (p.order == 32)
            return run_small<Encode, 2>(xs, inShifts, count, n, p);
        const bool narrow = (int32_t(1) << (p.dirBits + 2)) <= 64;
        for (int c = 0; c < count; ++c)
            narrow ? run_avx2<Encode, true>(xs[c], n, p, inShifts[c]) : run_avx2<Encode, false>(xs[c], n, p, inShifts[c]);
        return;
    }
#endif
    for (int c = 0; c < count; ++c)
        run_portable<Encode>(xs[c], n, p, inShifts[c]);
}

} // namespace

bool lms_params_valid(const LmsParams& p, int inShift)
{
    return p.order >= 16 && p.order <= kMaxOrder && p.order % 16 == 0 && p.shift >= inShift &&
           p.shift <= 24 && p.dirBits >= 0 && p.dirBits <= 10 && inShift >= 0 && inShift <= 24;
}

void lms_encode(int32_t* x, int n, const LmsParams& p, int inShift) { run<true>(&x, &inShift, 1, n, p); }
void lms_decode(int32_t* x, int n, const LmsParams& p, int inShift) { run<false>(&x, &inShift, 1, n, p); }
void lms_encode(int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p)
{
    run<true>(xs, inShifts, count, n, p);
}
void lms_decode(int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p)
{
    run<false>(xs, inShifts, count, n, p);
}

bool lms_lpc_decode_pair(int32_t* const* xs, const int* inShifts, int n, const LmsParams& p, const LpcCoefs* ks)
{
#ifdef CORE_X86
    if (!kAvx2 || gPortable.load(std::memory_order_relaxed) || p.order != 16 || n < kShortOrder ||
        !lpc_is_short(ks[0]) || !lpc_is_short(ks[1]))
        return false;
    run_avx2_small<false, 1, 2>(xs, inShifts, n, p, ThenLpc{xs, ks, {}});
    return true;
#else
    (void)xs, (void)inShifts, (void)n, (void)p, (void)ks;
    return false;
#endif
}

void lms_force_portable(bool on) { gPortable.store(on); }
bool lpc_portable_forced() { return gPortable.load(std::memory_order_relaxed); }
bool lms_has_vector_code() { return kAvx2; }

} // namespace monkeys::core
