#include "Lms.h"

#include "Cpu.h"
#include "Kernels.h"
#include "LmsState.h"
#include "Lpc.h"
#include "Md5Run.h"

namespace monkeys::core {

using namespace lms_detail;

namespace {

// The weights moved by sign times the directions d (saturating), then
// their sum against the history h, wrapped.
uint32_t update_and_sum(int16_t* w, const int16_t* d, const int16_t* h, int order, int sign)
{
    uint32_t dot = 0;
    for (int j = 0; j < order; ++j) {
        const int32_t wj = std::clamp(int32_t(w[j]) + sign * d[j], -32768, 32767);
        w[j] = int16_t(wj);
        dot += uint32_t(wj * int32_t(h[j]));
    }
    return dot;
}

template <bool Encode>
void run_portable(int32_t* x, int n, const LmsParams& p, int inShift)
{
    State st(p, inShift);
    const int order = st.order;
    int sign = 0;
    for (int i = 0; i < n; ++i) {
        st.slide_if_full();
        const uint32_t dot =
            update_and_sum(st.w, st.dir + st.pos - 1 - order, st.hist + st.pos - order, order, sign);
        sign = step<Encode>(st, x + i, int32_t(dot));
    }
}

// The stereo stage: a as a kOwn stage, then b from its own past and a's
// inputs up to the current one. The windows are the state's own, kept
// apart for each channel.
template <bool Encode>
void stereo_portable(int32_t* a, int32_t* b, const int* inShifts, int n, const LmsParams& p)
{
    State sa(p, inShifts[0], false), sb(p, inShifts[1], false);
    const int order = p.order;
    std::vector<int16_t> store(size_t(5) * size_t(sa.window) + size_t(3) * size_t(order), 0);
    int16_t* next = store.data();
    for (State* s : {&sa, &sb}) {
        s->hist = next;
        s->dir = next + s->window;
        next += 2 * size_t(s->window);
    }
    sa.w = next;
    sb.w = next + order;
    int16_t* wc = next + 2 * order;  // b's weights on a's inputs
    int signA = 0, signB = 0;
    for (int i = 0; i < n; ++i) {
        sa.slide_if_full();
        uint32_t dot = update_and_sum(sa.w, sa.dir + sa.pos - 1 - order, sa.hist + sa.pos - order, order, signA);
        signA = step<Encode>(sa, a + i, int32_t(dot));
        // a's window now ends with its current input; b's cross weights
        // move by the directions of the window of the sample before
        sb.slide_if_full();
        dot = update_and_sum(sb.w, sb.dir + sb.pos - 1 - order, sb.hist + sb.pos - order, order, signB);
        dot += update_and_sum(wc, sa.dir + sa.pos - 1 - order, sa.hist + sa.pos - order, order, signB);
        signB = step<Encode>(sb, b + i, int32_t(dot));
    }
}

} // namespace

void portable::lms_stereo(bool encode, int32_t* a, int32_t* b, const int* inShifts, int n, const LmsParams& p)
{
    encode ? stereo_portable<true>(a, b, inShifts, n, p) : stereo_portable<false>(a, b, inShifts, n, p);
}

void lms_stereo_encode(int32_t* a, int32_t* b, const int* inShifts, int n, const LmsParams& p)
{
    kernels().lms_stereo(true, a, b, inShifts, n, p);
}
void lms_stereo_decode(int32_t* a, int32_t* b, const int* inShifts, int n, const LmsParams& p)
{
    kernels().lms_stereo(false, a, b, inShifts, n, p);
}

void portable::lms(bool encode, int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p)
{
    for (int c = 0; c < count; ++c)
        encode ? run_portable<true>(xs[c], n, p, inShifts[c]) : run_portable<false>(xs[c], n, p, inShifts[c]);
}

bool lms_params_valid(const LmsParams& p, int inShift)
{
    if (p.kind != kOwn && (p.kind != kStereo || p.order > 32))
        return false;
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

bool lms_lpc_pair_start(LmsLpcPair& pass, const int* inShifts, int n, const LmsParams& p, const LpcCoefs* const* ks,
                        int parts)
{
    const Kernels& k = kernels();
    if (!k.lms_lpc_pair_start || p.order != 16 || n / parts < kShortOrder)
        return false;
    // order 0 (no fixed predictor) is the sum of no taps there
    for (int c = 0; c < 2; ++c)
        for (int j = 0; j < parts; ++j)
            if (ks[c][j].order > kShortOrder)
                return false;
    k.lms_lpc_pair_start(&pass, inShifts, p);
    return true;
}

void lms_lpc_pair_on(LmsLpcPair& pass, int32_t* const* xs, int n, int from, int to, const LpcCoefs* const* ks,
                     int parts, Md5Run* md5)
{
    kernels().lms_lpc_pair_on(&pass, xs, n, from, to, ks, parts, md5);
}

bool lms_lpc_decode_pair(int32_t* const* xs, const int* inShifts, int n, const LmsParams& p,
                         const LpcCoefs* const* ks, int parts)
{
    LmsLpcPair pass;
    if (!lms_lpc_pair_start(pass, inShifts, n, p, ks, parts))
        return false;
    lms_lpc_pair_on(pass, xs, n, 0, n, ks, parts, md5_lend());
    return true;
}

bool lms_lpc_decode_one(int32_t* x, int inShift, int n, const LmsParams& p, const LpcCoefs* ks, int parts)
{
    int32_t* const xs[2] = {x, x};
    const int shifts[2] = {inShift, inShift};
    const LpcCoefs* const kss[2] = {ks, ks};
    return lms_lpc_decode_pair(xs, shifts, n, p, kss, parts);
}

} // namespace monkeys::core
