#include "Prediction.h"

#include "Md5Run.h"
#include "ResidualSection.h"
#include "Tans.h"

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

namespace {

// A single stage of each channel's own: the FAST case, which goes in one
// pass with the fixed predictor where its orders allow.
bool one_pass(const Profile& prof) { return prof.stages == 1 && prof.stage[0].kind == kOwn; }

} // namespace

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
    const bool onePass = one_pass(prof);
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

namespace {

// A pass waits at most a piece's residuals for the hash, and a piece's
// residuals stay in the first level cache until its prediction.
constexpr int kPiece = 2048;

class Follower final : public TansProgress {
public:
    Follower(LmsLpcPair& pass, int32_t* const* xs, int n, const LpcCoefs* const* ks, int parts)
        : TansProgress(kPiece), pass_(pass), xs_(xs), n_(n), ks_(ks), parts_(parts)
    {
    }
    void decoded(int upto) override
    {
        Md5Run* run = md5_lend();
        if (!run && md5_lender())
            return;  // the hash is elsewhere: its steps wait for this pass
        on(upto, run);
    }
    void finish() { on(n_, md5_lend()); }

private:
    void on(int to, Md5Run* run)
    {
        lms_lpc_pair_on(pass_, xs_, n_, done_, to, ks_, parts_, run);
        done_ = to;
    }
    LmsLpcPair& pass_;
    int32_t* const* xs_;
    const int n_;
    const LpcCoefs* const* ks_;
    const int parts_;
    int done_ = 0;
};

} // namespace

bool decode_signal(const Header& h, const uint8_t* p, const uint8_t* end, int ch, int blocks, int32_t* const* xs)
{
    const Profile& prof = h.prof;
    if (ch == 2 && prof.entropy == kTans && one_pass(prof)) {
        LmsLpcPair pass;
        const int shifts[2] = {h.inShift[0][0], h.inShift[1][0]};
        const LpcCoefs* ks[2] = {h.lpc[0], h.lpc[1]};
        if (lms_lpc_pair_start(pass, shifts, blocks, prof.stage[0], ks, h.parts)) {
            Follower follower(pass, xs, blocks, ks, h.parts);
            if (!decode_residuals(h, p, end, ch, blocks, xs, false, &follower))
                return false;
            follower.finish();
            return true;
        }
    }
    if (!decode_residuals(h, p, end, ch, blocks, xs))
        return false;
    undo_prediction(h, ch, blocks, xs);
    return true;
}

} // namespace monkeys::core
