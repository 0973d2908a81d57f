// Entropy coding of residuals with tANS (table-driven asymmetric numeral
// systems) over magnitude classes, with static tables per frame (private to
// the coder; the layout is described in FrameLayout.h).
//
// A residual's zigzag form u is split at a shift s into z = u >> s and s
// low bits. z < 256 falls in one of 28 classes (0..7 alone; then 4 a
// doubling of z, each 2^e wide: z = base + e raw bits), z >= 256 in the
// escape class 28 (u's bit length less one in 5 raw bits, then u below its
// top bit). The class goes through the tANS state machine (2^10 states)
// with the table of its context; the raw bits go to a stream of their own.
//
// Context and shift follow a tracker T (0..2047) of the log of the recent
// mean magnitude, 32 steps an octave: each class moves T by a constant of
// its context (kTansStep), like a running mean with rate 1/16. Sample i
// reads T as it was before sample i-1 was coded (a lag of one, so that the
// decoder's chains overlap): with q = T >> 3, the context is q below 28
// and 28 + q % 4 above, the shift min(max(T / 32 - 6, 0), 26).
//
// The tables of a frame (TansModel) are shared by its channels and sent
// before them; a context the frame does not use has none. A channel pair
// shares a state stream and a raw stream, read in turns.
#pragma once

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "LargeMemory.h"

namespace monkeys::core {

constexpr int kTansLog = 10;
constexpr int kTansStates = 1 << kTansLog;
constexpr int kTansClasses = 29;
constexpr int kTansEscape = 28;
constexpr int kTansContexts = 32;
constexpr uint32_t kTansTrackerStart = 256;
constexpr uint32_t kTansTrackerMask = 2047;

// round(32 log2(1 + (r - 1) / 16)) for r the class's middle over the
// context's middle mean (escapes: 256 over it below context 28, 64 above),
// at most 127 and never below the context's lowest T.
inline constexpr int8_t kTansStep[kTansContexts][kTansClasses] = {
    {0, 29, 47, 60, 71, 79, 86, 92, 100, 109, 116, 123, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127},
    {-3, 25, 42, 54, 64, 72, 79, 85, 93, 102, 109, 115, 123, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127},
    {-3, 21, 37, 49, 58, 66, 73, 79, 86, 95, 102, 108, 116, 125, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127},
    {-3, 18, 33, 44, 53, 60, 66, 72, 79, 88, 95, 101, 108, 117, 125, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127},
    {-3, 15, 29, 39, 47, 54, 60, 66, 73, 81, 88, 94, 101, 110, 117, 123, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127},
    {-3, 13, 25, 34, 42, 49, 54, 60, 66, 74, 81, 87, 94, 103, 110, 116, 124, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127},
    {-3, 11, 21, 30, 37, 43, 49, 54, 60, 68, 74, 80, 87, 95, 102, 109, 116, 125, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127},
    {-3, 9, 18, 26, 33, 38, 44, 48, 54, 62, 68, 73, 80, 88, 95, 101, 109, 118, 125, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127},
    {-3, 7, 15, 22, 29, 34, 39, 43, 49, 56, 62, 67, 74, 82, 88, 94, 102, 110, 117, 124, 127, 127, 127, 127, 127, 127, 127, 127, 127},
    {-3, 6, 13, 19, 25, 30, 34, 38, 44, 50, 56, 61, 67, 75, 82, 87, 95, 103, 110, 116, 124, 127, 127, 127, 127, 127, 127, 127, 127},
    {-3, 4, 11, 16, 21, 26, 30, 34, 39, 45, 50, 55, 61, 69, 75, 81, 88, 96, 103, 109, 117, 125, 127, 127, 127, 127, 127, 127, 127},
    {-3, 3, 9, 14, 18, 22, 26, 29, 34, 40, 45, 49, 55, 62, 69, 74, 81, 89, 96, 102, 109, 118, 125, 127, 127, 127, 127, 127, 127},
    {-3, 2, 7, 11, 15, 19, 22, 26, 30, 35, 40, 44, 50, 57, 62, 68, 74, 82, 89, 95, 102, 111, 118, 124, 127, 127, 127, 127, 127},
    {-3, 2, 6, 9, 13, 16, 19, 22, 26, 31, 35, 39, 45, 51, 56, 61, 68, 75, 82, 88, 95, 103, 110, 116, 124, 127, 127, 127, 127},
    {-3, 1, 4, 8, 11, 14, 16, 19, 22, 27, 31, 35, 40, 46, 51, 56, 62, 69, 75, 81, 88, 96, 103, 109, 117, 126, 127, 127, 127},
    {-3, 0, 3, 6, 9, 11, 14, 16, 19, 23, 27, 30, 35, 40, 45, 50, 56, 63, 69, 74, 81, 89, 96, 102, 110, 118, 125, 127, 127},
    {-3, 0, 2, 5, 7, 9, 11, 13, 16, 20, 23, 26, 31, 36, 40, 45, 50, 57, 63, 68, 75, 82, 89, 95, 102, 111, 118, 124, 127},
    {-3, -1, 2, 4, 6, 8, 9, 11, 14, 17, 20, 23, 27, 31, 36, 40, 45, 51, 57, 62, 68, 76, 82, 88, 95, 103, 110, 117, 119},
    {-3, -1, 1, 3, 4, 6, 8, 9, 11, 14, 17, 19, 23, 27, 31, 35, 40, 46, 51, 56, 62, 69, 76, 81, 88, 96, 103, 109, 112},
    {-3, -1, 0, 2, 3, 5, 6, 7, 9, 12, 14, 17, 20, 24, 27, 31, 35, 41, 46, 50, 56, 63, 69, 74, 81, 89, 96, 102, 105},
    {-3, -2, 0, 1, 2, 4, 5, 6, 8, 10, 12, 14, 17, 20, 24, 27, 31, 36, 41, 45, 51, 57, 63, 68, 75, 82, 89, 95, 98},
    {-3, -2, -1, 0, 2, 3, 4, 5, 6, 8, 10, 12, 14, 17, 20, 23, 27, 32, 36, 40, 45, 51, 57, 62, 68, 76, 82, 88, 91},
    {-3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 8, 10, 12, 15, 17, 20, 23, 28, 32, 35, 40, 46, 51, 56, 62, 69, 76, 81, 84},
    {-3, -2, -1, -1, 0, 1, 2, 3, 4, 5, 6, 8, 10, 12, 15, 17, 20, 24, 28, 31, 35, 41, 46, 50, 56, 63, 69, 74, 77},
    {-3, -2, -2, -1, 0, 0, 1, 2, 3, 4, 5, 6, 8, 10, 12, 14, 17, 21, 24, 27, 31, 36, 41, 45, 51, 57, 63, 68, 71},
    {-3, -2, -2, -1, -1, 0, 0, 1, 2, 3, 4, 5, 6, 8, 10, 12, 14, 18, 20, 23, 27, 32, 36, 40, 45, 52, 57, 62, 64},
    {-3, -2, -2, -2, -1, -1, 0, 0, 1, 2, 3, 4, 5, 7, 8, 10, 12, 15, 17, 20, 23, 28, 32, 35, 40, 46, 51, 56, 58},
    {-3, -3, -2, -2, -1, -1, -1, 0, 0, 1, 2, 3, 4, 5, 7, 8, 10, 12, 15, 17, 20, 24, 28, 31, 36, 41, 46, 50, 53},
    {-3, -2, -1, -1, 0, 1, 1, 2, 3, 4, 5, 7, 8, 10, 12, 14, 17, 21, 24, 27, 31, 36, 41, 45, 51, 57, 63, 68, 71},
    {-3, -2, -2, -1, 0, 0, 1, 1, 2, 3, 4, 5, 7, 9, 10, 12, 15, 18, 21, 23, 27, 32, 36, 40, 45, 52, 57, 62, 64},
    {-3, -2, -2, -1, -1, 0, 0, 1, 1, 2, 3, 4, 5, 7, 8, 10, 12, 15, 18, 20, 24, 28, 32, 35, 40, 46, 51, 56, 58},
    {-3, -2, -2, -2, -1, -1, 0, 0, 1, 1, 2, 3, 4, 5, 7, 8, 10, 13, 15, 17, 20, 24, 28, 31, 36, 41, 46, 50, 53},
};

constexpr int tans_context(uint32_t tracker)
{
    const int q = int(tracker >> 3);
    return q < 28 ? q : 28 + (q & 3);
}
constexpr int tans_shift(uint32_t tracker)
{
    const int s = int(tracker >> 5) - 6;
    return s < 0 ? 0 : s > 26 ? 26 : s;
}
// The raw bits of class c (below 28) above the shift, and its lowest z.
constexpr int tans_class_bits(int c) { return c < 8 ? 0 : (c - 8) / 4 + 1; }
constexpr uint32_t tans_class_base(int c) { return c < 8 ? uint32_t(c) : uint32_t(4 + (c - 8) % 4) << tans_class_bits(c); }

// The frequencies of a frame's tables (each summing to kTansStates) and
// which context uses which.
struct TansModel {
    uint32_t present = 0;                         // bit c: context c has a table
    uint8_t use[kTansContexts] = {};              // its table
    int tables = 0;
    uint16_t freq[kTansContexts][kTansClasses] = {};  // [table][class]
};

// The model as the frame stores it; the bytes read, 0 when not valid.
void tans_put_model(const TansModel& m, Bytes& out);
size_t tans_get_model(const uint8_t* p, size_t size, TansModel& m);

// Memory that grows and is not cleared (the encoder's per-thread buffers),
// in the large buffers' memory.
template <class T>
class Grown {
public:
    T* data() { return p_.get(); }
    const T* data() const { return p_.get(); }
    size_t size() const { return size_; }
    // keeps what is there
    void resize(size_t n)
    {
        if (n > capacity_) {
            const size_t c = std::max(n, 2 * capacity_);
            LargeArray<T> q(c);
            if (size_)
                std::memcpy(q.get(), p_.get(), size_ * sizeof(T));
            p_ = std::move(q);
            capacity_ = c;
        }
        size_ = n;
    }
    void clear() { size_ = 0; }

private:
    LargeArray<T> p_;
    size_t size_ = 0, capacity_ = 0;
};

// The encoder's loops' state (Kernels.h): the analysis of a channel or of
// a channel pair (the trackers, the raw stream, the codes and the counts it
// adds to), and their state stream's making, backwards from its end.
struct TansAnalysis {
    uint32_t tracker[2] = {kTansTrackerStart, kTansTrackerStart};
    uint32_t lagged[2] = {kTansTrackerStart, kTansTrackerStart};
    uint8_t* p;
    uint64_t acc = 0, fill = 0;
    uint16_t* code;    // context << 5 | class, a sample each (a pair's in turns)
    uint32_t* counts;  // [code][channel of the pair]
};
struct TansCode {
    uint32_t delta;  // (bits << 16) - (frequency << bits), bits the most a class may take
    int32_t next;    // where its states start in the next states, less its frequency
};
struct TansStates {
    uint32_t x[2] = {kTansStates, kTansStates};  // of the channel, or of the pair's channels
    uint8_t* p;
    uint64_t acc = 0, fill = 0;
    const uint16_t* code;  // a pair's in turns
};

// The encoder of one frame: every coded channel is analysed (two in step
// where there are two), then the model is fitted to all of them, then the
// state streams are made. Each pair of channels, and a last single one,
// has a raw stream and a state stream.
class TansEncoder {
public:
    // Up to channels channels of n samples each follow.
    void reset(int channels, int n);
    // Classes and raw bits of the next channel, or of the next two.
    void analyse(const int32_t* x0, const int32_t* x1 = nullptr);
    // The model of everything analysed since the last reset.
    const TansModel& fit();
    // The state bits of everything analysed, at their ideal length under
    // the fitted model (the state streams come within a few bits a
    // channel of it).
    uint64_t state_bits() const;
    // The state stream of the channel analysed index-th, and of the one
    // after for a pair, once the model is fitted.
    void make_states(int index, int channels);
    // The raw and state streams of the channel analysed index-th (and the
    // one after, in a pair).
    const Grown<uint8_t>& raw(int index) const { return raw_[index]; }
    const uint8_t* states(int index) const { return statesAt_[index]; }
    size_t states_size(int index) const { return size_t(states_[index].data() + states_[index].size() - statesAt_[index]); }

private:
    void finish_states(int index, TansStates& r, int channels);
    int n_ = 0, analysed_ = 0;
    Grown<uint16_t> codes_;  // a channel after another, a pair's in turns
    Grown<uint8_t> raw_[32], states_[32];
    const uint8_t* statesAt_[32] = {};
    uint32_t counts_[kTansContexts * 32][2] = {};
    TansModel model_;
    TansCode code_[kTansContexts * 32] = {};
    std::vector<uint16_t> next_;
};

// Decoding tables of a model: a table of kTansStates entries for each of
// its tables, and the slots that lead from the tracker to them.
struct TansEntry {
    uint16_t base;   // the next state, less the bits read
    uint8_t bits;    // state bits to read
    uint8_t symbol;  // the class, or kTansInvalid
    int16_t step;    // of the tracker, twice
    uint16_t pad;
};
constexpr uint8_t kTansInvalid = 29;  // the class of a context without a table
struct TansSlot {
    const TansEntry* table;  // of the context
    uint32_t shift;          // << 5
    uint32_t pad;
};
static_assert(sizeof(TansEntry) == 8 && sizeof(TansSlot) == 16);
constexpr int kTansSlots = 256;  // one per value of T >> 3, before the tables

// Builds the tables of m into per-thread memory; returns it.
const TansEntry* tans_tables(const TansModel& m);

// The decoder of a channel, or of a channel pair (one state stream): the
// state stream's position (in bits from where the frame's streams start),
// and each channel's state, tracker and the tracker's value its context
// reads (both twice over).
struct TansCursor {
    uint64_t pos;
    uint64_t x[2];
    uint32_t tracker[2];
    uint32_t lagged[2];
};

// Where a byte range lies in the frame's bytes.
struct TansSpan {
    size_t at, size;
};
// Decodes the residuals of one channel, or of two in step, from their
// state stream and raw stream. False when the streams do not hold them.
bool tans_decode(const TansEntry* tables, const uint8_t* bytes, TansSpan states, TansSpan raw, int32_t* x, int n);
// progress hears how far a pair's residuals are, every `piece` samples (a
// multiple of two) up to the last stretch before the streams' ends: a
// decoder may use them meanwhile.
class TansProgress {
public:
    explicit TansProgress(int piece) : piece(piece) {}
    const int piece;
    virtual void decoded(int upto) = 0;

protected:
    ~TansProgress() = default;
};
bool tans_decode2(const TansEntry* tables, const uint8_t* bytes, TansSpan states, TansSpan raw, int32_t* x0,
                  int32_t* x1, int n, TansProgress* progress = nullptr);

} // namespace monkeys::core
