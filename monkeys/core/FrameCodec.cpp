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

void put_verbatim(const FrameFormat& f, const int32_t* in, size_t count, std::vector<uint8_t>& out)
{
    const int bytes = f.bitsPerSample / 8;
    size_t at = out.size();
    out.resize(at + 1 + count * size_t(bytes));
    uint8_t* p = out.data() + at;
    *p++ = kVerbatim;
    for (size_t i = 0; i < count; ++i) {
        uint32_t v = uint32_t(in[i]);
        for (int b = 0; b < bytes; ++b)
            *p++ = uint8_t(v >> (8 * b));
    }
}

bool get_verbatim(const FrameFormat& f, const uint8_t* p, size_t size, size_t count, int32_t* out)
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
        out[i] = int32_t(v << drop) >> drop;  // sign extension
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
constexpr uint8_t kSilent = 0x80;
constexpr int kMaxStages = 4;

// What the encoder does at each level; the decoder reads it all from the frame.
struct Profile {
    uint8_t entropy;
    uint8_t preemph;
    int lpcOrder;  // most taps of the fitted fixed predictor, 0 for none
    int stages;
    LmsParams stage[kMaxStages];
};

Profile profile_for(int level)
{
    switch (level) {
    case 1000:
        return {kRice, 0, 8, 1, {{16, 13, 4}}};
    case 2000:
        return {kRice, 0, 16, 1, {{16, 13, 4}}};
    case 3000:
        return {kRice, 0, 32, 2, {{32, 14, 4}, {16, 13, 4}}};
    default:
        return {kRange, 0, 32, 4, {{1024, 17, 2}, {256, 16, 2}, {32, 14, 4}, {16, 13, 4}}};
    }
}

struct Header {
    Profile prof{};
    uint8_t midSide[4] = {};
    uint8_t wasted[32] = {};  // low bits: wasted bits; kSilent: nothing coded
    uint8_t inShift[32][kMaxStages] = {};
    LpcCoefs lpc[32];
};

// x[n] - c*x[n-1]/32, in place, and back.
void preemphasis(int32_t* x, int n, int c)
{
    if (c == 0)
        return;
    int32_t prev = 0;
    for (int i = 0; i < n; ++i) {
        int32_t cur = x[i];
        x[i] = wrap_sub(cur, int32_t((int64_t(c) * prev) >> 5));
        prev = cur;
    }
}
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

// Scale of a stage's 16-bit copy of its input: keeps the typical value
// well inside 16 bits.
int input_shift(const int32_t* x, int n, int maxShift)
{
    uint64_t sum = 0;
    for (int i = 0; i < n; ++i)
        sum += uint64_t(std::abs(int64_t(x[i])));
    uint64_t mean = sum / uint64_t(std::max(n, 1));
    int bits = mean == 0 ? 0 : 64 - __builtin_clzll(mean);
    return std::clamp(bits - 11, 0, maxShift);
}

void encode_predicted(const FrameFormat& f, const int32_t* in, int blocks, std::vector<uint8_t>& out)
{
    const int ch = f.channels;
    const int pairs = ch / 2;
    Header h;
    h.prof = profile_for(f.level);
    // per-thread buffers: frames come one after another on each thread
    thread_local std::vector<int32_t> planes;
    planes.resize(size_t(ch) * blocks);
    for (int c = 0; c < ch; ++c) {
        int32_t* x = &planes[size_t(c) * blocks];
        uint32_t any = 0;
        for (int i = 0; i < blocks; ++i)
            any |= uint32_t(x[i] = in[size_t(i) * ch + c]);
        int w = any == 0 ? 0 : __builtin_ctz(any);
        h.wasted[c] = uint8_t(w);
        if (w > 0)
            for (int i = 0; i < blocks; ++i)
                x[i] >>= w;
    }
    for (int p = 0; p < pairs; ++p) {
        int32_t* l = &planes[size_t(2 * p) * blocks];
        int32_t* r = &planes[size_t(2 * p + 1) * blocks];
        // cost estimate of both ways in one pass: magnitudes of first differences
        uint64_t lr = 0, ms = 0;
        Side prev = to_mid_side(l[0], r[0]);
        for (int i = 1; i < blocks; ++i) {
            Side cur = to_mid_side(l[i], r[i]);
            lr += uint64_t(std::abs(int64_t(l[i]) - l[i - 1])) + uint64_t(std::abs(int64_t(r[i]) - r[i - 1]));
            ms += uint64_t(std::abs(int64_t(cur.mid) - prev.mid)) + uint64_t(std::abs(int64_t(cur.side) - prev.side));
            prev = cur;
        }
        if (ms < lr) {
            h.midSide[p / 8] |= uint8_t(1u << (p % 8));
            for (int i = 0; i < blocks; ++i) {
                Side cur = to_mid_side(l[i], r[i]);
                l[i] = cur.mid;
                r[i] = cur.side;
            }
        }
    }
    const Profile& prof = h.prof;
    int32_t* xs[32];
    for (int c = 0; c < ch; ++c) {
        int32_t* x = xs[c] = &planes[size_t(c) * blocks];
        preemphasis(x, blocks, prof.preemph);
        h.lpc[c] = lpc_fit(x, blocks, prof.lpcOrder);
        lpc_encode(x, blocks, h.lpc[c]);
    }
    for (int s = 0; s < prof.stages; ++s) {
        int shifts[32];
        for (int c = 0; c < ch; ++c)
            h.inShift[c][s] = uint8_t(shifts[c] = input_shift(xs[c], blocks, prof.stage[s].shift));
        lms_encode(xs, shifts, ch, blocks, prof.stage[s]);
    }

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
    if (prof.entropy == kRice) {
        BitWriter bw(out);
        for (int c = 0; c < ch; ++c)
            if (!(h.wasted[c] & kSilent))
                rice_encode(bw, &planes[size_t(c) * blocks], blocks);
        bw.flush();
        return;
    }
    thread_local std::vector<uint8_t> coded, raw;
    coded.clear();
    raw.clear();
    RangeEncoder rc(coded);
    BitWriter bw(raw);
    for (int c = 0; c < ch; ++c)
        if (!(h.wasted[c] & kSilent))
            range_encode(rc, bw, &planes[size_t(c) * blocks], blocks);
    rc.finish();
    bw.flush();
    uint32_t len = uint32_t(coded.size());
    for (int b = 0; b < 4; ++b)
        out.push_back(uint8_t(len >> (8 * b)));
    out.insert(out.end(), coded.begin(), coded.end());
    out.insert(out.end(), raw.begin(), raw.end());
}

bool decode_predicted(const FrameFormat& f, const uint8_t* data, size_t size, int blocks,
                      int32_t* out)
{
    const int ch = f.channels;
    const int pairs = ch / 2;
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    auto left = [&] { return size_t(end - p); };
    if (left() < 3)
        return false;
    Header h;
    Profile& prof = h.prof;
    prof.entropy = *p++;
    prof.preemph = *p++;
    prof.stages = *p++;
    if ((prof.entropy != kRice && prof.entropy != kRange) || prof.preemph > 32 ||
        prof.stages > kMaxStages)
        return false;
    if (left() < size_t(prof.stages) * 4 + size_t((pairs + 7) / 8))
        return false;
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
            return false;
        h.wasted[c] = *p++;
        if ((h.wasted[c] & ~kSilent) > 31)
            return false;
        for (int s = 0; s < prof.stages; ++s) {
            h.inShift[c][s] = *p++;
            if (!lms_params_valid(prof.stage[s], h.inShift[c][s]))
                return false;
        }
        LpcCoefs& k = h.lpc[c];
        k.order = *p++;
        if (k.order > kMaxLpcOrder)
            return false;
        if (k.order > 0) {
            if (left() < 1 + 2 * size_t(k.order))
                return false;
            k.shift = *p++;
            if (k.shift > 15)
                return false;
            for (int j = 0; j < k.order; ++j, p += 2)
                k.c[j] = int16_t(p[0] | p[1] << 8);
        }
    }

    thread_local std::vector<int32_t> planes;
    planes.resize(size_t(ch) * blocks);
    int32_t* xs[32];
    for (int c = 0; c < ch; ++c) {
        xs[c] = &planes[size_t(c) * blocks];
        if (h.wasted[c] & kSilent)
            std::fill(xs[c], xs[c] + blocks, 0);
    }
    if (prof.entropy == kRice) {
        BitReader br(p, left());
        for (int c = 0; c < ch; ++c)
            if (!(h.wasted[c] & kSilent))
                rice_decode(br, xs[c], 1, blocks);
        if (br.overrun() > 8)
            return false;
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
        if (br.overrun() > 8 || rc.overrun() > 0)
            return false;
    }
    for (int s = prof.stages - 1; s >= 0; --s) {
        int shifts[32];
        for (int c = 0; c < ch; ++c)
            shifts[c] = h.inShift[c][s];
        lms_decode(xs, shifts, ch, blocks, prof.stage[s]);
    }
    lpc_decode(xs, h.lpc, ch, blocks);
    for (int c = 0; c < ch; ++c)
        deemphasis(xs[c], blocks, prof.preemph);
    for (int pr = 0; pr < pairs; ++pr) {
        if (!(h.midSide[pr / 8] & (1u << (pr % 8))))
            continue;
        int32_t* m = xs[2 * pr];
        int32_t* sd = xs[2 * pr + 1];
        for (int i = 0; i < blocks; ++i)
            from_mid_side(m[i], sd[i], m[i], sd[i]);
    }
    // back to full scale; a sample outside the sample size means damage
    const int32_t lo = int32_t(~0u << (f.bitsPerSample - 1));
    const int32_t hi = int32_t(~uint32_t(lo));
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
            out[2 * size_t(i)] = xs[0][i];
            out[2 * size_t(i) + 1] = xs[1][i];
        }
    } else {
        for (int c = 0; c < ch; ++c)
            for (int i = 0; i < blocks; ++i)
                out[size_t(i) * ch + c] = xs[c][i];
    }
    return true;
}

} // namespace

void encode_frame(const FrameFormat& format, const int32_t* interleaved, int blocks,
                  std::vector<uint8_t>& out)
{
    FrameFormat f = format;
    if (!valid_format(f))
        f.bitsPerSample = 32, f.channels = std::clamp(f.channels, 1, 32);
    const size_t count = size_t(std::max(blocks, 0)) * size_t(f.channels);
    const size_t raw = 1 + count * size_t(f.bitsPerSample / 8);
    if (blocks > 0) {
        // coded into warm per-thread memory, then copied once
        thread_local std::vector<uint8_t> work;
        work.clear();
        work.reserve(raw + 64);
        encode_predicted(f, interleaved, blocks, work);
        if (work.size() < raw) {
            out.insert(out.end(), work.begin(), work.end());
            return;
        }
    }
    put_verbatim(f, interleaved, count, out);
}

bool decode_frame(const FrameFormat& format, const uint8_t* data, size_t size, int blocks,
                  int32_t* interleaved)
{
    if (!valid_format(format) || blocks < 0 || size < 1 || data == nullptr)
        return false;
    const size_t count = size_t(blocks) * size_t(format.channels);
    switch (data[0]) {
    case kVerbatim:
        return get_verbatim(format, data + 1, size - 1, count, interleaved);
    case kPredicted:
        if (blocks == 0)
            return false;
        return decode_predicted(format, data + 1, size - 1, blocks, interleaved);
    default:
        return false;
    }
}

} // namespace monkeys
