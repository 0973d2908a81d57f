#include "ResidualSection.h"

#include <algorithm>

#include "GolombRange.h"
#include "LargeMemory.h"
#include "PerThread.h"
#include "Rice.h"
#include "Tans.h"

namespace monkeys::core {

namespace {

inline bool all_zero(const int32_t* x, int n)
{
    return std::all_of(x, x + n, [](int32_t v) { return v == 0; });
}

void put_u32(uint32_t v, Bytes& out)
{
    for (int b = 0; b < 4; ++b)
        out.push_back(uint8_t(v >> (8 * b)));
}

inline uint32_t get_u32(const uint8_t* e) { return e[0] | e[1] << 8 | e[2] << 16 | uint32_t(e[3]) << 24; }

// The channels h sends, in order; returns how many.
int coded_channels(const uint8_t* wasted, int ch, int* coded)
{
    int m = 0;
    for (int c = 0; c < ch; ++c)
        if (!(wasted[c] & kSilent))
            coded[m++] = c;
    return m;
}

void put_rice_split(const FrameFormat& f, const Header& h, int blocks, int32_t* const* xs, Bytes& out)
{
    // channel pairs in step, each channel into a stream of its own
    thread_local Bytes streams[32];
    int coded[32];
    const int m = coded_channels(h.wasted, f.channels, coded);
    for (int i = 0; i < m; ++i) {
        streams[i].clear();
        // room for the raw samples: the stream grows without moving in
        // any frame that is coded at all
        streams[i].reserve(size_t(blocks) * size_t(f.bitsPerSample / 8) + 64);
    }
    int i = 0;
    for (; i + 2 <= m; i += 2) {
        CodeWriter b0(streams[i]), b1(streams[i + 1]);
        rice_encode2(b0, xs[coded[i]], b1, xs[coded[i + 1]], blocks);
        b0.flush();
        b1.flush();
    }
    if (i < m) {
        CodeWriter bw(streams[i]);
        rice_encode(bw, xs[coded[i]], blocks);
        bw.flush();
    }
    for (int j = 0; j + 1 < m; ++j)
        put_u32(uint32_t(streams[j].size()), out);
    for (int j = 0; j < m; ++j)
        out.insert(out.end(), streams[j].begin(), streams[j].end());
}

void put_range(const FrameFormat& f, const Header& h, int blocks, int32_t* const* xs, Bytes& out)
{
    thread_local Bytes coded, raw;
    coded.clear();
    raw.clear();
    RangeEncoder rc(coded);
    BitWriter bw(raw);
    for (int c = 0; c < f.channels; ++c)
        if (!(h.wasted[c] & kSilent))
            range_encode(rc, bw, xs[c], blocks);
    rc.finish();
    bw.flush();
    put_u32(uint32_t(coded.size()), out);
    out.insert(out.end(), coded.begin(), coded.end());
    out.insert(out.end(), raw.begin(), raw.end());
}

TansEncoder& tans_coder()
{
    thread_local PerThread<TansEncoder> own;
    return own.get();
}

// The tables of the coder's last analysis, as the frame stores them.
Bytes& tans_tables_bytes()
{
    thread_local Bytes bytes;
    return bytes;
}

void put_tans(const FrameFormat& f, const Header& h, int blocks, int32_t* const* xs, Bytes& out)
{
    tans_analyse_section(f, h, blocks, xs);
    put_tans_analysed(f, h, out);
}

// The tANS streams of the coded channels, a pair at a time.
bool decode_tans(const uint8_t* p, size_t size, const uint8_t* wasted, int ch, int blocks, int32_t* const* xs,
                 TansProgress* progress)
{
    int coded[32];
    const int m = coded_channels(wasted, ch, coded);
    if (m == 0)
        return true;
    thread_local PerThread<TansModel> own;
    TansModel& model = own.get();
    const size_t used = tans_get_model(p, size, model);
    if (used == 0)
        return false;
    const int streams = 2 * ((m + 1) / 2);
    const size_t table = size_t(streams - 1) * 4;
    if (size - used < table)
        return false;
    TansSpan span[32];
    size_t rest = size - used - table;
    size_t at = used + table;
    for (int j = 0; j < streams; ++j) {
        size_t len = rest;
        if (j + 1 < streams) {
            len = get_u32(p + used + 4 * size_t(j));
            if (len > rest)
                return false;
        }
        span[j] = TansSpan{at, len};
        at += len;
        rest -= len;
    }
    const TansEntry* tables = tans_tables(model);
    int i = 0;
    for (; i + 2 <= m; i += 2)
        if (!tans_decode2(tables, p, span[i], span[i + 1], xs[coded[i]], xs[coded[i + 1]], blocks,
                          m == 2 ? progress : nullptr))
            return false;
    return i == m || tans_decode(tables, p, span[i], span[i + 1], xs[coded[i]], blocks);
}

// The Rice streams of the coded channels, two at a time; with compare,
// xs holds what they must give, and false means they differ.
bool decode_split(const uint8_t* p, size_t size, const uint8_t* wasted, int ch, int blocks, int32_t* const* xs,
                  bool compare)
{
    int coded[32];
    const int m = coded_channels(wasted, ch, coded);
    if (m == 0)
        return true;
    const size_t table = size_t(m - 1) * 4;
    if (size < table)
        return false;
    const uint8_t* streams[32];
    size_t lengths[32];
    size_t rest = size - table;
    const uint8_t* at = p + table;
    for (int i = 0; i < m; ++i) {
        size_t len = rest;
        if (i + 1 < m) {
            len = get_u32(p + 4 * size_t(i));
            if (len > rest)
                return false;
        }
        streams[i] = at;
        lengths[i] = len;
        at += len;
        rest -= len;
    }
    int i = 0;
    for (; i + 2 <= m; i += 2) {
        BitReader b0(streams[i], lengths[i]), b1(streams[i + 1], lengths[i + 1]);
        int32_t* x0 = xs[coded[i]];
        int32_t* x1 = xs[coded[i + 1]];
        if (!compare)
            rice_decode2(b0, x0, b1, x1, blocks);
        else if (!rice_matches2(b0, x0, b1, x1, blocks))
            return false;
        if (b0.overrun() > 0 || b1.overrun() > 0)
            return false;
    }
    if (i < m) {
        BitReader br(streams[i], lengths[i]);
        int32_t* x = xs[coded[i]];
        if (!compare)
            rice_decode(br, x, blocks);
        else if (!rice_matches(br, x, blocks))
            return false;
        if (br.overrun() > 0)
            return false;
    }
    return true;
}

} // namespace

void mark_silent(Header& h, int ch, int blocks, int32_t* const* xs)
{
    for (int c = 0; c < ch; ++c)
        if (all_zero(xs[c], blocks))
            h.wasted[c] |= kSilent;
}

size_t tans_analyse_section(const FrameFormat& f, const Header& h, int blocks, int32_t* const* xs)
{
    TansEncoder& coder = tans_coder();
    int coded[32];
    const int m = coded_channels(h.wasted, f.channels, coded);
    coder.reset(m, blocks);
    for (int i = 0; i < m; i += 2)
        coder.analyse(xs[coded[i]], i + 1 < m ? xs[coded[i + 1]] : nullptr);
    Bytes& model = tans_tables_bytes();
    model.clear();
    tans_put_model(coder.fit(), model);
    const int units = (m + 1) / 2;
    size_t size = model.size() + (units > 0 ? 4 * size_t(2 * units - 1) : 0) + size_t(coder.state_bits() / 8);
    for (int i = 0; i < m; i += 2)
        size += coder.raw(i).size() + 3;  // a state stream's start and end: 3 bits, padding, 10 bits a channel
    return size;
}

void put_tans_analysed(const FrameFormat& f, const Header& h, Bytes& out)
{
    TansEncoder& coder = tans_coder();
    int coded[32];
    const int m = coded_channels(h.wasted, f.channels, coded);
    out.insert(out.end(), tans_tables_bytes().begin(), tans_tables_bytes().end());
    for (int i = 0; i < m; i += 2)
        coder.make_states(i, std::min(m - i, 2));
    // the streams: for each pair (and the last channel alone), its state
    // stream and its raw stream
    const uint8_t* data[32];
    size_t sizes[32];
    int streams = 0;
    for (int i = 0; i < m; i += 2) {
        data[streams] = coder.states(i);
        sizes[streams++] = coder.states_size(i);
        data[streams] = coder.raw(i).data();
        sizes[streams++] = coder.raw(i).size();
    }
    for (int j = 0; j + 1 < streams; ++j)
        put_u32(uint32_t(sizes[j]), out);
    for (int j = 0; j < streams; ++j)
        out.insert(out.end(), data[j], data[j] + sizes[j]);
}

void put_residuals(const FrameFormat& f, const Header& h, int blocks, int32_t* const* xs, Bytes& out)
{
    if (h.prof.entropy == kRiceSplit)
        put_rice_split(f, h, blocks, xs, out);
    else if (h.prof.entropy == kTans)
        put_tans(f, h, blocks, xs, out);
    else
        put_range(f, h, blocks, xs, out);
}

size_t rice_section_size(const Header& h, int ch, int blocks, int32_t* const* xs)
{
    size_t size = 0;
    int coded = 0;
    for (int c = 0; c < ch; ++c) {
        if (h.wasted[c] & kSilent)
            continue;
        size += size_t((rice_bits(xs[c], blocks) + 7) / 8);
        ++coded;
    }
    return size + (coded > 1 ? 4 * size_t(coded - 1) : 0);
}

bool decode_residuals(const Header& h, const uint8_t* p, const uint8_t* end, int ch, int blocks, int32_t* const* xs,
                      bool compare, TansProgress* progress)
{
    const Profile& prof = h.prof;
    auto left = [&] { return size_t(end - p); };
    for (int c = 0; c < ch; ++c)
        if (h.wasted[c] & kSilent) {
            if (!compare)
                std::fill(xs[c], xs[c] + blocks, 0);
            else if (!all_zero(xs[c], blocks))
                return false;
        }
    if (prof.entropy == kRiceSplit)
        return decode_split(p, left(), h.wasted, ch, blocks, xs, compare);
    if (prof.entropy == kTans && !compare)
        return decode_tans(p, left(), h.wasted, ch, blocks, xs, progress);
    if (prof.entropy == kRice) {
        BitReader br(p, left());
        for (int c = 0; c < ch; ++c) {
            if (h.wasted[c] & kSilent)
                continue;
            if (!compare)
                rice_decode(br, xs[c], blocks);
            else if (!rice_matches(br, xs[c], blocks))
                return false;
        }
        return br.overrun() == 0;
    }
    if (compare) {
        // the range coder's channels share one coder, tANS's one model:
        // decoded whole, then compared
        thread_local SampleBuffer check;
        int32_t* back[32];
        split_planes(check, ch, blocks, back);
        return decode_residuals(h, p, end, ch, blocks, back) &&
               std::equal(check.begin(), check.end(), xs[0], xs[0] + size_t(ch) * blocks);
    }
    if (left() < 4)
        return false;
    const uint32_t len = get_u32(p);
    p += 4;
    if (len > left())
        return false;
    RangeDecoder rc(p, len);
    BitReader br(p + len, left() - len);
    for (int c = 0; c < ch; ++c)
        if (!(h.wasted[c] & kSilent) && !range_decode(rc, br, xs[c], blocks))
            return false;
    return br.overrun() == 0 && rc.overrun() == 0;
}

} // namespace monkeys::core
