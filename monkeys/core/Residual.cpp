#include "Residual.h"

#include <algorithm>
#include <cstring>

namespace monkeys::core {
namespace {

constexpr uint32_t kEscape = 24;  // Rice quotients from here on are sent raw

inline int bit_length(uint32_t v) { return v == 0 ? 0 : 32 - __builtin_clz(v); }

// Running mean of the coded values, 16 times over.
struct Mean {
    uint32_t sum = 16 * 16;
    uint32_t mean() const { return sum >> 4; }
    void update(uint32_t u) { sum += std::min(u, 1u << 27) - (sum >> 4); }
};

inline int rice_k(const Mean& m)
{
    uint32_t v = m.mean();
    return v == 0 ? 0 : 31 - __builtin_clz(v);
}

// Range-coded model: the context is the Golomb parameter and the next two
// bits of the mean below its leading one.
constexpr int kContexts = 25 * 4;
constexpr int kUnary = 16;      // distinct probabilities along the quotient
constexpr uint32_t kQMax = 20;  // quotients from here on escape to raw bits

struct Model {
    uint16_t unary[kContexts][kUnary];
    uint16_t top[kContexts][3];
    Model()
    {
        std::fill(&unary[0][0], &unary[0][0] + kContexts * kUnary, kProbHalf);
        std::fill(&top[0][0], &top[0][0] + kContexts * 3, kProbHalf);
    }
};

struct Golomb {
    int k;
    int ctx;
};

inline Golomb golomb(const Mean& m)
{
    uint32_t v = m.mean();
    int k = v == 0 ? 0 : 31 - __builtin_clz(v);
    int frac = k >= 2 ? int(v >> (k - 2)) & 3 : k == 1 ? int(v & 1) * 2 : 0;
    return {k, std::min(k, 24) * 4 + frac};
}

} // namespace

namespace {
inline void rice_put(BitWriter& bw, Mean& st, int32_t x)
{
    uint32_t u = zigzag(x);
    int k = rice_k(st);
    uint32_t q = u >> k;
    if (q < kEscape) {
        // the quotient's zeros, its one and the low bits in one go
        int bits = int(q) + 1 + k;
        if (bits <= 32) {
            bw.put((1u << k) | (u & ((1u << k) - 1)), bits);
        } else {
            bw.put_unary(q);
            bw.put(u, k);
        }
    } else {
        bw.put(0, int(kEscape));
        bw.put(u, 32);
    }
    st.update(u);
}
} // namespace

void rice_encode(BitWriter& bw, const int32_t* x, int n)
{
    Mean st;
    for (int i = 0; i < n; ++i)
        rice_put(bw, st, x[i]);
}

void rice_encode2(BitWriter& b0, const int32_t* x0, BitWriter& b1, const int32_t* x1, int n)
{
    Mean s0, s1;
    for (int i = 0; i < n; ++i) {
        rice_put(b0, s0, x0[i]);
        rice_put(b1, s1, x1[i]);
    }
}

uint64_t rice_bits(const int32_t* x, int n)
{
    Mean st;
    uint64_t bits = 0;
    for (int i = 0; i < n; ++i) {
        uint32_t u = zigzag(x[i]);
        uint32_t q = u >> rice_k(st);
        bits += q < kEscape ? q + 1 + uint32_t(rice_k(st)) : kEscape + 32;
        st.update(u);
    }
    return bits;
}

namespace {
inline int32_t rice_one(BitReader& br, Mean& st)
{
    int k = rice_k(st);
    uint32_t u;
    if (!br.rice(k, kEscape, u)) {
        uint32_t q = br.get_unary(kEscape);
        u = q < kEscape ? (q << k) | br.get(k) : br.get(32);
    }
    st.update(u);
    return unzigzag(u);
}
} // namespace

void rice_decode(BitReader& br, int32_t* x, ptrdiff_t stride, int n)
{
    Mean st;
    for (int i = 0; i < n; ++i)
        x[i * stride] = rice_one(br, st);
}

void rice_decode2(BitReader& b0, int32_t* x0, BitReader& b1, int32_t* x1, int n)
{
    Mean s0, s1;
    for (int i = 0; i < n; ++i) {
        x0[i] = rice_one(b0, s0);
        x1[i] = rice_one(b1, s1);
    }
}

void range_encode(RangeEncoder& rc, BitWriter& bw, const int32_t* x, int n)
{
    Model m;
    Mean st;
    for (int i = 0; i < n; ++i) {
        uint32_t u = zigzag(x[i]);
        Golomb g = golomb(st);
        uint32_t q = u >> g.k;
        uint16_t* un = m.unary[g.ctx];
        uint32_t qc = std::min(q, kQMax);
        for (uint32_t j = 0; j < qc; ++j)
            rc.encode(un[std::min(j, uint32_t(kUnary - 1))], 1);
        if (q < kQMax) {
            rc.encode(un[std::min(q, uint32_t(kUnary - 1))], 0);
            if (g.k > 0) {
                rc.encode(m.top[g.ctx][std::min(q, 2u)], int(u >> (g.k - 1)) & 1);
                bw.put(u, g.k - 1);
            }
        } else {
            int nb = bit_length(u);
            bw.put(uint32_t(nb), 6);
            bw.put(u, nb - 1);
        }
        st.update(u);
    }
}

bool range_decode(RangeDecoder& rc, BitReader& br, int32_t* x, int n)
{
    Model m;
    Mean st;
    for (int i = 0; i < n; ++i) {
        Golomb g = golomb(st);
        uint16_t* un = m.unary[g.ctx];
        uint32_t q = 0;
        while (q < kQMax && rc.decode(un[std::min(q, uint32_t(kUnary - 1))]))
            ++q;
        uint32_t u;
        if (q < kQMax) {
            u = q << g.k;
            if (g.k > 0) {
                u |= uint32_t(rc.decode(m.top[g.ctx][std::min(q, 2u)])) << (g.k - 1);
                u |= br.get(g.k - 1);
            }
        } else {
            int nb = int(br.get(6));
            if (nb < 1 || nb > 32)
                return false;
            u = (nb == 32 ? 0x80000000u : 1u << (nb - 1)) | br.get(nb - 1);
        }
        x[i] = unzigzag(u);
        st.update(u);
    }
    return true;
}

} // namespace monkeys::core
