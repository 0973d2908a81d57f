// Files written by earlier versions of the library decode to the very
// audio they were made from: the coder may change how it codes, never what
// a stored file means. The files in stored/ were made from short samples
// of scripts/make-sample-wave; "onestream" ones by the version that still
// coded all Rice channels into one bit stream; "codingN" ones have frames
// of that coding variant (none: variant 0), one file for each variant
// (the coding1 sample: 0.8 s at 22.05 kHz, a fixed predictor in two parts).
#include <gtest/gtest.h>

#include "CodecTestSupport.h"

using namespace codectest;

TEST(StoredFiles, EarlierVersionsDecodeExactly)
{
    struct Stored {
        const char* name;
        uint32_t waveCrc;  // of the whole source WAVE file
        size_t waveSize;
    } files[] = {
        {"v1-stereo16-1000.ape", 0x9a7caba9, 52964},
        {"v1-stereo16-2000.ape", 0x9a7caba9, 52964},
        {"v1-stereo16-3000.ape", 0x9a7caba9, 52964},
        {"v1-stereo16-4000.ape", 0x9a7caba9, 52964},
        {"v1-stereo8-1000.ape", 0x9cea59a5, 13274},
        {"v1-mono24-2000.ape", 0x1cb77514, 43244},
        {"v1-onestream-stereo16-2000.ape", 0x9a7caba9, 52964},
        {"v1-onestream-mono24-3000.ape", 0x1cb77514, 43244},
        {"v1-coding1-stereo16-2000.ape", 0x1189d746, 70604},
    };
    TempDir dir;
    for (const Stored& s : files) {
        SCOPED_TRACE(s.name);
        const std::string ape = std::string(STORED_FILES_DIR) + "/" + s.name;
        const std::string wav = dir.path(std::string(s.name) + ".wav");
        int progress = 0, kill = 0;
        EXPECT_EQ(lib().verify(ape.c_str(), &progress, nullptr, &kill), 0);
        ASSERT_EQ(lib().decompress(ape.c_str(), wav.c_str(), &progress, nullptr, &kill), 0);
        const std::vector<uint8_t> back = read_file(wav);
        ASSERT_EQ(back.size(), s.waveSize);
        EXPECT_EQ(reference_crc(back.data(), back.size()), s.waveCrc);
        // the decompressor object reads the same audio (after the 44-byte header)
        EXPECT_TRUE(decode_all(ape) == std::vector<uint8_t>(back.begin() + 44, back.end()));
    }
}
