// Writes the APE files the format's test vectors need and the library's
// encoder does not make: the audio of a WAVE file in frames of any length,
// each frame coded by the coder at a level, stored verbatim, or coded with
// parameters given on the command line (either coding variant, one Rice
// stream, any stages, predictors in parts, mid/side). Every frame is
// decoded again before it is written. Run by
// docs/format/vectors/make-vectors; not installed.
//
//   vector_frames IN.wav IN.ape OUT.ape [--blocks N] [--code CODING] [--frame I:CODING]...
//
// IN.ape is the library's file of IN.wav: its header gives the format, the
// WAVE parts and their checks. CODING, comma-separated: level=L (the coder at
// that level, the newest variant), verbatim, or entropy=rice1|range|split|tans
// with variant=0|1|2 (the frame's coding variant, 1 if not given),
// parts=J (variant 1 on: the fixed predictor's parts), ms=MASK (channel pairs
// coded mid/side), wasted=0, lpc=fit:P (fitted to each part) or
// lpc=SHIFT/c1/c2... (once for every part, or once a part; lpc=0 is none),
// and stage=ORDER/SHIFT/DIRBITS[/INSHIFT] (kind 0) or
// stereo=ORDER/SHIFT/DIRBITS[/INSHIFT] (kind 1, variant 2) once per stage
// in coding order; INSHIFT is every channel's.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ApeFormat.h"
#include "BitIO.h"
#include "Checksum.h"
#include "FrameCodec.h"
#include "GolombRange.h"
#include "Lms.h"
#include "Lpc.h"
#include "MonkeysAudioLib.h"
#include "Prediction.h"
#include "RangeCoder.h"
#include "Residual.h"
#include "ResidualSection.h"
#include "Rice.h"

using namespace monkeys;
using namespace monkeys::core;

namespace {

[[noreturn]] void fail(const std::string& why)
{
    std::fprintf(stderr, "vector_frames: %s\n", why.c_str());
    std::exit(1);
}

struct Stage {
    LmsParams params;
    int inShift = -1;  // -1: from the stage input's mean magnitude, as the coder does
};

struct Coding {
    int level = 0;  // 0: the file's
    bool verbatim = false;
    int entropy = -1;  // -1: the coder's choice at the level
    int variant = 1;  // forced frames keep the layout the existing vectors were made in
    int parts = 1;
    unsigned midSide = 0;
    bool wasted = true;
    int fitOrder = 0;
    std::vector<LpcCoefs> lpc;  // one for every part, or one a part
    std::vector<Stage> stages;
};

std::vector<int> numbers(const std::string& text, char sep)
{
    std::vector<int> out;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, sep);)
        out.push_back(std::stoi(item, nullptr, 0));
    return out;
}

Coding parse_coding(const std::string& text)
{
    Coding s;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');) {
        const size_t eq = item.find('=');
        const std::string key = item.substr(0, eq), value = eq == std::string::npos ? "" : item.substr(eq + 1);
        if (key == "verbatim") {
            s.verbatim = true;
        } else if (key == "level") {
            s.level = std::stoi(value);
        } else if (key == "entropy") {
            const std::map<std::string, int> names = {{"rice1", 0}, {"range", 1}, {"split", 2}, {"tans", 3}};
            if (!names.count(value))
                fail("unknown entropy coder " + value);
            s.entropy = names.at(value);
        } else if (key == "variant") {
            s.variant = std::stoi(value);
        } else if (key == "parts") {
            s.parts = std::stoi(value);
        } else if (key == "ms") {
            s.midSide = unsigned(std::stoul(value, nullptr, 0));
        } else if (key == "wasted") {
            s.wasted = value != "0";
        } else if (key == "lpc" && value.rfind("fit:", 0) == 0) {
            s.fitOrder = std::stoi(value.substr(4));
        } else if (key == "lpc") {
            const std::vector<int> v = numbers(value, '/');
            LpcCoefs k;
            k.shift = v.at(0);
            k.order = int(v.size()) - 1;
            for (int j = 0; j < k.order; ++j)
                k.c[j] = int16_t(v[size_t(j) + 1]);
            s.lpc.push_back(k);
        } else if (key == "stage" || key == "stereo") {
            const std::vector<int> v = numbers(value, '/');
            Stage st;
            st.params = {v.at(0), v.at(1), v.at(2), key == "stereo" ? kStereo : kOwn};
            st.inShift = v.size() > 3 ? v[3] : -1;
            s.stages.push_back(st);
        } else {
            fail("unknown key " + key);
        }
    }
    if (s.variant == 0 && s.parts != 1)
        fail("variant 0 has one part");
    for (const Stage& st : s.stages)
        if (st.params.kind != kOwn && s.variant < 2)
            fail("a stereo stage needs variant 2");
    if (s.lpc.size() > 1 && s.lpc.size() != size_t(s.parts))
        fail("one lpc= for every part, or one a part");
    return s;
}

int32_t wrap_sub(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }

// The coder's scale of a stage input: its mean magnitude kept within 11 bits.
int input_shift(const std::vector<int32_t>& x, int maxShift)
{
    uint64_t sum = 0;
    for (int32_t v : x)
        sum += v < 0 ? 0u - uint32_t(v) : uint32_t(v);
    const uint64_t mean = sum / (x.empty() ? 1 : x.size());
    const int bits = mean == 0 ? 0 : 64 - __builtin_clzll(mean);
    return std::clamp(bits - 11, 0, maxShift);
}

void put_le(Bytes& out, uint32_t v, int bytes)
{
    for (int b = 0; b < bytes; ++b)
        out.push_back(uint8_t(v >> (8 * b)));
}

// A predicted frame with the parameters of s, in the frame layout.
Bytes code_forced(const Coding& s, int ch, int n, const int32_t* in)
{
    const size_t channels = size_t(ch);
    std::vector<std::vector<int32_t>> xs(channels, std::vector<int32_t>(size_t(n)));
    std::vector<uint8_t> wasted(channels, 0);
    for (int c = 0; c < ch; ++c) {
        std::vector<int32_t>& x = xs[size_t(c)];
        uint32_t any = 0;
        for (int i = 0; i < n; ++i)
            any |= uint32_t(x[size_t(i)] = in[size_t(i) * size_t(ch) + size_t(c)]);
        const int w = s.wasted && any != 0 ? __builtin_ctz(any) : 0;
        wasted[size_t(c)] = uint8_t(w);
        for (int32_t& v : x)
            v >>= w;
    }
    for (int p = 0; p < ch / 2; ++p)
        if (s.midSide >> p & 1)
            for (int i = 0; i < n; ++i) {
                int32_t& l = xs[size_t(2 * p)][size_t(i)];
                int32_t& r = xs[size_t(2 * p + 1)][size_t(i)];
                const int32_t side = wrap_sub(l, r);
                l = int32_t(uint32_t(r) + uint32_t(side >> 1));
                r = side;
            }
    // lpc[c][j]: channel c's predictor of part j
    const int parts = s.parts;
    std::vector<std::vector<LpcCoefs>> lpc(channels, std::vector<LpcCoefs>(size_t(parts)));
    std::vector<std::vector<int>> shifts(channels);
    for (int c = 0; c < ch; ++c) {
        std::vector<int32_t>& x = xs[size_t(c)];
        for (int j = 0; j < parts; ++j) {
            const int from = part_start(j, n, parts);
            if (s.fitOrder > 0)
                lpc[size_t(c)][size_t(j)] = lpc_fit(x.data() + from, part_start(j + 1, n, parts) - from, s.fitOrder);
            else if (!s.lpc.empty())
                lpc[size_t(c)][size_t(j)] = s.lpc[s.lpc.size() == 1 ? 0 : size_t(j)];
        }
        lpc_encode_parts(x.data(), n, lpc[size_t(c)].data(), parts);
    }
    // each stage on every channel at once: a stereo stage joins pairs
    int32_t* planes[32];
    for (int c = 0; c < ch; ++c)
        planes[c] = xs[size_t(c)].data();
    for (const Stage& st : s.stages) {
        int stageShifts[32];
        for (int c = 0; c < ch; ++c) {
            stageShifts[c] = st.inShift >= 0 ? st.inShift : input_shift(xs[size_t(c)], st.params.shift);
            shifts[size_t(c)].push_back(stageShifts[c]);
        }
        run_stage(true, planes, stageShifts, ch, n, st.params);
    }

    // variant 0's second byte is 0: decoders refuse anything else
    Bytes out = {1, uint8_t(s.entropy)};
    if (s.variant == 0)
        out.push_back(0);
    out.push_back(uint8_t(s.stages.size()));
    for (const Stage& st : s.stages) {
        put_le(out, uint32_t(st.params.order), 2);
        out.push_back(uint8_t(st.params.shift));
        out.push_back(uint8_t(st.params.dirBits));
        if (s.variant >= 2)
            out.push_back(uint8_t(st.params.kind));
    }
    put_le(out, s.midSide, (ch / 2 + 7) / 8);
    if (s.variant > 0)
        out.push_back(uint8_t(parts));
    std::vector<int> coded;
    for (int c = 0; c < ch; ++c) {
        const std::vector<int32_t>& x = xs[size_t(c)];
        const bool silent = std::all_of(x.begin(), x.end(), [](int32_t v) { return v == 0; });
        if (!silent)
            coded.push_back(c);
        out.push_back(uint8_t(wasted[size_t(c)] | (silent ? 0x80 : 0)));
        for (int shift : shifts[size_t(c)])
            out.push_back(uint8_t(shift));
        for (const LpcCoefs& k : lpc[size_t(c)]) {
            out.push_back(uint8_t(k.order));
            if (k.order > 0)
                out.push_back(uint8_t(k.shift));
            for (int j = 0; j < k.order; ++j)
                put_le(out, uint16_t(k.c[j]), 2);
        }
    }
    if (s.entropy == kTans) {
        Header hd;
        hd.prof.entropy = kTans;
        int32_t* ps[32];
        for (int c = 0; c < ch; ++c)
            ps[c] = xs[size_t(c)].data();
        mark_silent(hd, ch, n, ps);
        put_residuals({ch, 32, 0}, hd, n, ps, out);
        return out;
    }
    if (s.entropy == 1) {
        Bytes range, raw;
        RangeEncoder rc(range);
        BitWriter bw(raw);
        for (int c : coded)
            range_encode(rc, bw, xs[size_t(c)].data(), n);
        rc.finish();
        bw.flush();
        put_le(out, uint32_t(range.size()), 4);
        out.insert(out.end(), range.begin(), range.end());
        out.insert(out.end(), raw.begin(), raw.end());
        return out;
    }
    // entropy coder 0: one stream, each channel's codes going on from the
    // last code of the channel before; 2: a stream a channel
    std::vector<Bytes> streams(s.entropy == 0 ? 1 : coded.size());
    std::vector<CodeWriter> writers(streams.begin(), streams.end());
    for (size_t i = 0; i < coded.size(); ++i)
        rice_encode(writers[s.entropy == 0 ? 0 : i], xs[size_t(coded[i])].data(), n);
    for (CodeWriter& w : writers)
        w.flush();
    for (size_t i = 0; i + 1 < streams.size(); ++i)
        put_le(out, uint32_t(streams[i].size()), 4);
    for (const Bytes& st : streams)
        out.insert(out.end(), st.begin(), st.end());
    return out;
}

Bytes code_verbatim(int bits, size_t count, const int32_t* in)
{
    Bytes out = {0};
    for (size_t i = 0; i < count; ++i)
        put_le(out, uint32_t(in[i]), bits / 8);
    return out;
}

std::vector<uint8_t> read_all(const char* path)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        fail(std::string("cannot read ") + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        fail("usage: vector_frames IN.wav IN.ape OUT.ape [--blocks N] [--code CODING] [--frame I:CODING]...");
    const std::vector<uint8_t> wav = read_all(argv[1]), ape = read_all(argv[2]);
    FileHeader h;
    if (decode_file_header(ape.data(), ape.size(), ape.size(), h) != APE_OK)
        fail("not an APE file of this codec");
    if (h.headerSize != kHeaderSize)
        fail("made by an earlier version: its header is not the one written now");
    Coding common;
    std::map<uint64_t, Coding> frames;
    for (int a = 4; a + 1 < argc; a += 2) {
        const std::string opt = argv[a], value = argv[a + 1];
        if (opt == "--blocks")
            h.blocksPerFrame = uint32_t(std::stoul(value));
        else if (opt == "--code")
            common = parse_coding(value);
        else if (opt == "--frame")
            frames[std::stoull(value)] = parse_coding(value.substr(value.find(':') + 1));
        else
            fail("unknown option " + opt);
    }

    const int ch = h.channels, bits = h.bitsPerSample, bytes = bits / 8;
    const size_t count = size_t(h.totalBlocks) * size_t(ch);
    if (wav.size() < h.waveHeaderSize + count * size_t(bytes))
        fail("the WAVE file is shorter than the APE file's audio");
    std::vector<int32_t> samples(count);
    const uint8_t* pcm = wav.data() + h.waveHeaderSize;
    for (size_t i = 0; i < count; ++i) {
        uint32_t v = 0;
        for (int b = 0; b < bytes; ++b)
            v |= uint32_t(pcm[i * size_t(bytes) + size_t(b)]) << (8 * b);
        samples[i] = bits == 8 ? int32_t(v) - 128 : int32_t(v << (32 - bits)) >> (32 - bits);
    }

    h.frameCount = (h.totalBlocks + h.blocksPerFrame - 1) / h.blocksPerFrame;
    h.framesOffset = h.seekTableOffset + 8 * h.frameCount;
    std::vector<uint8_t> table, body;
    h.seekTableCrc = 0;
    for (uint64_t i = 0; i < h.frameCount; ++i) {
        const Coding& s = frames.count(i) ? frames[i] : common;
        const int blocks = int(h.frameBlocks(i));
        const int32_t* in = samples.data() + size_t(i * h.blocksPerFrame) * size_t(ch);
        // the coder writes the newest variant
        const int variant = s.verbatim || s.entropy >= 0 ? s.variant : kNewestCoding;
        const FrameFormat format{ch, bits, s.level ? s.level : h.level, variant};
        Bytes payload;
        if (s.verbatim)
            payload = code_verbatim(bits, size_t(blocks) * size_t(ch), in);
        else if (s.entropy >= 0)
            payload = code_forced(s, ch, blocks, in);
        else if (!encode_frame_checked(format, in, blocks, payload))
            fail("the coder failed its own check");
        std::vector<int32_t> back(size_t(blocks) * size_t(ch));
        if (!decode_frame(format, payload.data(), payload.size(), blocks, back.data()) ||
            !std::equal(back.begin(), back.end(), in) || payload.size() > max_frame_payload(uint32_t(blocks), ch))
            fail("frame " + std::to_string(i) + " does not decode to its audio");
        FrameHeader f;
        f.index = uint32_t(i);
        f.blocks = uint32_t(blocks);
        f.level = uint16_t(format.level);
        f.coding = uint16_t(variant);
        f.payloadSize = uint32_t(payload.size());
        uint8_t head[kFrameHeaderSize];
        encode_frame_header(f, head);
        f.crc = crc32(crc32(0, head, kFrameHeaderSize - 4), payload.data(), payload.size());
        encode_frame_header(f, head);
        uint8_t entry[8];
        put64(entry, h.framesOffset + body.size());
        table.insert(table.end(), entry, entry + 8);
        body.insert(body.end(), head, head + kFrameHeaderSize);
        body.insert(body.end(), payload.begin(), payload.end());
    }
    h.seekTableCrc = crc32(0, table.data(), table.size());
    const uint64_t oldTrailer = h.trailerOffset;
    h.trailerOffset = h.framesOffset + body.size();
    h.audioEnd = h.trailerOffset + h.trailerSize;

    std::vector<uint8_t> out(kHeaderSize);
    encode_file_header(h, out.data());
    out.insert(out.end(), ape.begin() + long(h.waveHeaderOffset), ape.begin() + long(h.seekTableOffset));
    out.insert(out.end(), table.begin(), table.end());
    out.insert(out.end(), body.begin(), body.end());
    out.insert(out.end(), ape.begin() + long(oldTrailer), ape.begin() + long(oldTrailer + h.trailerSize));
    std::ofstream f(argv[3], std::ios::binary);
    f.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
    if (!f)
        fail(std::string("cannot write ") + argv[3]);
    return 0;
}
