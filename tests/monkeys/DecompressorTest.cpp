// The decompressor object: information fields, seeking, threads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "CodecTestSupport.h"

using namespace codectest;

namespace {

struct Encoded {
    TempDir dir;
    std::string ape = dir.path("x.ape");
    std::vector<uint8_t> pcm;
};

// Encodes blocks of a two-tone signal; pcm is what the data chunk held.
void encode(Encoded& e, const WaveSpec& spec, size_t blocks, int level = 2000)
{
    std::vector<int32_t> s = tones(blocks, spec.channels, spec.bits);
    std::vector<uint8_t> wave = make_wave(spec, s);
    write_file(e.dir.path("in.wav"), wave);
    ASSERT_EQ(lib().compress(e.dir.path("in.wav").c_str(), e.ape.c_str(), level, nullptr, nullptr, nullptr), 0);
    size_t bytes = blocks * size_t(spec.channels) * size_t((spec.bits + 7) / 8);
    e.pcm.assign(wave.end() - std::ptrdiff_t(bytes), wave.end());
}

} // namespace

TEST(Decompressor, InformationFields)
{
    Encoded e;
    WaveSpec s;
    s.channels = 6;
    s.bits = 24;
    s.rate = 48000;
    encode(e, s, 96000 + 17);
    int error = -1;
    IAPEDecompress* d = lib().create(e.ape.c_str(), &error);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(d->GetInfo(APE_INFO_SAMPLE_RATE), 48000);
    EXPECT_EQ(d->GetInfo(APE_INFO_BITS_PER_SAMPLE), 24);
    EXPECT_EQ(d->GetInfo(APE_INFO_CHANNELS), 6);
    EXPECT_EQ(d->GetInfo(APE_INFO_BLOCK_ALIGN), 18);
    EXPECT_EQ(d->GetInfo(APE_INFO_LENGTH_MS), 2000);
    EXPECT_EQ(d->GetInfo(APE_DECOMPRESS_TOTAL_BLOCKS), 96017);
    EXPECT_EQ(d->GetInfo(APE_DECOMPRESS_CURRENT_MS), 0);
    EXPECT_EQ(d->GetInfo(424242), 0) << "unknown fields give 0";
    // The tag object keeps its full address width and belongs to the decompressor.
    intptr_t tag = d->GetInfo(APE_INFO_TAG);
    ASSERT_NE(tag, 0);
    EXPECT_EQ(d->GetInfo(APE_INFO_TAG), tag);
    char buffer[16] = "x";
    int size = sizeof buffer;
    reinterpret_cast<CAPETag*>(tag)->GetFieldString("Title", buffer, &size);
    EXPECT_STREQ(buffer, "");
    ASSERT_EQ(d->Seek(48000), 0);
    EXPECT_EQ(d->GetInfo(APE_DECOMPRESS_CURRENT_MS), 1000);
    EXPECT_EQ(d->GetInfo(2000), 48000);
    delete d;
}

TEST(Decompressor, SeekingMatchesStraightDecoding)
{
    Encoded e;
    encode(e, WaveSpec{}, 300000);
    ASSERT_TRUE(decode_all(e.ape, 777) == e.pcm);
    int error = 0;
    IAPEDecompress* d = lib().create(e.ape.c_str(), &error);
    ASSERT_NE(d, nullptr);
    const size_t align = 4;
    std::vector<char> buffer(1000 * align);
    srand(5);
    // frame edges, both ends and random places, forwards and backwards
    std::vector<int> targets = {0, 73727, 73728, 73729, 299999, 147456, 1, 299000};
    for (int i = 0; i < 40; ++i)
        targets.push_back(rand() % 300000);
    for (int block : targets) {
        SCOPED_TRACE(block);
        ASSERT_EQ(d->Seek(block), 0);
        int got = 0;
        ASSERT_EQ(d->GetData(buffer.data(), 1000, &got), 0);
        int want = std::min(1000, 300000 - block);
        ASSERT_EQ(got, want);
        EXPECT_EQ(std::memcmp(buffer.data(), e.pcm.data() + size_t(block) * align, size_t(got) * align), 0);
    }
    // The end is a valid place to be; past it is refused and the position kept.
    EXPECT_EQ(d->Seek(300000), 0);
    int got = -1;
    EXPECT_EQ(d->GetData(buffer.data(), 10, &got), 0);
    EXPECT_EQ(got, 0);
    ASSERT_EQ(d->Seek(1234), 0);
    EXPECT_EQ(d->Seek(300001), APE_ERROR_SEEK_RANGE);
    EXPECT_EQ(d->Seek(-1), APE_ERROR_SEEK_RANGE);
    EXPECT_EQ(d->GetInfo(2000), 1234);
    ASSERT_EQ(d->GetData(buffer.data(), 1, &got), 0);
    EXPECT_EQ(std::memcmp(buffer.data(), e.pcm.data() + 1234 * align, align), 0);
    delete d;
}

TEST(Decompressor, EightBitComesBackUnsigned)
{
    Encoded e;
    WaveSpec s;
    s.bits = 8;
    s.channels = 1;
    encode(e, s, 5000);
    EXPECT_TRUE(decode_all(e.ape) == e.pcm);
}

TEST(Decompressor, DistinctObjectsOnThreadsAtOnce)
{
    Encoded a, b;
    encode(a, WaveSpec{}, 200000, 4000);
    WaveSpec mono;
    mono.channels = 1;
    mono.bits = 24;
    encode(b, mono, 250000, 1000);
    bool ok[4] = {};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            Encoded& e = t % 2 ? b : a;
            ok[t] = decode_all(e.ape, 1000 + 333 * t) == e.pcm;
        });
    for (auto& th : threads)
        th.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_TRUE(ok[t]) << "thread " << t;
}

TEST(Decompressor, BadArguments)
{
    Encoded e;
    encode(e, WaveSpec{}, 100);
    int error = 0;
    IAPEDecompress* d = lib().create(e.ape.c_str(), &error);
    ASSERT_NE(d, nullptr);
    int got = 5;
    char buffer[16];
    EXPECT_NE(d->GetData(nullptr, 1, &got), 0);
    EXPECT_NE(d->GetData(buffer, -1, &got), 0);
    EXPECT_EQ(got, 0);
    delete d;
    error = 0;
    EXPECT_EQ(lib().create(nullptr, &error), nullptr);
    EXPECT_NE(error, 0);
    EXPECT_EQ(lib().create(e.dir.path("none.ape").c_str(), &error), nullptr);
    EXPECT_EQ(error, APE_ERROR_SOURCE_NOT_FOUND);
    EXPECT_EQ(lib().create(e.dir.path("").c_str(), &error), nullptr);
    EXPECT_EQ(error, APE_ERROR_SOURCE_NOT_REGULAR);
}

TEST(Library, EntriesAndTexts)
{
    ASSERT_TRUE(lib().complete) << "an entry is missing";
    std::string v = lib().version();
    ASSERT_GT(v.size(), 4u);
    EXPECT_EQ(v.substr(0, 4), "Ver ");
    EXPECT_GE(std::strtod(v.c_str() + 4, nullptr), 1.4);
    EXPECT_STRNE(lib().name(), "");
    EXPECT_STRNE(lib().copyright(), "");
    EXPECT_STRNE(lib().components(), "");
}
