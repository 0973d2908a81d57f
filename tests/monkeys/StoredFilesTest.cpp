// Stored files decode as they always did: the coder may change how it
// codes, never what a stored file means. The files are the format's test
// vectors (docs/format/vectors, listed in its manifest.txt with the result
// and the PCM each must give), files of earlier versions of the library
// among them.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "CodecTestSupport.h"

using namespace codectest;

namespace {

struct Vector {
    std::string name;
    int code;         // what a whole decode gives
    std::string md5;  // of the PCM, or "-"
};

std::vector<Vector> manifest()
{
    std::ifstream in(std::string(VECTORS_DIR) + "/manifest.txt");
    std::vector<Vector> out;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        Vector v;
        std::string codeName;
        fields >> v.name >> v.code >> codeName >> v.md5;
        out.push_back(v);
    }
    return out;
}

} // namespace

// Every good vector decodes to its PCM through DecompressFile, VerifyFile
// and the decompressor object; every bad one gives its code, and the
// decompressor object the same one when opening or reading, but for the
// checks it does not make (the audio's MD5 and the stored WAVE parts).
TEST(StoredFiles, VectorsDecodeAsTheManifestSays)
{
    const std::vector<Vector> vectors = manifest();
    ASSERT_GE(vectors.size(), 90u);
    TempDir dir;
    for (const Vector& v : vectors) {
        SCOPED_TRACE(v.name);
        const std::string ape = std::string(VECTORS_DIR) + "/" + v.name;
        const std::string wav = dir.path(v.name + ".wav");
        EXPECT_EQ(lib().verify(ape.c_str(), nullptr, nullptr, nullptr), v.code);
        EXPECT_EQ(lib().decompress(ape.c_str(), wav.c_str(), nullptr, nullptr, nullptr), v.code);
        std::vector<uint8_t> pcm;
        const int read = decode_all(ape, pcm, 1000);
        if (v.code != APE_OK) {
            EXPECT_FALSE(exists(wav));
            EXPECT_EQ(read, v.code == APE_ERROR_MD5 || v.code == APE_ERROR_WAVE_PARTS_CRC ? APE_OK : v.code);
            continue;
        }
        ASSERT_EQ(read, APE_OK);
        write_file(dir.path("pcm"), pcm);
        EXPECT_EQ(md5sum(dir.path("pcm")), v.md5);
        // DecompressFile writes the same audio between the stored WAVE parts
        const std::vector<uint8_t> file = read_file(ape), whole = read_file(wav);
        const size_t header = size_t(le(file, 52, 8)), trailer = size_t(le(file, 84, 8));
        ASSERT_EQ(whole.size(), header + pcm.size() + trailer);
        EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), whole.begin() + std::ptrdiff_t(header)));
    }
}

// Files of earlier versions give back the very WAVE file they were made
// from (short samples of scripts/make-sample-wave); "onestream" ones were
// made by the version that still coded all Rice channels into one stream,
// "codingN" ones have frames of that coding variant (none: variant 0),
// "tans" ones residuals in tANS (entropy coder 3), "v2" ones frames of
// variant 2 (the stereo stage).
TEST(StoredFiles, EarlierVersionsGiveBackTheirWaveFiles)
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
        {"v1-tans-stereo16-2000.ape", 0x575d12a4, 70604},
        {"v2-stereo16-3000.ape", 0x00f00bce, 24044},
    };
    TempDir dir;
    for (const Stored& s : files) {
        SCOPED_TRACE(s.name);
        const std::string ape = std::string(VECTORS_DIR) + "/" + s.name;
        const std::string wav = dir.path(std::string(s.name) + ".wav");
        ASSERT_EQ(lib().decompress(ape.c_str(), wav.c_str(), nullptr, nullptr, nullptr), 0);
        const std::vector<uint8_t> back = read_file(wav);
        ASSERT_EQ(back.size(), s.waveSize);
        EXPECT_EQ(reference_crc(back.data(), back.size()), s.waveCrc);
    }
}
