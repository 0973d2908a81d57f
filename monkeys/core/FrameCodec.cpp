// Frame layout (all numbers little-endian):
//
//   byte 0      method: kVerbatim or kPredicted
//   kVerbatim:  the samples as stored in WAVE data, bitsPerSample/8 bytes
//               each, interleaved; chosen whenever coding does not pay.
//   kPredicted: byte  entropy coder (kRice or kRange)
//               byte  pre-emphasis numerator c (x - c*x[-1]/32), 0..32
//               byte  number of adaptive filter stages S, then per stage
//                     in the encoder's order: u16 order, byte weight
//                     fraction bits, byte update resolution
//               (pairs+7)/8 bytes: bit p set when channels 2p, 2p+1 are
//                     coded as mid/side
//               per channel: byte wasted low bits (bit 7 set: the
//                     channel's residuals are all zero and not sent),
//                     S bytes filter input shift (one per stage),
//                     byte order P of the fixed
//                     predictor and, when P > 0, byte fraction bits and
//                     P i16 coefficients
//               kRice: the residuals, channel after channel, one bit stream
//               kRiceSplit: the same code, one bit stream per coded
//                     channel: u32 byte length of each stream but the
//                     last, then the streams in channel order
//               kRange: u32 length of the range coder's bytes, those bytes,
//                     then the raw remainder bits; channel after channel
//
// All arithmetic on samples is modulo 2^32 (done on uint32_t), so every
// step is exactly invertible for any 32-bit input and the decoder
// reproduces the encoder bit for bit on every machine.
#include "FrameCodec.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "BitIO.h"
#include "Lms.h"
#include "Lpc.h"
#include "Residual.h"

namespace monkeys {
namespace {

using namespace core;

constexpr uint8_t kVerbatim = 0;
constexpr uint8_t kPredicted = 1;
constexpr uint8_t kRice = 0;

bool valid_format(const FrameFormat& f)
{
    return f.channels >= 1 && f.channels <= 32 &&
           (f.bitsPerSample == 8 || f.bitsPerSample == 16 || f.bitsPerSample == 24 ||
            f.bitsPerSample == 32);
}

inline int32_t wrap_add(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }
inline int32_t wrap_sub(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }

// A frame's samples, interleaved: 32-bit, or as WAVE data stores them
// (Width bytes each, little-endian, 8 bits unsigned), read and written
// without a copy of the frame in the other form.
struct Ints {
    int32_t* p;
    int32_t get(size_t i) const { return p[i]; }
    void set(size_t i, int32_t v) const { p[i] = v; }
};
template <int Width>
struct Pcm {
    uint8_t* p;
    int32_t get(size_t i) const
    {
        const uint8_t* b = p + i * Width;
        if constexpr (Width == 1)
            return int32_t(b[0]) - 128;
        uint32_t v = 0;
        for (int k = 0; k < Width; ++k)
            v |= uint32_t(b[k]) << (8 * k);
        return int32_t(v << (32 - 8 * Width)) >> (32 - 8 * Width);
    }
    void set(size_t i, int32_t v) const
    {
        uint8_t* b = p + i * Width;
        if constexpr (Width == 1)
            b[0] = uint8_t(v + 128);
        else
            for (int k = 0; k < Width; ++k)
                b[k] = uint8_t(uint32_t(v) >> (8 * k));
    }
};

template <class Samples>
void put_verbatim(const FrameFormat& f, const Samples& in, size_t count, std::vector<uint8_t>& out)
{
    const int bytes = f.bitsPerSample / 8;
    size_t at = out.size();
    out.resize(at + 1 + count * size_t(bytes));
    uint8_t* p = out.data() + at;
    *p++ = kVerbatim;
    for (size_t i = 0; i < count; ++i) {
        uint32_t v = uint32_t(in.get(i));
        for (int b = 0; b < bytes; ++b)
            *p++ = uint8_t(v >> (8 * b));
    }
}

template <class Samples>
bool get_verbatim(const FrameFormat& f, const uint8_t* p, size_t size, size_t count, const Samples& out)
{
    const int bytes = f.bitsPerSample / 8;
    if (size != count * size_t(bytes))
        return false;
    const int drop = 32 - f.bitsPerSample;
    for (size_t i = 0; i < count; ++i) {
        uint32_t v = 0;
        for (int b = 0; b < bytes; ++b)
            v |= uint32_t(p[b]) << (8 * b);
        p += bytes;
        out.set(i, int32_t(v << drop) >> drop);  // sign extension
    }
    return true;
}

struct Side {
    int32_t mid, side;
};
inline Side to_mid_side(int32_t l, int32_t r)
{
    int32_t s = wrap_sub(l, r);
    return {wrap_add(r, s >> 1), s};
}
inline void from_mid_side(int32_t m, int32_t s, int32_t& l, int32_t& r)
{
    r = wrap_sub(m, s >> 1);
    l = wrap_add(s, r);
}

constexpr uint8_t kRange = 1;
constexpr uint8_t kRiceSplit = 2;
constexpr uint8_t kSilent = 0x80;
constexpr int kMaxStages = 4;

// A way of coding a frame; the decoder reads it all from the frame.
struct Profile {
    uint8_t entropy;
    uint8_t preemph;
    int lpcOrder;  // most taps of the fitted fixed predictor, 0 for none
    int stages;
    LmsParams stage[kMaxStages];
};

// The ways the encoder tries, one more at each level: a level codes every
// frame in each of its ways and keeps the smallest result, so a higher
// level never gives a larger frame than a lower one. Within a way, each
// adaptive stage stays only where it pays on the frame, and the fixed
// predictor's order is fitted to it. A way may go on from an earlier
// way's result with stages of its own (from), or start from the fixed
// predictor's residual (-1).
struct Way {
    Profile prof;
    int from;
};
constexpr Way kWays[] = {
    {{kRiceSplit, 0, 8, 1, {{16, 13, 4}}}, -1},
    {{kRiceSplit, 0, 32, 1, {{16, 13, 4}}}, -1},
    {{kRiceSplit, 0, 32, 1, {{32, 14, 4}}}, 1},
    {{kRange, 0, 32, 4, {{1024, 17, 2}, {256, 16, 2}, {32, 14, 4}, {16, 13, 4}}}, -1},
};

int ways_for(int level) { return std::clamp(level / 1000, 1, 4); }

struct Header {
    Profile prof{};
    uint8_t midSide[4] = {};
    uint8_t wasted[32] = {};  // low bits: wasted bits; kSilent: nothing coded
    uint8_t inShift[32][kMaxStages] = {};
    LpcCoefs lpc[32];
};

// Undoes x[n] - c*x[n-1]/32 (pre-emphasis; the decoder reads frames that
// use it, the encoder does not make them).
void deemphasis(int32_t* x, int n, int c)
{
    if (c == 0)
        return;
    int32_t prev = 0;
    for (int i = 0; i < n; ++i) {
        x[i] = wrap_add(x[i], int32_t((int64_t(c) * prev) >> 5));
        prev = x[i];
    }
}

// Scale of a stage's 16-bit copy of its input (of that magnitude): keeps
// the typical value well inside 16 bits.
int input_shift(uint64_t magnitude, int n, int maxShift)
{
    uint64_t mean = magnitude / uint64_t(std::max(n, 1));
    int bits = mean == 0 ? 0 : 64 - __builtin_clzll(mean);
    return std::clamp(bits - 11, 0, maxShift);
}

// One plane of blocks samples per channel in store.
void split_planes(std::vector<int32_t>& store, int ch, int blocks, int32_t** xs)
{
    store.resize(size_t(ch) * blocks);
    for (int c = 0; c < ch; ++c)
        xs[c] = &store[size_t(c) * blocks];
}

// The frame as planes, wasted low bits shifted out and channel pairs
// turned mid/side where that looks cheaper (first differences in one
// pass); h gets those parameters.
// The sums of the first differences' magnitudes of a channel pair as
// left/right and as mid/side (whichever is smaller codes better). Where
// the samples have at most `bits` bits, the differences are taken in 32
// bits and summed a run at a time in 32 bits, short enough not to
// overflow (that vectorises); wider samples go through 64 bits.
struct PairCost {
    uint64_t lr = 0, ms = 0;
};
PairCost pair_cost(const int32_t* l, const int32_t* r, int blocks, int bits)
{
    PairCost cost;
    if (bits > 24) {
        Side prev = to_mid_side(l[0], r[0]);
        for (int i = 1; i < blocks; ++i) {
            Side cur = to_mid_side(l[i], r[i]);
            cost.lr += uint64_t(std::abs(int64_t(l[i]) - l[i - 1])) + uint64_t(std::abs(int64_t(r[i]) - r[i - 1]));
            cost.ms +=
                uint64_t(std::abs(int64_t(cur.mid) - prev.mid)) + uint64_t(std::abs(int64_t(cur.side) - prev.side));
            prev = cur;
        }
        return cost;
    }
    // a sample's terms add up to below 2^(bits+2)
    const int run = 1 << (30 - bits);
    auto magnitude = [](int32_t v) { return uint32_t(v < 0 ? -v : v); };
    for (int at = 1; at < blocks; at += run) {
        const int end = std::min(blocks, at + run);
        uint32_t lr = 0, ms = 0;
        for (int i = at; i < end; ++i) {
            const int32_t sPrev = l[i - 1] - r[i - 1], sNow = l[i] - r[i];
            const int32_t mPrev = r[i - 1] + (sPrev >> 1), mNow = r[i] + (sNow >> 1);
            lr += magnitude(l[i] - l[i - 1]) + magnitude(r[i] - r[i - 1]);
            ms += magnitude(mNow - mPrev) + magnitude(sNow - sPrev);
        }
        cost.lr += lr;
        cost.ms += ms;
    }
    return cost;
}

template <class Samples>
void split_signal(const FrameFormat& f, const Samples& in, int blocks, int32_t* const* xs, Header& h)
{
    const int ch = f.channels;
    uint32_t anys[32] = {};
    if (ch == 2) {
        // both channels in one pass over the frame
        int32_t* x0 = xs[0];
        int32_t* x1 = xs[1];
        uint32_t any0 = 0, any1 = 0;
        for (int i = 0; i < blocks; ++i) {
            any0 |= uint32_t(x0[i] = in.get(2 * size_t(i)));
            any1 |= uint32_t(x1[i] = in.get(2 * size_t(i) + 1));
        }
        anys[0] = any0;
        anys[1] = any1;
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

// Runs the way's adaptive stages on the planes. Each stays only where it
// pays on this frame: what coding the residual costs must shrink,
// otherwise the frame keeps the stage's input. h gets the stages kept.
void run_stages(const Profile& way, int ch, int blocks, std::vector<int32_t>& planes, int32_t** xs, Header& h)
{
    thread_local std::vector<int32_t> before;
    uint64_t mag[32], total = 0;
    for (int c = 0; c < ch; ++c) {
        const Magnitude m = magnitude(xs[c], blocks);
        mag[c] = m.sum;
        total += m.bits;
    }
    for (int s = 0; s < way.stages; ++s) {
        const LmsParams& stage = way.stage[s];
        int shifts[32];
        for (int c = 0; c < ch; ++c)
            shifts[c] = input_shift(mag[c], blocks, stage.shift);
        // a long stage's input is kept aside; a short one is undone by its
        // decoder, which costs less than the copy where stages pay
        const bool keepInput = stage.order > 32;
        if (keepInput)
            before = planes;
        lms_encode(xs, shifts, ch, blocks, stage);
        uint64_t after[32], sum = 0;
        for (int c = 0; c < ch; ++c) {
            const Magnitude m = magnitude(xs[c], blocks);
            after[c] = m.sum;
            sum += m.bits;
        }
        if (sum >= total) {
            if (keepInput) {
                planes.swap(before);
                split_planes(planes, ch, blocks, xs);
            } else {
                lms_decode(xs, shifts, ch, blocks, stage);
            }
            continue;
        }
        if (h.prof.stages == kMaxStages)
            break;
        const int k = h.prof.stages++;
        h.prof.stage[k] = stage;
        for (int c = 0; c < ch; ++c) {
            h.inShift[c][k] = uint8_t(shifts[c]);
            mag[c] = after[c];
        }
        total = sum;
    }
}

// Writes the frame of residuals xs with the parameters of h into out.
void put_frame(const FrameFormat& f, int blocks, int32_t* const* xs, Header& h, std::vector<uint8_t>& out)
{
    const int ch = f.channels;
    const int pairs = ch / 2;
    const Profile& prof = h.prof;
    for (int c = 0; c < ch; ++c)
        if (std::all_of(xs[c], xs[c] + blocks, [](int32_t v) { return v == 0; }))
            h.wasted[c] |= kSilent;

    out.push_back(kPredicted);
    out.push_back(prof.entropy);
    out.push_back(prof.preemph);
    out.push_back(uint8_t(prof.stages));
    for (int s = 0; s < prof.stages; ++s) {
        out.push_back(uint8_t(prof.stage[s].order));
        out.push_back(uint8_t(prof.stage[s].order >> 8));
        out.push_back(uint8_t(prof.stage[s].shift));
        out.push_back(uint8_t(prof.stage[s].dirBits));
    }
    for (int i = 0; i < (pairs + 7) / 8; ++i)
        out.push_back(h.midSide[i]);
    for (int c = 0; c < ch; ++c) {
        out.push_back(h.wasted[c]);
        for (int s = 0; s < prof.stages; ++s)
            out.push_back(h.inShift[c][s]);
        const LpcCoefs& k = h.lpc[c];
        out.push_back(uint8_t(k.order));
        if (k.order > 0) {
            out.push_back(uint8_t(k.shift));
            for (int j = 0; j < k.order; ++j) {
                out.push_back(uint8_t(k.c[j]));
                out.push_back(uint8_t(uint16_t(k.c[j]) >> 8));
            }
        }
    }
    if (prof.entropy == kRiceSplit) {
        // channel pairs in step, each channel into a stream of its own
        thread_local std::vector<uint8_t> streams[32];
        int coded[32];
        int m = 0;
        for (int c = 0; c < ch; ++c)
            if (!(h.wasted[c] & kSilent))
                coded[m++] = c;
        for (int i = 0; i < m; ++i) {
            streams[i].clear();
            // room for the raw samples: the stream grows without moving
            // in any frame that is coded at all
            streams[i].reserve(size_t(blocks) * size_t(f.bitsPerSample / 8) + 64);
        }
        int i = 0;
        for (; i + 2 <= m; i += 2) {
            CodeWriter b0(streams[i]), b1(streams[i + 1]);
            rice_encode2(b0, xs[coded[i]], b1, xs[coded[i + 1]], blocks);
            b0.flush();
            b1.flush();
        }
        if (i < m) {
            CodeWriter bw(streams[i]);
            rice_encode(bw, xs[coded[i]], blocks);
            bw.flush();
        }
        for (int j = 0; j + 1 < m; ++j) {
            uint32_t len = uint32_t(streams[j].size());
            for (int b = 0; b < 4; ++b)
                out.push_back(uint8_t(len >> (8 * b)));
        }
        for (int j = 0; j < m; ++j)
            out.insert(out.end(), streams[j].begin(), streams[j].end());
        return;
    }
    thread_local std::vector<uint8_t> coded, raw;
    coded.clear();
    raw.clear();
    RangeEncoder rc(coded);
    BitWriter bw(raw);
    for (int c = 0; c < ch; ++c)
        if (!(h.wasted[c] & kSilent))
            range_encode(rc, bw, xs[c], blocks);
    rc.finish();
    bw.flush();
    uint32_t len = uint32_t(coded.size());
    for (int b = 0; b < 4; ++b)
        out.push_back(uint8_t(len >> (8 * b)));
    out.insert(out.end(), coded.begin(), coded.end());
    out.insert(out.end(), raw.begin(), raw.end());
}

// The bytes put_frame writes for a Rice-coded frame, from the bits of each
// channel's stream (counted, not written).
size_t rice_frame_size(int ch, int blocks, int32_t* const* xs, const Header& h)
{
    size_t size = 4 + 4 * size_t(h.prof.stages) + size_t(ch / 2 + 7) / 8;
    int coded = 0;
    for (int c = 0; c < ch; ++c) {
        const LpcCoefs& k = h.lpc[c];
        size += 2 + size_t(h.prof.stages) + (k.order > 0 ? 1 + 2 * size_t(k.order) : 0);
        if (std::all_of(xs[c], xs[c] + blocks, [](int32_t v) { return v == 0; }))
            continue;
        size += size_t((rice_bits(xs[c], blocks) + 7) / 8);
        ++coded;
    }
    return size + (coded > 1 ? 4 * size_t(coded - 1) : 0);
}

// A frame coded one way: its parameters, its residuals (channel after
// channel), its size and, once written, its bytes.
struct Coded {
    Header h;
    std::vector<int32_t> planes;
    size_t size = 0;
    std::vector<uint8_t> bytes;  // empty until written
};

// The encoder's buffers, one set a thread: frames come one after another
// on each thread.
struct Scratch {
    std::vector<int32_t> signal, fitted;
    Coded done[4];
};
Scratch& scratch()
{
    thread_local Scratch s;
    return s;
}

// Codes the frame in each way of the level and keeps the smallest; ties
// go to the lower way. Returns the winner (per-thread memory, valid until
// the thread's next frame).
template <class Samples>
const Coded& encode_predicted(const FrameFormat& f, const Samples& in, int blocks)
{
    const int ch = f.channels;
    const int ways = ways_for(f.level);
    Scratch& work = scratch();
    Coded* done = work.done;
    std::vector<int32_t>& fitted = work.fitted;
    // a single way works on the signal in place
    std::vector<int32_t>& signal = ways == 1 ? done[0].planes : work.signal;
    int32_t* xs[32];
    Header base;
    split_planes(signal, ch, blocks, xs);
    split_signal(f, in, blocks, xs, base);
    // the fixed predictors of at most 8 and at most 32 taps, fitted at once
    LpcCoefs low[32], high[32];
    const int limits[2] = {kWays[0].prof.lpcOrder, ways > 1 ? kWays[1].prof.lpcOrder : kWays[0].prof.lpcOrder};
    for (int c = 0; c < ch; ++c) {
        LpcCoefs both[2];
        lpc_fit(xs[c], blocks, limits, 2, both);
        low[c] = both[0];
        high[c] = both[1];
    }
    const bool same = std::equal(low, low + ch, high, [](const LpcCoefs& a, const LpcCoefs& b) {
        return a.order == b.order && a.shift == b.shift && std::equal(a.c, a.c + a.order, b.c);
    });
    int result[4];  // where each way's result is
    int best = -1;
    bool haveFitted = false;
    for (int w = 0; w < ways; ++w) {
        const Way& way = kWays[w];
        if (w == 1 && same) {
            result[w] = 0;  // the same predictors and stages as the way before
            continue;
        }
        Coded& trial = done[w];
        result[w] = w;
        if (way.from >= 0) {
            const Coded& from = done[result[way.from]];
            trial.h = from.h;
            trial.planes = from.planes;
        } else {
            trial.h = base;
            trial.h.prof.stages = 0;
            const bool wide = way.prof.lpcOrder > kWays[0].prof.lpcOrder;
            const LpcCoefs* k = wide ? high : low;
            for (int c = 0; c < ch; ++c)
                trial.h.lpc[c] = k[c];
            if (wide && haveFitted) {
                trial.planes = fitted;  // the wide predictor's residual, from before
            } else {
                if (&trial.planes != &signal)
                    trial.planes = signal;
                split_planes(trial.planes, ch, blocks, xs);
                for (int c = 0; c < ch; ++c)
                    lpc_encode(xs[c], blocks, k[c]);
                if (wide && w + 1 < ways) {
                    fitted = trial.planes;
                    haveFitted = true;
                }
            }
        }
        trial.h.prof.entropy = way.prof.entropy;
        trial.h.prof.preemph = way.prof.preemph;
        split_planes(trial.planes, ch, blocks, xs);
        const int stagesBefore = trial.h.prof.stages;
        run_stages(way.prof, ch, blocks, trial.planes, xs, trial.h);
        trial.bytes.clear();
        if (way.from >= 0 && trial.h.prof.stages == stagesBefore) {
            trial.size = done[result[way.from]].size;  // nothing added: no better
        } else if (way.prof.entropy == kRiceSplit && ways > 1) {
            trial.size = rice_frame_size(ch, blocks, xs, trial.h);
        } else {
            put_frame(f, blocks, xs, trial.h, trial.bytes);
            trial.size = trial.bytes.size();
        }
        if (best < 0 || trial.size < done[best].size)
            best = w;
    }
    Coded& winner = done[best];
    if (winner.bytes.empty()) {
        split_planes(winner.planes, ch, blocks, xs);
        put_frame(f, blocks, xs, winner.h, winner.bytes);
    }
    return winner;
}

// The Rice streams of the coded channels, two at a time; with compare,
// xs holds what they must give, and false means they differ.
bool decode_split(const uint8_t* p, size_t size, const uint8_t* wasted, int ch, int blocks, int32_t* const* xs,
                  bool compare)
{
    int coded[32];
    int m = 0;
    for (int c = 0; c < ch; ++c)
        if (!(wasted[c] & kSilent))
            coded[m++] = c;
    if (m == 0)
        return true;
    const size_t table = size_t(m - 1) * 4;
    if (size < table)
        return false;
    const uint8_t* streams[32];
    size_t lengths[32];
    size_t rest = size - table;
    const uint8_t* at = p + table;
    for (int i = 0; i < m; ++i) {
        size_t len = rest;
        if (i + 1 < m) {
            const uint8_t* e = p + 4 * size_t(i);
            len = e[0] | e[1] << 8 | e[2] << 16 | size_t(e[3]) << 24;
            if (len > rest)
                return false;
        }
        streams[i] = at;
        lengths[i] = len;
        at += len;
        rest -= len;
    }
    int i = 0;
    for (; i + 2 <= m; i += 2) {
        BitReader b0(streams[i], lengths[i]), b1(streams[i + 1], lengths[i + 1]);
        int32_t* x0 = xs[coded[i]];
        int32_t* x1 = xs[coded[i + 1]];
        if (!compare)
            rice_decode2(b0, x0, b1, x1, blocks);
        else if (!rice_matches2(b0, x0, b1, x1, blocks))
            return false;
        if (b0.overrun() > 0 || b1.overrun() > 0)
            return false;
    }
    if (i < m) {
        BitReader br(streams[i], lengths[i]);
        int32_t* x = xs[coded[i]];
        if (!compare)
            rice_decode(br, x, blocks);
        else if (!rice_matches(br, x, blocks))
            return false;
        if (br.overrun() > 0)
            return false;
    }
    return true;
}

// Reads the frame's parameters into h; returns where the residuals
// begin, or null when the parameters are not valid.
const uint8_t* parse_header(const FrameFormat& f, const uint8_t* data, size_t size, Header& h)
{
    const int ch = f.channels;
    if (ch < 1 || ch > 32)
        return nullptr;
    const int pairs = ch / 2;
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    auto left = [&] { return size_t(end - p); };
    if (left() < 3)
        return nullptr;
    Profile& prof = h.prof;
    prof.entropy = *p++;
    prof.preemph = *p++;
    prof.stages = *p++;
    if ((prof.entropy != kRice && prof.entropy != kRange && prof.entropy != kRiceSplit) || prof.preemph > 32 ||
        prof.stages > kMaxStages)
        return nullptr;
    if (left() < size_t(prof.stages) * 4 + size_t((pairs + 7) / 8))
        return nullptr;
    for (int s = 0; s < prof.stages; ++s) {
        prof.stage[s].order = p[0] | p[1] << 8;
        prof.stage[s].shift = p[2];
        prof.stage[s].dirBits = p[3];
        p += 4;
    }
    for (int i = 0; i < (pairs + 7) / 8; ++i)
        h.midSide[i] = *p++;
    for (int c = 0; c < ch; ++c) {
        if (left() < size_t(2 + prof.stages))
            return nullptr;
        h.wasted[c] = *p++;
        if ((h.wasted[c] & ~kSilent) > 31)
            return nullptr;
        for (int s = 0; s < prof.stages; ++s) {
            h.inShift[c][s] = *p++;
            if (!lms_params_valid(prof.stage[s], h.inShift[c][s]))
                return nullptr;
        }
        LpcCoefs& k = h.lpc[c];
        k.order = *p++;
        if (k.order > kMaxLpcOrder)
            return nullptr;
        if (k.order > 0) {
            if (left() < 1 + 2 * size_t(k.order))
                return nullptr;
            k.shift = *p++;
            if (k.shift > 15)
                return nullptr;
            for (int j = 0; j < k.order; ++j, p += 2)
                k.c[j] = int16_t(p[0] | p[1] << 8);
        }
    }

    return p;
}

// The residuals of every channel, silent ones as zeros. With compare, xs
// holds the residuals the frame must give, and false means it does not.
bool decode_residuals(const Header& h, const uint8_t* p, const uint8_t* end, int ch, int blocks, int32_t* const* xs,
                      bool compare = false)
{
    const Profile& prof = h.prof;
    auto left = [&] { return size_t(end - p); };
    for (int c = 0; c < ch; ++c)
        if (h.wasted[c] & kSilent) {
            if (!compare)
                std::fill(xs[c], xs[c] + blocks, 0);
            else if (!std::all_of(xs[c], xs[c] + blocks, [](int32_t v) { return v == 0; }))
                return false;
        }
    if (prof.entropy == kRiceSplit) {
        if (!decode_split(p, left(), h.wasted, ch, blocks, xs, compare))
            return false;
    } else if (prof.entropy == kRice) {
        BitReader br(p, left());
        for (int c = 0; c < ch; ++c) {
            if (h.wasted[c] & kSilent)
                continue;
            if (!compare)
                rice_decode(br, xs[c], blocks);
            else if (!rice_matches(br, xs[c], blocks))
                return false;
        }
        if (br.overrun() > 0)
            return false;
    } else if (compare) {
        // the range coder's channels share one coder: decoded whole, then compared
        thread_local std::vector<int32_t> check;
        int32_t* back[32];
        split_planes(check, ch, blocks, back);
        return decode_residuals(h, p, end, ch, blocks, back) &&
               std::equal(check.begin(), check.end(), xs[0], xs[0] + size_t(ch) * blocks);
    } else {
        if (left() < 4)
            return false;
        uint32_t len = p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
        p += 4;
        if (len > left())
            return false;
        RangeDecoder rc(p, len);
        BitReader br(p + len, left() - len);
        for (int c = 0; c < ch; ++c)
            if (!(h.wasted[c] & kSilent) && !range_decode(rc, br, xs[c], blocks))
                return false;
        if (br.overrun() > 0 || rc.overrun() > 0)
            return false;
    }
    return true;
}

// Left and right from a pair, interleaved into channels at, at + 1 of ch;
// false when a sample falls outside [lo, hi] (damage).
template <bool MidSide, class Samples>
bool finish_pair(const int32_t* a, const int32_t* b, int blocks, int32_t lo, int32_t hi, const Samples& out, int at,
                 int ch)
{
    int32_t low = 0, high = 0;
    for (int i = 0; i < blocks; ++i) {
        int32_t l = a[i], r = b[i];
        if constexpr (MidSide)
            from_mid_side(a[i], b[i], l, r);
        low = std::min(low, std::min(l, r));
        high = std::max(high, std::max(l, r));
        out.set(size_t(i) * ch + at, l);
        out.set(size_t(i) * ch + at + 1, r);
    }
    return low >= lo && high <= hi;
}

// Undoes the prediction stages in place, then interleaves into out.
template <class Samples>
bool reconstruct(const FrameFormat& f, const Header& h, int blocks, int32_t* const* xs, const Samples& out)
{
    const Profile& prof = h.prof;
    const int ch = f.channels;
    const int pairs = ch / 2;
    // a single stage of 16 taps and short fixed predictors, the FAST
    // case, go in one pass a channel pair at a time where they can
    bool done[32] = {};
    int rest[32], left = 0;
    for (int c = 0; c < ch; ++c) {
        if (prof.stages == 1 && c % 2 == 0 && c + 1 < ch) {
            int shifts[2] = {h.inShift[c][0], h.inShift[c + 1][0]};
            done[c] = done[c + 1] = lms_lpc_decode_pair(xs + c, shifts, blocks, prof.stage[0], h.lpc + c);
        }
        if (!done[c])
            rest[left++] = c;
    }
    if (left > 0) {
        int32_t* ys[32];
        LpcCoefs ks[32];
        for (int j = 0; j < left; ++j) {
            ys[j] = xs[rest[j]];
            ks[j] = h.lpc[rest[j]];
        }
        for (int s = prof.stages - 1; s >= 0; --s) {
            int shifts[32];
            for (int j = 0; j < left; ++j)
                shifts[j] = h.inShift[rest[j]][s];
            lms_decode(ys, shifts, left, blocks, prof.stage[s]);
        }
        lpc_decode(ys, ks, left, blocks);
    }
    for (int c = 0; c < ch; ++c)
        deemphasis(xs[c], blocks, prof.preemph);
    const int32_t lo = int32_t(~0u << (f.bitsPerSample - 1));
    const int32_t hi = int32_t(~uint32_t(lo));
    bool whole = ch % 2 == 0;
    for (int c = 0; c < ch; ++c)
        whole = whole && (h.wasted[c] & ~kSilent) == 0;
    if (whole) {
        // the common case: a pass a pair
        bool inside = true;
        for (int pr = 0; pr < pairs; ++pr) {
            const int32_t* a = xs[2 * pr];
            const int32_t* b = xs[2 * pr + 1];
            inside &= (h.midSide[pr / 8] & (1u << (pr % 8))) ? finish_pair<true>(a, b, blocks, lo, hi, out, 2 * pr, ch)
                                                              : finish_pair<false>(a, b, blocks, lo, hi, out, 2 * pr, ch);
        }
        return inside;
    }
    for (int pr = 0; pr < pairs; ++pr) {
        if (!(h.midSide[pr / 8] & (1u << (pr % 8))))
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
            out.set(2 * size_t(i), xs[0][i]);
            out.set(2 * size_t(i) + 1, xs[1][i]);
        }
    } else {
        for (int c = 0; c < ch; ++c)
            for (int i = 0; i < blocks; ++i)
                out.set(size_t(i) * ch + c, xs[c][i]);
    }
    return true;
}

template <class Samples>
bool decode_predicted(const FrameFormat& f, const uint8_t* data, size_t size, int blocks, const Samples& out)
{
    Header h;
    const uint8_t* p = parse_header(f, data, size, h);
    if (!p)
        return false;
    thread_local std::vector<int32_t> planes;
    int32_t* xs[32];
    split_planes(planes, f.channels, blocks, xs);
    return decode_residuals(h, p, data + size, f.channels, blocks, xs) && reconstruct(f, h, blocks, xs, out);
}

} // namespace

namespace {

bool same_header(const Header& a, const Header& b, int ch)
{
    const Profile &p = a.prof, &q = b.prof;
    if (p.entropy != q.entropy || p.preemph != q.preemph || p.stages != q.stages)
        return false;
    for (int s = 0; s < p.stages; ++s)
        if (p.stage[s].order != q.stage[s].order || p.stage[s].shift != q.stage[s].shift ||
            p.stage[s].dirBits != q.stage[s].dirBits)
            return false;
    if (std::memcmp(a.midSide, b.midSide, size_t(ch / 2 + 7) / 8) != 0)
        return false;
    for (int c = 0; c < ch; ++c) {
        if (a.wasted[c] != b.wasted[c] || std::memcmp(a.inShift[c], b.inShift[c], size_t(p.stages)) != 0)
            return false;
        const LpcCoefs &k = a.lpc[c], &l = b.lpc[c];
        if (k.order != l.order || (k.order > 0 && (k.shift != l.shift ||
                                                   std::memcmp(k.c, l.c, sizeof(int16_t) * size_t(k.order)) != 0)))
            return false;
    }
    return true;
}

// Reads back the parameters and the entropy-coded residuals of a frame
// just coded and compares them with what the encoder meant to send.
bool coding_matches(const FrameFormat& f, const std::vector<uint8_t>& frame, int blocks, const Header& sent,
                    const int32_t* residuals)
{
    Header back;
    const uint8_t* data = frame.data() + 1;
    const uint8_t* end = frame.data() + frame.size();
    const uint8_t* p = parse_header(f, data, size_t(end - data), back);
    if (!p || !same_header(sent, back, f.channels))
        return false;
    int32_t* xs[32];
    for (int c = 0; c < f.channels; ++c)
        xs[c] = const_cast<int32_t*>(residuals) + size_t(c) * blocks;  // only read
    return decode_residuals(back, p, end, f.channels, blocks, xs, true);
}

// The encoder's check of its own output: the parameters and entropy-coded
// residuals read back and compared with what it meant to send. The
// prediction stages run the same integer arithmetic in both directions
// (the tests check every variant of them both ways), the bit-level coding
// does not.
template <class Samples>
bool code(const FrameFormat& f, const Samples& in, int blocks, std::vector<uint8_t>& out, bool check)
{
    const size_t count = size_t(std::max(blocks, 0)) * size_t(f.channels);
    const size_t raw = 1 + count * size_t(f.bitsPerSample / 8);
    if (blocks > 0) {
        // coded into warm per-thread memory, then copied once
        const Coded& coded = encode_predicted(f, in, blocks);
        const std::vector<uint8_t>& work = coded.bytes;
        if (work.size() < raw) {
            if (check && !coding_matches(f, work, blocks, coded.h, coded.planes.data()))
                return false;
            out.insert(out.end(), work.begin(), work.end());
            return true;
        }
    }
    put_verbatim(f, in, count, out);
    return true;
}

bool code(const FrameFormat& format, const int32_t* interleaved, int blocks, std::vector<uint8_t>& out, bool check)
{
    FrameFormat f = format;
    if (!valid_format(f))
        f.bitsPerSample = 32, f.channels = std::clamp(f.channels, 1, 32);
    return code(f, Ints{const_cast<int32_t*>(interleaved)}, blocks, out, check);  // only read
}

template <class Samples>
bool decode(const FrameFormat& format, const uint8_t* data, size_t size, int blocks, const Samples& out)
{
    if (!valid_format(format) || blocks < 0 || size < 1 || data == nullptr)
        return false;
    const size_t count = size_t(blocks) * size_t(format.channels);
    switch (data[0]) {
    case kVerbatim:
        return get_verbatim(format, data + 1, size - 1, count, out);
    case kPredicted:
        if (blocks == 0)
            return false;
        return decode_predicted(format, data + 1, size - 1, blocks, out);
    default:
        return false;
    }
}

} // namespace

void encode_frame(const FrameFormat& format, const int32_t* interleaved, int blocks, std::vector<uint8_t>& out)
{
    code(format, interleaved, blocks, out, false);
}

bool encode_frame_checked(const FrameFormat& format, const int32_t* interleaved, int blocks,
                          std::vector<uint8_t>& out)
{
    return code(format, interleaved, blocks, out, true);
}

bool encode_frame_checked(const FrameFormat& format, const uint8_t* pcm, int blocks, std::vector<uint8_t>& out)
{
    uint8_t* bytes = const_cast<uint8_t*>(pcm);  // only read
    switch (valid_format(format) ? format.bitsPerSample : 0) {
    case 8: return code(format, Pcm<1>{bytes}, blocks, out, true);
    case 16: return code(format, Pcm<2>{bytes}, blocks, out, true);
    case 24: return code(format, Pcm<3>{bytes}, blocks, out, true);
    case 32: return code(format, Pcm<4>{bytes}, blocks, out, true);
    default: return false;
    }
}

bool decode_frame(const FrameFormat& format, const uint8_t* data, size_t size, int blocks,
                  int32_t* interleaved)
{
    return decode(format, data, size, blocks, Ints{interleaved});
}

bool decode_frame(const FrameFormat& format, const uint8_t* data, size_t size, int blocks, uint8_t* pcm)
{
    switch (format.bitsPerSample) {
    case 8: return decode(format, data, size, blocks, Pcm<1>{pcm});
    case 16: return decode(format, data, size, blocks, Pcm<2>{pcm});
    case 24: return decode(format, data, size, blocks, Pcm<3>{pcm});
    case 32: return decode(format, data, size, blocks, Pcm<4>{pcm});
    default: return false;
    }
}

} // namespace monkeys
