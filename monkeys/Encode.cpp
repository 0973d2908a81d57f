#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <unistd.h>

#include "ApeFormat.h"
#include "Checksum.h"
#include "Coding.h"
#include "Files.h"
#include "FrameCodec.h"
#include "FramePipeline.h"
#include "MonkeysAudioLib.h"
#include "Wave.h"

namespace monkeys {

namespace {

// About 1.7 s of CD audio a frame, fewer blocks for many channels so that
// a frame stays within the readers' bound.
uint32_t blocks_per_frame(int channels)
{
    uint64_t limit = (kMaxFrameSamples / uint64_t(channels)) & ~uint64_t(255);
    return uint32_t(limit < 73728 ? limit : 73728);
}

// What a frame's emit reads. The WAVE data is left uninitialised, so
// that a slot no frame uses touches no memory.
struct FrameBuffers {
    std::unique_ptr<uint8_t[]> pcm;
    std::vector<uint8_t> coded;   // frame header, then the payload
};

// Codes one frame into b.coded; the coder checks its own output, so that
// no file is ever written that does not give back the audio.
int code_frame(const FileHeader& h, uint32_t index, uint32_t blocks, FrameBuffers& b)
{
    FrameFormat format{h.channels, h.bitsPerSample, h.level};
    b.coded.assign(kFrameHeaderSize, 0);
    if (!encode_frame_checked(format, b.pcm.get(), int(blocks), b.coded))
        return APE_ERROR_CODER_MISMATCH;
    size_t payload = b.coded.size() - kFrameHeaderSize;
    if (payload > max_frame_payload(blocks, h.channels))
        return APE_ERROR_CODER_MISMATCH;
    FrameHeader f;
    f.index = index;
    f.blocks = blocks;
    f.level = h.level;
    f.coding = kNewestCoding;
    f.payloadSize = uint32_t(payload);
    encode_frame_header(f, b.coded.data());
    f.crc = crc32(crc32(0, b.coded.data(), kFrameHeaderSize - 4), b.coded.data() + kFrameHeaderSize, payload);
    encode_frame_header(f, b.coded.data());
    return APE_OK;
}

} // namespace

int compress_file(const char* wavePath, const char* apePath, int level, Progress& progress)
{
    if (!wavePath || !apePath)
        return APE_ERROR_BAD_ARGUMENT;
    if (!valid_level(level))
        return APE_ERROR_BAD_LEVEL;
    FileHandle in;
    struct stat st;
    int rc = open_source(wavePath, in, st);
    if (rc != APE_OK)
        return rc;
    WaveLayout w;
    if ((rc = read_wave_layout(in.get(), uint64_t(st.st_size), w)) != APE_OK)
        return rc;
    OutputFile out;
    if ((rc = out.create(apePath, st)) != APE_OK)
        return rc;
    const int fd = out.fd();

    FileHeader h;
    h.level = uint16_t(level);
    h.channels = uint16_t(w.channels);
    h.bitsPerSample = uint16_t(w.bitsPerSample);
    h.flags = w.bitsPerSample == 8 ? kFlagUnsigned : 0;
    h.sampleRate = w.sampleRate;
    h.blocksPerFrame = blocks_per_frame(w.channels);
    h.totalBlocks = w.totalBlocks;
    h.frameCount = (w.totalBlocks + h.blocksPerFrame - 1) / h.blocksPerFrame;
    h.waveHeaderOffset = kHeaderSize;
    h.waveHeaderSize = w.dataOffset;
    h.seekTableOffset = h.waveHeaderOffset + h.waveHeaderSize;
    h.framesOffset = h.seekTableOffset + h.frameCount * kSeekEntrySize;

    progress.update(0, h.frameCount);
    // The header is written last, when everything in it is known.
    uint8_t head[kHeaderSize] = {};
    if ((rc = write_all(fd, head, sizeof head)) != APE_OK ||
        (rc = copy_range(in.get(), 0, w.dataOffset, h.waveHeaderCrc, fd)) != APE_OK)
        return rc;
    if (::lseek(fd, off_t(h.framesOffset), SEEK_SET) < 0)
        return APE_ERROR_WRITE;

    const size_t longest = size_t(std::min<uint64_t>(h.blocksPerFrame, h.totalBlocks));
    const size_t samples = longest * h.channels;
    const size_t pcmBytes = longest * size_t(w.blockAlign);
    // the coder's buffers: about four frames of 32-bit samples a thread
    const FramePlan plan = plan_frames(frame_threads(), 2 * pcmBytes, samples * 16);
    std::vector<FrameBuffers> slots;
    try {
        slots.resize(plan.slots);
        for (FrameBuffers& b : slots)
            b.pcm.reset(new uint8_t[pcmBytes]);
    } catch (const std::bad_alloc&) {
        return APE_ERROR_NO_MEMORY;
    }
    auto frameBytes = [&](uint64_t i) { return size_t(h.frameBlocks(i)) * size_t(w.blockAlign); };
    const int source = in.get();
    auto work = [&](uint64_t i, size_t slot) {
        if (progress.killed())
            return int(APE_ERROR_KILLED);
        FrameBuffers& b = slots[slot];
        if (read_at(source, w.dataOffset + i * h.blocksPerFrame * uint64_t(w.blockAlign), b.pcm.get(),
                    frameBytes(i)) != APE_OK)
            return int(APE_ERROR_READ);  // the source shrank under us
        return code_frame(h, uint32_t(i), h.frameBlocks(i), b);
    };
    Md5 md5;
    uint64_t at = h.framesOffset;
    Writeback writeback(fd, at);
    auto emit = [&](uint64_t i, size_t slot) {
        if (progress.killed())
            return int(APE_ERROR_KILLED);
        const FrameBuffers& b = slots[slot];
        md5.update(b.pcm.get(), frameBytes(i));
        uint8_t entry[kSeekEntrySize];
        put64(entry, at);
        h.seekTableCrc = crc32(h.seekTableCrc, entry, sizeof entry);
        int rc = write_all(fd, b.coded.data(), b.coded.size());
        if (rc == APE_OK)
            rc = write_at(fd, h.seekTableOffset + i * kSeekEntrySize, entry, sizeof entry);
        writeback.grew(b.coded.size());
        at += b.coded.size();
        progress.update(i + 1, h.frameCount);
        return rc;
    };
    if ((rc = run_frames(h.frameCount, plan, work, emit)) != APE_OK)
        return rc;
    h.md5 = md5.finish();
    h.trailerOffset = at;
    h.trailerSize = w.trailerSize;
    h.audioEnd = at + w.trailerSize;
    if ((rc = copy_range(in.get(), w.trailerOffset, w.trailerSize, h.trailerCrc, fd)) != APE_OK)
        return rc == APE_ERROR_TRUNCATED ? APE_ERROR_READ : rc;
    encode_file_header(h, head);
    if ((rc = write_at(fd, 0, head, sizeof head)) != APE_OK || (rc = out.commit()) != APE_OK)
        return rc;
    progress.finish();
    return APE_OK;
}

} // namespace monkeys
