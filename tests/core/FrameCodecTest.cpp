// Round trips of the signal coder at every level on edge signals and real
// audio, and decoding of damaged frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <atomic>
#include <random>
#include <thread>
#include <string>
#include <vector>

#include "Checksum.h"
#include "FrameCodec.h"
#include "FrameLayout.h"
#include "Tans.h"
#include "Variants.h"
#include "WaveSamples.h"

using monkeys::FrameFormat;

namespace {

const int kLevels[] = {1000, 2000, 3000, 4000};

int32_t lowest(int bits) { return bits == 32 ? INT32_MIN : -(1 << (bits - 1)); }
int32_t highest(int bits) { return bits == 32 ? INT32_MAX : (1 << (bits - 1)) - 1; }

struct Signal {
    int channels;
    int bits;
    std::vector<int32_t> samples;  // interleaved
    int blocks() const { return int(samples.size() / size_t(channels)); }
};

std::vector<uint8_t> encode(const Signal& s, int level)
{
    monkeys::core::Bytes out;
    monkeys::encode_frame({s.channels, s.bits, level}, s.samples.data(), s.blocks(), out);
    return {out.begin(), out.end()};
}

// The samples as WAVE data stores them.
std::vector<uint8_t> wave_data(const Signal& s)
{
    const int width = s.bits / 8;
    std::vector<uint8_t> out;
    for (int32_t v : s.samples)
        for (int b = 0; b < width; ++b)
            out.push_back(uint8_t((width == 1 ? uint32_t(v + 128) : uint32_t(v)) >> (8 * b)));
    return out;
}

// Encodes at the level, checks the size bound and the exact decode.
void expect_round_trip(const Signal& s, int level)
{
    SCOPED_TRACE("level " + std::to_string(level) + ", " + std::to_string(s.channels) + " ch, " +
                 std::to_string(s.bits) + " bits, " + std::to_string(s.blocks()) + " blocks");
    std::vector<uint8_t> out = encode(s, level);
    size_t raw = s.samples.size() * size_t(s.bits / 8);
    EXPECT_LE(out.size(), raw + 16);
    std::vector<int32_t> back(s.samples.size() + 1, 0x5A5A5A5A);
    ASSERT_TRUE(monkeys::decode_frame({s.channels, s.bits, level}, out.data(), out.size(), s.blocks(),
                                      back.data()));
    EXPECT_EQ(back.back(), 0x5A5A5A5A) << "wrote past the output";
    back.pop_back();
    ASSERT_TRUE(back == s.samples);
    // as WAVE data, in the one buffer that also holds the channels
    std::vector<uint8_t> work(monkeys::decode_work_bytes(s.channels, s.bits, s.blocks()) + 1, 0x5A);
    ASSERT_TRUE(monkeys::decode_frame_in_place({s.channels, s.bits, level}, out.data(), out.size(), s.blocks(),
                                               work.data()));
    EXPECT_EQ(work.back(), 0x5A) << "wrote past its room";
    const std::vector<uint8_t> pcm = wave_data(s);
    ASSERT_TRUE(std::equal(pcm.begin(), pcm.end(), work.begin()));
    // the decoder needs nothing but the payload: any level reads it
    std::vector<int32_t> again(s.samples.size());
    ASSERT_TRUE(monkeys::decode_frame({s.channels, s.bits, 1000}, out.data(), out.size(), s.blocks(),
                                      again.data()));
    ASSERT_TRUE(again == s.samples);
}

void expect_round_trips(const Signal& s)
{
    for (int level : kLevels)
        expect_round_trip(s, level);
}

Signal make(int channels, int bits, int blocks)
{
    return {channels, bits, std::vector<int32_t>(size_t(channels) * size_t(blocks), 0)};
}

Signal noise(int channels, int bits, int blocks, unsigned seed, int drop = 0)
{
    Signal s = make(channels, bits, blocks);
    std::mt19937_64 rng(seed);
    std::uniform_int_distribution<int64_t> d(lowest(bits) >> drop, highest(bits) >> drop);
    for (auto& v : s.samples)
        v = int32_t(d(rng));
    return s;
}

// A mixture of tones with a little noise: compressible like music.
Signal tones(int channels, int bits, int blocks, double amplitude = 0.4)
{
    Signal s = make(channels, bits, blocks);
    std::mt19937 rng(7);
    std::normal_distribution<double> n(0, 2);
    double full = double(highest(bits));
    for (int i = 0; i < blocks; ++i)
        for (int c = 0; c < channels; ++c) {
            double t = i / 44100.0;
            double v = 0.6 * std::sin(2 * M_PI * 220 * (c + 1) * t) + 0.3 * std::sin(2 * M_PI * 1375 * t + c) +
                       0.1 * std::sin(2 * M_PI * 5000 * t);
            double x = amplitude * full * v + n(rng) * (bits == 8 ? 0.3 : 1.0);
            x = std::max(double(lowest(bits)), std::min(full, std::round(x)));
            s.samples[size_t(i) * channels + c] = int32_t(x);
        }
    return s;
}

TEST(FrameCodecRoundTrip, Silence)
{
    for (int bits : {8, 16, 24, 32})
        expect_round_trips(make(2, bits, 5000));
    Signal s = make(2, 16, 20000);
    for (int level : kLevels)
        EXPECT_LT(encode(s, level).size(), 100u) << "silence should cost next to nothing";
}

TEST(FrameCodecRoundTrip, FullScaleSquares)
{
    for (int bits : {8, 16, 24, 32}) {
        Signal s = make(2, bits, 6000);
        for (int i = 0; i < s.blocks(); ++i) {
            s.samples[2 * i] = (i / 50) % 2 ? highest(bits) : lowest(bits);
            s.samples[2 * i + 1] = (i / 37) % 2 ? lowest(bits) : highest(bits);
        }
        expect_round_trips(s);
    }
}

TEST(FrameCodecRoundTrip, WhiteNoiseStaysNearRawSize)
{
    for (int bits : {8, 16, 24, 32}) {
        Signal s = noise(2, bits, 4000, bits);
        expect_round_trips(s);
        EXPECT_LE(encode(s, 4000).size(), s.samples.size() * size_t(bits / 8) + 1);
    }
}

TEST(FrameCodecRoundTrip, TinyFrames)
{
    for (int blocks : {0, 1, 2, 3, 17}) {
        expect_round_trips(noise(1, 16, blocks, 3));
        expect_round_trips(tones(6, 24, blocks));
        expect_round_trips(noise(32, 32, blocks, 5));
    }
}

TEST(FrameCodecRoundTrip, ThirtyTwoBitFullRange)
{
    Signal s = make(2, 32, 3000);
    for (int i = 0; i < s.blocks(); ++i) {
        s.samples[2 * i] = i % 3 == 0 ? INT32_MIN : i % 3 == 1 ? INT32_MAX : 0;
        s.samples[2 * i + 1] = i % 2 ? INT32_MIN : INT32_MAX;  // side channel needs 33 bits
    }
    expect_round_trips(s);
    expect_round_trips(noise(2, 32, 3000, 11));
    expect_round_trips(tones(2, 32, 3000, 0.99));
}

TEST(FrameCodecRoundTrip, MusicLikeSignalsCompress)
{
    for (int bits : {8, 16, 24}) {
        for (int channels : {1, 2, 6}) {
            Signal s = tones(channels, bits, 12000);
            expect_round_trips(s);
            if (bits > 8) {
                for (int level : kLevels)
                    EXPECT_LT(encode(s, level).size(), s.samples.size() * size_t(bits / 8) * 4 / 10);
            }
        }
    }
}

TEST(FrameCodecRoundTrip, ManyChannelsAndWastedBits)
{
    Signal s = tones(32, 16, 3000);
    expect_round_trips(s);
    Signal w = tones(3, 24, 5000);
    for (auto& v : w.samples)
        v = int32_t(uint32_t(v) & ~0xFFu);  // 16-bit audio in 24-bit words
    expect_round_trips(w);
    Signal n = noise(2, 24, 5000, 9, 8);
    for (auto& v : n.samples)
        v = int32_t(uint32_t(v) << 8);
    expect_round_trips(n);
    EXPECT_LT(encode(n, 1000).size(), n.samples.size() * 3 * 3 / 4);
}

// Whether the frame codes its first pair as mid/side.
bool coded_mid_side(const Signal& s, int level)
{
    using namespace monkeys::core;
    const std::vector<uint8_t> out = encode(s, level);
    Header h;
    return out[0] == kPredicted &&
           parse_parameters({s.channels, s.bits, level}, s.blocks(), out.data() + 1, out.size() - 1, h) &&
           is_mid_side(h, 0);
}

// Identical and opposite channels round-trip; identical ones go mid/side
// (its side silent), a channel beside silence stays left/right, also at
// full scale and from sample to sample, where the sums behind the choice
// are largest.
TEST(FrameCodecRoundTrip, IdenticalAndOppositeChannels)
{
    Signal s = tones(2, 16, 8000);
    for (int i = 0; i < s.blocks(); ++i)
        s.samples[2 * i + 1] = s.samples[2 * i];
    expect_round_trips(s);
    for (int i = 0; i < s.blocks(); ++i)
        s.samples[2 * i + 1] = -s.samples[2 * i];
    expect_round_trips(s);
    for (int bits : {16, 24, 32})
        for (bool squares : {false, true}) {
            SCOPED_TRACE(std::to_string(bits) + " bits" + (squares ? ", squares" : ", tones"));
            Signal full = tones(2, bits, 6000, 1.0);
            for (int i = 0; i < full.blocks(); ++i) {
                if (squares)
                    full.samples[2 * i] = i % 2 ? highest(bits) : lowest(bits);
                full.samples[2 * i + 1] = full.samples[2 * i];
            }
            for (int level : {1000, 4000})
                EXPECT_TRUE(coded_mid_side(full, level));
            for (int i = 0; i < full.blocks(); ++i)
                full.samples[2 * i + 1] = 0;
            EXPECT_FALSE(coded_mid_side(full, 1000));
        }
}

TEST(FrameCodecRoundTrip, SuddenJumpsAndClipping)
{
    Signal s = tones(2, 16, 20000, 1.5);  // clipped
    for (int i = 5000; i < 5100; ++i)
        s.samples[2 * i] = highest(16);
    for (int i = 9000; i < 20000; i += 997)
        s.samples[2 * i + 1] = lowest(16);
    expect_round_trips(s);
}

TEST(FrameCodecRoundTrip, RecordedAudio)
{
    const char* dir = std::getenv("CORPUS_WAV_DIR");
    DIR* d = dir ? opendir(dir) : nullptr;
    if (!d)
        GTEST_SKIP() << "no corpus of WAVE files";
    int files = 0;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() < 4 || name.substr(name.size() - 4) != ".wav")
            continue;
        coretest::WaveSamples w;
        if (!coretest::read_wave(std::string(dir) + "/" + name, w, 30000))
            continue;
        Signal s{w.channels, w.bits, std::move(w.samples)};
        SCOPED_TRACE(name);
        expect_round_trips(s);
        ++files;
    }
    closedir(d);
    EXPECT_GT(files, 0);
}


// The same bytes on every processor: each stage's variants, forced in turn
// (the portable code among them) with the other stages at their fastest,
// give the all-portable coder's bytes at every level, from samples and
// from WAVE data, and decode the frames exactly.
TEST(FrameCodecVariants, EveryStageVariantGivesThePortableBytes)
{
    using namespace monkeys::core;
    if (coretest::available_isas().size() < 2)
        GTEST_SKIP() << coretest::no_vector_code_reason();
    const std::vector<Signal> signals = {tones(2, 16, 9000, 1.2), tones(1, 24, 7000), noise(2, 16, 3005, 4, 3),
                                         tones(3, 32, 4000, 0.9), tones(6, 8, 3000), tones(2, 24, 3001)};
    std::vector<std::vector<uint8_t>> reference;
    {
        coretest::OnIsa portable(Isa::kPortable);
        for (const Signal& s : signals)
            for (int level : kLevels)
                reference.push_back(encode(s, level));
    }
    for (Stage stage : kStages)
        for (Isa isa : coretest::available_isas()) {
            ASSERT_TRUE(use_variant(stage, isa));
            size_t k = 0;
            for (const Signal& s : signals)
                for (int level : kLevels) {
                    SCOPED_TRACE(coretest::stage_name(stage) + " on " + coretest::isa_name(isa) +
                                 ", level " + std::to_string(level) + ", " + std::to_string(s.channels) + " ch");
                    const std::vector<uint8_t>& want = reference[k++];
                    EXPECT_TRUE(encode(s, level) == want);
                    std::vector<int32_t> back(s.samples.size());
                    EXPECT_TRUE(monkeys::decode_frame({s.channels, s.bits, level}, want.data(), want.size(),
                                                      s.blocks(), back.data()) &&
                                back == s.samples);
                    // and from and to WAVE data
                    const std::vector<uint8_t> pcm = wave_data(s);
                    monkeys::core::Bytes fromWave;
                    EXPECT_TRUE(monkeys::encode_frame({s.channels, s.bits, level}, pcm.data(), s.blocks(), fromWave,
                                                      false) &&
                                std::equal(fromWave.begin(), fromWave.end(), want.begin(), want.end()));
                    std::vector<uint8_t> bytes(pcm.size()), work(monkeys::decode_work_bytes(s.channels, s.bits, s.blocks()));
                    EXPECT_TRUE(monkeys::decode_frame({s.channels, s.bits, level}, want.data(), want.size(),
                                                      s.blocks(), bytes.data()) &&
                                bytes == pcm);
                    EXPECT_TRUE(monkeys::decode_frame_in_place({s.channels, s.bits, level}, want.data(), want.size(),
                                                               s.blocks(), work.data()) &&
                                std::equal(pcm.begin(), pcm.end(), work.begin()));
                }
            use_fastest_variants();
        }
}

// The CRC-32 of every variant is the bit-by-bit one, and its MD5 the
// portable code's, at any length, alignment and starting value; CRCs of
// two pieces join into the CRC of both.
TEST(FrameCodecVariants, ChecksumsAreThePortableOnes)
{
    std::mt19937 rng(5);
    std::vector<uint8_t> data(5000);
    for (uint8_t& b : data)
        b = uint8_t(rng());
    auto bitwise = [](uint32_t crc, const uint8_t* p, size_t n) {
        uint32_t c = ~crc;
        for (size_t i = 0; i < n; ++i) {
            c ^= p[i];
            for (int k = 0; k < 8; ++k)
                c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
        }
        return ~c;
    };
    // in pieces, so that blocks come both whole and through the buffer
    auto md5 = [](const uint8_t* p, size_t n) {
        monkeys::Md5 m;
        m.update(p, n / 3);
        m.update(p + n / 3, n - n / 3);
        return m.finish();
    };
    const std::vector<size_t> lengths = {0, 1, 15, 63, 64, 65, 79, 80, 127, 128, 200, 1000, 4993};
    std::vector<std::array<uint8_t, 16>> portable;
    {
        coretest::OnIsa on(monkeys::core::Isa::kPortable);
        for (size_t n : lengths)
            portable.push_back(md5(data.data() + n % 7, n));
    }
    for (monkeys::core::Isa isa : coretest::available_isas()) {
        coretest::OnIsa on(isa);
        for (size_t i = 0; i < lengths.size(); ++i) {
            const size_t n = lengths[i], at = rng() % 7;
            const uint32_t start = rng();
            EXPECT_EQ(monkeys::crc32(start, data.data() + at, n), bitwise(start, data.data() + at, n))
                << coretest::isa_name(isa) << ", " << n << " bytes";
            EXPECT_EQ(md5(data.data() + n % 7, n), portable[i]) << coretest::isa_name(isa) << ", " << n << " bytes";
            const size_t cut = rng() % (n + 1);
            EXPECT_EQ(monkeys::crc32_combine(monkeys::crc32(0, data.data(), cut),
                                             monkeys::crc32(0, data.data() + cut, n - cut), n - cut),
                      monkeys::crc32(0, data.data(), n))
                << n << " bytes cut at " << cut;
        }
    }
}

// A higher level never gives a larger frame than a lower one, whatever
// the signal: each level also tries the ways of the levels below, and a
// stage that does not pay on a frame is left out of it.
TEST(FrameCodecLevels, AHigherLevelNeverCodesLarger)
{
    std::vector<Signal> signals = {tones(2, 16, 20000), tones(1, 24, 12000, 0.9), noise(2, 16, 8000, 6, 4),
                                   tones(6, 16, 5000, 1.4), tones(1, 16, 100), tones(2, 16, 48)};
    // speech-like: bursts of filtered noise between near-silences
    Signal bursts = make(1, 16, 30000);
    std::mt19937 rng(3);
    std::normal_distribution<double> n(0, 1);
    double y = 0;
    for (int i = 0; i < bursts.blocks(); ++i) {
        const double gain = (i / 4000) % 2 ? 6000 : 3;
        y = 0.9 * y + n(rng) * gain;
        bursts.samples[size_t(i)] = int32_t(std::clamp(y, -32768.0, 32767.0));
    }
    signals.push_back(bursts);
    // filtered noise with a faint echo, which a predictor longer than 8
    // taps gains little on: HIGH drops the 32-tap way (the tones above
    // make it drop the 8-tap way)
    Signal echo = make(1, 16, 30000);
    std::vector<double> z(size_t(echo.blocks()) + 12, 0.0);  // z[i + 12]: sample i
    for (int i = 0; i < echo.blocks(); ++i) {
        z[size_t(i) + 12] = 0.8 * z[size_t(i) + 11] + 0.1 * z[size_t(i)] + n(rng) * 300;
        echo.samples[size_t(i)] = int32_t(std::clamp(z[size_t(i) + 12], -32768.0, 32767.0));
    }
    signals.push_back(echo);
    if (const char* dir = std::getenv("CORPUS_WAV_DIR")) {
        coretest::WaveSamples w;
        for (const char* name : {"cd_vinyl.wav", "mono_guit_11k8.wav"})
            if (coretest::read_wave(std::string(dir) + "/" + name, w, 40000))
                signals.push_back({w.channels, w.bits, w.samples});
    }
    for (const Signal& s : signals) {
        size_t previous = SIZE_MAX;
        for (int level : kLevels) {
            const size_t size = encode(s, level).size();
            EXPECT_LE(size, previous) << "level " << level << ", " << s.channels << " ch, " << s.bits << " bits";
            previous = size;
        }
    }
}

// Frames coded on several threads at once come out as on one thread.
TEST(FrameCodecRoundTrip, ThreadsGiveTheSameBytes)
{
    std::vector<Signal> signals = {tones(2, 16, 6000), tones(6, 24, 3000), noise(1, 16, 2000, 8),
                                   tones(1, 8, 5000)};
    std::vector<std::vector<uint8_t>> alone;
    for (const Signal& s : signals)
        for (int level : kLevels)
            alone.push_back(encode(s, level));
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&] {
            for (int round = 0; round < 2; ++round) {
                size_t k = 0;
                for (const Signal& s : signals)
                    for (int level : kLevels) {
                        std::vector<uint8_t> out = encode(s, level);
                        std::vector<int32_t> back(s.samples.size());
                        if (out != alone[k++] ||
                            !monkeys::decode_frame({s.channels, s.bits, level}, out.data(), out.size(),
                                                   s.blocks(), back.data()) ||
                            back != s.samples)
                            ++wrong;
                    }
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}

// Damaged payloads: each either decodes to some samples or is refused;
// the sanitizer builds catch any stray access.
TEST(FrameCodecDamage, FlippedAndCutPayloadsDoNotCrash)
{
    std::vector<Signal> signals = {tones(2, 16, 3000), tones(6, 24, 1000), noise(1, 8, 2000, 1),
                                   tones(2, 32, 1000)};
    std::mt19937 rng(42);
    for (const Signal& s : signals)
        for (int level : kLevels) {
            std::vector<uint8_t> good = encode(s, level);
            std::vector<int32_t> back(s.samples.size());
            FrameFormat f{s.channels, s.bits, level};
            for (int trial = 0; trial < 60; ++trial) {
                std::vector<uint8_t> bad = good;
                int flips = 1 + trial % 4;
                for (int k = 0; k < flips; ++k)
                    bad[rng() % bad.size()] ^= uint8_t(1u << (rng() % 8));
                if (trial % 3 == 0)
                    bad.resize(rng() % bad.size());
                // a heap copy of exactly the damaged size, so reads past it are seen
                std::unique_ptr<uint8_t[]> exact(new uint8_t[bad.size() + 1]);
                std::memcpy(exact.get(), bad.data(), bad.size());
                monkeys::decode_frame(f, exact.get(), bad.size(), s.blocks(), back.data());
            }
            // truncation by even one byte is refused for the verbatim form and
            // the Rice codes (the last byte holds bits of the last code) and
            // never passes silently for the coded forms' headers
            if (level < 4000) {
                EXPECT_FALSE(monkeys::decode_frame(f, good.data(), good.size() - 1, s.blocks(), back.data()));
            }
            EXPECT_FALSE(monkeys::decode_frame(f, good.data(), 0, s.blocks(), back.data()));
            EXPECT_FALSE(monkeys::decode_frame(f, good.data(), 1, s.blocks(), back.data()));
        }
}

TEST(FrameCodecDamage, UnknownMethodsAndFormatsRefused)
{
    Signal s = tones(2, 16, 1000);
    std::vector<uint8_t> good = encode(s, 2000);
    std::vector<int32_t> back(s.samples.size());
    std::vector<uint8_t> bad = good;
    bad[0] = 0xEE;
    EXPECT_FALSE(monkeys::decode_frame({2, 16, 2000}, bad.data(), bad.size(), s.blocks(), back.data()));
    EXPECT_FALSE(monkeys::decode_frame({0, 16, 2000}, good.data(), good.size(), s.blocks(), back.data()));
    EXPECT_FALSE(monkeys::decode_frame({33, 16, 2000}, good.data(), good.size(), s.blocks(), back.data()));
    EXPECT_FALSE(monkeys::decode_frame({2, 12, 2000}, good.data(), good.size(), s.blocks(), back.data()));
    EXPECT_FALSE(monkeys::decode_frame({2, 16, 2000}, good.data(), good.size(), -1, back.data()));
    // the verbatim form must have exactly the right size
    Signal n = noise(2, 16, 500, 2);
    std::vector<uint8_t> raw = encode(n, 1000);
    ASSERT_EQ(raw[0], 0);
    std::vector<int32_t> nb(n.samples.size());
    EXPECT_FALSE(monkeys::decode_frame({2, 16, 1000}, raw.data(), raw.size() - 1, n.blocks(), nb.data()));
    EXPECT_FALSE(monkeys::decode_frame({2, 16, 1000}, raw.data(), raw.size(), n.blocks() - 1, nb.data()));
}

// Offsets in a stereo predicted frame: the fixed predictor's parts count,
// and the first channel's parameters.
// in the newest coding: five bytes a stage
size_t parts_at(const std::vector<uint8_t>& frame) { return 3 + 5 * size_t(frame[2]) + 1; }
size_t channel_params_at(const std::vector<uint8_t>& frame) { return parts_at(frame) + 1; }

// Absurd coding parameters in an otherwise good frame are refused, not
// obeyed. Offsets follow the frame layout (stereo, HIGH: adaptive stages,
// a fixed predictor).
TEST(FrameCodecDamage, AbsurdParametersRefused)
{
    Signal s = tones(2, 16, 4000);
    const std::vector<uint8_t> good = encode(s, 3000);
    ASSERT_EQ(good[0], 1) << "expected a predicted frame";
    const size_t stages = good[2];
    ASSERT_GE(stages, 1u);
    ASSERT_EQ(good[parts_at(good)], 1) << "expected a fixed predictor of one part";
    const size_t ch0 = channel_params_at(good);
    ASSERT_GT(good[ch0 + 1 + stages], 0) << "expected a fixed predictor";
    std::vector<int32_t> back(3 * s.samples.size());
    ASSERT_TRUE(monkeys::decode_frame({2, 16, 3000}, good.data(), good.size(), s.blocks(), back.data()));
    struct Patch {
        size_t at;
        uint8_t value;
        const char* what;
    } patches[] = {
        {1, 7, "unknown entropy coder"},
        {2, 5, "too many stages"},
        {3, 0, "filter order zero"},
        {4, 0x10, "filter order above 4096"},
        {3, 40, "order not a multiple of 16"},
        {5, 30, "weight precision too fine"},
        {6, 11, "update resolution too fine"},
        {7, 2, "unknown stage kind"},
        {parts_at(good), 0, "no parts"},
        {parts_at(good), 17, "more parts than 16"},
        {ch0, 0x40, "wasted bits above 31"},
        {ch0 + 1, 30, "input shift beyond the weight precision"},
        {ch0 + 1 + stages, 33, "fixed predictor order above 32"},
        {ch0 + 2 + stages, 16, "fixed predictor precision above 15"},
    };
    for (const Patch& p : patches) {
        std::vector<uint8_t> bad = good;
        bad[p.at] = p.value;
        EXPECT_FALSE(monkeys::decode_frame({2, 16, 3000}, bad.data(), bad.size(), s.blocks(), back.data()))
            << p.what;
    }
    {
        std::vector<uint8_t> bad = good;
        bad[3] = 48;
        bad[4] = 0;
        bad[7] = 1;
        EXPECT_FALSE(monkeys::decode_frame({2, 16, 3000}, bad.data(), bad.size(), s.blocks(), back.data()))
            << "a stereo stage above 32 taps";
    }
    // a frame without stereo stages in the first coding: a byte once meant
    // for a pre-emphasis in place of the parts, which must be 0, and four
    // bytes a stage
    const std::vector<uint8_t> normal = encode(s, 2000);
    std::vector<uint8_t> first = normal;
    first.erase(first.begin() + long(parts_at(normal)));
    for (size_t k = normal[2]; k-- > 0;)
        first.erase(first.begin() + long(3 + 5 * k + 4));
    first.insert(first.begin() + 2, 0);
    EXPECT_TRUE(monkeys::decode_frame({2, 16, 3000, 0}, first.data(), first.size(), s.blocks(), back.data()));
    first[2] = 1;
    EXPECT_FALSE(monkeys::decode_frame({2, 16, 3000, 0}, first.data(), first.size(), s.blocks(), back.data()))
        << "pre-emphasis, which no coder writes";
    EXPECT_FALSE(monkeys::decode_frame({2, 16, 3000, 3}, good.data(), good.size(), s.blocks(), back.data()))
        << "an unknown coding";
    // the lengths of the tANS streams must lie within the frame
    const Signal longer = tones(2, 16, 12000);
    const std::vector<uint8_t> top = encode(longer, 4000);
    ASSERT_EQ(top[1], 3) << "expected tANS";
    const size_t n = top[2];
    size_t at = channel_params_at(top);
    for (int c = 0; c < 2; ++c) {
        size_t order = top[at + 1 + n];
        at += 1 + n + 1 + (order ? 1 + 2 * order : 0);
    }
    monkeys::core::TansModel model;
    const size_t lenAt = at + monkeys::core::tans_get_model(top.data() + at, top.size() - at, model);
    ASSERT_GT(lenAt, at);
    std::vector<uint8_t> bad = top;
    bad[lenAt + 3] = 0x7F;
    EXPECT_FALSE(monkeys::decode_frame({2, 16, 4000}, bad.data(), bad.size(), longer.blocks(), back.data()));
    bad = top;
    bad.resize(lenAt + 2);
    EXPECT_FALSE(monkeys::decode_frame({2, 16, 4000}, bad.data(), bad.size(), longer.blocks(), back.data()));
}

TEST(FrameCodecDamage, OutOfRangeSamplesRefused)
{
    // a 24-bit frame read as 16-bit decodes to values a 16-bit file cannot
    // hold: refused as samples and as WAVE data, a pair alone or several
    for (int channels : {2, 6}) {
        Signal s = tones(channels, 24, 2000, 0.9);
        std::vector<uint8_t> good = encode(s, 2000);
        std::vector<int32_t> back(s.samples.size());
        EXPECT_FALSE(monkeys::decode_frame({channels, 16, 2000}, good.data(), good.size(), s.blocks(), back.data()))
            << channels << " channels";
        std::vector<uint8_t> pcm(s.samples.size() * 2);
        EXPECT_FALSE(monkeys::decode_frame({channels, 16, 2000}, good.data(), good.size(), s.blocks(), pcm.data()))
            << channels << " channels, WAVE data";
    }
}

} // namespace
