#include "Residual.h"

#include <algorithm>

namespace monkeys::core {
namespace {

constexpr uint32_t kEscape = 24;  // quotients from here on are sent raw

struct RiceState {
    uint32_t sum = 16 * 16;  // about 16 times the mean value
    int k() const
    {
        uint32_t mean = sum >> 4;
        return mean == 0 ? 0 : 31 - __builtin_clz(mean);
    }
    void update(uint32_t u) { sum += std::min(u, 1u << 27) - (sum >> 4); }
};

} // namespace

void rice_encode(BitWriter& bw, const int32_t* x, int n)
{
    RiceState st;
    for (int i = 0; i < n; ++i) {
        uint32_t u = zigzag(x[i]);
        int k = st.k();
        uint32_t q = u >> k;
        if (q < kEscape) {
            bw.put_unary(q);
            bw.put(u, k);
        } else {
            bw.put(0, int(kEscape));
            bw.put(u, 32);
        }
        st.update(u);
    }
}

void rice_decode(BitReader& br, int32_t* x, ptrdiff_t stride, int n)
{
    RiceState st;
    for (int i = 0; i < n; ++i) {
        int k = st.k();
        uint32_t q = br.get_unary(kEscape);
        uint32_t u = q < kEscape ? (q << k) | br.get(k) : br.get(32);
        x[i * stride] = unzigzag(u);
        st.update(u);
    }
}

} // namespace monkeys::core
