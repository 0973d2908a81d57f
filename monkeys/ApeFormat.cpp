#include "ApeFormat.h"

#include <cstring>

#include "Checksum.h"
#include "MonkeysAudioLib.h"

namespace monkeys {

// Byte offsets of the version-1 header fields.
namespace {
enum : size_t {
    kOffVersion = 8, kOffHeaderSize = 10, kOffLevel = 12, kOffChannels = 14, kOffBits = 16,
    kOffFlags = 18, kOffRate = 20, kOffBlocksPerFrame = 24, kOffTotalBlocks = 28,
    kOffFrameCount = 36, kOffWaveHeader = 44, kOffWaveHeaderSize = 52, kOffSeekTable = 60,
    kOffFrames = 68, kOffTrailer = 76, kOffTrailerSize = 84, kOffAudioEnd = 92, kOffMd5 = 100,
    kOffWaveHeaderCrc = 116, kOffTrailerCrc = 120, kOffSeekTableCrc = 124,
    // in the room a longer header has: which later fields it holds (bits
    // a reader does not know are fields it may ignore), and those fields
    kOffFields = 128, kOffPcmCrc = 132,
    // the header's own CRC is always its last four bytes
};
static_assert(kOffSeekTableCrc + 8 == kMinHeaderSize && kOffPcmCrc + 8 == kHeaderSize);
constexpr uint32_t kFieldPcmCrc = 1;

// a + b, false when it overflows
bool add(uint64_t a, uint64_t b, uint64_t& sum) { return !__builtin_add_overflow(a, b, &sum); }
bool mul(uint64_t a, uint64_t b, uint64_t& product) { return !__builtin_mul_overflow(a, b, &product); }

} // namespace

uint32_t FileHeader::frameBlocks(uint64_t i) const
{
    uint64_t start = i * blocksPerFrame;
    uint64_t left = totalBlocks - start;
    return uint32_t(left < blocksPerFrame ? left : blocksPerFrame);
}

void encode_file_header(const FileHeader& h, uint8_t out[kHeaderSize])
{
    std::memset(out, 0, kHeaderSize);
    std::memcpy(out, kFileMagic, sizeof kFileMagic);
    put16(out + kOffVersion, h.version);
    put16(out + kOffHeaderSize, kHeaderSize);
    put16(out + kOffLevel, h.level);
    put16(out + kOffChannels, h.channels);
    put16(out + kOffBits, h.bitsPerSample);
    put16(out + kOffFlags, h.flags);
    put32(out + kOffRate, h.sampleRate);
    put32(out + kOffBlocksPerFrame, h.blocksPerFrame);
    put64(out + kOffTotalBlocks, h.totalBlocks);
    put64(out + kOffFrameCount, h.frameCount);
    put64(out + kOffWaveHeader, h.waveHeaderOffset);
    put64(out + kOffWaveHeaderSize, h.waveHeaderSize);
    put64(out + kOffSeekTable, h.seekTableOffset);
    put64(out + kOffFrames, h.framesOffset);
    put64(out + kOffTrailer, h.trailerOffset);
    put64(out + kOffTrailerSize, h.trailerSize);
    put64(out + kOffAudioEnd, h.audioEnd);
    std::memcpy(out + kOffMd5, h.md5.data(), 16);
    put32(out + kOffWaveHeaderCrc, h.waveHeaderCrc);
    put32(out + kOffTrailerCrc, h.trailerCrc);
    put32(out + kOffSeekTableCrc, h.seekTableCrc);
    put32(out + kOffFields, h.hasPcmCrc ? kFieldPcmCrc : 0);
    put32(out + kOffPcmCrc, h.pcmCrc);
    put32(out + kHeaderSize - 4, crc32(0, out, kHeaderSize - 4));
}

int check_magic(const uint8_t* data, size_t size)
{
    if (size >= 4 && std::memcmp(data, "MAC ", 4) == 0)
        return APE_ERROR_FOREIGN_APE;
    if (size >= sizeof kFileMagic && std::memcmp(data, kFileMagic, sizeof kFileMagic) == 0)
        return APE_OK;
    return APE_ERROR_NOT_APE;
}

int decode_file_header(const uint8_t* p, size_t size, uint64_t fileSize, FileHeader& h)
{
    int rc = check_magic(p, size);
    if (rc != APE_OK)
        return rc;
    if (size < 12)
        return APE_ERROR_TRUNCATED;
    h.version = get16(p + kOffVersion);
    h.headerSize = get16(p + kOffHeaderSize);
    if (h.version == 0 || h.version > kFormatVersion)
        return APE_ERROR_UNSUPPORTED_VERSION;
    if (h.headerSize < kMinHeaderSize || h.headerSize > kMaxHeaderSize)
        return APE_ERROR_BAD_HEADER;
    if (size < h.headerSize || fileSize < h.headerSize)
        return APE_ERROR_TRUNCATED;
    if (!check_matches(get32(p + h.headerSize - 4), crc32(0, p, h.headerSize - 4)))
        return APE_ERROR_BAD_HEADER;

    h.level = get16(p + kOffLevel);
    h.channels = get16(p + kOffChannels);
    h.bitsPerSample = get16(p + kOffBits);
    h.flags = get16(p + kOffFlags);
    h.sampleRate = get32(p + kOffRate);
    h.blocksPerFrame = get32(p + kOffBlocksPerFrame);
    h.totalBlocks = get64(p + kOffTotalBlocks);
    h.frameCount = get64(p + kOffFrameCount);
    h.waveHeaderOffset = get64(p + kOffWaveHeader);
    h.waveHeaderSize = get64(p + kOffWaveHeaderSize);
    h.seekTableOffset = get64(p + kOffSeekTable);
    h.framesOffset = get64(p + kOffFrames);
    h.trailerOffset = get64(p + kOffTrailer);
    h.trailerSize = get64(p + kOffTrailerSize);
    h.audioEnd = get64(p + kOffAudioEnd);
    std::memcpy(h.md5.data(), p + kOffMd5, 16);
    h.waveHeaderCrc = get32(p + kOffWaveHeaderCrc);
    h.trailerCrc = get32(p + kOffTrailerCrc);
    h.seekTableCrc = get32(p + kOffSeekTableCrc);
    h.hasPcmCrc = h.headerSize >= kOffPcmCrc + 8 && (get32(p + kOffFields) & kFieldPcmCrc);
    h.pcmCrc = h.hasPcmCrc ? get32(p + kOffPcmCrc) : 0;

    bool bitsOk = h.bitsPerSample == 8 || h.bitsPerSample == 16 || h.bitsPerSample == 24 ||
                  h.bitsPerSample == 32;
    uint16_t wantFlags = h.bitsPerSample == 8 ? kFlagUnsigned : 0;
    if (!valid_level(h.level) || h.channels < 1 || h.channels > 32 || !bitsOk || h.flags != wantFlags ||
        h.sampleRate == 0 || h.blocksPerFrame == 0 ||
        uint64_t(h.blocksPerFrame) * h.channels > kMaxFrameSamples)
        return APE_ERROR_BAD_HEADER;
    uint64_t frames = h.totalBlocks / h.blocksPerFrame + (h.totalBlocks % h.blocksPerFrame != 0);
    uint64_t seekEnd, minFrames, framesEnd, trailerEnd, pcmBytes;
    if (h.frameCount != frames || frames > UINT32_MAX || h.waveHeaderOffset != h.headerSize ||
        !add(h.waveHeaderOffset, h.waveHeaderSize, seekEnd) || h.seekTableOffset != seekEnd ||
        !mul(h.frameCount, kSeekEntrySize, seekEnd) || !add(seekEnd, h.seekTableOffset, seekEnd) ||
        h.framesOffset != seekEnd || !mul(h.frameCount, kFrameHeaderSize, minFrames) ||
        !add(h.framesOffset, minFrames, framesEnd) || h.trailerOffset < framesEnd ||
        !add(h.trailerOffset, h.trailerSize, trailerEnd) || h.audioEnd != trailerEnd ||
        !mul(h.totalBlocks, uint64_t(h.blockAlign()), pcmBytes))
        return APE_ERROR_BAD_HEADER;
    if (h.audioEnd > fileSize)
        return APE_ERROR_TRUNCATED;
    return APE_OK;
}

uint64_t max_frame_payload(uint32_t blocks, int channels)
{
    // Generous room over the raw size: a coder never needs more than this
    // even on white noise.
    return uint64_t(blocks) * uint64_t(channels) * 5 + 4096;
}

void encode_frame_header(const FrameHeader& h, uint8_t out[kFrameHeaderSize])
{
    put32(out, kFrameSync);
    put32(out + 4, h.index);
    put32(out + 8, h.blocks);
    put16(out + 12, h.level);
    put16(out + 14, h.coding);
    put32(out + 16, h.payloadSize);
    put32(out + 20, h.crc);
}

void decode_frame_header(const uint8_t in[kFrameHeaderSize], FrameHeader& h, uint32_t& sync)
{
    sync = get32(in);
    h.index = get32(in + 4);
    h.blocks = get32(in + 8);
    h.level = get16(in + 12);
    h.coding = get16(in + 14);
    h.payloadSize = get32(in + 16);
    h.crc = get32(in + 20);
}

} // namespace monkeys
