#include "ApeReader.h"

#include <algorithm>
#include <new>

#include "Bytes.h"
#include "Checksum.h"
#include "FrameCodec.h"
#include "MonkeysAudioLib.h"

namespace monkeys {

int ApeReader::open(Input& in, Output* waveHeader)
{
    in_ = &in;
    const uint64_t fileSize = in.seekable() && in.size() >= 0 ? uint64_t(in.size()) : UINT64_MAX;
    uint8_t head[kMaxHeaderSize];
    int64_t got = in.readSome(head, 12);
    if (got < 0)
        return APE_ERROR_READ;
    // The header says how long it is; a damaged size is refused by the check.
    uint16_t headerSize = got == 12 ? get16(head + 10) : 0;
    if (headerSize > 12 && headerSize <= kMaxHeaderSize) {
        int64_t more = in.readSome(head + 12, headerSize - 12);
        if (more < 0)
            return APE_ERROR_READ;
        got += more;
    }
    int rc = decode_file_header(head, size_t(got), fileSize, h_);
    if (rc != APE_OK)
        return rc;

    // The stored WAVE header lies before the seek table, but its check
    // comes after the table's.
    uint32_t waveCrc = 0;
    int64_t size = int64_t(h_.waveHeaderSize);
    if (waveHeader ? (rc = copy_through(in, size, waveCrc, waveHeader)) != APE_OK
                   : (rc = in.skip(h_.waveHeaderSize)) != APE_OK)
        return rc;

    uint32_t crc = 0;
    table_.clear();
    try {
        table_.reserve(size_t(h_.frameCount < kKeptEntries ? h_.frameCount : kKeptEntries));
    } catch (const std::bad_alloc&) {
        return APE_ERROR_NO_MEMORY;
    }
    uint8_t entries[kSeekEntrySize * 4096];
    for (uint64_t left = h_.frameCount; left > 0;) {
        const size_t n = size_t(left < 4096 ? left : 4096);
        if ((rc = in.read(entries, n * kSeekEntrySize)) != APE_OK)
            return rc;
        crc = crc32(crc, entries, n * kSeekEntrySize);
        for (size_t j = 0; j < n && table_.size() < kKeptEntries; ++j)
            table_.push_back(get64(entries + j * kSeekEntrySize));
        left -= n;
    }
    if (!check_matches(h_.seekTableCrc, crc) || (h_.frameCount > 0 && table_[0] != h_.framesOffset))
        return APE_ERROR_BAD_HEADER;
    if (waveHeader && !check_matches(h_.waveHeaderCrc, waveCrc))
        return APE_ERROR_WAVE_PARTS_CRC;
    next_ = 0;
    nextOffset_ = h_.framesOffset;
    return APE_OK;
}

void ApeReader::found(uint64_t i, uint64_t start)
{
    inOrder_ = inOrder_ && i == next_;
    if (inOrder_) {
        uint8_t offset[kSeekEntrySize];
        put64(offset, start);
        tableCrc_ = crc32(tableCrc_, offset, sizeof offset);
    }
    next_ = i + 1;
}

bool ApeReader::entry(uint64_t i, uint64_t& offset) const
{
    if (i == h_.frameCount)
        offset = h_.trailerOffset;
    else if (i < table_.size())
        offset = table_[size_t(i)];
    else
        return false;
    return true;
}

int ApeReader::sizeFrame(FrameBytes& frame, size_t bytes) const
{
    try {
        // Room for the largest frame at once: grown frame by frame, the
        // buffer would move to fresh memory each time.
        if (frame.capacity() < bytes)
            frame.reserve(std::max<size_t>(
                bytes, kFrameHeaderSize + max_frame_payload(uint32_t(frameSamples() / h_.channels), h_.channels)));
        frame.resize(bytes);
    } catch (const std::bad_alloc&) {
        return APE_ERROR_NO_MEMORY;
    }
    return APE_OK;
}

int ApeReader::readFrame(uint64_t i, FrameBytes& frame)
{
    if (i >= h_.frameCount)
        return APE_ERROR_SEEK_RANGE;
    int rc;
    uint64_t start, end;
    if (entry(i, start) && entry(i + 1, end)) {
        if (start < h_.framesOffset || end > h_.trailerOffset || end < start + kFrameHeaderSize ||
            end - start - kFrameHeaderSize > max_frame_payload(h_.frameBlocks(i), h_.channels))
            return APE_ERROR_FRAME_CORRUPT;
        // Frames lie back to back: a stream is read on from where it is.
        if ((rc = in_->seek(start)) != APE_OK)
            return rc;
        if ((rc = sizeFrame(frame, size_t(end - start))) != APE_OK)
            return rc;
        if ((rc = in_->read(frame.data(), frame.size())) != APE_OK)
            return rc;
        found(i, start);
        nextOffset_ = end;
        return APE_OK;
    }
    // Past the kept entries the frames are found one after another; the
    // table is read where the input can seek to it.
    if (i != next_ && in_->seekable()) {
        uint8_t e[kSeekEntrySize];
        if ((rc = in_->readAt(h_.seekTableOffset + i * kSeekEntrySize, e, sizeof e)) != APE_OK)
            return rc;
        next_ = i;
        nextOffset_ = get64(e);
        inOrder_ = false;
        if (nextOffset_ < h_.framesOffset || nextOffset_ >= h_.trailerOffset)
            return APE_ERROR_FRAME_CORRUPT;
    }
    // A stream goes forward frame by frame, and never back.
    if (i < next_)
        return APE_ERROR_NOT_SEEKABLE;
    if ((rc = in_->seek(nextOffset_)) != APE_OK)
        return rc;
    while (next_ < i)
        if ((rc = readAtPosition(next_, nullptr)) != APE_OK)
            return rc;
    return readAtPosition(i, &frame);
}

int ApeReader::readAtPosition(uint64_t i, FrameBytes* frame)
{
    const uint64_t start = in_->position();
    uint64_t kept;
    if (entry(i, kept) && kept != start)
        return APE_ERROR_FRAME_CORRUPT;
    uint8_t head[kFrameHeaderSize];
    int rc = in_->read(head, sizeof head);
    if (rc != APE_OK)
        return rc;
    FrameHeader f;
    uint32_t sync;
    decode_frame_header(head, f, sync);
    if (sync != kFrameSync || f.payloadSize > max_frame_payload(h_.frameBlocks(i), h_.channels) ||
        start + kFrameHeaderSize + f.payloadSize > h_.trailerOffset)
        return APE_ERROR_FRAME_CORRUPT;
    if (frame) {
        if ((rc = sizeFrame(*frame, kFrameHeaderSize + f.payloadSize)) != APE_OK)
            return rc;
        std::copy(head, head + kFrameHeaderSize, frame->begin());
        rc = in_->read(frame->data() + kFrameHeaderSize, f.payloadSize);
    } else {
        rc = in_->skip(f.payloadSize);
    }
    if (rc != APE_OK)
        return rc;
    found(i, start);
    nextOffset_ = in_->position();
    return APE_OK;
}

template <class Decode>
int ApeReader::decodeWith(uint64_t i, const FrameBytes& frame, Decode decode) const
{
    FrameHeader f;
    uint32_t sync;
    decode_frame_header(frame.data(), f, sync);
    const size_t payload = frame.size() - kFrameHeaderSize;
    if (sync != kFrameSync)
        return APE_ERROR_FRAME_CORRUPT;
    uint32_t crc = crc32(crc32(0, frame.data(), kFrameHeaderSize - 4), frame.data() + kFrameHeaderSize, payload);
    if (!check_matches(f.crc, crc))
        return APE_ERROR_FRAME_CRC;
    if (f.index != i || f.payloadSize != payload || f.blocks != h_.frameBlocks(i) || !valid_level(f.level))
        return APE_ERROR_FRAME_CORRUPT;
    if (!known_coding(f.coding))  // a coder newer than this reader
        return APE_ERROR_UNSUPPORTED_VERSION;
    FrameFormat format{h_.channels, h_.bitsPerSample, f.level, f.coding};
    if (!decode(format, frame.data() + kFrameHeaderSize, payload, int(f.blocks)))
        return APE_ERROR_FRAME_CORRUPT;
    return APE_OK;
}

int ApeReader::decodeFrame(uint64_t i, const FrameBytes& frame, int32_t* samples) const
{
    return decodeWith(i, frame, [samples](const FrameFormat& f, const uint8_t* p, size_t n, int blocks) {
        return decode_frame(f, p, n, blocks, samples);
    });
}

int ApeReader::decodeFrame(uint64_t i, const FrameBytes& frame, uint8_t* pcm) const
{
    return decodeWith(i, frame, [pcm](const FrameFormat& f, const uint8_t* p, size_t n, int blocks) {
        return decode_frame(f, p, n, blocks, pcm);
    });
}

int ApeReader::decodeFrameInPlace(uint64_t i, const FrameBytes& frame, uint8_t* work) const
{
    return decodeWith(i, frame, [work](const FrameFormat& f, const uint8_t* p, size_t n, int blocks) {
        return decode_frame_in_place(f, p, n, blocks, work);
    });
}

size_t ApeReader::decodeRoom() const
{
    return decode_work_bytes(h_.channels, h_.bitsPerSample, int(frameSamples() / std::max<size_t>(h_.channels, 1)));
}

int ApeReader::readTrailer(Output* out)
{
    if (next_ != h_.frameCount || nextOffset_ != h_.trailerOffset)
        return APE_ERROR_FRAME_CORRUPT;
    // Frames past the kept entries were found one after another; the seek
    // table must say the same.
    if (h_.frameCount > table_.size() && inOrder_ && !check_matches(h_.seekTableCrc, tableCrc_))
        return APE_ERROR_BAD_HEADER;
    int rc = in_->seek(h_.trailerOffset);
    if (rc != APE_OK)
        return rc;
    uint32_t crc = 0;
    int64_t size = int64_t(h_.trailerSize);
    if ((rc = copy_through(*in_, size, crc, out)) != APE_OK)
        return rc;
    return check_matches(h_.trailerCrc, crc) ? APE_OK : APE_ERROR_WAVE_PARTS_CRC;
}

} // namespace monkeys
