#include "Search.h"

#include <algorithm>
#include <functional>

#include "Channels.h"
#include "LargeMemory.h"
#include "PerThread.h"
#include "Prediction.h"
#include "Residual.h"
#include "ResidualSection.h"
#include "Samples.h"

namespace monkeys::core {

namespace {

// The ways the encoder tries, one more at each level. Within a way, each
// adaptive stage stays only where it pays on the frame, and the fixed
// predictor's order is fitted to it, in parts or over the whole frame.
// The first two ways differ in the predictor's order and in the second's
// longer stage before the 16 taps, which catches what a fixed predictor
// of 32 taps leaves of a frame's longer periods.
struct Way {
    Profile prof;
    bool parts;
};
constexpr Way kWays[] = {
    {{kTans, 8, 1, {{16, 12, 4}}}, true},
    {{kTans, 32, 2, {{64, 13, 3}, {16, 12, 4}}}, true},
    {{kTans, 24, 3, {{16, 14, 4, kStereo}, {48, 14, 4}, {16, 12, 4}}}, false},
    {{kTans, 32, 4, {{1024, 16, 2}, {16, 14, 4, kStereo}, {256, 14, 2}, {16, 12, 4}}}, false},
};

int ways_for(int level) { return std::clamp(level / 1000, 1, 4); }

// Samples of a frame up to which the Rice codes are tried beside tANS.
constexpr size_t kShortFrame = 8192;

// A way whose tANS section's ideal size exceeds the smallest frame so far
// by more than 1/kNear of it is not written: the state streams come
// within a few bytes of their ideal size, far inside that.
constexpr size_t kNear = 256;

// From HIGH on, of the first two ways only one runs its stages where
// their fixed predictors' residuals differ enough: the longer predictor's
// way where it costs 1/kLonger less than the shorter's, the shorter's
// where the longer costs 1/kShorter more. The stages after the shorter
// predictor often catch up with a longer one, seldom the other way.
// NORMAL drops the longer predictor's way alone, by the first rule: the
// other way is FAST's, which it must not lose.
constexpr uint64_t kLonger = 64;
constexpr uint64_t kShorter = 16;

// From HIGH on, the second way does not run its stages where the
// whole-frame predictor of the third costs at most 1/kWhole more than its
// predictor in parts: the third way's cascade, the stronger one, then
// comes out smaller.
constexpr uint64_t kWhole = 64;

// From HIGH on, a way whose residual cost (the sum of bit lengths) exceeds
// the cheapest way's by more than 1/kFar of it is not written: it is
// seldom the smaller, and then by little.
constexpr uint64_t kFar = 32;

// Samples a part of the fixed predictor is fitted to: music changes
// faster than a frame, while a part must still pay for its coefficients.
constexpr int kPartBlocks = 8192;

int parts_for(int blocks) { return std::clamp(blocks / kPartBlocks, 1, kMaxLpcParts); }

// Scale of a stage's 16-bit copy of its input (of that magnitude): keeps
// the typical value well inside 16 bits.
int input_shift(uint64_t magnitude, int n, int maxShift)
{
    uint64_t mean = magnitude / uint64_t(std::max(n, 1));
    int bits = mean == 0 ? 0 : 64 - __builtin_clzll(mean);
    return std::clamp(bits - 11, 0, maxShift);
}

// The cost of coding the planes (the sum of bit lengths); mag gets each
// channel's sum of magnitudes.
uint64_t plane_cost(int ch, int blocks, int32_t* const* xs, uint64_t* mag)
{
    uint64_t total = 0;
    for (int c = 0; c < ch; ++c) {
        const Magnitude m = magnitude(xs[c], blocks);
        mag[c] = m.sum;
        total += m.bits;
    }
    return total;
}

// Runs the way's adaptive stages on the planes. Each stays only where it
// pays on this frame: what coding the residual costs must shrink,
// otherwise the frame keeps the stage's input. mag and total are the
// planes' (plane_cost); h gets the stages kept; returns that cost of the
// result. refit, where given, makes the fixed predictor's residual anew
// in the planes, so that a first stage's input need not be kept aside.
uint64_t run_stages(const Profile& way, int ch, int blocks, SampleBuffer& planes, int32_t** xs, Header& h,
                    uint64_t* mag, uint64_t total, const std::function<void()>& refit)
{
    thread_local SampleBuffer before;
    for (int s = 0; s < way.stages; ++s) {
        const LmsParams& stage = way.stage[s];
        int shifts[32];
        for (int c = 0; c < ch; ++c)
            shifts[c] = input_shift(mag[c], blocks, stage.shift);
        // the input is kept aside: a copy costs far less than running the
        // stage backwards where it does not pay (or than refitting, where
        // a stage has been kept)
        const bool keep = h.prof.stages > 0 || !refit;
        if (keep)
            before = planes;
        run_stage(true, xs, shifts, ch, blocks, stage);
        uint64_t after[32], sum = 0;
        for (int c = 0; c < ch; ++c) {
            const Magnitude m = magnitude(xs[c], blocks);
            after[c] = m.sum;
            sum += m.bits;
        }
        if (sum >= total) {
            if (keep) {
                planes.swap(before);
                split_planes(planes, ch, blocks, xs);
            } else {
                refit();
            }
            continue;
        }
        if (h.prof.stages == kMaxStages)
            break;
        const int k = h.prof.stages++;
        h.prof.stage[k] = stage;
        for (int c = 0; c < ch; ++c) {
            h.inShift[c][k] = uint8_t(shifts[c]);
            mag[c] = after[c];
        }
        total = sum;
    }
    return total;
}

// The channels' samples xs become the residuals of h's fixed predictors.
void fixed_residuals(const Header& h, int ch, int blocks, int32_t* const* xs)
{
    for (int c = 0; c < ch; ++c)
        lpc_encode_parts(xs[c], blocks, h.lpc[c], h.parts);
}

void write_frame(const FrameFormat& f, int blocks, int32_t* const* xs, const Header& h, Bytes& out)
{
    put_parameters(h, f.channels, out);
    put_residuals(f, h, blocks, xs, out);
}

// The fixed predictors of one kind (in parts or over the whole frame)
// fitted to a frame, of at most 8, 24 and 32 taps (the ways' limits),
// and their residuals where a later way needs them again.
constexpr int kLimits[] = {8, 24, 32};
constexpr int kLimitCount = 3;
int limit_index(int order) { return order <= 8 ? 0 : order <= 24 ? 1 : 2; }

struct Fits {
    bool done = false;
    LpcCoefs k[kLimitCount][32][kMaxLpcParts];  // [limit][channel][part]
    bool same = false;                          // at most 8 and 32 gave the same
    SampleBuffer residual[kLimitCount];
    bool haveResidual[kLimitCount] = {};
};

// The encoder's buffers, one set a thread: frames come one after another
// on each thread.
struct Scratch {
    SampleBuffer signal;
    Coded done[4];
    Header base;
    Fits fits[2];  // in parts, over the whole frame
};
Scratch& scratch()
{
    thread_local PerThread<Scratch> own;
    return own.get();
}

bool same_predictors(const LpcCoefs* a, const LpcCoefs* b, int parts)
{
    return std::equal(a, a + parts, b, [](const LpcCoefs& x, const LpcCoefs& y) {
        return x.order == y.order && x.shift == y.shift && std::equal(x.c, x.c + x.order, y.c);
    });
}

// Fits the limits up to the widest the level's ways of this kind take,
// all at once (most of the work, the autocorrelation, is shared).
void fit(Fits& fits, int parts, int ch, int blocks, int32_t* const* xs, int widest)
{
    fits.done = true;
    const int count = widest + 1;
    std::fill(fits.haveResidual, fits.haveResidual + kLimitCount, false);
    fits.same = true;
    for (int c = 0; c < ch; ++c) {
        for (int j = 0; j < parts; ++j) {
            const int from = part_start(j, blocks, parts);
            LpcCoefs all[kLimitCount];
            lpc_fit(xs[c] + from, part_start(j + 1, blocks, parts) - from, kLimits, count, all);
            for (int l = 0; l < kLimitCount; ++l)
                fits.k[l][c][j] = all[std::min(l, widest)];
        }
        fits.same = fits.same && same_predictors(fits.k[0][c], fits.k[kLimitCount - 1][c], parts);
    }
}

} // namespace

template <class Samples>
const Coded& encode_predicted(const FrameFormat& f, const Samples& in, int blocks)
{
    const int ch = f.channels;
    const int ways = ways_for(f.level);
    Scratch& work = scratch();
    Coded* done = work.done;
    // a single way works on the signal in place
    SampleBuffer& signal = ways == 1 ? done[0].planes : work.signal;
    int32_t* xs[32];
    Header& base = work.base;
    base = Header{};
    split_planes(signal, ch, blocks, xs);
    split_channels(f, in, blocks, xs, base);
    work.fits[0].done = work.fits[1].done = false;
    int result[4];  // where each way's result is, or -1 where dropped
    int best = -1;
    uint64_t cost[4];  // each way's residual cost (the sum of bit lengths)
    uint64_t mag[4][32];
    // First each way's fixed predictor, so that ways can be compared
    // before their adaptive stages run.
    for (int w = 0; w < ways; ++w) {
        const Way& way = kWays[w];
        Coded& trial = done[w];
        result[w] = w;
        const int parts = way.parts ? parts_for(blocks) : 1;
        Fits& fits = work.fits[way.parts ? 0 : 1];
        if (!fits.done) {
            split_planes(signal, ch, blocks, xs);
            int widest = 0;
            for (int v = w; v < ways; ++v)
                if (kWays[v].parts == way.parts)
                    widest = std::max(widest, limit_index(kWays[v].prof.lpcOrder));
            fit(fits, parts, ch, blocks, xs, widest);
        }
        if (w == 1 && fits.same) {
            result[w] = 0;  // the same predictors and stages as the way before
            continue;
        }
        const int limit = limit_index(way.prof.lpcOrder);
        trial.h = base;
        trial.h.parts = parts;
        trial.h.prof.stages = 0;
        for (int c = 0; c < ch; ++c)
            std::copy(fits.k[limit][c], fits.k[limit][c] + parts, trial.h.lpc[c]);
        if (fits.haveResidual[limit]) {
            trial.planes = fits.residual[limit];
        } else {
            if (&trial.planes != &signal)
                trial.planes = signal;
            split_planes(trial.planes, ch, blocks, xs);
            fixed_residuals(trial.h, ch, blocks, xs);
            // kept where a later way starts from it too
            for (int v = w + 1; v < ways; ++v)
                if (kWays[v].parts == way.parts &&
                    limit_index(kWays[v].prof.lpcOrder) == limit) {
                    fits.residual[limit] = trial.planes;
                    fits.haveResidual[limit] = true;
                    break;
                }
        }
        split_planes(trial.planes, ch, blocks, xs);
        cost[w] = plane_cost(ch, blocks, xs, mag[w]);
    }
    // The ways are pruned by those residuals' costs: from HIGH on, the
    // first two (fixed predictors of different orders) down to one, and
    // the second where the third's predictor is about as good; NORMAL
    // drops only its own second way. So HIGH's frames may come larger
    // than NORMAL's where a dropped way's stages would have caught up,
    // which costs well under 1/10000 of the size.
    const bool pruned = ways >= 3;  // HIGH and EXTRAHIGH
    if (ways >= 2 && result[1] == 1) {
        if (pruned && cost[0] > cost[1] + cost[1] / kShorter)
            result[0] = -1;
        else if (cost[1] > cost[0] - cost[0] / kLonger)
            result[1] = -1;
        if (pruned && result[1] == 1 && cost[2] <= cost[1] + cost[1] / kWhole)
            result[1] = -1;
    }
    for (int w = 0; w < ways; ++w) {
        if (result[w] != w)
            continue;
        const Way& way = kWays[w];
        Coded& trial = done[w];
        trial.h.prof.entropy = way.prof.entropy;
        split_planes(trial.planes, ch, blocks, xs);
        // FAST, a single way on the signal in place: where its stage
        // does not pay, the residual is made again from the input
        std::function<void()> refit;
        if (ways == 1)
            refit = [&] {
                Header again;
                split_channels(f, in, blocks, xs, again);
                fixed_residuals(trial.h, ch, blocks, xs);
            };
        cost[w] = run_stages(way.prof, ch, blocks, trial.planes, xs, trial.h, mag[w], cost[w], refit);
        mark_silent(trial.h, ch, blocks, xs);
    }
    // The ways are written cheapest first by that cost, so that the
    // winner comes early; a later way is only analysed, and written only
    // where its tANS section's ideal size comes near the smallest so far.
    int order[4], count = 0;
    for (int w = 0; w < ways; ++w) {
        if (result[w] != w)
            continue;
        int k = count++;
        for (; k > 0 && cost[order[k - 1]] > cost[w]; --k)
            order[k] = order[k - 1];
        order[k] = w;
    }
    const bool shortFrame = size_t(blocks) * size_t(ch) <= kShortFrame;
    for (int k = 0; k < count; ++k) {
        const int w = order[k];
        Coded& trial = done[w];
        split_planes(trial.planes, ch, blocks, xs);
        trial.bytes.clear();
        trial.bytes.reserve(raw_frame_bytes(f, blocks));  // not moved while it grows
        if (trial.h.prof.entropy == kTans && !shortFrame) {
            // from HIGH on, the ways far behind the cheapest by that cost
            // are not even analysed (nor the rest: they come dearer still)
            if (pruned && k > 0 && cost[w] > cost[order[0]] + cost[order[0]] / kFar)
                break;
            const size_t ideal = parameters_size(trial.h, ch) + tans_analyse_section(f, trial.h, blocks, xs);
            if (best >= 0 && ideal > done[best].size + done[best].size / kNear)
                continue;
            put_parameters(trial.h, ch, trial.bytes);
            put_tans_analysed(f, trial.h, trial.bytes);
            trial.size = trial.bytes.size();
        } else {
            write_frame(f, blocks, xs, trial.h, trial.bytes);
            trial.size = trial.bytes.size();
            // in a short frame tANS's tables may cost more than they save
            if (shortFrame) {
                Header rice = trial.h;
                rice.prof.entropy = kRiceSplit;
                const size_t size = parameters_size(rice, ch) + rice_section_size(rice, ch, blocks, xs);
                if (size < trial.size) {
                    trial.h = rice;
                    trial.size = size;
                    trial.bytes.clear();
                }
            }
        }
        if (best < 0 || trial.size < done[best].size || (trial.size == done[best].size && w < best))
            best = w;
    }
    Coded& winner = done[best];
    if (winner.bytes.empty()) {
        split_planes(winner.planes, ch, blocks, xs);
        write_frame(f, blocks, xs, winner.h, winner.bytes);
    }
    return winner;
}

#define INSTANTIATE(S) template const Coded& encode_predicted<S>(const FrameFormat&, const S&, int);
MONKEYS_FOR_EACH_SAMPLES(INSTANTIATE)
#undef INSTANTIATE

} // namespace monkeys::core
