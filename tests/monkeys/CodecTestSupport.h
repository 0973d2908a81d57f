// What the codec library's tests share: the library loaded the way the
// programs load it, and synthetic signals; folders, files, WAVE files and
// CRC-32 are the suite's (tests/support).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "MonkeysAudioLib.h"

#include <TestSupport.h>

namespace codectest {

// The eleven entries of the built library and its stream entries,
// resolved by name.
struct Library {
    CompressFileFn* compress = nullptr;
    DecompressFileFn* decompress = nullptr;
    VerifyFileFn* verify = nullptr;
    CreateIAPEDecompressFn* create = nullptr;
    CreateCAPETag1Fn* createTag1 = nullptr;
    CreateCAPETag2Fn* createTag2 = nullptr;
    DestroyCAPETagFn* destroyTag = nullptr;
    LibTextFn* name = nullptr;
    LibTextFn* version = nullptr;
    LibTextFn* copyright = nullptr;
    LibTextFn* components = nullptr;
    CompressStreamFn* compressStream = nullptr;
    DecompressStreamFn* decompressStream = nullptr;
    VerifyStreamFn* verifyStream = nullptr;
    CreateIAPEDecompressStreamFn* createStream = nullptr;
    bool complete = false;
};
const Library& lib();

// A folder that is removed with everything in it.
class TempDir : public suite_test::TempDir {
public:
    TempDir() : suite_test::TempDir("codec-test") {}
    std::string path(const std::string& name) const { return *this / name; }
};

inline std::vector<uint8_t> read_file(const std::string& path) { return suite_test::read_bytes(path); }
inline void write_file(const std::string& path, const std::vector<uint8_t>& bytes)
{
    suite_test::write_bytes(path, bytes);
}
inline bool exists(const std::string& path) { return suite_test::file_exists(path); }

using suite_test::make_wave;
using suite_test::WaveSpec;

// Signals of blocks * channels samples of the given bit depth.
std::vector<int32_t> noise(size_t count, int bits, uint32_t seed = 1);
std::vector<int32_t> square(size_t blocks, int channels, int bits, int period = 100);
std::vector<int32_t> tones(size_t blocks, int channels, int bits);

// The little-endian number of bytes bytes at b[at].
uint64_t le(const std::vector<uint8_t>& b, size_t at, int bytes);

inline uint32_t reference_crc(const uint8_t* data, size_t size) { return suite_test::crc32(data, size); }

// Decodes the whole file with a decompressor, as PCM bytes.
std::vector<uint8_t> decode_all(const std::string& apePath, int blocksPerCall = 4096);
// The same, returning the first failure (opening or reading), 0 if none.
int decode_all(const std::string& apePath, std::vector<uint8_t>& pcm, int blocksPerCall = 4096);

// The MD5 of a file as md5sum prints it (32 hex digits).
std::string md5sum(const std::string& path);

} // namespace codectest
