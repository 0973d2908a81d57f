// The file calls code frames on several threads (MONKEYS_AUDIO_THREADS):
// the bytes, the results and the errors must not depend on how many.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "CodecTestSupport.h"

using namespace codectest;

namespace {

class ThreadCount {
public:
    explicit ThreadCount(const char* value) { setenv("MONKEYS_AUDIO_THREADS", value, 1); }
    ~ThreadCount() { unsetenv("MONKEYS_AUDIO_THREADS"); }
};

struct Case {
    TempDir dir;
    std::string wav = dir.path("in.wav");
    std::vector<uint8_t> wave;
    Case()
    {
        // eleven frames, the last one short (six in the slower sanitizer
        // pass, still more than the threads that share them); a noisy
        // channel and a tonal one
        std::vector<int32_t> samples = tones(suite_test::sanitizer_run() ? 400001 : 800001, 2, 16);
        std::vector<int32_t> hiss = noise(samples.size() / 2, 12, 7);
        for (size_t i = 0; i < hiss.size(); ++i)
            samples[2 * i + 1] = samples[2 * i + 1] / 2 + hiss[i];
        wave = make_wave(WaveSpec{}, samples);
        write_file(wav, wave);
    }
    std::vector<uint8_t> encode(const char* threads, int level, const std::string& name)
    {
        ThreadCount count(threads);
        EXPECT_EQ(lib().compress(wav.c_str(), dir.path(name).c_str(), level, nullptr, nullptr, nullptr), 0);
        return read_file(dir.path(name));
    }
};

} // namespace

TEST(Threads, SameBytesWhateverTheThreadCount)
{
    Case c;
    for (int level : {1000, 2000, 3000, 4000}) {
        std::string tag = std::to_string(level);
        std::vector<uint8_t> one = c.encode("1", level, tag + "-1.ape");
        ASSERT_FALSE(one.empty());
        // Settings that are no count (the default then) need one level only.
        std::vector<const char*> counts = {"2", "3", "16"};
        if (level == 2000)
            counts.insert(counts.end(), {"0", "many", ""});
        for (const char* threads : counts)
            EXPECT_EQ(c.encode(threads, level, tag + "-" + threads + "x.ape"), one)
                << "level " << level << ", MONKEYS_AUDIO_THREADS=" << threads;
        for (const char* threads : {"1", "2", "5"}) {
            ThreadCount count(threads);
            std::string out = c.dir.path(tag + "-" + threads + ".wav");
            ASSERT_EQ(lib().decompress(c.dir.path(tag + "-1.ape").c_str(), out.c_str(), nullptr, nullptr, nullptr), 0);
            EXPECT_EQ(read_file(out), c.wave) << "level " << level << ", " << threads << " threads";
        }
    }
}

TEST(Threads, ADamagedFrameFailsTheSameWayOnAnyThread)
{
    Case c;
    std::vector<uint8_t> ape = c.encode("1", 2000, "good.ape");
    // Damage late frames, so that workers are busy past the bad one.
    for (size_t at : {ape.size() / 2, ape.size() - 3000}) {
        std::vector<uint8_t> bad = ape;
        bad[at] ^= 0x10;
        std::string path = c.dir.path("bad" + std::to_string(at) + ".ape");
        write_file(path, bad);
        int one, several;
        {
            ThreadCount count("1");
            one = lib().verify(path.c_str(), nullptr, nullptr, nullptr);
        }
        {
            ThreadCount count("4");
            several = lib().verify(path.c_str(), nullptr, nullptr, nullptr);
            std::string out = c.dir.path("bad.wav");
            EXPECT_EQ(lib().decompress(path.c_str(), out.c_str(), nullptr, nullptr, nullptr), one);
            EXPECT_FALSE(exists(out));
        }
        EXPECT_NE(one, 0);
        EXPECT_EQ(several, one);
    }
}

namespace {
int* gKill = nullptr;
void kill_at_first_report(int value)
{
    if (value > 0)
        *gKill = 1;
}
} // namespace

TEST(Threads, KillStopsEveryWorker)
{
    Case c;
    c.encode("1", 3000, "x.ape");
    ThreadCount count("4");
    int kill = 0;
    gKill = &kill;
    EXPECT_EQ(lib().compress(c.wav.c_str(), c.dir.path("k.ape").c_str(), 3000, nullptr, kill_at_first_report, &kill),
              APE_ERROR_KILLED);
    EXPECT_FALSE(exists(c.dir.path("k.ape")));
    kill = 0;
    EXPECT_EQ(lib().decompress(c.dir.path("x.ape").c_str(), c.dir.path("k.wav").c_str(), nullptr, kill_at_first_report,
                               &kill),
              APE_ERROR_KILLED);
    EXPECT_FALSE(exists(c.dir.path("k.wav")));
}
