// The checks stored in a file are the standard ones, so that other tools
// can check our files: MD5 as md5sum computes it, CRC-32 as zlib does
// (the PCM's among them, joined from its frames').
#include <gtest/gtest.h>

#include "CodecTestSupport.h"

using namespace codectest;

TEST(Format, StoredChecksAreStandard)
{
    // 8-bit mono: audio of every length around MD5's 64-byte blocks
    for (size_t blocks : {0, 1, 55, 56, 63, 64, 65, 119, 120, 1000, 100000}) {
        SCOPED_TRACE(blocks);
        TempDir dir;
        WaveSpec s;
        s.channels = 1;
        s.bits = 8;
        std::vector<int32_t> audio = noise(blocks, 8, uint32_t(blocks));
        std::vector<uint8_t> wave = make_wave(s, audio);
        write_file(dir.path("in.wav"), wave);
        ASSERT_EQ(lib().compress(dir.path("in.wav").c_str(), dir.path("x.ape").c_str(), 2000, nullptr, nullptr, nullptr), 0);
        std::vector<uint8_t> ape = read_file(dir.path("x.ape"));
        ASSERT_GE(ape.size(), 140u);
        ASSERT_EQ(le(ape, 10, 2), 140u) << "header size";

        const std::vector<uint8_t> pcm(wave.begin() + 44, wave.begin() + 44 + std::ptrdiff_t(blocks));
        write_file(dir.path("pcm"), pcm);
        char hex[33];
        for (int i = 0; i < 16; ++i)
            std::snprintf(hex + 2 * i, 3, "%02x", ape[100 + size_t(i)]);
        EXPECT_EQ(std::string(hex), md5sum(dir.path("pcm")));

        EXPECT_EQ(le(ape, 128, 4), 1u) << "fields: the PCM's CRC-32";
        EXPECT_EQ(le(ape, 132, 4), reference_crc(pcm.data(), pcm.size())) << "PCM CRC";
        EXPECT_EQ(le(ape, 136, 4), reference_crc(ape.data(), 136)) << "header CRC";
        EXPECT_EQ(le(ape, 116, 4), reference_crc(wave.data(), 44)) << "WAVE header CRC";
        uint64_t frames = le(ape, 36, 8), table = le(ape, 60, 8);
        EXPECT_EQ(le(ape, 124, 4), reference_crc(ape.data() + table, size_t(frames) * 8)) << "seek table CRC";
        for (uint64_t f = 0; f < frames; ++f) {
            size_t at = size_t(le(ape, size_t(table + 8 * f), 8));
            size_t payload = size_t(le(ape, at + 16, 4));
            ASSERT_LE(at + 24 + payload, ape.size());
            std::vector<uint8_t> covered(ape.begin() + std::ptrdiff_t(at), ape.begin() + std::ptrdiff_t(at + 20));
            covered.insert(covered.end(), ape.begin() + std::ptrdiff_t(at + 24),
                           ape.begin() + std::ptrdiff_t(at + 24 + payload));
            EXPECT_EQ(le(ape, at + 20, 4), reference_crc(covered.data(), covered.size())) << "frame " << f;
        }
    }
}
