#include "Lms.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define CORE_X86 1
#endif

namespace monkeys::core {
namespace {

constexpr int kSlack = 4096;

inline int16_t sat16(int32_t v) { return int16_t(std::clamp(v, -32767, 32767)); }

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
    std::vector<int16_t> store;
    int16_t* hist;
    int16_t* dir;
    int16_t* w;

    State(const LmsParams& p, int shiftIn)
        : order(p.order), window(p.order + kSlack), pos(p.order + 1), predShift(p.shift - shiftIn),
          inShift(shiftIn), dirBits(p.dirBits), round(predShift > 0 ? int32_t(1) << (predShift - 1) : 0),
          dirMax(int32_t(1) << (p.dirBits + 2)), store(size_t(3) * size_t(window) + 32, 0)
    {
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

    void push(int32_t in)
    {
        int16_t h = sat16(in >> inShift);
        int32_t mag = h < 0 ? -h : h;
        int32_t d = std::min((mag << dirBits) >> bit_length(avg16 >> 4), dirMax);
        hist[pos] = h;
        dir[pos] = int16_t(h < 0 ? -d : d);
        avg16 += uint32_t(mag) - (avg16 >> 4);
        ++pos;
    }
};

template <bool Encode>
inline int step(State& st, int32_t* x, int32_t dot)
{
    int32_t pred = st.predict(dot);
    int32_t err, in;
    if constexpr (Encode) {
        in = *x;
        err = int32_t(uint32_t(in) - uint32_t(pred));
        *x = err;
    } else {
        err = *x;
        in = int32_t(uint32_t(err) + uint32_t(pred));
        *x = in;
    }
    st.push(in);
    return (err > 0) - (err < 0);
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

// Small filters keep their weights in registers.
template <bool Encode, int V>
__attribute__((target("avx2"))) void run_avx2_small(int32_t* x, int n, const LmsParams& p, int inShift)
{
    State st(p, inShift);
    constexpr int order = 16 * V;
    __m256i w[V];
    for (int v = 0; v < V; ++v)
        w[v] = _mm256_setzero_si256();
    __m256i sign = _mm256_setzero_si256();
    for (int i = 0; i < n; ++i) {
        st.slide_if_full();
        const int16_t* d = st.dir + st.pos - 1 - order;
        const int16_t* h = st.hist + st.pos - order;
        __m256i acc = _mm256_setzero_si256();
        for (int v = 0; v < V; ++v) {
            w[v] = _mm256_adds_epi16(w[v], _mm256_sign_epi16(LOADU(d + 16 * v), sign));
            acc = _mm256_add_epi32(acc, _mm256_madd_epi16(LOADU(h + 16 * v), w[v]));
        }
        sign = _mm256_set1_epi16(int16_t(step<Encode>(st, x + i, hsum(acc))));
    }
}

template <bool Encode>
__attribute__((target("avx2"))) void run_avx2(int32_t* x, int n, const LmsParams& p, int inShift)
{
    State st(p, inShift);
    const int order = st.order;
    int16_t* w = st.w;
    __m256i sign = _mm256_setzero_si256();
    for (int i = 0; i < n; ++i) {
        st.slide_if_full();
        const int16_t* d = st.dir + st.pos - 1 - order;
        const int16_t* h = st.hist + st.pos - order;
        __m256i a0 = _mm256_setzero_si256(), a1 = _mm256_setzero_si256();
        for (int j = 0; j < order; j += 32) {
            if (j + 32 > order) {
                __m256i w0 = _mm256_adds_epi16(LOADU(w + j), _mm256_sign_epi16(LOADU(d + j), sign));
                _mm256_storeu_si256((__m256i*)(w + j), w0);
                a0 = _mm256_add_epi32(a0, _mm256_madd_epi16(LOADU(h + j), w0));
                break;
            }
            __m256i w0 = _mm256_adds_epi16(LOADU(w + j), _mm256_sign_epi16(LOADU(d + j), sign));
            __m256i w1 = _mm256_adds_epi16(LOADU(w + j + 16), _mm256_sign_epi16(LOADU(d + j + 16), sign));
            _mm256_storeu_si256((__m256i*)(w + j), w0);
            _mm256_storeu_si256((__m256i*)(w + j + 16), w1);
            a0 = _mm256_add_epi32(a0, _mm256_madd_epi16(LOADU(h + j), w0));
            a1 = _mm256_add_epi32(a1, _mm256_madd_epi16(LOADU(h + j + 16), w1));
        }
        sign = _mm256_set1_epi16(int16_t(step<Encode>(st, x + i, hsum(_mm256_add_epi32(a0, a1)))));
    }
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

template <bool Encode>
void run(int32_t* x, int n, const LmsParams& p, int inShift)
{
#ifdef CORE_X86
    if (kAvx2 && !gPortable.load(std::memory_order_relaxed)) {
        if (p.order == 16)
            return run_avx2_small<Encode, 1>(x, n, p, inShift);
        if (p.order == 32)
            return run_avx2_small<Encode, 2>(x, n, p, inShift);
        return run_avx2<Encode>(x, n, p, inShift);
    }
#endif
    run_portable<Encode>(x, n, p, inShift);
}

} // namespace

bool lms_params_valid(const LmsParams& p, int inShift)
{
    return p.order >= 16 && p.order <= kMaxOrder && p.order % 16 == 0 && p.shift >= inShift &&
           p.shift <= 24 && p.dirBits >= 0 && p.dirBits <= 10 && inShift >= 0 && inShift <= 24;
}

void lms_encode(int32_t* x, int n, const LmsParams& p, int inShift) { run<true>(x, n, p, inShift); }
void lms_decode(int32_t* x, int n, const LmsParams& p, int inShift) { run<false>(x, n, p, inShift); }

void lms_force_portable(bool on) { gPortable.store(on); }
bool lms_has_vector_code() { return kAvx2; }

} // namespace monkeys::core
