// The signal coder's entry points: a frame is stored verbatim or
// predicted (FrameLayout.h); the encoder's search is in Search.cpp, the
// decoder reads the parameters, the residuals, undoes the prediction and
// joins the channels.
#include "FrameCodec.h"

#include <algorithm>

#include "Channels.h"
#include "FrameLayout.h"
#include "LargeMemory.h"
#include "PerThread.h"
#include "Prediction.h"
#include "ResidualSection.h"
#include "Samples.h"
#include "Search.h"

namespace monkeys {
namespace {

using namespace core;

template <class Samples>
void put_verbatim(const FrameFormat& f, const Samples& in, size_t count, Bytes& out)
{
    const int bytes = f.bitsPerSample / 8;
    size_t at = out.size();
    out.resize(at + 1 + count * size_t(bytes));
    uint8_t* p = out.data() + at;
    *p++ = kVerbatim;
    for (size_t i = 0; i < count; ++i) {
        uint32_t v = uint32_t(in.get(i));
        for (int b = 0; b < bytes; ++b)
            *p++ = uint8_t(v >> (8 * b));
    }
}

template <class Samples>
bool get_verbatim(const FrameFormat& f, const uint8_t* p, size_t size, size_t count, const Samples& out)
{
    const int bytes = f.bitsPerSample / 8;
    if (size != count * size_t(bytes))
        return false;
    const int drop = 32 - f.bitsPerSample;
    for (size_t i = 0; i < count; ++i) {
        uint32_t v = 0;
        for (int b = 0; b < bytes; ++b)
            v |= uint32_t(p[b]) << (8 * b);
        p += bytes;
        out.set(i, int32_t(v << drop) >> drop);  // sign extension
    }
    return true;
}

// Where the channels start in a buffer that takes the WAVE data from its
// start: a block's data must never reach the first channel's next sample,
// and a vector step of the join stores up to 64 bytes ahead.
size_t planes_offset(int channels, int bitsPerSample, int blocks)
{
    const size_t ahead = size_t(std::max(channels * (bitsPerSample / 8) - 4, 0)) * size_t(blocks);
    return (ahead + 63) / 64 * 64 + 64;
}

// planesAt: where the channels go (null: per-thread memory).
template <class Samples>
bool decode_predicted(const FrameFormat& f, const uint8_t* data, size_t size, int blocks, const Samples& out,
                      int32_t* planesAt)
{
    thread_local PerThread<Header> own;
    Header& h = own.get();
    const uint8_t* p = parse_parameters(f, blocks, data, size, h);
    if (!p)
        return false;
    thread_local SampleBuffer planes;
    int32_t* xs[32];
    if (planesAt)
        for (int c = 0; c < f.channels; ++c)
            xs[c] = planesAt + size_t(c) * blocks;
    else
        split_planes(planes, f.channels, blocks, xs);
    return decode_signal(h, p, data + size, f.channels, blocks, xs) && join_channels(f, h, blocks, xs, out);
}

// Reads back the parameters and the entropy-coded residuals of a frame
// just coded and compares them with what the encoder meant to send.
bool coding_matches(const FrameFormat& f, const Bytes& frame, int blocks, const Header& sent,
                    const int32_t* residuals)
{
    thread_local PerThread<Header> own;
    Header& back = own.get();
    const uint8_t* data = frame.data() + 1;
    const uint8_t* end = frame.data() + frame.size();
    FrameFormat written = f;
    written.coding = sent.coding;
    const uint8_t* p = parse_parameters(written, blocks, data, size_t(end - data), back);
    if (!p || !same_parameters(sent, back, f.channels))
        return false;
    int32_t* xs[32];
    for (int c = 0; c < f.channels; ++c)
        xs[c] = const_cast<int32_t*>(residuals) + size_t(c) * blocks;  // only read
    return decode_residuals(back, p, end, f.channels, blocks, xs, true);
}

// The encoder's check of its own output: the parameters and entropy-coded
// residuals read back and compared with what it meant to send. The
// prediction stages run the same integer arithmetic in both directions
// (the tests check every variant of them both ways), the bit-level coding
// does not.
template <class Samples>
bool code(const FrameFormat& f, const Samples& in, int blocks, Bytes& out, bool check)
{
    const size_t count = size_t(std::max(blocks, 0)) * size_t(f.channels);
    const size_t raw = raw_frame_bytes(f, std::max(blocks, 0));
    if (blocks > 0) {
        // coded into warm per-thread memory, then copied once
        const Coded& coded = encode_predicted(f, in, blocks);
        const Bytes& work = coded.bytes;
        if (work.size() < raw) {
            if (check && !coding_matches(f, work, blocks, coded.h, coded.planes.data()))
                return false;
            out.insert(out.end(), work.begin(), work.end());
            return true;
        }
    }
    put_verbatim(f, in, count, out);
    return true;
}

bool code(const FrameFormat& format, const int32_t* interleaved, int blocks, Bytes& out, bool check)
{
    FrameFormat f = format;
    if (!valid_format(f))
        f.bitsPerSample = 32, f.channels = std::clamp(f.channels, 1, 32);
    return code(f, Ints{const_cast<int32_t*>(interleaved)}, blocks, out, check);  // only read
}

template <class Samples>
bool decode(const FrameFormat& format, const uint8_t* data, size_t size, int blocks, const Samples& out,
            int32_t* planesAt = nullptr)
{
    if (!valid_format(format) || blocks < 0 || size < 1 || data == nullptr)
        return false;
    const size_t count = size_t(blocks) * size_t(format.channels);
    switch (data[0]) {
    case kVerbatim:
        return get_verbatim(format, data + 1, size - 1, count, out);
    case kPredicted:
        if (blocks == 0)
            return false;
        return decode_predicted(format, data + 1, size - 1, blocks, out, planesAt);
    default:
        return false;
    }
}

} // namespace

void encode_frame(const FrameFormat& format, const int32_t* interleaved, int blocks, Bytes& out)
{
    code(format, interleaved, blocks, out, false);
}

bool encode_frame_checked(const FrameFormat& format, const int32_t* interleaved, int blocks,
                          Bytes& out)
{
    return code(format, interleaved, blocks, out, true);
}

bool encode_frame(const FrameFormat& format, const uint8_t* pcm, int blocks, Bytes& out, bool check)
{
    uint8_t* bytes = const_cast<uint8_t*>(pcm);  // only read
    switch (valid_format(format) ? format.bitsPerSample : 0) {
    case 8: return code(format, Pcm<1>{bytes}, blocks, out, check);
    case 16: return code(format, Pcm<2>{bytes}, blocks, out, check);
    case 24: return code(format, Pcm<3>{bytes}, blocks, out, check);
    case 32: return code(format, Pcm<4>{bytes}, blocks, out, check);
    default: return false;
    }
}

bool frame_anatomy(const FrameFormat& format, const uint8_t* data, size_t size, int blocks, FrameAnatomy& out)
{
    if (!valid_format(format) || size < 1 || blocks < 1)
        return false;
    out.verbatim = data[0] == kVerbatim;
    if (out.verbatim) {
        out.parameters = 1;
        out.residuals = size - 1;
        return true;
    }
    thread_local PerThread<Header> own;
    Header& h = own.get();
    const uint8_t* p = parse_parameters(format, blocks, data + 1, size - 1, h);
    if (!p)
        return false;
    out.parameters = size_t(p - data);
    out.residuals = size - out.parameters;
    return true;
}

bool decode_frame(const FrameFormat& format, const uint8_t* data, size_t size, int blocks, int32_t* interleaved)
{
    return decode(format, data, size, blocks, Ints{interleaved});
}

namespace {

bool decode_pcm(const FrameFormat& format, const uint8_t* data, size_t size, int blocks, uint8_t* pcm,
                int32_t* planesAt)
{
    switch (format.bitsPerSample) {
    case 8: return decode(format, data, size, blocks, Pcm<1>{pcm}, planesAt);
    case 16: return decode(format, data, size, blocks, Pcm<2>{pcm}, planesAt);
    case 24: return decode(format, data, size, blocks, Pcm<3>{pcm}, planesAt);
    case 32: return decode(format, data, size, blocks, Pcm<4>{pcm}, planesAt);
    default: return false;
    }
}

} // namespace

bool decode_frame(const FrameFormat& format, const uint8_t* data, size_t size, int blocks, uint8_t* pcm)
{
    return decode_pcm(format, data, size, blocks, pcm, nullptr);
}

size_t decode_work_bytes(int channels, int bitsPerSample, int blocks)
{
    return planes_offset(channels, bitsPerSample, blocks) + 4 * size_t(std::max(channels, 0)) * size_t(std::max(blocks, 0));
}

bool decode_frame_in_place(const FrameFormat& format, const uint8_t* data, size_t size, int blocks, uint8_t* work)
{
    if (!valid_format(format) || blocks < 0)
        return false;
    // planes_offset is a multiple of 64: the channels are aligned as work is
    int32_t* planes = reinterpret_cast<int32_t*>(work + planes_offset(format.channels, format.bitsPerSample, blocks));
    return decode_pcm(format, data, size, blocks, work, planes);
}

} // namespace monkeys
