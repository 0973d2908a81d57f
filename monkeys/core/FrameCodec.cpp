// Frame layout (all numbers little-endian):
//
//   byte 0      method: kVerbatim or kPredicted
//   kVerbatim:  the samples as stored in WAVE data, bitsPerSample/8 bytes
//               each, interleaved; chosen whenever coding does not pay.
//   kPredicted: byte  entropy coder (kRice or kRange)
//               byte  pre-emphasis numerator c (x - c*x[-1]/32), 0..32
//               byte  number of adaptive filter stages, then per stage
//                     u16 order, byte shift, byte step
//               (pairs+7)/8 bytes: bit p set when channels 2p, 2p+1 are
//                     coded as mid/side
//               per channel: byte wasted low bits, byte filter input shift
//               the residuals, channel after channel
//
// All arithmetic on samples is modulo 2^32 (done on uint32_t), so every
// step is exactly invertible for any 32-bit input and the decoder
// reproduces the encoder bit for bit on every machine.
#include "FrameCodec.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "BitIO.h"
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

// Low bits that are zero in every sample of the channel.
int wasted_bits(const int32_t* x, int n)
{
    uint32_t any = 0;
    for (int i = 0; i < n; ++i)
        any |= uint32_t(x[i]);
    return any == 0 ? 0 : __builtin_ctz(any);
}

// Cheap cost estimate of a channel for choosing mid/side: sum of the
// magnitudes of the first difference.
uint64_t roughness(const int32_t* x, int n)
{
    uint64_t s = 0;
    for (int i = 1; i < n; ++i)
        s += uint64_t(std::abs(int64_t(x[i]) - x[i - 1]));
    return s;
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

struct Header {
    uint8_t entropy = kRice;
    uint8_t preemph = 32;
    uint8_t midSide[4] = {};
    uint8_t wasted[32] = {};
    uint8_t inShift[32] = {};
};

// x[n] - c*x[n-1]/32, in place, and back.
void preemphasis(int32_t* x, int n, int c)
{
    int32_t prev = 0;
    for (int i = 0; i < n; ++i) {
        int32_t cur = x[i];
        x[i] = wrap_sub(cur, int32_t((int64_t(c) * prev) >> 5));
        prev = cur;
    }
}
void deemphasis(int32_t* x, int n, ptrdiff_t stride, int c)
{
    int32_t prev = 0;
    for (int i = 0; i < n; ++i) {
        int32_t& v = x[i * stride];
        v = wrap_add(v, int32_t((int64_t(c) * prev) >> 5));
        prev = v;
    }
}

void encode_predicted(const FrameFormat& f, const int32_t* in, int blocks, std::vector<uint8_t>& out)
{
    const int ch = f.channels;
    const int pairs = ch / 2;
    Header h;
    std::vector<int32_t> planes(size_t(ch) * blocks);
    for (int c = 0; c < ch; ++c) {
        int32_t* x = &planes[size_t(c) * blocks];
        for (int i = 0; i < blocks; ++i)
            x[i] = in[size_t(i) * ch + c];
        int w = wasted_bits(x, blocks);
        h.wasted[c] = uint8_t(w);
        if (w > 0)
            for (int i = 0; i < blocks; ++i)
                x[i] >>= w;
    }
    std::vector<int32_t> mid(blocks), side(blocks);
    for (int p = 0; p < pairs; ++p) {
        int32_t* l = &planes[size_t(2 * p) * blocks];
        int32_t* r = &planes[size_t(2 * p + 1) * blocks];
        for (int i = 0; i < blocks; ++i) {
            Side ms = to_mid_side(l[i], r[i]);
            mid[i] = ms.mid;
            side[i] = ms.side;
        }
        if (roughness(mid.data(), blocks) + roughness(side.data(), blocks) <
            roughness(l, blocks) + roughness(r, blocks)) {
            h.midSide[p / 8] |= uint8_t(1u << (p % 8));
            std::copy(mid.begin(), mid.end(), l);
            std::copy(side.begin(), side.end(), r);
        }
    }

    out.push_back(kPredicted);
    out.push_back(h.entropy);
    out.push_back(h.preemph);
    out.push_back(0);  // no adaptive stages
    for (int i = 0; i < (pairs + 7) / 8; ++i)
        out.push_back(h.midSide[i]);
    for (int c = 0; c < ch; ++c) {
        out.push_back(h.wasted[c]);
        out.push_back(h.inShift[c]);
    }
    BitWriter bw(out);
    for (int c = 0; c < ch; ++c) {
        int32_t* x = &planes[size_t(c) * blocks];
        preemphasis(x, blocks, h.preemph);
        rice_encode(bw, x, blocks);
    }
    bw.flush();
}

bool decode_predicted(const FrameFormat& f, const uint8_t* data, size_t size, int blocks,
                      int32_t* out)
{
    const int ch = f.channels;
    const int pairs = ch / 2;
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    size_t headerBytes = 3 + size_t((pairs + 7) / 8) + 2 * size_t(ch);
    if (size_t(end - p) < headerBytes)
        return false;
    Header h;
    h.entropy = *p++;
    h.preemph = *p++;
    int stages = *p++;
    if (h.entropy != kRice || h.preemph > 32 || stages != 0)
        return false;
    for (int i = 0; i < (pairs + 7) / 8; ++i)
        h.midSide[i] = *p++;
    for (int c = 0; c < ch; ++c) {
        h.wasted[c] = *p++;
        h.inShift[c] = *p++;
        if (h.wasted[c] > 31 || h.inShift[c] > 31)
            return false;
    }
    BitReader br(p, size_t(end - p));
    for (int c = 0; c < ch; ++c) {
        rice_decode(br, out + c, ch, blocks);
        deemphasis(out + c, blocks, ch, h.preemph);
    }
    if (br.overrun() > 8)
        return false;
    for (int pr = 0; pr < pairs; ++pr) {
        if (!(h.midSide[pr / 8] & (1u << (pr % 8))))
            continue;
        for (int i = 0; i < blocks; ++i) {
            int32_t* s = out + size_t(i) * ch + 2 * pr;
            from_mid_side(s[0], s[1], s[0], s[1]);
        }
    }
    const int32_t lo = -(int32_t)(uint32_t(1) << (f.bitsPerSample - 1));
    const int32_t hi = int32_t((uint32_t(1) << (f.bitsPerSample - 1)) - 1);
    for (int c = 0; c < ch; ++c) {
        const int w = h.wasted[c];
        for (int i = 0; i < blocks; ++i) {
            int32_t& v = out[size_t(i) * ch + c];
            if (w > 0)
                v = int32_t(uint32_t(v) << w);
            if (f.bitsPerSample < 32 && (v < lo || v > hi))
                return false;
        }
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
    const size_t start = out.size();
    const size_t raw = 1 + count * size_t(f.bitsPerSample / 8);
    if (blocks > 0) {
        encode_predicted(f, interleaved, blocks, out);
        if (out.size() - start < raw)
            return;
        out.resize(start);
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
