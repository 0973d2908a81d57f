// Adaptive Golomb code through the binary range coder: the quotient and
// the first remainder bit are coded with contexts, the other remainder
// bits go raw.
#include "GolombRange.h"

#include <algorithm>

#include "RunningMean.h"

namespace monkeys::core {
namespace {

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
            int nb = value_bits(u);
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
