// The tANS decoder's inner loops, shared by the portable code (Tans.cpp)
// and the AVX2 variant (TansAvx2.cpp), which compiles them with the bit
// instructions that come with AVX2 (private to the coder). Bits gives
// low(w, k): the k low bits of w, k <= 63.
#pragma once

#include <cstdint>
#include <cstring>

#include "Residual.h"
#include "Tans.h"

namespace monkeys::core::tans_detail {

inline void store_le64(uint8_t* p, uint64_t v)
{
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    std::memcpy(p, &v, 8);
}

inline int bit_length(uint32_t v) { return v == 0 ? 0 : 32 - __builtin_clz(v); }

// 57 or more bits from bit position pos on, LSB first; 8 bytes from
// pos / 8 must be readable.
inline uint64_t peek(const uint8_t* p, uint64_t pos)
{
    uint64_t w;
    std::memcpy(&w, p + (pos >> 3), 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    w = __builtin_bswap64(w);
#endif
    return w >> (pos & 7);
}

constexpr uint32_t kTansTrackerBits = 2 * kTansTrackerMask + 1;  // of 2T

// One class of channel k: the entry of its context's table at its state,
// the state bits taken from w (the stream's bits from c.pos on), the
// tracker stepped. Writes the class and the shift, class | shift << 5.
// The slot reads only the tracker's low bits, so the loops leave the
// trackers unmasked (one step less on their chain) and mask them after.
template <class Bits, bool Masked = true>
__attribute__((always_inline)) inline void symbol_step(const TansEntry* mem, uint64_t& w, TansCursor& c, int k,
                                                       uint16_t* out)
{
    // the slot of T >> 3, 16 bytes each, is at byte 2T & ~15
    const TansSlot* slot = reinterpret_cast<const TansSlot*>(reinterpret_cast<const uint8_t*>(mem) +
                                                             (c.lagged[k] & (kTansTrackerBits & ~15u)));
    const TansEntry* e = slot->table + c.x[k];
    const uint32_t bits = e->bits;
    c.lagged[k] = c.tracker[k];
    c.tracker[k] = (c.tracker[k] + uint32_t(int32_t(e->step))) & (Masked ? kTansTrackerBits : ~0u);
    c.x[k] = e->base + Bits::low(w, bits);
    w >>= bits;
    c.pos += bits;
    *out = uint16_t(e->symbol | slot->shift);
}

// Samples a group takes: its state bits (at most 40) come from one word.
// The next group's word joins that word's rest and one read 40 bits on at
// the group's start, so that no read waits for the group's classes.
constexpr int kTansPairGroup = 2;
constexpr int kTansGroup = 4;
constexpr int kTansGroupBits = 40;

// w's rest after a group of b bits and the bits kTansGroupBits on from
// its start: the bits from the next group's start (each bit of either is
// the stream's or zero).
inline uint64_t next_word(uint64_t rest, uint64_t ahead, uint32_t b) { return rest | ahead << (kTansGroupBits - b); }

// n groups of the classes of a channel pair, every read within their
// state stream; out gets them in turns.
template <class Bits>
__attribute__((always_inline)) inline void symbols2(const TansEntry* mem, const uint8_t* base, TansCursor& cur,
                                                    uint16_t* out, int groups)
{
    TansCursor c = cur;  // a local, for registers
    uint64_t w = peek(base, c.pos);
    for (int g = 0; g < groups; ++g, out += 2 * kTansPairGroup) {
        const uint64_t ahead = peek(base, c.pos + kTansGroupBits), at = c.pos;
        for (int i = 0; i < kTansPairGroup; ++i) {
            symbol_step<Bits, false>(mem, w, c, 0, out + 2 * i);
            symbol_step<Bits, false>(mem, w, c, 1, out + 2 * i + 1);
        }
        w = next_word(w, ahead, uint32_t(c.pos - at));
    }
    for (int k = 0; k < 2; ++k) {
        c.tracker[k] &= kTansTrackerBits;
        c.lagged[k] &= kTansTrackerBits;
    }
    cur = c;
}

template <class Bits>
__attribute__((always_inline)) inline void symbols(const TansEntry* mem, const uint8_t* base, TansCursor& cur,
                                                   uint16_t* out, int groups)
{
    TansCursor c = cur;
    uint64_t w = peek(base, c.pos);
    for (int g = 0; g < groups; ++g, out += kTansGroup) {
        const uint64_t ahead = peek(base, c.pos + kTansGroupBits), at = c.pos;
        for (int i = 0; i < kTansGroup; ++i)
            symbol_step<Bits, false>(mem, w, c, 0, out + i);
        w = next_word(w, ahead, uint32_t(c.pos - at));
    }
    c.tracker[0] &= kTansTrackerBits;
    c.lagged[0] &= kTansTrackerBits;
    cur = c;
}

// What a class and shift (class | shift << 5) give: the raw bits to read
// and what they are added to; an escape or a class no table has reads
// kTansLongRead and goes the slow way.
struct Value {
    uint32_t base;
    uint32_t bits;
};
constexpr uint32_t kTansLongRead = 64;
struct ValueTable {
    Value v[1024];
    constexpr ValueTable() : v()
    {
        for (int s = 0; s < 32; ++s)
            for (int c = 0; c < 32; ++c)
                v[s << 5 | c] = c < kTansEscape && s <= 26
                                    ? Value{tans_class_base(c) << s, uint32_t(tans_class_bits(c) + s)}
                                    : Value{0, kTansLongRead};
    }
};
inline constexpr ValueTable kValues;

// A pair's two residuals (classes in[0], in[1]) from the raw stream at bit
// pos of raw, every read within it; false at a class no table has.
template <class Bits>
__attribute__((always_inline)) inline bool value_pair(const uint8_t* raw, uint64_t& pos, const uint16_t* in,
                                                      int32_t* o0, int32_t* o1);

// n residuals of each of K channels (a pair's classes in turns in in) from
// the raw stream at bit at of raw, every read within it; false at a class
// no table has. The zigzag form is undone as each is stored, off the raw
// reads' chain, rather than in a pass of its own.
template <class Bits, int K>
__attribute__((always_inline)) inline bool values(const uint8_t* raw, uint64_t& at, const uint16_t* in,
                                                  int32_t* const* out, int n)
{
    uint64_t pos = at;
    int32_t* o0 = out[0];
    int32_t* o1 = out[K - 1];
    for (int i = 0; i < n; ++i, in += K) {
        if constexpr (K == 2) {
            // both of a pair's values from one read where it holds them
            // (an escape's kTansLongRead never fits)
            const Value v0 = kValues.v[in[0]], v1 = kValues.v[in[1]];
            if (__builtin_expect(v0.bits + v1.bits <= 57, 1)) {
                const uint64_t w = peek(raw, pos);
                o0[i] = unzigzag(v0.base + uint32_t(Bits::low(w, v0.bits)));
                o1[i] = unzigzag(v1.base + uint32_t(Bits::low(w >> v0.bits, v1.bits)));
                pos += v0.bits + v1.bits;
                continue;
            }
        }
        for (int k = 0; k < K; ++k) {
            const Value v = kValues.v[in[k]];
            const uint64_t w = peek(raw, pos);
            uint32_t u;
            if (__builtin_expect(v.bits == kTansLongRead, 0)) {
                if ((in[k] & 31) != kTansEscape)
                    return false;
                // the bit length less one, then the bits below the top one
                const uint32_t length = uint32_t(w & 31) + 1;
                u = (uint32_t(1) << (length - 1)) | uint32_t(Bits::low(w >> 5, length - 1));
                pos += 4 + length;
            } else {
                u = v.base + uint32_t(Bits::low(w, v.bits));
                pos += v.bits;
            }
            (k == 0 ? o0 : o1)[i] = unzigzag(u);
        }
    }
    at = pos;
    return true;
}

template <class Bits>
__attribute__((always_inline)) inline bool value_pair(const uint8_t* raw, uint64_t& pos, const uint16_t* in,
                                                      int32_t* o0, int32_t* o1)
{
    int32_t* out[2] = {o0, o1};
    return values<Bits, 2>(raw, pos, in, out, 1);
}

// n groups of a channel pair's classes (in turns into out) and their
// residuals (into x0, x1) in one loop: the raw values' reads
// fill the time the classes' chains leave free. Every read within the
// state and the raw stream; false at a class no table has.
template <class Bits>
__attribute__((always_inline)) inline bool symbols_values2(const TansEntry* mem, const uint8_t* base,
                                                           TansCursor& cur, uint16_t* out, const uint8_t* raw,
                                                           uint64_t& rawPos, int32_t* x0, int32_t* x1, int groups)
{
    TansCursor c = cur;  // a local, for registers
    uint64_t w = peek(base, c.pos), rp = rawPos;
    bool good = true;
    for (int g = 0; g < groups; ++g, x0 += kTansPairGroup, x1 += kTansPairGroup) {
        const uint64_t ahead = peek(base, c.pos + kTansGroupBits), at = c.pos;
        for (int i = 0; i < kTansPairGroup; ++i) {
            symbol_step<Bits, false>(mem, w, c, 0, out + 2 * i);
            symbol_step<Bits, false>(mem, w, c, 1, out + 2 * i + 1);
        }
        w = next_word(w, ahead, uint32_t(c.pos - at));
        for (int i = 0; i < kTansPairGroup; ++i)
            good &= value_pair<Bits>(raw, rp, out + 2 * i, x0 + i, x1 + i);
    }
    for (int k = 0; k < 2; ++k) {
        c.tracker[k] &= kTansTrackerBits;
        c.lagged[k] &= kTansTrackerBits;
    }
    cur = c;
    rawPos = rp;
    return good;
}

// ---------------------------------------------------------------- encoder

// What the encoder reads off the tracker, a class and a context.
struct Tables {
    struct Slot {
        uint16_t context;  // << 5
        uint16_t shift;
    } slot[kTansSlots];
    uint8_t classOf[256];  // of z
    uint8_t classBits[32];
    int8_t step[kTansContexts * 32];  // [context << 5 | class]
    constexpr Tables() : slot(), classOf(), classBits(), step()
    {
        for (uint32_t q = 0; q < kTansSlots; ++q)
            slot[q] = Slot{uint16_t(tans_context(q << 3) << 5), uint16_t(tans_shift(q << 3))};
        for (int z = 0; z < 256; ++z) {
            int c = z;
            if (z >= 8) {
                const int e = 31 - __builtin_clz(uint32_t(z));
                c = 8 + (e - 3) * 4 + ((z >> (e - 2)) & 3);
            }
            classOf[z] = uint8_t(c);
        }
        for (int c = 0; c < 32; ++c)
            classBits[c] = uint8_t(c < kTansEscape ? tans_class_bits(c) : 0);
        for (int c = 0; c < kTansContexts; ++c)
            for (int j = 0; j < kTansClasses; ++j)
                step[c << 5 | j] = kTansStep[c][j];
    }
};
inline constexpr Tables kTables;

// Bits appended LSB first: each put stores eight bytes and moves on by
// the whole ones (room for them is the caller's).
__attribute__((always_inline)) inline void put_bits(uint8_t*& p, uint64_t& acc, uint64_t& fill, uint32_t v,
                                                    uint64_t n)
{
    acc |= uint64_t(v) << fill;
    fill += n;
    store_le64(p, acc);
    p += fill >> 3;
    acc >>= fill & ~uint64_t(7);
    fill &= 7;
}

// Bits put before those already there, LSB first, into memory below p:
// each stores the eight bytes below p and moves down by the whole ones.
__attribute__((always_inline)) inline void put_bits_before(uint8_t*& p, uint64_t& acc, uint64_t& fill, uint32_t v,
                                                           uint64_t n)
{
    acc = (acc << n) | v;
    fill += n;
    store_le64(p - 8, (acc << (63 - fill)) << 1);
    p -= fill >> 3;
    fill &= 7;
}

// A class and the raw bits of a residual's zigzag form u of the k-th
// channel: the raw bits appended to the raw stream, the code (context << 5
// | class) kept and counted, the tracker stepped.
__attribute__((always_inline)) inline void analyse_step(TansAnalysis& a, int k, uint32_t u, uint16_t* code)
{
    const Tables::Slot slot = kTables.slot[a.lagged[k] >> 3];
    const uint32_t z = u >> slot.shift;
    uint32_t c;
    if (__builtin_expect(z < 256, 1)) {
        c = kTables.classOf[z];
        const uint32_t bits = kTables.classBits[c] + slot.shift;
        put_bits(a.p, a.acc, a.fill, u & ((uint32_t(1) << bits) - 1), bits);
    } else {
        c = kTansEscape;
        const uint32_t length = uint32_t(bit_length(u));
        put_bits(a.p, a.acc, a.fill, length - 1, 5);
        put_bits(a.p, a.acc, a.fill, u & ((uint32_t(1) << (length - 1)) - 1), length - 1);
    }
    const uint32_t cc = slot.context | c;
    *code = uint16_t(cc);
    ++a.counts[2 * cc + uint32_t(k)];
    a.lagged[k] = a.tracker[k];
    a.tracker[k] = (a.tracker[k] + uint32_t(int32_t(kTables.step[cc]))) & kTansTrackerMask;
}

__attribute__((always_inline)) inline void analyse2(const int32_t* x0, const int32_t* x1, TansAnalysis& an, int n)
{
    TansAnalysis a = an;  // a local, for registers
    for (int i = 0; i < n; ++i) {
        analyse_step(a, 0, zigzag(x0[i]), a.code + 2 * i);
        analyse_step(a, 1, zigzag(x1[i]), a.code + 2 * i + 1);
    }
    a.code += 2 * n;
    an = a;
}

__attribute__((always_inline)) inline void analyse(const int32_t* x, TansAnalysis& an, int n)
{
    TansAnalysis a = an;
    for (int i = 0; i < n; ++i)
        analyse_step(a, 0, zigzag(x[i]), a.code + i);
    a.code += n;
    an = a;
}

// The states run backwards, from the last class to the first; each class
// leaves the low bits of the state it came to, put before those of the
// classes after it (a pair's: channel 1's, then channel 0's).
__attribute__((always_inline)) inline void state_step(const TansCode* codes, const uint16_t* next, TansStates& r,
                                                      int k, uint32_t cc)
{
    const TansCode& cd = codes[cc];
    const uint32_t x = r.x[k];
    const uint32_t nb = (x + cd.delta) >> 16;
    put_bits_before(r.p, r.acc, r.fill, x & ((uint32_t(1) << nb) - 1), nb);
    r.x[k] = next[uint32_t(cd.next + int32_t(x >> nb))];
}

__attribute__((always_inline)) inline void states2(const TansCode* codes, const uint16_t* next, TansStates& st, int n)
{
    TansStates r = st;
    for (int i = n - 1; i >= 0; --i) {
        state_step(codes, next, r, 1, r.code[2 * i + 1]);
        state_step(codes, next, r, 0, r.code[2 * i]);
    }
    st = r;
}

__attribute__((always_inline)) inline void states(const TansCode* codes, const uint16_t* next, TansStates& st, int n)
{
    TansStates r = st;
    for (int i = n - 1; i >= 0; --i)
        state_step(codes, next, r, 0, r.code[i]);
    st = r;
}

} // namespace monkeys::core::tans_detail
