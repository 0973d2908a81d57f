// The tag object inside libMonkeysAudio.so, on real APE files: tagging
// never disturbs the audio, and the tag is the decompressor's.
#include <chrono>
#include <cmath>
#include <cstring>
#include <random>
#include <thread>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TagTestSupport.h"

using namespace tagtest;

namespace {

constexpr int kAudioEndField = 1014;   // the library's own information field

// A 16-bit stereo PCM WAVE file with an odd chunk after the data.
Bytes make_wave(int blocks)
{
    auto put32 = [](Bytes& b, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(uint8_t(v >> (8 * i)));
    };
    auto put16 = [](Bytes& b, uint16_t v) {
        b.push_back(uint8_t(v));
        b.push_back(uint8_t(v >> 8));
    };
    Bytes data;
    for (int i = 0; i < blocks; ++i) {
        put16(data, uint16_t(int16_t(8000 * std::sin(i * 0.031))));
        put16(data, uint16_t(int16_t(6000 * std::sin(i * 0.017 + 1))));
    }
    Bytes wave = {'R', 'I', 'F', 'F'};
    put32(wave, uint32_t(4 + 8 + 16 + 8 + data.size() + 8 + 3 + 1));
    wave.insert(wave.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(wave, 16);
    put16(wave, 1);
    put16(wave, 2);
    put32(wave, 44100);
    put32(wave, 44100 * 4);
    put16(wave, 4);
    put16(wave, 16);
    wave.insert(wave.end(), {'d', 'a', 't', 'a'});
    put32(wave, uint32_t(data.size()));
    wave.insert(wave.end(), data.begin(), data.end());
    wave.insert(wave.end(), {'n', 'o', 't', 'e'});
    put32(wave, 3);
    wave.insert(wave.end(), {'a', 'b', 'c', 0});
    return wave;
}

struct DecompressorDeleter {
    void operator()(IAPEDecompress* d) const { delete d; }
};
using DecompressorPtr = std::unique_ptr<IAPEDecompress, DecompressorDeleter>;

class TagLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        wave = make_wave(30000);
        wavePath = dir.file("in.wav");
        apePath = dir.file("song.ape");
        write_file(wavePath, wave);
        int progress = 0, kill = 0;
        ASSERT_EQ(CompressFile(wavePath.c_str(), apePath.c_str(), 2000, &progress, nullptr, &kill),
                  APE_OK);
        untagged = read_file(apePath);
    }
    DecompressorPtr open()
    {
        int error = 0;
        DecompressorPtr d(CreateIAPEDecompress(apePath.c_str(), &error));
        EXPECT_NE(d, nullptr) << "error " << error;
        return d;
    }
    CAPETag& tag_of(IAPEDecompress& d) { return *reinterpret_cast<CAPETag*>(d.GetInfo(APE_INFO_TAG)); }
    // The file verifies and decodes to the original WAVE file.
    void ExpectSoundAudio()
    {
        int progress = 0, kill = 0;
        EXPECT_EQ(VerifyFile(apePath.c_str(), &progress, nullptr, &kill), APE_OK);
        std::string out = dir.file("out.wav");
        std::remove(out.c_str());
        EXPECT_EQ(DecompressFile(apePath.c_str(), out.c_str(), &progress, nullptr, &kill), APE_OK);
        EXPECT_EQ(read_file(out), wave);
    }
    TempDir dir;
    std::string wavePath, apePath;
    Bytes wave, untagged;
};

TEST_F(TagLibrary, TagWrittenThroughTheDecompressorLeavesTheAudioSound)
{
    {
        DecompressorPtr d = open();
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(int64_t(d->GetInfo(kAudioEndField)), int64_t(untagged.size()));
        CAPETag& tag = tag_of(*d);
        EXPECT_EQ(field(tag, "Title"), "");
        ASSERT_EQ(tag.SetFieldString("Title", "日本語の曲", -1, 0), APE_OK);
        ASSERT_EQ(tag.SetFieldString("Artist", "Artist", -1, 0), APE_OK);
        ASSERT_EQ(tag.Save(0), APE_OK);
    }
    ExpectSoundAudio();
    Bytes tagged = read_file(apePath);
    EXPECT_TRUE(std::equal(untagged.begin(), untagged.end(), tagged.begin()));
    {
        DecompressorPtr d = open();
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(field(tag_of(*d), "title"), "日本語の曲");
        tag_of(*d).Remove(1);
        ASSERT_EQ(tag_of(*d).Save(0), APE_OK);
    }
    EXPECT_EQ(read_file(apePath), untagged) << "removal gives back the untagged file";
}

TEST_F(TagLibrary, OuterTaggersReadAndWriteTheApeFile)
{
    int status = 0;
    python("import mutagen.apev2\n", {}, &status);
    if (status != 0)
        GTEST_SKIP() << "python3-mutagen is missing";
    {
        DecompressorPtr d = open();
        ASSERT_NE(d, nullptr);
        ASSERT_EQ(tag_of(*d).SetFieldString("Album", "Ours", -1, 0), APE_OK);
        ASSERT_EQ(tag_of(*d).Save(0), APE_OK);
    }
    std::string out = python("import sys, mutagen.apev2\n"
                             "t = mutagen.apev2.APEv2(sys.argv[1])\n"
                             "print(t['Album'])\n"
                             "t['Title'] = 'Theirs'\n"
                             "t.save(sys.argv[1])\n",
                             {apePath}, &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(out, "Ours\n");
    DecompressorPtr d = open();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(field(tag_of(*d), "Title"), "Theirs");
    EXPECT_EQ(field(tag_of(*d), "Album"), "Ours");
    d.reset();
    ExpectSoundAudio();
}

TEST_F(TagLibrary, TagOpenedByNameKnowsWhereTheAudioEnds)
{
    // A forged tag whose footer claims to begin inside the audio: opened by
    // name it is not taken for the tag, so a save cannot reach the audio.
    Bytes forged = untagged;
    Bytes footer(32);
    std::memcpy(footer.data(), "APETAGEX", 8);
    const uint32_t size = uint32_t(untagged.size() / 2);
    footer[8] = 0xD0;
    footer[9] = 0x07;
    for (int i = 0; i < 4; ++i)
        footer[size_t(12 + i)] = uint8_t(size >> (8 * i));
    forged.insert(forged.end(), footer.begin(), footer.end());
    write_file(apePath, forged);
    int error = -1;
    CAPETag* tag = create_capetag_2(apePath.c_str(), &error);
    ASSERT_NE(tag, nullptr);
    ASSERT_EQ(tag->SetFieldString("Title", "By name", -1, 0), APE_OK);
    EXPECT_EQ(tag->Save(0), APE_OK);
    destroy_capetag(tag);
    Bytes now = read_file(apePath);
    EXPECT_TRUE(std::equal(untagged.begin(), untagged.end(), now.begin()));
    ExpectSoundAudio();
}

TEST_F(TagLibrary, SaveKilledAtAnyMomentLeavesTheAudioSound)
{
    std::mt19937 random(7);
    for (int round = 0; round < 8; ++round) {
        kill_while_saving(
            [&](int i) {
                int error = 0;
                DecompressorPtr d(CreateIAPEDecompress(apePath.c_str(), &error));
                if (!d)
                    _exit(1);
                CAPETag& tag = tag_of(*d);
                tag.SetFieldString("Comment", std::string(size_t(100 + (i % 7) * 900), 'c').c_str(),
                                   -1, 0);
                tag.Save(0);
            },
            std::chrono::microseconds(1000 + random() % 20000));
        int progress = 0, stop = 0;
        ASSERT_EQ(VerifyFile(apePath.c_str(), &progress, nullptr, &stop), APE_OK) << "round " << round;
    }
    ExpectSoundAudio();
}

} // namespace
