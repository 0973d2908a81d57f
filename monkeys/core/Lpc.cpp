#include "Lpc.h"

#include <algorithm>
#include <cmath>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "Lms.h"

namespace monkeys::core {

namespace {

void autocorrelation_portable(const double* v, int n, int p, double* r)
{
    for (int lag = 0; lag <= p; ++lag) {
        double s = 0;
        for (int i = lag; i < n; ++i)
            s += v[i] * v[i - lag];
        r[lag] = s;
    }
}

#if defined(__x86_64__)
// Up to twelve lags per pass over the frame, four to a register.
template <int A>
__attribute__((target("avx2,fma"))) void lags_avx2(const double* v, int n, int base, int last, double* r)
{
    const int first = base + 4 * A - 1;
    __m256d acc[A];
    for (int a = 0; a < A; ++a)
        acc[a] = _mm256_setzero_pd();
    for (int i = first; i < n; ++i) {
        __m256d b = _mm256_broadcast_sd(v + i);
        for (int a = 0; a < A; ++a)  // lags base+4a+3 .. base+4a
            acc[a] = _mm256_fmadd_pd(b, _mm256_loadu_pd(v + i - base - 4 * a - 3), acc[a]);
    }
    double sums[4 * A];
    for (int a = 0; a < A; ++a)
        _mm256_storeu_pd(sums + 4 * a, acc[a]);
    for (int j = 0; j < 4 * A && base + j <= last; ++j) {
        const int lag = base + j;
        double s = sums[4 * (j / 4) + 3 - j % 4];
        for (int i = lag; i < std::min(first, n); ++i)  // the products the vector loop left out
            s += v[i] * v[i - lag];
        r[lag] = s;
    }
}

void autocorrelation_avx2(const double* v, int n, int p, double* r)
{
    for (int base = 0; base <= p; base += 12) {
        const int lags = p - base + 1;
        if (lags > 8)
            lags_avx2<3>(v, n, base, p, r);
        else if (lags > 4)
            lags_avx2<2>(v, n, base, p, r);
        else
            lags_avx2<1>(v, n, base, p, r);
    }
}
#endif

void autocorrelation(const double* v, int n, int p, double* r)
{
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        return autocorrelation_avx2(v, n, p, r);
#endif
    autocorrelation_portable(v, n, p, r);
}

} // namespace

LpcCoefs lpc_fit(const int32_t* x, int n, int maxOrder)
{
    LpcCoefs k;
    const int p = std::min(maxOrder, kMaxLpcOrder);
    if (n <= 4 * p || p <= 0)
        return k;
    // autocorrelation of the Welch-windowed frame
    thread_local std::vector<double> w;
    w.resize(size_t(n));
    const double half = 0.5 * (n - 1);
    for (int i = 0; i < n; ++i) {
        double t = (i - half) / half;
        w[size_t(i)] = double(x[i]) * (1.0 - t * t);
    }
    double r[kMaxLpcOrder + 1];
    autocorrelation(w.data(), n, p, r);
    if (r[0] <= 0)
        return k;
    r[0] *= 1.0 + 1e-9;  // a little white noise keeps the solution stable
    // Levinson-Durbin
    double a[kMaxLpcOrder + 1] = {}, tmp[kMaxLpcOrder + 1];
    double err = r[0];
    for (int m = 1; m <= p; ++m) {
        double acc = r[m];
        for (int j = 1; j < m; ++j)
            acc -= a[j] * r[m - j];
        double refl = acc / err;
        if (!std::isfinite(refl) || std::fabs(refl) >= 1.0)
            break;
        for (int j = 1; j < m; ++j)
            tmp[j] = a[j] - refl * a[m - j];
        for (int j = 1; j < m; ++j)
            a[j] = tmp[j];
        a[m] = refl;
        err *= 1.0 - refl * refl;
        k.order = m;
    }
    if (k.order == 0)
        return k;
    double peak = 0;
    for (int j = 1; j <= k.order; ++j)
        peak = std::max(peak, std::fabs(a[j]));
    // 15-bit coefficients: as many fraction bits as the largest one allows
    int shift = 14;
    while (shift > 0 && peak * std::ldexp(1.0, shift) > 32767.0)
        --shift;
    k.shift = shift;
    double carry = 0;  // error feedback keeps the rounded filter close
    for (int j = 0; j < k.order; ++j) {
        double v = a[j + 1] * std::ldexp(1.0, shift) + carry;
        long q = std::lround(v);
        q = std::clamp(q, -32767L, 32767L);
        carry = v - double(q);
        k.c[j] = int16_t(q);
    }
    return k;
}

namespace {

// One prediction from the p samples before x (exact in 64 bits: |c| < 2^15,
// |x| <= 2^31, at most 32 terms). rev holds the coefficients oldest first.
inline int64_t dot_portable(const int32_t* past, const int64_t* rev, int p)
{
    int64_t acc = 0;
    for (int j = 0; j < p; ++j)
        acc += rev[j] * int64_t(past[j]);
    return acc;
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) inline int64_t dot_avx2(const int32_t* past, const int64_t* rev, int p)
{
    __m256i acc = _mm256_setzero_si256();
    int j = 0;
    for (; j + 4 <= p; j += 4) {
        __m256i xv = _mm256_cvtepi32_epi64(_mm_loadu_si128((const __m128i*)(past + j)));
        acc = _mm256_add_epi64(acc, _mm256_mul_epi32(xv, _mm256_loadu_si256((const __m256i*)(rev + j))));
    }
    __m128i s = _mm_add_epi64(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
    int64_t sum = _mm_cvtsi128_si64(s) + _mm_extract_epi64(s, 1);
    for (; j < p; ++j)
        sum += rev[j] * int64_t(past[j]);
    return sum;
}

// The encoder knows every input, so it forms four predictions at once,
// one per 64-bit lane, without horizontal sums. The low 32 bits of the
// arithmetic shift are those of the logical one (shift <= 15).
__attribute__((target("avx2"))) void encode_avx2(int32_t* x, int n, const int64_t* rev, int p, int shift)
{
    const __m128i sh = _mm_cvtsi32_si128(shift);
    const __m256i pick = _mm256_setr_epi32(0, 2, 4, 6, 0, 0, 0, 0);
    int i = n - 4;
    // blocks from the top down: a block reads only samples below it
    for (; i >= p; i -= 4) {
        __m256i acc = _mm256_setzero_si256();
        for (int j = 0; j < p; ++j) {
            __m256i xv = _mm256_cvtepi32_epi64(_mm_loadu_si128((const __m128i*)(x + i - p + j)));
            acc = _mm256_add_epi64(acc, _mm256_mul_epi32(xv, _mm256_set1_epi64x(rev[j])));
        }
        __m128i pred = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(_mm256_srl_epi64(acc, sh), pick));
        __m128i cur = _mm_loadu_si128((const __m128i*)(x + i));
        _mm_storeu_si128((__m128i*)(x + i), _mm_sub_epi32(cur, pred));
    }
    for (int k = std::min(i + 3, n - 1); k >= p; --k)
        x[k] = int32_t(uint32_t(x[k]) - uint32_t(uint64_t(dot_portable(x + k - p, rev, p) >> shift)));
}

template <bool Encode>
__attribute__((target("avx2"))) void filter_avx2(int32_t* x, int n, const int64_t* rev, int p, int shift)
{
    if constexpr (Encode) {
        encode_avx2(x, n, rev, p, shift);
    } else {
        for (int i = p; i < n; ++i)
            x[i] = int32_t(uint32_t(x[i]) + uint32_t(uint64_t(dot_avx2(x + i - p, rev, p) >> shift)));
    }
}

// Two channels in step, so that their dependency chains overlap.
__attribute__((target("avx2"))) void decode2_avx2(int32_t* x0, const int64_t* r0, int p0, int s0, int32_t* x1,
                                                  const int64_t* r1, int p1, int s1, int from, int n)
{
    for (int i = from; i < n; ++i) {
        int64_t a0 = dot_avx2(x0 + i - p0, r0, p0);
        int64_t a1 = dot_avx2(x1 + i - p1, r1, p1);
        x0[i] = int32_t(uint32_t(x0[i]) + uint32_t(uint64_t(a0 >> s0)));
        x1[i] = int32_t(uint32_t(x1[i]) + uint32_t(uint64_t(a1 >> s1)));
    }
}

bool detect_avx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
const bool kAvx2 = detect_avx2();
#endif

// The prediction uses the original samples, so the encoder goes backwards
// in place. The first p samples see a shorter past.
template <bool Encode>
void filter(int32_t* x, int n, const LpcCoefs& k)
{
    const int p = k.order;
    if (p == 0)
        return;
    int64_t rev[kMaxLpcOrder];
    for (int j = 0; j < p; ++j)
        rev[j] = k.c[p - 1 - j];
    auto at = [&](int i) {
        const int m = std::min(i, p);
        int64_t acc = dot_portable(x + i - m, rev + p - m, m);
        uint32_t pred = uint32_t(uint64_t(acc >> k.shift));
        x[i] = int32_t(Encode ? uint32_t(x[i]) - pred : uint32_t(x[i]) + pred);
    };
    const int head = std::min(n, p);
    if (!Encode)
        for (int i = 0; i < head; ++i)
            at(i);
#if defined(__x86_64__)
    if (kAvx2 && !lpc_portable_forced())
        filter_avx2<Encode>(x, n, rev, p, k.shift);
    else
#endif
    if (Encode)
        for (int i = n - 1; i >= p; --i)
            at(i);
    else
        for (int i = p; i < n; ++i)
            at(i);
    if (Encode)
        for (int i = head - 1; i >= 0; --i)
            at(i);
}


// The first eight samples as the general filter does them (shorter past).
void decode_short(int32_t* x, int n, const LpcCoefs& k)
{
    const int head = std::min(n, kShortOrder);
    filter<false>(x, head, k);
    if (n <= kShortOrder)
        return;
    LpcShortDecoder f(k, x);
    for (int i = kShortOrder; i < n; ++i)
        x[i] = f.next(x[i]);
}

void decode_short2(int32_t* x0, const LpcCoefs& k0, int32_t* x1, const LpcCoefs& k1, int n)
{
    const int head = std::min(n, kShortOrder);
    filter<false>(x0, head, k0);
    filter<false>(x1, head, k1);
    if (n <= kShortOrder)
        return;
    LpcShortDecoder f0(k0, x0), f1(k1, x1);
    for (int i = kShortOrder; i < n; ++i) {
        x0[i] = f0.next(x0[i]);
        x1[i] = f1.next(x1[i]);
    }
}

} // namespace

void lpc_encode(int32_t* x, int n, const LpcCoefs& k) { filter<true>(x, n, k); }
void lpc_decode(int32_t* x, int n, const LpcCoefs& k)
{
    if (lpc_is_short(k))
        return decode_short(x, n, k);
    filter<false>(x, n, k);
}

void lpc_decode(int32_t* const* xs, const LpcCoefs* ks, int count, int n)
{
    for (int c = 0; c < count;) {
        const LpcCoefs& k0 = ks[c];
        if (c + 2 <= count && lpc_is_short(k0) && lpc_is_short(ks[c + 1])) {
            decode_short2(xs[c], k0, xs[c + 1], ks[c + 1], n);
            c += 2;
            continue;
        }
#if defined(__x86_64__)
        const LpcCoefs& k1 = ks[c + 1 < count ? c + 1 : c];
        if (c + 2 <= count && kAvx2 && !lpc_portable_forced() && k0.order > kShortOrder && k1.order > kShortOrder) {
            const int from = std::min(n, std::max(k0.order, k1.order));
            // the first samples one by one, then both in step
            filter<false>(xs[c], from, k0);
            filter<false>(xs[c + 1], from, k1);
            int64_t r0[kMaxLpcOrder], r1[kMaxLpcOrder];
            for (int j = 0; j < k0.order; ++j)
                r0[j] = k0.c[k0.order - 1 - j];
            for (int j = 0; j < k1.order; ++j)
                r1[j] = k1.c[k1.order - 1 - j];
            decode2_avx2(xs[c], r0, k0.order, k0.shift, xs[c + 1], r1, k1.order, k1.shift, from, n);
            c += 2;
            continue;
        }
#endif
        lpc_decode(xs[c], n, k0);
        ++c;
    }
}

} // namespace monkeys::core
