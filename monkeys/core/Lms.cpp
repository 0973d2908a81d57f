#include "Lms.h"

#include "Cpu.h"
#include "Kernels.h"
#include "LmsState.h"

namespace monkeys::core {

using namespace lms_detail;

namespace {

template <bool Encode>
void run_portable(int32_t* x, int n, const LmsParams& p, int inShift)
{
    State st(p, inShift);
    const int order = st.order;
    int sign = 0;
    for (int i = 0; i < n; ++i) {
        st.slide_if_full();
        const int16_t* d = st.dir + st.pos - 1 - order;
        const int16_t* h = st.hist + st.pos - order;
        uint32_t dot = 0;
        for (int j = 0; j < order; ++j) {
            int32_t wj = std::clamp(int32_t(st.w[j]) + sign * d[j], -32768, 32767);
            st.w[j] = int16_t(wj);
            dot += uint32_t(wj * int32_t(h[j]));
        }
        sign = step<Encode>(st, x + i, int32_t(dot));
    }
}

} // namespace

void portable::lms(bool encode, int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p)
{
    for (int c = 0; c < count; ++c)
        encode ? run_portable<true>(xs[c], n, p, inShifts[c]) : run_portable<false>(xs[c], n, p, inShifts[c]);
}

bool lms_params_valid(const LmsParams& p, int inShift)
{
    return p.order >= 16 && p.order <= kMaxOrder && p.order % 16 == 0 && p.shift >= inShift &&
           p.shift <= 24 && p.dirBits >= 0 && p.dirBits <= 10 && inShift >= 0 && inShift <= 24;
}

void lms_encode(int32_t* x, int n, const LmsParams& p, int inShift) { kernels().lms(true, &x, &inShift, 1, n, p); }
void lms_decode(int32_t* x, int n, const LmsParams& p, int inShift) { kernels().lms(false, &x, &inShift, 1, n, p); }
void lms_encode(int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p)
{
    kernels().lms(true, xs, inShifts, count, n, p);
}
void lms_decode(int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p)
{
    kernels().lms(false, xs, inShifts, count, n, p);
}

bool lms_lpc_decode_pair(int32_t* const* xs, const int* inShifts, int n, const LmsParams& p,
                         const LpcCoefs* const* ks, int parts)
{
    const Kernels& k = kernels();
    if (!k.lms_lpc_pair || p.order != 16 || n / parts < kShortOrder)
        return false;
    // order 0 (no fixed predictor) is the sum of no taps there
    for (int c = 0; c < 2; ++c)
        for (int j = 0; j < parts; ++j)
            if (ks[c][j].order > kShortOrder)
                return false;
    k.lms_lpc_pair(xs, inShifts, n, p, ks, parts);
    return true;
}

} // namespace monkeys::core
