#include "Decompressor.h"

#include <new>

#include "ApeInfo.h"
#include "FileTag.h"
#include "Pcm.h"

IAPEDecompress::~IAPEDecompress() = default;
int IAPEDecompress::GetData(char*, int, int* blocksRetrieved)
{
    if (blocksRetrieved)
        *blocksRetrieved = 0;
    return APE_ERROR_BAD_ARGUMENT;
}
int IAPEDecompress::Seek(int) { return APE_ERROR_BAD_ARGUMENT; }
intptr_t IAPEDecompress::GetInfo(int, intptr_t, intptr_t) { return 0; }

namespace monkeys {

int Decompressor::open(const APEStream& stream, Decompressor*& out)
{
    out = nullptr;
    Decompressor* d = new (std::nothrow) Decompressor;
    if (!d)
        return APE_ERROR_NO_MEMORY;
    int rc = open_input(stream, d->in_);
    if (rc == APE_OK)
        rc = d->reader_.open(*d->in_, nullptr);
    if (rc == APE_OK) {
        try {
            if (stream.path)
                d->path_ = stream.path;
            d->samples_.resize(d->reader_.frameSamples());
        } catch (const std::bad_alloc&) {
            rc = APE_ERROR_NO_MEMORY;
        }
    }
    if (rc != APE_OK) {
        delete d;
        return rc;
    }
    out = d;
    return APE_OK;
}

Decompressor::~Decompressor() { delete tag_; }

CAPETag* Decompressor::OpenTag()
{
    const int64_t audioEnd = int64_t(reader_.header().audioEnd);
    if (!path_.empty())
        return open_file_tag(path_.c_str(), audioEnd, nullptr);
    // A stream's tag is read where the stream can go to its end; a stream
    // read front to back has none to give.
    if (!in_->seekable() || in_->size() < 0)
        return new (std::nothrow) CAPETag;
    Input& in = *in_;
    return read_tag([&](int64_t offset, void* data, size_t size) {
        return in.readAt(uint64_t(offset), data, size) == APE_OK;
    }, in.size(), audioEnd);
}

int Decompressor::GetData(char* buffer, int blocks, int* blocksRetrieved)
{
    if (blocksRetrieved)
        *blocksRetrieved = 0;
    if (!buffer || blocks < 0 || !blocksRetrieved)
        return APE_ERROR_BAD_ARGUMENT;
    const FileHeader& h = reader_.header();
    const int bytesPerSample = h.bitsPerSample / 8;
    uint8_t* out = reinterpret_cast<uint8_t*>(buffer);
    int done = 0;
    while (done < blocks && position_ < h.totalBlocks) {
        uint64_t frame = position_ / h.blocksPerFrame;
        if (int64_t(frame) != decodedFrame_) {
            decodedFrame_ = -1;
            int rc = reader_.readFrame(frame, frame_);
            if (rc == APE_OK)
                rc = reader_.decodeFrame(frame, frame_, samples_.data());
            if (rc != APE_OK)
                return rc;
            decodedFrame_ = int64_t(frame);
        }
        uint64_t inFrame = position_ - frame * h.blocksPerFrame;
        uint64_t n = h.frameBlocks(frame) - inFrame;
        if (n > uint64_t(blocks - done))
            n = uint64_t(blocks - done);
        samples_to_pcm(samples_.data() + inFrame * h.channels, h.bitsPerSample, size_t(n) * h.channels, out);
        out += n * h.channels * bytesPerSample;
        done += int(n);
        *blocksRetrieved = done;
        position_ += n;
    }
    return APE_OK;
}

int Decompressor::Seek(int blockOffset)
{
    if (blockOffset < 0 || uint64_t(blockOffset) > reader_.header().totalBlocks)
        return APE_ERROR_SEEK_RANGE;
    position_ = uint64_t(blockOffset);
    return APE_OK;
}

intptr_t Decompressor::GetInfo(int field, intptr_t, intptr_t)
{
    const FileHeader& h = reader_.header();
    switch (field) {
    case APE_INFO_SAMPLE_RATE: return h.sampleRate;
    case APE_INFO_BITS_PER_SAMPLE: return h.bitsPerSample;
    case APE_INFO_CHANNELS: return h.channels;
    case APE_INFO_BLOCK_ALIGN: return h.blockAlign();
    case APE_INFO_LENGTH_MS: return intptr_t(h.totalBlocks * 1000 / h.sampleRate);
    case APE_INFO_TAG:
        if (!tag_)
            tag_ = OpenTag();
        return reinterpret_cast<intptr_t>(tag_);
    case APE_DECOMPRESS_CURRENT_MS: return intptr_t(position_ * 1000 / h.sampleRate);
    case APE_DECOMPRESS_TOTAL_BLOCKS: return intptr_t(h.totalBlocks);
    case INFO_FORMAT_VERSION: return h.version;
    case INFO_COMPRESSION_LEVEL: return h.level;
    case INFO_BYTES_PER_SAMPLE: return h.bitsPerSample / 8;
    case INFO_BLOCKS_PER_FRAME: return intptr_t(h.blocksPerFrame);
    case INFO_TOTAL_FRAMES: return intptr_t(h.frameCount);
    case INFO_WAVE_HEADER_BYTES: return intptr_t(h.waveHeaderSize);
    case INFO_WAVE_TRAILER_BYTES: return intptr_t(h.trailerSize);
    case INFO_WAVE_DATA_BYTES: return intptr_t(h.totalBlocks * uint64_t(h.blockAlign()));
    case INFO_WAVE_TOTAL_BYTES:
        return intptr_t(h.waveHeaderSize + h.totalBlocks * uint64_t(h.blockAlign()) + h.trailerSize);
    case INFO_AUDIO_END: return intptr_t(h.audioEnd);
    case INFO_CURRENT_BLOCK: return intptr_t(position_);
    default: return 0;
    }
}

} // namespace monkeys
