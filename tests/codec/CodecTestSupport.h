// What the codec library's tests share: the library loaded the way the
// programs load it, temporary folders, and synthetic WAVE files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "MonkeysAudioLib.h"

namespace codectest {

// The eleven entries of the built library, resolved by name.
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
    bool complete = false;
};
const Library& lib();

// A folder that is removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

private:
    std::string dir_;
};

std::vector<uint8_t> read_file(const std::string& path);
void write_file(const std::string& path, const std::vector<uint8_t>& bytes);
bool exists(const std::string& path);

// A WAVE file put together chunk by chunk.
struct WaveSpec {
    int channels = 2;
    int bits = 16;
    uint32_t rate = 44100;
    bool extensible = false;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> before;  // chunks before fmt
    std::vector<std::pair<std::string, std::vector<uint8_t>>> after;   // chunks after data
    std::vector<uint8_t> junk;  // bytes after the RIFF chunk
};
// samples: interleaved, in the signed range of spec.bits (8-bit is made
// unsigned on the way out).
std::vector<uint8_t> make_wave(const WaveSpec& spec, const std::vector<int32_t>& samples);

// Signals of blocks * channels samples of the given bit depth.
std::vector<int32_t> noise(size_t count, int bits, uint32_t seed = 1);
std::vector<int32_t> square(size_t blocks, int channels, int bits, int period = 100);
std::vector<int32_t> tones(size_t blocks, int channels, int bits);

// The little-endian number of bytes bytes at b[at].
uint64_t le(const std::vector<uint8_t>& b, size_t at, int bytes);

// CRC-32 of zlib, bit by bit.
uint32_t reference_crc(const uint8_t* data, size_t size);

// Decodes the whole file with a decompressor, as PCM bytes.
std::vector<uint8_t> decode_all(const std::string& apePath, int blocksPerCall = 4096);

} // namespace codectest
