#include "Lpc.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "Cpu.h"
#include "Kernels.h"
#include "LargeMemory.h"

namespace monkeys::core {

namespace {

inline int bit_length(uint64_t v) { return v == 0 ? 0 : 64 - __builtin_clzll(v); }

// One prediction from the p samples before x (exact in 64 bits: |c| < 2^15,
// |x| <= 2^31, at most 32 terms). rev holds the coefficients oldest first.
inline int64_t dot(const int32_t* past, const int64_t* rev, int p)
{
    int64_t acc = 0;
    for (int j = 0; j < p; ++j)
        acc += rev[j] * int64_t(past[j]);
    return acc;
}

inline int32_t predicted(const int32_t* past, const int64_t* rev, int p, int shift)
{
    return int32_t(uint32_t(uint64_t(dot(past, rev, p) >> shift)));
}

// The Welch window, 16 fraction bits, for frames of n samples: integers
// throughout, so the same on every machine. Kept for the next frame, which
// is mostly of the same length.
const SampleBuffer& welch_window(int n)
{
    thread_local SampleBuffer w;
    thread_local int length = -1;
    if (length != n) {
        w.resize(size_t(n));
        const uint64_t span = uint64_t(n - 1);
        const uint64_t scale = (uint64_t(1) << 48) / (span * span);  // 4 i (span - i) <= span^2
        for (int i = 0; i < n; ++i)
            w[size_t(i)] = int32_t((uint64_t(4 * uint64_t(i)) * (span - uint64_t(i)) * scale) >> 32);
        length = n;
    }
    return w;
}

} // namespace

void portable::window(const int32_t* x, const int32_t* w, int n, int scale, int64_t* y)
{
    for (int i = 0; i < n; ++i)
        y[i] = (int64_t(x[i]) * w[i]) >> scale;
}

void portable::autocorrelation(const int64_t* y, int n, int lags, int64_t* r)
{
    for (int lag = 0; lag < lags; ++lag) {
        int64_t s = 0;
        for (int i = 0; i < n; ++i)
            s += y[i] * y[i - lag];
        r[lag] += s;
    }
}

void portable::lpc_residual(int32_t* x, int n, const int64_t* rev, int p, int shift)
{
    for (int i = n - 1; i >= p; --i)
        x[i] = int32_t(uint32_t(x[i]) - uint32_t(predicted(x + i - p, rev, p, shift)));
}

void portable::lpc_restore(int32_t* x, const int64_t* rev, int p, int shift, int from, int n)
{
    for (int i = from; i < n; ++i)
        x[i] = int32_t(uint32_t(x[i]) + uint32_t(predicted(x + i - p, rev, p, shift)));
}

void portable::lpc_restore2(int32_t* x0, const int64_t* r0, int p0, int s0, int32_t* x1, const int64_t* r1, int p1,
                            int s1, int from, int n)
{
    lpc_restore(x0, r0, p0, s0, from, n);
    lpc_restore(x1, r1, p1, s1, from, n);
}

namespace {

// 15-bit coefficients from a[1..order]: as many fraction bits as the
// largest one allows, rounded with error feedback.
LpcCoefs quantize(const double* a, int order)
{
    LpcCoefs k;
    k.order = order;
    if (order == 0)
        return k;
    double top = 0;
    for (int j = 1; j <= order; ++j)
        top = std::max(top, std::fabs(a[j]));
    int shift = 14;
    while (shift > 0 && top * std::ldexp(1.0, shift) > 32767.0)
        --shift;
    k.shift = shift;
    double carry = 0;  // error feedback keeps the rounded filter close
    for (int j = 0; j < order; ++j) {
        double v = a[j + 1] * std::ldexp(1.0, shift) + carry;
        long q = std::lround(v);
        q = std::clamp(q, -32767L, 32767L);
        carry = v - double(q);
        k.c[j] = int16_t(q);
    }
    return k;
}

} // namespace

void lpc_fit(const int32_t* x, int n, const int* maxOrders, int count, LpcCoefs* out)
{
    // an order needs more than four samples a coefficient; each limit is
    // cut to that on its own, so that a wider limit never costs a narrower
    // one its fit (the recursion's lower orders do not depend on p)
    int cap[8];
    int p = 0;
    for (int i = 0; i < count; ++i) {
        out[i] = LpcCoefs{};
        cap[i] = std::min({maxOrders[i], kMaxLpcOrder, (n - 1) / 4});
        p = std::max(p, cap[i]);
    }
    if (p <= 0)
        return;
    // the largest magnitude's bit length is that of all magnitudes or-ed
    uint32_t peak = 0;
    for (int i = 0; i < n; ++i)
        peak |= x[i] < 0 ? 0u - uint32_t(x[i]) : uint32_t(x[i]);
    if (peak == 0)
        return;
    // The windowed frame in integers small enough that every sum of n
    // products fits 63 bits: the autocorrelation is exact, whatever the
    // order in which a variant adds.
    const int limit = (62 - bit_length(uint64_t(n))) / 2;
    const int scale = std::max(0, bit_length(peak) + 16 - limit);
    const SampleBuffer& w = welch_window(n);
    // windowed a piece at a time, each after the end of the one before
    // (zeros before the first): little memory, in the cache
    constexpr int kPiece = 4096;
    int64_t store[kAutocorrelationPad + kPiece] = {};
    int64_t* y = store + kAutocorrelationPad;
    int64_t ri[kMaxLpcOrder + 1] = {};
    for (int at = 0; at < n; at += kPiece) {
        if (at > 0)
            std::copy(y + kPiece - kAutocorrelationPad, y + kPiece, store);
        const int m = std::min(kPiece, n - at);
        kernels().window(x + at, w.data() + at, m, scale, y);
        kernels().autocorrelation(y, m, p + 1, ri);
    }
    if (ri[0] <= 0)
        return;
    double r[kMaxLpcOrder + 1];
    for (int j = 0; j <= p; ++j)
        r[j] = double(ri[j]);
    r[0] *= 1.0 + 1e-9;  // a little white noise keeps the solution stable
    // Levinson-Durbin. Each limit gets the order (up to it) whose
    // prediction error pays for its coefficients: a coefficient costs 16
    // bits, and n values cost about n/2 log2(error), so one more pays where
    // it cuts the error by more than a factor of 2^(32/n), about
    // 1 + 22.2/n (no logarithm: the same bits on every machine).
    double a[kMaxLpcOrder + 1] = {}, tmp[kMaxLpcOrder + 1];
    double err = r[0];
    const double perCoefficient = 22.2 / double(n);
    double bestErr[8];
    int bestOrder[8];
    for (int i = 0; i < count; ++i) {
        bestErr[i] = r[0];
        bestOrder[i] = 0;
    }
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
        for (int i = 0; i < count; ++i)
            if (m <= cap[i] && err * (1.0 + perCoefficient * double(m - bestOrder[i])) < bestErr[i]) {
                bestOrder[i] = m;
                bestErr[i] = err;
                out[i] = quantize(a, m);
            }
    }
}

LpcCoefs lpc_fit(const int32_t* x, int n, int maxOrder)
{
    LpcCoefs k;
    lpc_fit(x, n, &maxOrder, 1, &k);
    return k;
}

namespace {

struct Reversed {
    int64_t c[kMaxLpcOrder];
    explicit Reversed(const LpcCoefs& k)
    {
        for (int j = 0; j < k.order; ++j)
            c[j] = k.c[k.order - 1 - j];
    }
};

// Samples [from, to) of a part with coefficients k, one at a time; those
// below the order see a shorter past.
template <bool Encode>
void one_by_one(int32_t* x, int from, int to, const LpcCoefs& k, const Reversed& rev)
{
    const int p = k.order;
    auto at = [&](int i) {
        const int taps = std::min(i, p);
        const uint32_t pred = uint32_t(predicted(x + i - taps, rev.c + p - taps, taps, k.shift));
        x[i] = int32_t(Encode ? uint32_t(x[i]) - pred : uint32_t(x[i]) + pred);
    };
    if (Encode)
        for (int i = to - 1; i >= from; --i)
            at(i);
    else
        for (int i = from; i < to; ++i)
            at(i);
}

// Decodes samples [from, to) of one channel with coefficients k, the
// samples before from decoded.
void decode_range(int32_t* x, int from, int to, const LpcCoefs& k)
{
    if (k.order == 0 || from >= to)
        return;
    Reversed rev(k);
    if (lpc_is_short(k)) {
        // the first eight as the general filter does them
        const int s = std::min(to, std::max(from, kShortOrder));
        one_by_one<false>(x, from, s, k, rev);
        if (s == to)
            return;
        LpcShortDecoder f(k, x + s - kShortOrder);
        for (int i = s; i < to; ++i)
            x[i] = f.next(x[i]);
        return;
    }
    const int s = std::min(to, std::max(from, k.order));
    one_by_one<false>(x, from, s, k, rev);
    if (s < to)
        kernels().lpc_restore(x, rev.c, k.order, k.shift, s, to);
}

// Samples [from, to) of several channels, pairs in step where they can.
void decode_channels(int32_t* const* xs, const LpcCoefs* ks, int count, int from, int to)
{
    for (int c = 0; c < count;) {
        const LpcCoefs& k0 = ks[c];
        const LpcCoefs& k1 = ks[c + 1 < count ? c + 1 : c];
        if (c + 2 <= count && lpc_is_short(k0) && lpc_is_short(k1)) {
            // the first eight one by one, then both in step
            const int s = std::min(to, std::max(from, kShortOrder));
            decode_range(xs[c], from, s, k0);
            decode_range(xs[c + 1], from, s, k1);
            if (s < to) {
                LpcShortDecoder f0(k0, xs[c] + s - kShortOrder), f1(k1, xs[c + 1] + s - kShortOrder);
                int32_t *x0 = xs[c], *x1 = xs[c + 1];
                for (int i = s; i < to; ++i) {
                    x0[i] = f0.next(x0[i]);
                    x1[i] = f1.next(x1[i]);
                }
            }
            c += 2;
            continue;
        }
        if (c + 2 <= count && k0.order > kShortOrder && k1.order > kShortOrder) {
            const int s = std::min(to, std::max(from, std::max(k0.order, k1.order)));
            // the first samples one by one, then both in step
            decode_range(xs[c], from, s, k0);
            decode_range(xs[c + 1], from, s, k1);
            if (s < to) {
                Reversed r0(k0), r1(k1);
                kernels().lpc_restore2(xs[c], r0.c, k0.order, k0.shift, xs[c + 1], r1.c, k1.order, k1.shift, s, to);
            }
            c += 2;
            continue;
        }
        decode_range(xs[c], from, to, k0);
        ++c;
    }
}

} // namespace

void lpc_encode_parts(int32_t* x, int n, const LpcCoefs* ks, int parts)
{
    // each prediction uses the original samples, so the encoder goes
    // backwards in place, the last part first
    for (int j = parts - 1; j >= 0; --j) {
        const LpcCoefs& k = ks[j];
        const int from = part_start(j, n, parts), to = part_start(j + 1, n, parts);
        if (k.order == 0 || from >= to)
            continue;
        Reversed rev(k);
        const int s = std::min(to, std::max(from, k.order));
        if (s < to)
            kernels().lpc_residual(x + s - k.order, to - s + k.order, rev.c, k.order, k.shift);
        one_by_one<true>(x, from, s, k, rev);
    }
}

void lpc_encode(int32_t* x, int n, const LpcCoefs& k) { lpc_encode_parts(x, n, &k, 1); }

void lpc_decode(int32_t* x, int n, const LpcCoefs& k) { decode_range(x, 0, n, k); }

void lpc_decode(int32_t* const* xs, const LpcCoefs* ks, int count, int n) { decode_channels(xs, ks, count, 0, n); }

void lpc_decode_parts(int32_t* const* xs, const LpcCoefs* const* ks, int count, int n, int parts)
{
    for (int j = 0; j < parts; ++j) {
        LpcCoefs part[32];
        for (int c = 0; c < count; ++c)
            part[c] = ks[c][j];
        decode_channels(xs, part, count, part_start(j, n, parts), part_start(j + 1, n, parts));
    }
}

} // namespace monkeys::core
