// The adaptive stage's state and per-sample step, shared by its portable
// and vector code (private to the stage).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "Lms.h"

namespace monkeys::core::lms_detail {

// Room the history and direction windows keep beyond the filter before
// they slide back; small enough that a long filter's windows stay in the
// first-level cache.
constexpr int kSlack = 512;

inline int16_t sat16(int32_t v) { return int16_t(std::clamp(v, -32768, 32767)); }
inline int bit_length(uint32_t v) { return v == 0 ? 0 : 32 - __builtin_clz(v); }

// The filter state. The history (16-bit copy of the input) and the update
// directions live in windows longer than the filter, slid back now and
// then, so that the taps are one contiguous run. Each step first applies
// the previous sample's update, w += sign(err) * dir, then forms the next
// prediction; the vector code fuses both into one pass.
struct State {
    int order, window, pos;
    int predShift, inShift, dirBits;
    int32_t round, dirMax;
    uint32_t avg16 = 16;  // 16 times the mean magnitude of the input
    int16_t* hist = nullptr;
    int16_t* dir = nullptr;
    int16_t* w = nullptr;

    // windows = false: the caller keeps history and weights itself
    State(const LmsParams& p, int shiftIn, bool windows = true)
        : order(p.order), window(p.order + kSlack), pos(p.order + 1), predShift(p.shift - shiftIn),
          inShift(shiftIn), dirBits(p.dirBits), round(predShift > 0 ? int32_t(1) << (predShift - 1) : 0),
          dirMax(int32_t(1) << (p.dirBits + 2))
    {
        thread_local std::vector<int16_t> store;
        if (!windows)
            return;
        store.assign(size_t(3) * size_t(window) + 32, 0);
        hist = store.data();
        dir = hist + window;
        w = dir + window;
    }

    // true when the windows slid back to make room for pushes more
    bool slide_if_full(int pushes = 1)
    {
        if (pos + pushes <= window)
            return false;
        const int keep = order + 1;
        std::memmove(hist, hist + pos - keep, size_t(keep) * sizeof(int16_t));
        std::memmove(dir, dir + pos - keep, size_t(keep) * sizeof(int16_t));
        pos = keep;
        return true;
    }

    int32_t predict(int32_t dot) const { return int32_t(uint32_t(dot) + uint32_t(round)) >> predShift; }

    // The 16-bit history value of an input and its update direction.
    void feed(int32_t in, int16_t& h, int16_t& d) { feed_one(in, inShift, dirBits, dirMax, avg16, h, d); }

    static void feed_one(int32_t in, int inShift, int dirBits, int32_t dirMax, uint32_t& avg16, int16_t& h,
                         int16_t& d)
    {
        h = sat16(in >> inShift);
        int32_t mag = h < 0 ? -h : h;
        int32_t m = std::min((mag << dirBits) >> bit_length(avg16 >> 4), dirMax);
        d = int16_t(h < 0 ? -m : m);
        avg16 += uint32_t(mag) - (avg16 >> 4);
    }

    void push(int32_t in)
    {
        feed(in, hist[pos], dir[pos]);
        ++pos;
    }
};

// What feed needs of a state, for callers that keep the history themselves.
struct Feed {
    int inShift = 0, dirBits = 0;
    int32_t dirMax = 0;
    uint32_t avg16 = 16;
    Feed() = default;
    explicit Feed(const State& st) : inShift(st.inShift), dirBits(st.dirBits), dirMax(st.dirMax), avg16(st.avg16) {}
    void operator()(int32_t in, int16_t& h, int16_t& d) { State::feed_one(in, inShift, dirBits, dirMax, avg16, h, d); }
};

// Forms the output from the prediction; returns the sign of the error.
template <bool Encode>
inline int apply(const State& st, int32_t* x, int32_t dot, int32_t& in)
{
    int32_t pred = st.predict(dot);
    int32_t err;
    if constexpr (Encode) {
        in = *x;
        err = int32_t(uint32_t(in) - uint32_t(pred));
        *x = err;
    } else {
        err = *x;
        in = int32_t(uint32_t(err) + uint32_t(pred));
        *x = in;
    }
    return (err > 0) - (err < 0);
}

template <bool Encode>
inline int step(State& st, int32_t* x, int32_t dot)
{
    int32_t in;
    int sign = apply<Encode>(st, x, dot, in);
    st.push(in);
    return sign;
}

} // namespace monkeys::core::lms_detail
