// CompressFile, DecompressFile and VerifyFile as callers see them:
// destinations, progress, the kill flag.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "CodecTestSupport.h"

using namespace codectest;

namespace {

std::vector<int> gCalls;
void record(int value) { gCalls.push_back(value); }

int* gKillFlag = nullptr;
int gKillAfter = 0;
void kill_midway(int value)
{
    if (value > 0 && --gKillAfter == 0)
        *gKillFlag = 1;
}

size_t entries(const std::string& dir)
{
    size_t n = 0;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            n += e->d_name[0] != '.' || (e->d_name[1] && (e->d_name[1] != '.' || e->d_name[2]));
        closedir(d);
    }
    return n;
}

struct Files {
    TempDir dir;
    std::string wav = dir.path("in.wav");
    std::string ape = dir.path("x.ape");
    std::vector<uint8_t> wave;
    explicit Files(size_t blocks = 400000)
    {
        wave = make_wave(WaveSpec{}, tones(blocks, 2, 16));
        write_file(wav, wave);
    }
    int compress(const std::string& to, int level = 2000)
    {
        return lib().compress(wav.c_str(), to.c_str(), level, nullptr, nullptr, nullptr);
    }
};

void expect_progress(const std::vector<int>& calls, int word, size_t minimum)
{
    ASSERT_GE(calls.size(), minimum);
    for (size_t i = 1; i < calls.size(); ++i)
        EXPECT_LT(calls[i - 1], calls[i]) << "progress must grow";
    EXPECT_EQ(calls.back(), 100000);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), 100000), 1);
    EXPECT_GE(calls.front(), 0);
    EXPECT_EQ(word, 100000);
}

} // namespace

TEST(FileCalls, ProgressOfEachCall)
{
    Files f;  // six frames
    int word = 0, kill = 0;
    gCalls.clear();
    ASSERT_EQ(lib().compress(f.wav.c_str(), f.ape.c_str(), 3000, &word, record, &kill), 0);
    expect_progress(gCalls, word, 6);
    EXPECT_LE(gCalls.size(), 20u) << "about once a frame";
    gCalls.clear();
    word = 0;
    ASSERT_EQ(lib().verify(f.ape.c_str(), &word, record, &kill), 0);
    expect_progress(gCalls, word, 6);
    gCalls.clear();
    word = 0;
    ASSERT_EQ(lib().decompress(f.ape.c_str(), f.dir.path("o.wav").c_str(), &word, record, &kill), 0);
    expect_progress(gCalls, word, 6);
    // null progress word, callback and kill flag are fine
    EXPECT_EQ(lib().verify(f.ape.c_str(), nullptr, nullptr, nullptr), 0);

    // A call that fails part-way, at a damaged last frame, has reported
    // progress but never completion.
    std::vector<uint8_t> damaged = read_file(f.ape);
    damaged[damaged.size() - 40] ^= 0x20;
    const std::string bad = f.dir.path("bad.ape");
    write_file(bad, damaged);
    gCalls.clear();
    word = 0;
    EXPECT_NE(lib().decompress(bad.c_str(), f.dir.path("bad.wav").c_str(), &word, record, &kill), 0);
    EXPECT_FALSE(gCalls.empty()) << "the frames before the damaged one were decoded";
    EXPECT_EQ(std::count(gCalls.begin(), gCalls.end(), 100000), 0);
    EXPECT_LT(word, 100000);
}

TEST(FileCalls, KillStopsWithNothingWritten)
{
    Files f;
    ASSERT_EQ(f.compress(f.ape), 0);
    int word = 0, kill = 0;
    gKillFlag = &kill;

    gKillAfter = 2;
    EXPECT_EQ(lib().compress(f.wav.c_str(), f.dir.path("k.ape").c_str(), 2000, &word, kill_midway, &kill), APE_ERROR_KILLED);
    kill = 0;
    gKillAfter = 2;
    EXPECT_EQ(lib().decompress(f.ape.c_str(), f.dir.path("k.wav").c_str(), &word, kill_midway, &kill), APE_ERROR_KILLED);
    kill = 0;
    gKillAfter = 2;
    EXPECT_EQ(lib().verify(f.ape.c_str(), &word, kill_midway, &kill), APE_ERROR_KILLED);
    kill = 1;
    EXPECT_EQ(lib().verify(f.ape.c_str(), &word, nullptr, &kill), APE_ERROR_KILLED);
    EXPECT_EQ(entries(f.dir.path("")), 2u) << "only in.wav and x.ape remain";

    // killed once the output has grown past a sync (an output file syncs
    // as it grows, every 4 MiB): nothing is left either
    Files big(1200000);  // 17 frames, 4.8 MB of WAVE data
    ASSERT_EQ(big.compress(big.ape, 1000), 0);
    kill = 0;
    gKillAfter = 16;
    EXPECT_EQ(lib().decompress(big.ape.c_str(), big.dir.path("k.wav").c_str(), &word, kill_midway, &kill),
              APE_ERROR_KILLED);
    EXPECT_EQ(entries(big.dir.path("")), 2u);
}

TEST(FileCalls, DestinationsAreNeverReplaced)
{
    Files f(20000);
    ASSERT_EQ(f.compress(f.ape), 0);
    std::vector<uint8_t> ape = read_file(f.ape);

    // an existing file, also an empty one or a dangling link, is kept
    std::string other = f.dir.path("other.wav");
    write_file(other, {'k', 'e', 'e', 'p'});
    EXPECT_EQ(lib().decompress(f.ape.c_str(), other.c_str(), nullptr, nullptr, nullptr), APE_ERROR_DESTINATION_EXISTS);
    EXPECT_TRUE(read_file(other) == std::vector<uint8_t>({'k', 'e', 'e', 'p'}));
    EXPECT_EQ(f.compress(f.ape), APE_ERROR_DESTINATION_EXISTS);
    EXPECT_TRUE(read_file(f.ape) == ape);
    ASSERT_EQ(symlink("nowhere", f.dir.path("dangling").c_str()), 0);
    EXPECT_EQ(f.compress(f.dir.path("dangling")), APE_ERROR_DESTINATION_EXISTS);
    ASSERT_EQ(mkdir(f.dir.path("folder").c_str(), 0755), 0);
    EXPECT_EQ(f.compress(f.dir.path("folder")), APE_ERROR_DESTINATION_EXISTS);

    // the source itself, by its name, a hard link, a symbolic link, a relative path
    EXPECT_EQ(f.compress(f.wav), APE_ERROR_SAME_FILE);
    ASSERT_EQ(link(f.wav.c_str(), f.dir.path("hard.wav").c_str()), 0);
    EXPECT_EQ(f.compress(f.dir.path("hard.wav")), APE_ERROR_SAME_FILE);
    ASSERT_EQ(symlink(f.wav.c_str(), f.dir.path("soft.wav").c_str()), 0);
    EXPECT_EQ(f.compress(f.dir.path("soft.wav")), APE_ERROR_SAME_FILE);
    EXPECT_EQ(lib().decompress(f.ape.c_str(), (f.dir.path("folder") + "/../x.ape").c_str(), nullptr, nullptr, nullptr),
              APE_ERROR_SAME_FILE);
    EXPECT_TRUE(read_file(f.wav) == f.wave);
    EXPECT_TRUE(read_file(f.ape) == ape);

    // a folder that is not there
    EXPECT_EQ(f.compress(f.dir.path("missing/x.ape")), APE_ERROR_DESTINATION_UNWRITABLE);
}

TEST(FileCalls, SourcesThatCannotBeUsed)
{
    Files f(100);
    EXPECT_EQ(lib().compress(f.dir.path("none.wav").c_str(), f.ape.c_str(), 2000, nullptr, nullptr, nullptr),
              APE_ERROR_SOURCE_NOT_FOUND);
    EXPECT_EQ(lib().compress(f.dir.path("").c_str(), f.ape.c_str(), 2000, nullptr, nullptr, nullptr),
              APE_ERROR_SOURCE_NOT_REGULAR);
    ASSERT_EQ(mkfifo(f.dir.path("fifo").c_str(), 0600), 0);
    EXPECT_EQ(lib().compress(f.dir.path("fifo").c_str(), f.ape.c_str(), 2000, nullptr, nullptr, nullptr),
              APE_ERROR_SOURCE_NOT_REGULAR);
    EXPECT_EQ(lib().verify(f.dir.path("fifo").c_str(), nullptr, nullptr, nullptr), APE_ERROR_SOURCE_NOT_REGULAR);
    EXPECT_EQ(lib().compress(nullptr, f.ape.c_str(), 2000, nullptr, nullptr, nullptr), APE_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(lib().decompress(f.ape.c_str(), nullptr, nullptr, nullptr, nullptr), APE_ERROR_BAD_ARGUMENT);
    for (int level : {0, 999, 1500, 5000, -1000})
        EXPECT_EQ(f.compress(f.ape, level), APE_ERROR_BAD_LEVEL) << level;
    EXPECT_FALSE(exists(f.ape));
}

TEST(FileCalls, ConcurrentCallsOnDistinctFiles)
{
    Files a(150000), b(90000);
    std::atomic<int> failures{0};
    std::thread t1([&] { failures += a.compress(a.ape, 4000) != 0; });
    std::thread t2([&] { failures += b.compress(b.ape, 1000) != 0; });
    t1.join();
    t2.join();
    ASSERT_EQ(failures, 0);
    std::thread t3([&] { failures += lib().decompress(a.ape.c_str(), a.dir.path("o.wav").c_str(), nullptr, nullptr, nullptr) != 0; });
    std::thread t4([&] { failures += lib().decompress(b.ape.c_str(), b.dir.path("o.wav").c_str(), nullptr, nullptr, nullptr) != 0; });
    t3.join();
    t4.join();
    ASSERT_EQ(failures, 0);
    EXPECT_TRUE(read_file(a.dir.path("o.wav")) == a.wave);
    EXPECT_TRUE(read_file(b.dir.path("o.wav")) == b.wave);
}
