// tANS over magnitude classes: the model's layout, the encoder, the
// decoding tables and the portable decoder (Tans.h).
#include "Tans.h"

#include <algorithm>
#include <cstring>

#include "Cpu.h"
#include "Kernels.h"
#include "LargeMemory.h"
#include "Residual.h"
#include "TansKernel.h"

namespace monkeys::core {


namespace {

using tans_detail::bit_length;
using tans_detail::peek;
using tans_detail::store_le64;

constexpr int kSpreadStep = (kTansStates >> 1) + (kTansStates >> 3) + 3;  // odd: visits every state

// The class of each state: the classes in order, each as often as its
// frequency (which sum to kTansStates), at every kSpreadStep-th state. A
// class's states, in order, stand for the numbers from its frequency to
// twice it less one. The k-th class in order goes to state k kSpreadStep
// (mod kTansStates), which needs no chain from one state to the next.
void spread_classes(const uint16_t* f, uint8_t* classes)
{
    uint8_t order[kTansStates];
    uint32_t at = 0;
    for (int j = 0; j < kTansClasses; ++j) {
        std::memset(order + at, j, f[j]);
        at += f[j];
    }
    for (uint32_t k = 0; k < uint32_t(kTansStates); ++k)
        classes[(k * kSpreadStep) & (kTansStates - 1)] = order[k];
}

// LSB-first bits appended to a byte vector, for the tables.
class BitSink {
public:
    explicit BitSink(Bytes& out) : out_(out) {}
    void put(uint32_t v, int n)  // v < 2^n, n <= 32
    {
        for (int j = 0; j < n; ++j, ++fill_) {
            if (fill_ % 8 == 0)
                out_.push_back(0);
            out_.back() = uint8_t(out_.back() | ((v >> j) & 1) << (fill_ % 8));
        }
    }

private:
    Bytes& out_;
    int fill_ = 0;
};

// LSB-first bits from a byte range; past its end zeros, counted.
class BitSource {
public:
    BitSource(const uint8_t* p, size_t size) : p_(p), size_(size) {}
    uint32_t get(int n)  // n <= 32
    {
        uint64_t w = 0;
        for (size_t j = pos_ >> 3; j < (pos_ >> 3) + 8; ++j)
            w |= uint64_t(j < size_ ? p_[j] : 0) << (8 * (j - (pos_ >> 3)));
        w >>= pos_ & 7;
        pos_ += uint64_t(n);
        return n == 0 ? 0 : uint32_t(w & (~uint64_t(0) >> (64 - n)));
    }
    bool overrun() const { return pos_ > 8 * uint64_t(size_); }
    size_t bytes() const { return size_t((pos_ + 7) / 8); }

private:
    const uint8_t* p_;
    size_t size_;
    uint64_t pos_ = 0;
};

// A table's frequencies: the number of classes M up to the last one used
// (5 bits, M - 1), then the first M - 1 frequencies, each a Rice code
// whose parameter is the bit length less one of the one before (6 for the
// first): the quotient as that many zeros and a one, below 16; 16 zeros
// escape to the frequency in 11 bits. The last is what the others leave
// of kTansStates and must be at least 1.
constexpr int kRiceEscape = 16;

void put_table(BitSink& b, const uint16_t* f)
{
    int m = kTansClasses;
    while (f[m - 1] == 0)
        --m;
    b.put(uint32_t(m - 1), 5);
    int k = 6;
    for (int j = 0; j + 1 < m; ++j) {
        const uint32_t q = uint32_t(f[j]) >> k;
        if (q < kRiceEscape) {
            b.put(1u << q, int(q) + 1);
            b.put(f[j] & ((1u << k) - 1), k);
        } else {
            b.put(0, kRiceEscape);
            b.put(f[j], 11);
        }
        k = std::max(bit_length(f[j]) - 1, 0);
    }
}

uint64_t table_bits(const uint16_t* f)
{
    int m = kTansClasses;
    while (f[m - 1] == 0)
        --m;
    uint64_t bits = 5;
    int k = 6;
    for (int j = 0; j + 1 < m; ++j) {
        const uint32_t q = uint32_t(f[j]) >> k;
        bits += q < kRiceEscape ? q + 1 + uint32_t(k) : kRiceEscape + 11;
        k = std::max(bit_length(f[j]) - 1, 0);
    }
    return bits;
}

bool get_table(BitSource& b, uint16_t* f)
{
    const int m = int(b.get(5)) + 1;
    if (m > kTansClasses)
        return false;
    std::fill(f, f + kTansClasses, 0);
    uint32_t sum = 0;
    int k = 6;
    for (int j = 0; j + 1 < m; ++j) {
        uint32_t q = 0;
        while (q < kRiceEscape && b.get(1) == 0)
            ++q;
        const uint32_t v = q < kRiceEscape ? (q << k) | b.get(k) : b.get(11);
        sum += v;
        if (sum >= kTansStates)
            return false;
        f[j] = uint16_t(v);
        k = std::max(bit_length(v) - 1, 0);
    }
    f[m - 1] = uint16_t(kTansStates - sum);
    return !b.overrun();
}

// log2(x) in 16 fraction bits, for the encoder's choices: from a table
// of integers, the same on every machine.
struct Log2Table {
    uint32_t v[257];
    constexpr Log2Table() : v()
    {
        for (int i = 0; i <= 256; ++i) {
            // y = 1 + i / 256 in 30 fraction bits, its bits by squaring
            uint64_t y = (uint64_t(256 + i) << 30) / 256;
            uint32_t r = 0;
            for (int b = 15; b >= 0; --b) {
                y = (y * y) >> 30;
                if (y >= (uint64_t(2) << 30)) {
                    y >>= 1;
                    r |= 1u << b;
                }
            }
            v[i] = r;
        }
    }
};
constexpr Log2Table kLog2;

inline uint64_t log2_fixed(uint64_t x)
{
    if (x == 0)
        return 0;
    const int b = 63 - __builtin_clzll(x);
    const uint64_t m = b >= 8 ? x >> (b - 8) : x << (8 - b);  // 256..511
    return (uint64_t(b) << 16) + kLog2.v[m - 256];
}

// The ideal bits of the counts c under their own frequencies, in 16
// fraction bits.
uint64_t entropy_fixed(const uint32_t* c)
{
    uint64_t n = 0, sum = 0;
    for (int j = 0; j < kTansClasses; ++j) {
        n += c[j];
        sum += uint64_t(c[j]) * log2_fixed(c[j]);
    }
    return n * log2_fixed(n) - sum;
}

// Counts to frequencies summing to kTansStates, each used class at least 1.
void normalise(const uint32_t* c, uint16_t* f)
{
    uint64_t n = 0;
    for (int j = 0; j < kTansClasses; ++j)
        n += c[j];
    int sum = 0;
    for (int j = 0; j < kTansClasses; ++j) {
        const uint64_t v = (uint64_t(c[j]) * kTansStates + n / 2) / n;
        f[j] = uint16_t(c[j] == 0 ? 0 : std::max<uint64_t>(v, 1));
        sum += f[j];
    }
    // the difference from the largest, one at a time where it would fall
    // below 1 (a few classes only)
    while (sum != kTansStates) {
        int largest = 0;
        for (int j = 1; j < kTansClasses; ++j)
            if (f[j] > f[largest])
                largest = j;
        const int change = sum < kTansStates ? kTansStates - sum : -std::min(sum - kTansStates, f[largest] - 1);
        f[largest] = uint16_t(f[largest] + change);
        sum += change;
    }
}

} // namespace

void tans_put_model(const TansModel& m, Bytes& out)
{
    BitSink b(out);
    b.put(m.present, 32);
    int previous = -1, written = 0;
    for (int c = 0; c < kTansContexts; ++c) {
        if (!(m.present >> c & 1))
            continue;
        if (previous >= 0)
            b.put(m.use[c] == m.use[previous], 1);
        if (m.use[c] == written)
            put_table(b, m.freq[written++]);
        previous = c;
    }
}

size_t tans_get_model(const uint8_t* p, size_t size, TansModel& m)
{
    BitSource b(p, size);
    m.present = b.get(32);
    if (m.present == 0)
        return 0;
    m.tables = 0;
    int previous = -1;
    for (int c = 0; c < kTansContexts; ++c) {
        if (!(m.present >> c & 1))
            continue;
        if (previous >= 0 && b.get(1)) {
            m.use[c] = m.use[previous];
        } else {
            m.use[c] = uint8_t(m.tables);
            if (!get_table(b, m.freq[m.tables++]))
                return 0;
        }
        previous = c;
    }
    return b.overrun() ? 0 : b.bytes();
}

// ---------------------------------------------------------------- encoder

namespace {

// Raw bits a sample may take (an escape: 5 and 31).
constexpr int kMostRawBits = 36;
constexpr int kChunk = 4096;

} // namespace

void TansEncoder::reset(int channels, int n)
{
    n_ = n;
    analysed_ = 0;
    codes_.resize(size_t(channels) * size_t(n));
    std::memset(counts_, 0, sizeof counts_);
}

namespace {

// Room in raw for the bits of m more samples, a.p kept where it was.
void raw_room(Grown<uint8_t>& raw, TansAnalysis& a, int m)
{
    const size_t at = size_t(a.p - raw.data());
    raw.resize(at + size_t(m) * kMostRawBits / 8 + 16);
    a.p = raw.data() + at;
}

} // namespace

void TansEncoder::analyse(const int32_t* x0, const int32_t* x1)
{
    Grown<uint8_t>& raw = raw_[analysed_];
    raw.resize(0);
    TansAnalysis a;
    a.p = raw.data();
    a.code = codes_.data() + size_t(analysed_) * n_;
    a.counts = &counts_[0][0];
    const int channels = x1 ? 2 : 1;
    // room for the whole frame at once: grown chunk by chunk, the stream
    // would move to fresh memory several times
    raw_room(raw, a, channels * n_);
    for (int i = 0; i < n_; i += kChunk) {
        const int m = std::min(n_ - i, kChunk);
        raw_room(raw, a, channels * m);
        if (x1)
            kernels().tans_analyse2(x0 + i, x1 + i, &a, m);
        else
            kernels().tans_analyse(x0 + i, &a, m);
    }
    raw.resize(size_t(a.p - raw.data()) + (a.fill > 0));
    analysed_ += channels;
}

const TansModel& TansEncoder::fit()
{
    TansModel& m = model_;
    m = TansModel{};
    uint32_t counts[kTansContexts][kTansClasses];
    for (int c = 0; c < kTansContexts; ++c)
        for (int j = 0; j < kTansClasses; ++j)
            counts[c][j] = counts_[c << 5 | j][0] + counts_[c << 5 | j][1];
    // contexts in order; each shares the table before it where that costs
    // less than a table of its own
    uint32_t merged[kTansClasses] = {};
    int previous = -1;
    for (int c = 0; c < kTansContexts; ++c) {
        uint64_t n = 0;
        for (int j = 0; j < kTansClasses; ++j)
            n += counts[c][j];
        if (n == 0)
            continue;
        m.present |= 1u << c;
        bool share = false;
        uint32_t both[kTansClasses];
        if (previous >= 0) {
            for (int j = 0; j < kTansClasses; ++j)
                both[j] = merged[j] + counts[c][j];
            uint16_t own[kTansClasses];
            normalise(counts[c], own);
            const uint64_t apart = entropy_fixed(merged) + entropy_fixed(counts[c]) + (table_bits(own) << 16);
            share = entropy_fixed(both) <= apart;
        }
        if (share) {
            std::copy(both, both + kTansClasses, merged);
            m.use[c] = m.use[previous];
        } else {
            if (previous >= 0)
                normalise(merged, m.freq[m.tables - 1]);
            std::copy(counts[c], counts[c] + kTansClasses, merged);
            m.use[c] = uint8_t(m.tables++);
        }
        previous = c;
    }
    if (m.tables > 0)
        normalise(merged, m.freq[m.tables - 1]);
    // each table's states by class, and the codes: a class's most state
    // bits, and where its states start
    next_.resize(size_t(m.tables) * kTansStates);
    for (int t = 0; t < m.tables; ++t) {
        const uint16_t* f = m.freq[t];
        uint8_t classes[kTansStates];
        spread_classes(f, classes);
        uint32_t at[kTansClasses];
        for (int j = 0, cum = 0; j < kTansClasses; cum += f[j++])
            at[j] = uint32_t(t * kTansStates + cum);
        for (int j = 0; j < kTansStates; ++j)
            next_[at[classes[j]]++] = uint16_t(kTansStates + j);
    }
    for (int c = 0; c < kTansContexts; ++c) {
        if (!(m.present >> c & 1))
            continue;
        const uint16_t* f = m.freq[m.use[c]];
        int32_t cum = m.use[c] * kTansStates;
        for (int j = 0; j < kTansClasses; ++j) {
            TansCode& code = code_[c << 5 | j];
            if (f[j] > 0) {
                const int most = f[j] == 1 ? kTansLog : kTansLog - (31 - __builtin_clz(uint32_t(f[j]) - 1));
                code.delta = (uint32_t(most) << 16) - (uint32_t(f[j]) << most);
                code.next = cum - f[j];
            }
            cum += f[j];
        }
    }
    return m;
}

uint64_t TansEncoder::state_bits() const
{
    uint64_t sum = 0;  // 16 fraction bits
    for (int c = 0; c < kTansContexts; ++c) {
        if (!(model_.present >> c & 1))
            continue;
        const uint16_t* f = model_.freq[model_.use[c]];
        for (int j = 0; j < kTansClasses; ++j) {
            const uint64_t n = uint64_t(counts_[c << 5 | j][0]) + counts_[c << 5 | j][1];
            if (n > 0)
                sum += n * ((uint64_t(kTansLog) << 16) - log2_fixed(f[j]));
        }
    }
    return sum >> 16;
}

namespace {

// The state stream: 3 bits P, P zero bits, the first state of each
// channel (10 bits), then each sample's state bits (of a pair: channel
// 0's, then channel 1's): a whole number of bytes.
TansStates start_states(Grown<uint8_t>& out, const uint16_t* code, int channels, int n)
{
    out.resize(size_t(channels) * size_t(n) * kTansLog / 8 + 32);
    TansStates r;
    r.p = out.data() + out.size();
    r.code = code;
    return r;
}

} // namespace

void TansEncoder::finish_states(int index, TansStates& r, int channels)
{
    using tans_detail::put_bits_before;
    for (int k = channels - 1; k >= 0; --k)
        put_bits_before(r.p, r.acc, r.fill, r.x[k] - kTansStates, kTansLog);
    const uint32_t pad = uint32_t(8 - (r.fill + 3) % 8) % 8;
    put_bits_before(r.p, r.acc, r.fill, 0, pad);
    put_bits_before(r.p, r.acc, r.fill, pad, 3);
    statesAt_[index] = r.p;
}

void TansEncoder::make_states(int index, int channels)
{
    TansStates r = start_states(states_[index], codes_.data() + size_t(index) * n_, channels, n_);
    if (channels == 2)
        kernels().tans_states2(code_, next_.data(), &r, n_);
    else
        kernels().tans_states(code_, next_.data(), &r, n_);
    finish_states(index, r, channels);
}

// ---------------------------------------------------------------- decoder

const TansEntry* tans_tables(const TansModel& m)
{
    // the slots, a table of invalid entries for contexts without one, and a
    // table for each context that has one
    constexpr size_t kSlotEntries = kTansSlots * sizeof(TansSlot) / sizeof(TansEntry);
    constexpr size_t kFirst = kSlotEntries + kTansStates;
    // left uninitialised: a frame touches the tables of its own contexts,
    // which come first (fresh pages cost more than building a table)
    thread_local LargeArray<TansEntry> memory;
    if (!memory) {
        memory = LargeArray<TansEntry>(kFirst + size_t(kTansContexts) * kTansStates);
        for (size_t j = kSlotEntries; j < kFirst; ++j)
            memory[j] = TansEntry{0, 0, kTansInvalid, 0, 0};
    }
    TansEntry* mem = memory.get();
    const TansEntry* at[kTansContexts];
    size_t next = kFirst;
    const TansEntry* last = nullptr;  // the table built last, and its frequencies
    int lastUse = -1;
    for (int c = 0; c < kTansContexts; ++c) {
        at[c] = mem + kSlotEntries;
        if (!(m.present >> c & 1))
            continue;
        TansEntry* t = mem + next;
        at[c] = t;
        next += kTansStates;
        if (m.use[c] == lastUse) {
            // frequencies shared with the context before (as most are): its
            // entries, with this context's steps
            for (int j = 0; j < kTansStates; ++j) {
                TansEntry e = last[j];
                e.step = int16_t(2 * kTansStep[c][e.symbol]);
                t[j] = e;
            }
            last = t;
            continue;
        }
        last = t;
        lastUse = m.use[c];
        uint8_t classes[kTansStates];
        spread_classes(m.freq[m.use[c]], classes);
        uint32_t n[kTansClasses];
        std::copy(m.freq[m.use[c]], m.freq[m.use[c]] + kTansClasses, n);
        for (int j = 0; j < kTansStates; ++j) {
            const int cls = classes[j];
            const uint32_t k = n[cls]++;
            const int bits = kTansLog - (31 - __builtin_clz(k));
            t[j] = TansEntry{uint16_t((k << bits) - kTansStates), uint8_t(bits), uint8_t(cls), int16_t(2 * kTansStep[c][cls]), 0};
        }
    }
    TansSlot* slots = reinterpret_cast<TansSlot*>(mem);
    for (uint32_t q = 0; q < kTansSlots; ++q)
        slots[q] = TansSlot{at[tans_context(q << 3)], uint32_t(tans_shift(q << 3)) << 5, 0};
    return mem;
}

namespace {

struct PortableBits {
    static uint64_t low(uint64_t w, uint32_t k) { return w & ((uint64_t(1) << k) - 1); }
};

// A peek that reads zeros past end (the first byte not to be read).
uint64_t peek_tail(const uint8_t* p, size_t end, uint64_t pos)
{
    uint8_t b[8] = {};
    for (size_t j = 0; j < 8; ++j)
        if ((pos >> 3) + j < end)
            b[j] = p[(pos >> 3) + j];
    return peek(b, pos & 7);
}

// How many steps of at most maxBits each may follow from bit pos with
// every peek before byte end.
int in_reach(size_t end, uint64_t pos, int maxBits)
{
    if (end < 8 || pos > 8 * uint64_t(end - 8) + 7)
        return 0;
    const uint64_t last = 8 * uint64_t(end - 8) + 7;  // the last position a peek may start at
    return int(std::min<uint64_t>((last - pos) / uint64_t(maxBits) + 1, 1u << 30));
}

// A stream as the kernels read it: the frame's own bytes while a step's
// peeks stay inside them, then a copy of its last bytes with zeros after
// it (what a peek past the end reads), so that the kernels go on to the
// end of a stream instead of the slow way. A quiet passage takes few raw
// bits or state bits: the last few bytes may hold thousands of samples.
class StreamView {
public:
    StreamView(const uint8_t* base, size_t end) : base_(base), end_(end) {}
    // Steps of at most maxBits each from bit pos (of the stream's bytes),
    // each peeking lead bits ahead, that may read from base() at pos -
    // shift(); fewer than wanted only where even a copy has no room.
    int reach(uint64_t pos, int lead, int maxBits, int wanted = 1)
    {
        const int r = in_reach(end_, pos - shift_ + uint64_t(lead), maxBits);
        if (r >= wanted || base_ == tail_)
            return r;
        const size_t from = size_t(pos >> 3);
        if (from > end_ || end_ - from > kKeep)
            return 0;
        std::memset(tail_, 0, sizeof tail_);
        std::memcpy(tail_, base_ + from, end_ - from);
        base_ = tail_;
        shift_ = 8 * uint64_t(from);
        end_ = sizeof tail_;  // a valid stream's bits end in the copy; its peeks read the zeros
        return in_reach(end_, pos - shift_ + uint64_t(lead), maxBits);
    }
    const uint8_t* base() const { return base_; }
    uint64_t shift() const { return shift_; }

private:
    static constexpr size_t kKeep = 64;  // more than the steps wanted can leave out of reach
    const uint8_t* base_;
    size_t end_;
    uint64_t shift_ = 0;
    alignas(32) uint8_t tail_[4096];
};

// One class of channel k the slow way, near the stream's end.
void symbol_tail(const TansEntry* mem, const uint8_t* base, size_t end, TansCursor& c, int k, uint16_t* out)
{
    uint8_t b[8];
    store_le64(b, peek_tail(base, end, c.pos));
    const uint64_t at = c.pos;
    c.pos = 0;
    uint64_t w = peek(b, 0);
    tans_detail::symbol_step<PortableBits>(mem, w, c, k, out);
    c.pos += at;
}

TansCursor start(const uint8_t* base, TansSpan s, int channels)
{
    TansCursor c{};
    const uint64_t at = 8 * uint64_t(s.at);
    const uint64_t w = peek_tail(base, s.at + s.size, at);
    const uint32_t pad = uint32_t(w & 7);
    c.pos = at + 3 + pad + uint64_t(channels) * kTansLog;
    for (int k = 0; k < channels; ++k) {
        c.x[k] = (w >> (3 + pad + k * kTansLog)) & (kTansStates - 1);
        c.tracker[k] = c.lagged[k] = 2 * kTansTrackerStart;
    }
    return c;
}

bool finished(const TansCursor& c, TansSpan s, int channels)
{
    return c.x[0] == 0 && (channels == 1 || c.x[1] == 0) && c.pos <= 8 * uint64_t(s.at + s.size);
}

// The residuals of K channels from the raw stream, from index first on
// (those before are there, their bits up to bit pos), their classes in
// in from first on (a pair's in turns).
template <int K>
bool values(const uint8_t* bytes, TansSpan s, const uint16_t* in, int32_t* const* x, int n, int first,
            uint64_t& pos)
{
    const Kernels& k = kernels();
    const uint8_t* raw = bytes + s.at;
    StreamView view(raw, s.size);
    for (int i = first; i < n;) {
        // a value takes at most 36 bits, read at once
        const int m = std::min(n - i, view.reach(pos, 36 * (K - 1), 36 * K));
        int32_t* at[2] = {x[0] + i, x[K - 1] + i};
        if (m == 0) {
            // near the end: each value from a copy of its bits
            for (int j = 0; j < K; ++j) {
                uint8_t b[8];
                store_le64(b, peek_tail(raw, s.size, pos));
                uint64_t from = 0;
                int32_t* one = at[j];
                if (!tans_detail::values<PortableBits, 1>(b, from, in + size_t(i - first) * K + j, &one, 1))
                    return false;
                pos += from;
            }
            ++i;
            continue;
        }
        const uint16_t* classes = in + size_t(i - first) * K;
        uint64_t in_view = pos - view.shift();
        const bool good = K == 2 ? k.tans_values2(view.base(), &in_view, classes, at[0], at[1], m)
                                 : k.tans_values(view.base(), &in_view, classes, at[0], m);
        pos = in_view + view.shift();
        if (!good)
            return false;
        i += m;
    }
    return pos <= 8 * uint64_t(s.size);
}

} // namespace

void portable::tans_symbols2(const TansEntry* mem, const uint8_t* base, TansCursor* c, uint16_t* out, int n)
{
    tans_detail::symbols2<PortableBits>(mem, base, *c, out, n);
}

bool portable::tans_symbols_values2(const TansEntry* mem, const uint8_t* base, TansCursor* c, uint16_t* out,
                                    const uint8_t* raw, uint64_t* pos, int32_t* x0, int32_t* x1, int n)
{
    return tans_detail::symbols_values2<PortableBits>(mem, base, *c, out, raw, *pos, x0, x1, n);
}

void portable::tans_symbols(const TansEntry* mem, const uint8_t* base, TansCursor* c, uint16_t* out, int n)
{
    tans_detail::symbols<PortableBits>(mem, base, *c, out, n);
}

bool portable::tans_values2(const uint8_t* raw, uint64_t* pos, const uint16_t* in, int32_t* x0, int32_t* x1, int n)
{
    int32_t* out[2] = {x0, x1};
    return tans_detail::values<PortableBits, 2>(raw, *pos, in, out, n);
}

bool portable::tans_values(const uint8_t* raw, uint64_t* pos, const uint16_t* in, int32_t* x, int n)
{
    return tans_detail::values<PortableBits, 1>(raw, *pos, in, &x, n);
}

void portable::tans_analyse2(const int32_t* x0, const int32_t* x1, TansAnalysis* a, int n)
{
    tans_detail::analyse2(x0, x1, *a, n);
}

void portable::tans_analyse(const int32_t* x, TansAnalysis* a, int n) { tans_detail::analyse(x, *a, n); }

void portable::tans_states2(const TansCode* codes, const uint16_t* next, TansStates* r, int n)
{
    tans_detail::states2(codes, next, *r, n);
}

void portable::tans_states(const TansCode* codes, const uint16_t* next, TansStates* r, int n)
{
    tans_detail::states(codes, next, *r, n);
}

bool tans_decode(const TansEntry* tables, const uint8_t* bytes, TansSpan states, TansSpan raw, int32_t* x, int n)
{
    using tans_detail::kTansGroup;
    // the classes a piece at a time, then their values: a whole frame's
    // classes would take fresh memory
    constexpr int kPiece = 1024 * kTansGroup;
    uint16_t classes[kPiece];
    const Kernels& k = kernels();
    const size_t end = states.at + states.size;
    TansCursor c = start(bytes, states, 1);
    StreamView view(bytes, end);
    uint64_t rawPos = 0;
    for (int from = 0; from < n; from += kPiece) {
        const int to = std::min(n, from + kPiece);
        for (int i = from; i < to;) {
            const int groups = std::min((to - i) / kTansGroup, view.reach(c.pos, tans_detail::kTansGroupBits,
                                                                          tans_detail::kTansGroupBits));
            if (groups == 0) {
                symbol_tail(tables, bytes, end, c, 0, &classes[i++ - from]);
                continue;
            }
            c.pos -= view.shift();
            k.tans_symbols(tables, view.base(), &c, &classes[i - from], groups);
            c.pos += view.shift();
            i += groups * kTansGroup;
        }
        if (!values<1>(bytes, raw, classes, &x, to, from, rawPos))
            return false;
    }
    return finished(c, states, 1);
}

bool tans_decode2(const TansEntry* tables, const uint8_t* bytes, TansSpan states, TansSpan raw, int32_t* x0,
                  int32_t* x1, int n, TansProgress* progress)
{
    using tans_detail::kTansPairGroup;
    const Kernels& k = kernels();
    const size_t end = states.at + states.size;
    TansCursor c = start(bytes, states, 2);
    // classes and residuals in one loop while both streams are in reach (a
    // residual takes at most 36 bits), then the rest the slower ways; only
    // the rest keeps its classes, so a frame touches no memory for them
    uint16_t group[2 * kTansPairGroup];
    int done = 0;
    uint64_t rawPos = 0;
    StreamView stateView(bytes, end), rawView(bytes + raw.at, raw.size);
    for (;;) {
        const int until = progress ? std::min(n, (done / progress->piece + 1) * progress->piece) : n;
        const int groups = std::min(
            {(until - done) / kTansPairGroup,
             stateView.reach(c.pos, tans_detail::kTansGroupBits, tans_detail::kTansGroupBits),
             rawView.reach(rawPos, 36, 72, kTansPairGroup) / kTansPairGroup});
        if (groups == 0)
            break;
        uint64_t rawInView = rawPos - rawView.shift();
        c.pos -= stateView.shift();
        if (!k.tans_symbols_values2(tables, stateView.base(), &c, group, rawView.base(), &rawInView, x0 + done,
                                    x1 + done, groups))
            return false;
        c.pos += stateView.shift();
        rawPos = rawInView + rawView.shift();
        done += groups * kTansPairGroup;
        if (progress && done == until && done < n)
            progress->decoded(done);
    }
    thread_local std::vector<uint16_t> classes;
    classes.resize(2 * size_t(n - done));
    uint16_t* out = classes.data();  // from done on
    for (int i = done; i < n;) {
        const int groups = std::min((n - i) / kTansPairGroup, stateView.reach(c.pos, tans_detail::kTansGroupBits,
                                                                             tans_detail::kTansGroupBits));
        if (groups == 0) {
            symbol_tail(tables, bytes, end, c, 0, out + 2 * size_t(i - done));
            symbol_tail(tables, bytes, end, c, 1, out + 2 * size_t(i - done) + 1);
            ++i;
            continue;
        }
        c.pos -= stateView.shift();
        k.tans_symbols2(tables, stateView.base(), &c, out + 2 * size_t(i - done), groups);
        c.pos += stateView.shift();
        i += groups * kTansPairGroup;
    }
    int32_t* xs[2] = {x0, x1};
    return finished(c, states, 2) && values<2>(bytes, raw, out, xs, n, done, rawPos);
}

} // namespace monkeys::core
