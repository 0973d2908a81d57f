#include "Lpc.h"

#include <algorithm>
#include <cmath>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "Lms.h"

namespace monkeys::core {

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
    for (int lag = 0; lag <= p; ++lag)
        r[lag] = 0;
    // the lags in groups of four per pass over the frame
    for (int lag = 0; lag <= p; lag += 4) {
        double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        const double* v = w.data();
        for (int i = lag + 3; i < n; ++i) {
            s0 += v[i] * v[i - lag];
            s1 += v[i] * v[i - lag - 1];
            s2 += v[i] * v[i - lag - 2];
            s3 += v[i] * v[i - lag - 3];
        }
        for (int i = lag; i < std::min(n, lag + 3); ++i) {  // the first few products of the lower lags
            s0 += v[i] * v[i - lag];
            if (i >= lag + 1)
                s1 += v[i] * v[i - lag - 1];
            if (i >= lag + 2)
                s2 += v[i] * v[i - lag - 2];
        }
        double* out = r + lag;
        out[0] = s0;
        if (lag + 1 <= p) out[1] = s1;
        if (lag + 2 <= p) out[2] = s2;
        if (lag + 3 <= p) out[3] = s3;
    }
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

template <bool Encode>
__attribute__((target("avx2"))) void filter_avx2(int32_t* x, int n, const int64_t* rev, int p, int shift)
{
    if constexpr (Encode) {
        for (int i = n - 1; i >= p; --i)
            x[i] = int32_t(uint32_t(x[i]) - uint32_t(uint64_t(dot_avx2(x + i - p, rev, p) >> shift)));
    } else {
        for (int i = p; i < n; ++i)
            x[i] = int32_t(uint32_t(x[i]) + uint32_t(uint64_t(dot_avx2(x + i - p, rev, p) >> shift)));
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

} // namespace

void lpc_encode(int32_t* x, int n, const LpcCoefs& k) { filter<true>(x, n, k); }
void lpc_decode(int32_t* x, int n, const LpcCoefs& k) { filter<false>(x, n, k); }

} // namespace monkeys::core
