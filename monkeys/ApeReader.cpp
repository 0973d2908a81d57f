#include "ApeReader.h"

#include <new>

#include "Checksum.h"
#include "Files.h"
#include "FrameCodec.h"
#include "MonkeysAudioLib.h"

namespace monkeys {

int ApeReader::open(int fd, uint64_t fileSize)
{
    fd_ = fd;
    uint8_t head[kMaxHeaderSize];
    size_t want = fileSize < kMaxHeaderSize ? size_t(fileSize) : kMaxHeaderSize;
    int rc = read_at(fd, 0, head, want);
    if (rc != APE_OK)
        return rc;
    if ((rc = decode_file_header(head, want, fileSize, h_)) != APE_OK)
        return rc;
    uint32_t crc = 0;
    if ((rc = copy_range(fd, h_.seekTableOffset, h_.frameCount * kSeekEntrySize, crc, -1)) != APE_OK)
        return rc;
    if (!check_matches(h_.seekTableCrc, crc))
        return APE_ERROR_BAD_HEADER;
    uint64_t first;
    if (h_.frameCount > 0 && ((rc = seekEntry(0, first)) != APE_OK || first != h_.framesOffset))
        return rc != APE_OK ? rc : APE_ERROR_BAD_HEADER;
    return APE_OK;
}

int ApeReader::seekEntry(uint64_t i, uint64_t& offset) const
{
    if (i == h_.frameCount) {
        offset = h_.trailerOffset;
        return APE_OK;
    }
    uint8_t e[kSeekEntrySize];
    int rc = read_at(fd_, h_.seekTableOffset + i * kSeekEntrySize, e, sizeof e);
    offset = get64(e);
    return rc;
}

template <class Sample>
int ApeReader::decodeInto(uint64_t i, Sample* out, std::vector<uint8_t>& frame) const
{
    FrameFormat format;
    int rc = readFrame(i, frame, format);
    if (rc != APE_OK)
        return rc;
    if (!decode_frame(format, frame.data() + kFrameHeaderSize, frame.size() - kFrameHeaderSize,
                      int(h_.frameBlocks(i)), out))
        return APE_ERROR_FRAME_CORRUPT;
    return APE_OK;
}

int ApeReader::decodeFrame(uint64_t i, int32_t* samples, std::vector<uint8_t>& frame) const
{
    return decodeInto(i, samples, frame);
}

int ApeReader::decodeFrame(uint64_t i, uint8_t* pcm, std::vector<uint8_t>& frame) const
{
    return decodeInto(i, pcm, frame);
}

int ApeReader::readFrame(uint64_t i, std::vector<uint8_t>& frame, FrameFormat& format) const
{
    if (i >= h_.frameCount)
        return APE_ERROR_SEEK_RANGE;
    uint64_t start, end;
    int rc;
    if ((rc = seekEntry(i, start)) != APE_OK || (rc = seekEntry(i + 1, end)) != APE_OK)
        return rc;
    uint32_t blocks = h_.frameBlocks(i);
    if (start < h_.framesOffset || end > h_.trailerOffset || end < start + kFrameHeaderSize ||
        end - start - kFrameHeaderSize > max_frame_payload(blocks, h_.channels))
        return APE_ERROR_FRAME_CORRUPT;
    size_t size = size_t(end - start);
    try {
        frame.resize(size);
    } catch (const std::bad_alloc&) {
        return APE_ERROR_NO_MEMORY;
    }
    if ((rc = read_at(fd_, start, frame.data(), size)) != APE_OK)
        return rc;
    FrameHeader f;
    uint32_t sync;
    decode_frame_header(frame.data(), f, sync);
    uint32_t crc = crc32(crc32(0, frame.data(), kFrameHeaderSize - 4), frame.data() + kFrameHeaderSize,
                         size - kFrameHeaderSize);
    if (sync != kFrameSync)
        return APE_ERROR_FRAME_CORRUPT;
    if (!check_matches(f.crc, crc))
        return APE_ERROR_FRAME_CRC;
    if (f.index != i || f.payloadSize != size - kFrameHeaderSize || f.blocks != blocks || !valid_level(f.level))
        return APE_ERROR_FRAME_CORRUPT;
    if (!known_coding(f.coding))  // a coder newer than this reader
        return APE_ERROR_UNSUPPORTED_VERSION;
    format = FrameFormat{h_.channels, h_.bitsPerSample, f.level, f.coding};
    return APE_OK;
}

} // namespace monkeys
