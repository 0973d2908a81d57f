// Every WAVE file comes back byte for byte, at every level.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "CodecTestSupport.h"

using namespace codectest;

namespace {

const int kLevels[] = {1000, 2000, 3000, 4000};

// Compresses, verifies and decompresses wave at level; expects the same bytes.
void round_trip(const std::vector<uint8_t>& wave, int level, const std::string& what)
{
    SCOPED_TRACE(what + " at level " + std::to_string(level));
    TempDir dir;
    write_file(dir.path("in.wav"), wave);
    int progress = 0, kill = 0;
    ASSERT_EQ(lib().compress(dir.path("in.wav").c_str(), dir.path("x.ape").c_str(), level, &progress, nullptr, &kill), 0);
    EXPECT_EQ(lib().verify(dir.path("x.ape").c_str(), &progress, nullptr, &kill), 0);
    ASSERT_EQ(lib().decompress(dir.path("x.ape").c_str(), dir.path("out.wav").c_str(), &progress, nullptr, &kill), 0);
    EXPECT_TRUE(read_file(dir.path("out.wav")) == wave) << "decoded file differs";
}

void all_levels(const std::vector<uint8_t>& wave, const std::string& what)
{
    for (int level : kLevels)
        round_trip(wave, level, what);
}

} // namespace

TEST(RoundTrip, EdgeSignals)
{
    WaveSpec cd;
    all_levels(make_wave(cd, std::vector<int32_t>(2 * 100000, 0)), "silence");
    all_levels(make_wave(cd, square(100000, 2, 16)), "full-scale square");
    all_levels(make_wave(cd, noise(2 * 100000, 16)), "white noise");
    all_levels(make_wave(cd, {-32768, 32767}), "one block");
    all_levels(make_wave(cd, {}), "no audio");
    WaveSpec mono = cd;
    mono.channels = 1;
    all_levels(make_wave(mono, {12345}), "one sample");
    all_levels(make_wave(mono, tones(80000, 1, 16)), "mono");
}

TEST(RoundTrip, SampleFormats)
{
    for (int bits : {8, 16, 24, 32}) {
        WaveSpec s;
        s.bits = bits;
        std::string name = std::to_string(bits) + "-bit";
        all_levels(make_wave(s, tones(90000, 2, bits)), name + " tones");
        all_levels(make_wave(s, square(5000, 2, bits)), name + " square");
        all_levels(make_wave(s, noise(2 * 5000, bits, 7)), name + " noise");
    }
}

TEST(RoundTrip, ChannelCounts)
{
    for (int channels : {1, 3, 6, 8, 32}) {
        WaveSpec s;
        s.channels = channels;
        std::string name = std::to_string(channels) + " channels";
        round_trip(make_wave(s, tones(40000, channels, 16)), 2000, name);
        s.bits = 24;
        round_trip(make_wave(s, noise(size_t(channels) * 3000, 24)), 4000, name + ", 24-bit noise");
        // one block per channel count: the shortest file of that width
        round_trip(make_wave(s, noise(size_t(channels), 24, 3)), 1000, name + ", one block");
    }
}

TEST(RoundTrip, HeaderOddities)
{
    std::vector<int32_t> audio = tones(30000, 2, 16);
    WaveSpec s;
    s.before = {{"LIST", {'I', 'N', 'F', 'O', 'x'}}, {"junk", std::vector<uint8_t>(7, 0xAA)}};
    s.after = {{"id3 ", std::vector<uint8_t>(33, 0x55)}, {"odd ", {1}}};
    s.junk = {'t', 'a', 'i', 'l'};
    all_levels(make_wave(s, audio), "odd chunks before and after the data");

    WaveSpec ext;
    ext.extensible = true;
    ext.bits = 20;  // 20 valid bits in 24-bit containers
    std::vector<int32_t> a20 = tones(20000, 2, 24);
    for (auto& v : a20)
        v &= ~0xF;
    round_trip(make_wave(ext, a20), 3000, "WAVE_FORMAT_EXTENSIBLE, 20 of 24 bits");

    // A data chunk with an odd size: half a block and a pad byte follow the audio.
    std::vector<uint8_t> w = make_wave(WaveSpec{}, tones(1000, 2, 16));
    size_t dataSizeAt = w.size() - 4000 - 4;
    uint32_t odd = 4000 - 1;
    for (int i = 0; i < 4; ++i)
        w[dataSizeAt + size_t(i)] = uint8_t(odd >> (8 * i));
    all_levels(w, "data chunk of odd size");

    // A RIFF size that does not match (streaming writers leave it at 0).
    std::vector<uint8_t> z = make_wave(WaveSpec{}, tones(3000, 2, 16));
    z[4] = z[5] = z[6] = z[7] = 0;
    round_trip(z, 2000, "RIFF size 0");
}

// Real recorded audio: a few instrument samples of the sonic-pi collection
// (the source of the benchmark corpus), cut short.
TEST(RoundTrip, RecordedAudio)
{
    const std::string samples = "/usr/share/sonic-pi/samples";
    if (!std::filesystem::exists(samples) || std::system("command -v sox >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs sox and sonic-pi-samples";
    TempDir dir;
    struct Piece { const char* file; const char* options; };
    const Piece pieces[] = {
        {"guit_em9.flac", "-b 16 -c 2 -r 44100"},
        {"drum_heavy_kick.flac", "-b 24 -c 2 -r 96000"},
        {"loop_amen.flac", "-b 8 -c 1 -r 11025"},
        {"ambi_choir.flac", "-b 16 -c 1 -r 22050"},
    };
    int n = 0;
    for (const Piece& p : pieces) {
        std::string src = samples + "/" + p.file;
        if (!std::filesystem::exists(src))
            continue;
        std::string out = dir.path("piece" + std::to_string(n++) + ".wav");
        std::string cmd = "sox -D -q '" + src + "' " + p.options + " '" + out + "' trim 0 3";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        all_levels(read_file(out), p.file);
    }
    if (n == 0)
        GTEST_SKIP() << "none of the samples is installed";
}

TEST(RoundTrip, LevelsAreAllReadByOneDecoder)
{
    // Different levels give different files (the level is recorded), all
    // decoding to the same audio.
    TempDir dir;
    std::vector<uint8_t> wave = make_wave(WaveSpec{}, tones(50000, 2, 16));
    write_file(dir.path("in.wav"), wave);
    std::vector<uint8_t> first;
    for (int level : kLevels) {
        std::string ape = dir.path(std::to_string(level) + ".ape");
        ASSERT_EQ(lib().compress(dir.path("in.wav").c_str(), ape.c_str(), level, nullptr, nullptr, nullptr), 0);
        int error = 0;
        IAPEDecompress* d = lib().create(ape.c_str(), &error);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->GetInfo(1001), level);
        delete d;
        std::vector<uint8_t> pcm = decode_all(ape);
        if (first.empty())
            first = pcm;
        EXPECT_TRUE(pcm == first);
    }
    EXPECT_EQ(first.size(), 50000u * 4);
}
