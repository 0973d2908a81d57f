#include "Prediction.h"

namespace monkeys::core {

void run_stage(bool encode, int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p)
{
    if (p.kind != kStereo) {
        encode ? lms_encode(xs, inShifts, count, n, p) : lms_decode(xs, inShifts, count, n, p);
        return;
    }
    // channel pairs; a channel without a partner runs a stage of its own
    int c = 0;
    for (; c + 2 <= count; c += 2)
        encode ? lms_stereo_encode(xs[c], xs[c + 1], inShifts + c, n, p)
               : lms_stereo_decode(xs[c], xs[c + 1], inShifts + c, n, p);
    if (c < count) {
        LmsParams own = p;
        own.kind = kOwn;
        encode ? lms_encode(xs + c, inShifts + c, 1, n, own) : lms_decode(xs + c, inShifts + c, 1, n, own);
    }
}

void undo_prediction(const Header& h, int ch, int blocks, int32_t* const* xs)
{
    const Profile& prof = h.prof;
    // a single stage of 16 taps and short fixed predictors, the FAST
    // case, go in one pass a channel pair at a time where they can (a
    // channel without a partner alone)
    bool done[32] = {};
    int rest[32], left = 0;
    const LpcCoefs* parts[32];
    for (int c = 0; c < ch; ++c)
        parts[c] = h.lpc[c];
    const bool onePass = prof.stages == 1 && prof.stage[0].kind == kOwn;
    for (int c = 0; c < ch; ++c) {
        if (onePass && c % 2 == 0 && c + 1 < ch) {
            int shifts[2] = {h.inShift[c][0], h.inShift[c + 1][0]};
            done[c] = done[c + 1] = lms_lpc_decode_pair(xs + c, shifts, blocks, prof.stage[0], parts + c, h.parts);
        } else if (onePass && c % 2 == 0) {
            done[c] = lms_lpc_decode_one(xs[c], h.inShift[c][0], blocks, prof.stage[0], parts[c], h.parts);
        }
        if (!done[c])
            rest[left++] = c;
    }
    if (left == 0)
        return;
    int32_t* ys[32];
    const LpcCoefs* ks[32];
    for (int j = 0; j < left; ++j) {
        ys[j] = xs[rest[j]];
        ks[j] = parts[rest[j]];
    }
    for (int s = prof.stages - 1; s >= 0; --s) {
        int shifts[32];
        for (int j = 0; j < left; ++j)
            shifts[j] = h.inShift[rest[j]][s];
        run_stage(false, ys, shifts, left, blocks, prof.stage[s]);
    }
    lpc_decode_parts(ys, ks, left, blocks, h.parts);
}

} // namespace monkeys::core
