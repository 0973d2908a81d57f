#include "Channels.h"

#include <algorithm>
#include <cstdlib>
#include <type_traits>

#include "Cpu.h"
#include "Kernels.h"

#include "Samples.h"

namespace monkeys::core {

namespace {

// The sums of the third differences' magnitudes of a channel pair as
// left/right and as mid/side (whichever is smaller codes better: the
// third difference is nearer than the first to what the predictors
// leave, and chose the better form more often on music). Mid's and
// side's differences come from left's and right's, d(side) = d(l) - d(r)
// and d(mid) about (d(l) + d(r)) / 2. Samples of at most 24 bits go
// through the stage's variant, in 32 bits; wider ones through 64 bits.
struct PairCost {
    uint64_t lr = 0, ms = 0;
};
PairCost pair_cost(const int32_t* l, const int32_t* r, int blocks, int bits)
{
    PairCost cost;
    if (bits > 24) {
        auto d3 = [](const int32_t* x, int i) { return int64_t(x[i]) - 3 * int64_t(x[i - 1]) + 3 * int64_t(x[i - 2]) - x[i - 3]; };
        for (int i = 3; i < blocks; ++i) {
            const int64_t a = d3(l, i), b = d3(r, i);
            cost.lr += uint64_t(std::abs(a)) + uint64_t(std::abs(b));
            cost.ms += uint64_t(std::abs(a + b) >> 1) + uint64_t(std::abs(a - b));
        }
        return cost;
    }
    kernels().pair_cost(l, r, blocks, bits, &cost.lr, &cost.ms);
    return cost;
}

// A stereo frame's two channels in one pass, with the bitwise or of each.
template <class Samples>
void split_pair(const Samples& in, int n, int32_t* a, int32_t* b, uint32_t* any)
{
    uint32_t any0 = 0, any1 = 0;
    for (int i = 0; i < n; ++i) {
        any0 |= uint32_t(a[i] = in.get(2 * size_t(i)));
        any1 |= uint32_t(b[i] = in.get(2 * size_t(i) + 1));
    }
    any[0] = any0;
    any[1] = any1;
}

// Left and right of a pair in place; false when a sample falls outside
// [lo, hi] (damage). A loop the compiler vectorises.
template <bool MidSide>
bool settle_pair(int32_t* a, int32_t* b, int blocks, int32_t lo, int32_t hi)
{
    int32_t low = 0, high = 0;
    for (int i = 0; i < blocks; ++i) {
        int32_t l = a[i], r = b[i];
        if constexpr (MidSide)
            from_mid_side(a[i], b[i], l, r);
        a[i] = l;
        b[i] = r;
        low = l < low ? l : low;
        low = r < low ? r : low;
        high = l > high ? l : high;
        high = r > high ? r : high;
    }
    return low >= lo && high <= hi;
}

} // namespace

template <class Samples>
void split_channels(const FrameFormat& f, const Samples& in, int blocks, int32_t* const* xs, Header& h)
{
    const int ch = f.channels;
    uint32_t anys[32] = {};
    if (ch == 2) {
        if constexpr (std::is_same_v<Samples, Pcm<2>> || std::is_same_v<Samples, Pcm<3>>) {
            // WAVE data through the stage's variant
            kernels().split_stereo(in.p, blocks, std::is_same_v<Samples, Pcm<2>> ? 2 : 3, xs[0], xs[1], anys);
        } else {
            split_pair(in, blocks, xs[0], xs[1], anys);
        }
    } else {
        for (int c = 0; c < ch; ++c) {
            int32_t* x = xs[c];
            uint32_t any = 0;
            for (int i = 0; i < blocks; ++i)
                any |= uint32_t(x[i] = in.get(size_t(i) * ch + c));
            anys[c] = any;
        }
    }
    for (int c = 0; c < ch; ++c) {
        int32_t* x = xs[c];
        const uint32_t any = anys[c];
        int w = any == 0 ? 0 : __builtin_ctz(any);
        h.wasted[c] = uint8_t(w);
        if (w > 0)
            for (int i = 0; i < blocks; ++i)
                x[i] >>= w;
    }
    for (int p = 0; p < ch / 2; ++p) {
        int32_t* l = xs[2 * p];
        int32_t* r = xs[2 * p + 1];
        const PairCost cost = pair_cost(l, r, blocks, f.bitsPerSample);
        if (cost.ms < cost.lr) {
            h.midSide[p / 8] |= uint8_t(1u << (p % 8));
            for (int i = 0; i < blocks; ++i) {
                Side cur = to_mid_side(l[i], r[i]);
                l[i] = cur.mid;
                r[i] = cur.side;
            }
        }
    }
}

template <class Samples>
bool join_channels(const FrameFormat& f, const Header& h, int blocks, int32_t* const* xs, const Samples& out)
{
    const int ch = f.channels;
    const int pairs = ch / 2;
    const int32_t lo = int32_t(~0u << (f.bitsPerSample - 1));
    const int32_t hi = int32_t(~uint32_t(lo));
    bool whole = ch % 2 == 0;
    for (int c = 0; c < ch; ++c)
        whole = whole && (h.wasted[c] & ~kSilent) == 0;
    if (whole) {
        // the common case: stereo WAVE data in one pass through the stage's
        // variant, otherwise each pair in place and one pass over the output
        if constexpr (std::is_same_v<Samples, Pcm<2>> || std::is_same_v<Samples, Pcm<3>>) {
            if (ch == 2) {
                int32_t low, high;
                kernels().join_stereo(xs[0], xs[1], blocks, is_mid_side(h, 0), std::is_same_v<Samples, Pcm<2>> ? 2 : 3,
                                      out.p, &low, &high);
                return low >= lo && high <= hi;
            }
        }
        bool inside = true;
        if constexpr (std::is_same_v<Samples, Pcm<2>>) {
            // each pair's blocks as stereo WAVE words in place of its first
            // channel, then the words side by side
            for (int pr = 0; pr < pairs; ++pr) {
                int32_t low, high;
                kernels().join_stereo(xs[2 * pr], xs[2 * pr + 1], blocks, is_mid_side(h, pr), 2,
                                      reinterpret_cast<uint8_t*>(xs[2 * pr]), &low, &high);
                inside &= low >= lo && high <= hi;
            }
            if (!inside)
                return false;
            uint8_t* to = out.p;
            for (int i = 0; i < blocks; ++i)
                for (int pr = 0; pr < pairs; ++pr, to += 4)
                    std::memcpy(to, xs[2 * pr] + i, 4);
            return true;
        }
        for (int pr = 0; pr < pairs; ++pr)
            inside &= is_mid_side(h, pr) ? settle_pair<true>(xs[2 * pr], xs[2 * pr + 1], blocks, lo, hi)
                                         : settle_pair<false>(xs[2 * pr], xs[2 * pr + 1], blocks, lo, hi);
        if (!inside)
            return false;
        for (int i = 0; i < blocks; ++i)
            for (int pr = 0; pr < pairs; ++pr)
                out.set_pair(size_t(i) * ch + 2 * pr, xs[2 * pr][i], xs[2 * pr + 1][i]);
        return true;
    }
    for (int pr = 0; pr < pairs; ++pr) {
        if (!is_mid_side(h, pr))
            continue;
        int32_t* m = xs[2 * pr];
        int32_t* sd = xs[2 * pr + 1];
        for (int i = 0; i < blocks; ++i)
            from_mid_side(m[i], sd[i], m[i], sd[i]);
    }
    // back to full scale; a sample outside the sample size means damage
    bool outside = false;
    for (int c = 0; c < ch; ++c) {
        int32_t* x = xs[c];
        const int w = h.wasted[c] & ~kSilent;
        if (w > 0)
            for (int i = 0; i < blocks; ++i)
                x[i] = int32_t(uint32_t(x[i]) << w);
        if (f.bitsPerSample < 32)
            for (int i = 0; i < blocks; ++i)
                outside |= (x[i] < lo) | (x[i] > hi);
    }
    if (outside)
        return false;
    if (ch == 2) {
        for (int i = 0; i < blocks; ++i) {
            out.set_pair(2 * size_t(i), xs[0][i], xs[1][i]);
        }
    } else {
        for (int c = 0; c < ch; ++c)
            for (int i = 0; i < blocks; ++i)
                out.set(size_t(i) * ch + c, xs[c][i]);
    }
    return true;
}

void portable::split_stereo(const uint8_t* in, int n, int width, int32_t* a, int32_t* b, uint32_t* any)
{
    uint8_t* p = const_cast<uint8_t*>(in);  // only read
    width == 2 ? split_pair(Pcm<2>{p}, n, a, b, any) : split_pair(Pcm<3>{p}, n, a, b, any);
}

void portable::pair_cost(const int32_t* l, const int32_t* r, int n, int bits, uint64_t* lr, uint64_t* ms)
{
    // a sample's terms add up to below 2^(bits+4): summed a run at a time
    // in 32 bits, short enough not to overflow
    const int run = 1 << (27 - bits);
    auto magnitude = [](int32_t v) { return uint32_t(v < 0 ? -v : v); };
    *lr = *ms = 0;
    for (int at = 3; at < n; at += run) {
        const int end = std::min(n, at + run);
        uint32_t lrRun = 0, msRun = 0;
        for (int i = at; i < end; ++i) {
            const int32_t a = l[i] - 3 * l[i - 1] + 3 * l[i - 2] - l[i - 3];
            const int32_t b = r[i] - 3 * r[i - 1] + 3 * r[i - 2] - r[i - 3];
            lrRun += magnitude(a) + magnitude(b);
            msRun += (magnitude(a + b) >> 1) + magnitude(a - b);
        }
        *lr += lrRun;
        *ms += msRun;
    }
}

void portable::join_stereo(const int32_t* a, const int32_t* b, int n, bool midSide, int width, uint8_t* out,
                           int32_t* low, int32_t* high)
{
    int32_t least = 0, most = 0;
    const Pcm<2> two{out};
    const Pcm<3> three{out};
    for (int i = 0; i < n; ++i) {
        int32_t l = a[i], r = b[i];
        if (midSide)
            from_mid_side(a[i], b[i], l, r);
        least = std::min(least, std::min(l, r));
        most = std::max(most, std::max(l, r));
        if (width == 2)
            two.set_pair(2 * size_t(i), l, r);
        else
            three.set_pair(2 * size_t(i), l, r);
    }
    *low = least;
    *high = most;
}

#define INSTANTIATE(S)                                                                                       \
    template void split_channels<S>(const FrameFormat&, const S&, int, int32_t* const*, Header&);            \
    template bool join_channels<S>(const FrameFormat&, const Header&, int, int32_t* const*, const S&);
MONKEYS_FOR_EACH_SAMPLES(INSTANTIATE)
#undef INSTANTIATE

} // namespace monkeys::core
