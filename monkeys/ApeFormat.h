// The layout of an APE file of this codec (docs/format/container.md):
//
//   file header | stored WAVE header | seek table | frames | stored WAVE trailer | (tag)
//
// All numbers are little-endian. The file header says where each part
// lies; everything after the trailer (the audio end) belongs to the tag.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "Bytes.h"

namespace monkeys {

constexpr uint8_t kFileMagic[8] = {'V', 'A', 'P', 'E', '\r', '\n', 0x1A, '\n'};
constexpr uint16_t kFormatVersion = 1;
constexpr uint32_t kMinHeaderSize = 132;    // the fields every version-1 header has
constexpr uint32_t kHeaderSize = 140;       // as written: with the PCM's CRC-32
constexpr uint32_t kMaxHeaderSize = 4096;
constexpr uint32_t kFrameHeaderSize = 24;
constexpr uint32_t kFrameSync = 0x4D524656; // "VFRM"
constexpr uint32_t kSeekEntrySize = 8;
constexpr uint16_t kFlagUnsigned = 1;        // samples are unsigned in the WAVE (8-bit)
// A frame holds at most this many samples (blocks * channels): it bounds
// the memory a reader needs, whatever the header says.
constexpr uint64_t kMaxFrameSamples = 1u << 20;

struct FileHeader {
    uint16_t version = kFormatVersion;
    uint16_t headerSize = kHeaderSize;
    uint16_t level = 0;
    uint16_t channels = 0;
    uint16_t bitsPerSample = 0;
    uint16_t flags = 0;
    uint32_t sampleRate = 0;
    uint32_t blocksPerFrame = 0;
    uint64_t totalBlocks = 0;
    uint64_t frameCount = 0;
    uint64_t waveHeaderOffset = 0;
    uint64_t waveHeaderSize = 0;
    uint64_t seekTableOffset = 0;
    uint64_t framesOffset = 0;
    uint64_t trailerOffset = 0;
    uint64_t trailerSize = 0;
    uint64_t audioEnd = 0;
    std::array<uint8_t, 16> md5{};
    uint32_t waveHeaderCrc = 0;
    uint32_t trailerCrc = 0;
    uint32_t seekTableCrc = 0;
    // The PCM's CRC-32, which can be taken frame by frame on any thread
    // (crc32_combine) where the MD5 runs in frame order on one; a header
    // shorter than 140 bytes has none.
    bool hasPcmCrc = false;
    uint32_t pcmCrc = 0;

    int blockAlign() const { return channels * (bitsPerSample / 8); }
    // Blocks in frame i (the last one may be short).
    uint32_t frameBlocks(uint64_t i) const;
};

// Writes the version-1 header of kHeaderSize bytes, its CRC last, into out
// (the PCM's CRC-32 as h has it).
void encode_file_header(const FileHeader& h, uint8_t out[kHeaderSize]);

// Checks the first bytes of a file: APE_OK for this codec,
// APE_ERROR_FOREIGN_APE for another APE encoder's, APE_ERROR_NOT_APE else.
int check_magic(const uint8_t* data, size_t size);

// Reads and checks a header of headerSize bytes (the size stored at byte 10)
// against a file of fileSize bytes. Returns an APEResult.
int decode_file_header(const uint8_t* data, size_t size, uint64_t fileSize, FileHeader& h);

// Largest payload a frame may have: bounds what a reader allocates.
uint64_t max_frame_payload(uint32_t blocks, int channels);

struct FrameHeader {
    uint32_t index = 0;
    uint32_t blocks = 0;
    uint16_t level = 0;    // coding parameters of this frame
    uint16_t coding = 0;   // the payload's coding variant (FrameCodec.h)
    uint32_t payloadSize = 0;
    uint32_t crc = 0;      // CRC-32 of the header's first 20 bytes and the payload
};

void encode_frame_header(const FrameHeader& h, uint8_t out[kFrameHeaderSize]);
void decode_frame_header(const uint8_t in[kFrameHeaderSize], FrameHeader& h, uint32_t& sync);

inline bool valid_level(int level) { return level == 1000 || level == 2000 || level == 3000 || level == 4000; }

} // namespace monkeys
