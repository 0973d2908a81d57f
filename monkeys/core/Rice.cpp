// Adaptive Rice codes: the parameter follows a running mean of the values.
#include "Rice.h"

#include <algorithm>

#include "RunningMean.h"

namespace monkeys::core {
namespace {

constexpr uint32_t kEscape = 24;  // Rice quotients from here on are sent raw

// Codes between checks of the writer's room.
constexpr int kChunk = 1024;

inline void rice_put(CodeWriter& w, Mean& st, int32_t x)
{
    const uint32_t u = zigzag(x);
    const int k = rice_k(st);
    const uint32_t q = u >> k;
    // the quotient's zeros, its one and the low bits in one code; k is at
    // most 27, so a code takes at most 51 bits, an escape 56
    if (q < kEscape) [[likely]]
        w.put(u - ((q - 1) << k), int(q) + 1 + k);  // 2^k + the low bits
    else
        w.put(u, int(kEscape) + 32);
    st.update(u);
}

} // namespace

void rice_encode(CodeWriter& out, const int32_t* x, int n)
{
    CodeWriter w = out;  // a local, for registers
    Mean st;
    for (int i = 0; i < n; i += kChunk) {
        const int m = std::min(n - i, kChunk);
        w.room(m);
        for (int j = i; j < i + m; ++j)
            rice_put(w, st, x[j]);
    }
    out = w;
}

void rice_encode2(CodeWriter& out0, const int32_t* x0, CodeWriter& out1, const int32_t* x1, int n)
{
    CodeWriter w0 = out0, w1 = out1;
    Mean s0, s1;
    for (int i = 0; i < n; i += kChunk) {
        const int m = std::min(n - i, kChunk);
        w0.room(m);
        w1.room(m);
        for (int j = i; j < i + m; ++j) {
            rice_put(w0, s0, x0[j]);
            rice_put(w1, s1, x1[j]);
        }
    }
    out0 = w0;
    out1 = w1;
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

// One code from the bits b at the reader's position: the zeros before the
// first one are the quotient (an escape from kEscape on), then k low bits.
inline uint32_t rice_next(BitReader& br, uint64_t b, Mean& st)
{
    const int k = rice_k(st);
    const int zeros = __builtin_clzll(b | 1);
    uint32_t u;
    if (zeros < int(kEscape)) [[likely]] {
        // the code's bits as a number are 2^k + the low bits
        const int length = zeros + 1 + k;
        u = uint32_t(b >> (64 - length)) + (uint32_t(zeros - 1) << k);
        br.skip(length);
    } else {
        u = uint32_t(b >> 8);  // the 32 bits after the escape's zeros
        br.skip(int(kEscape) + 32);
    }
    st.update(u);
    return u;
}

} // namespace

namespace {

// What becomes of each decoded value u (zigzag form): stored as it is
// (turned into residuals after, in one pass that vectorises), or compared
// with the residual the encoder meant to send (its check of its own
// output, without a copy).
struct Store {
    int32_t* x;
    void operator()(int i, uint32_t u) { x[i] = int32_t(u); }
    void finish(int n)
    {
        for (int i = 0; i < n; ++i)
            x[i] = unzigzag(uint32_t(x[i]));
    }
};
struct Compare {
    const int32_t* x;
    uint32_t differ = 0;
    void operator()(int i, uint32_t u) { differ |= uint32_t(x[i] ^ unzigzag(u)); }
    void finish(int) {}
};

template <class Out>
void read_rice(BitReader& in, Out& out, int n)
{
    BitReader br = in;  // a local, for registers
    Mean st;
    for (int i = 0; i < n;) {
        const int m = std::min(n - i, br.codes_in_reach());
        if (m == 0) {
            out(i++, rice_next(br, br.peek(), st));
            continue;
        }
        for (const int end = i + m; i < end; ++i)
            out(i, rice_next(br, br.peek_fast(), st));
    }
    in = br;
    out.finish(n);
}

template <class Out>
void read_rice2(BitReader& in0, Out& out0, BitReader& in1, Out& out1, int n)
{
    BitReader b0 = in0, b1 = in1;
    Mean s0, s1;
    for (int i = 0; i < n;) {
        const int m = std::min({n - i, b0.codes_in_reach(), b1.codes_in_reach()});
        if (m == 0) {  // the last bytes of a stream
            out0(i, rice_next(b0, b0.peek(), s0));
            out1(i++, rice_next(b1, b1.peek(), s1));
            continue;
        }
        for (const int end = i + m; i < end; ++i) {
            out0(i, rice_next(b0, b0.peek_fast(), s0));
            out1(i, rice_next(b1, b1.peek_fast(), s1));
        }
    }
    in0 = b0;
    in1 = b1;
    out0.finish(n);
    out1.finish(n);
}

} // namespace

void rice_decode(BitReader& br, int32_t* x, int n)
{
    Store out{x};
    read_rice(br, out, n);
}

void rice_decode2(BitReader& b0, int32_t* x0, BitReader& b1, int32_t* x1, int n)
{
    Store out0{x0}, out1{x1};
    read_rice2(b0, out0, b1, out1, n);
}

bool rice_matches(BitReader& br, const int32_t* x, int n)
{
    Compare out{x};
    read_rice(br, out, n);
    return out.differ == 0;
}

bool rice_matches2(BitReader& b0, const int32_t* x0, BitReader& b1, const int32_t* x1, int n)
{
    Compare out0{x0}, out1{x1};
    read_rice2(b0, out0, b1, out1, n);
    return (out0.differ | out1.differ) == 0;
}

} // namespace monkeys::core
