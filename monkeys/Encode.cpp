// The encoder. Its header says where every part of the APE file lies and
// how many frames there are, which is known only at the end. Where the
// WAVE file can be read anywhere and the output can seek, the file is
// written in place and its header filled in last; otherwise the WAVE
// header, the frames and the trailer go to a spool (an unnamed temporary
// file) and are copied out behind the header once it is known.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "ApeFormat.h"
#include "Checksum.h"
#include "Coding.h"
#include "FrameCodec.h"
#include "FramePipeline.h"
#include "LargeMemory.h"
#include "MonkeysAudioLib.h"
#include "Stream.h"
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

// What a frame holds from its load to its emit. The WAVE data is left
// uninitialised, so that a slot no frame uses touches no memory.
struct FrameBuffers {
    core::LargeArray<uint8_t> pcm;
    uint32_t blocks = 0;
    uint32_t pcmCrc = 0;          // of the frame's WAVE data
    core::Bytes coded;            // frame header, then the payload
};

// Codes one frame into b.coded. Above FAST the coder reads back its own
// output before it is written. FAST, the level chosen for speed, skips that
// read-back (a sixth of its work), as fast coders do; its frames carry
// their CRCs and the file its PCM's MD5 and CRC-32 as every level's do,
// which the decoder and the verifier check.
int code_frame(const FileHeader& h, uint32_t index, FrameBuffers& b)
{
    b.pcmCrc = crc32(0, b.pcm.get(), size_t(b.blocks) * size_t(h.blockAlign()));
    FrameFormat format{h.channels, h.bitsPerSample, h.level};
    // room for the largest frame, so that the bytes are not moved as they come
    b.coded.reserve(kFrameHeaderSize + 1 + size_t(b.blocks) * h.channels * (h.bitsPerSample / 8));
    b.coded.assign(kFrameHeaderSize, 0);
    if (!encode_frame(format, b.pcm.get(), int(b.blocks), b.coded, h.level > 1000))
        return APE_ERROR_CODER_MISMATCH;
    size_t payload = b.coded.size() - kFrameHeaderSize;
    if (payload > max_frame_payload(b.blocks, h.channels))
        return APE_ERROR_CODER_MISMATCH;
    FrameHeader f;
    f.index = index;
    f.blocks = b.blocks;
    f.level = h.level;
    f.coding = kNewestCoding;
    f.payloadSize = uint32_t(payload);
    encode_frame_header(f, b.coded.data());
    f.crc = crc32(crc32(0, b.coded.data(), kFrameHeaderSize - 4), b.coded.data() + kFrameHeaderSize, payload);
    encode_frame_header(f, b.coded.data());
    return APE_OK;
}

// Copies [offset, offset + size) of in to out through crc.
int copy_range(Input& in, uint64_t offset, uint64_t size, uint32_t& crc, Output* out)
{
    int rc = in.seek(offset);
    int64_t n = int64_t(size);
    return rc == APE_OK ? copy_through(in, n, crc, out) : rc;
}

// The spooled parts behind their header: the seek table, made from the
// frames' own sizes, and then everything else as it lies in the spool,
// frames from framesStart on.
int copy_out(Spool& spool, const FileHeader& h, uint64_t framesStart, Output& out)
{
    Input& in = spool.in();
    std::vector<uint8_t> table;
    uint64_t at = framesStart;
    for (uint64_t i = 0; i < h.frameCount; ++i) {
        uint8_t head[kFrameHeaderSize];
        int rc = in.readAt(at, head, sizeof head);
        if (rc != APE_OK)
            return rc == APE_ERROR_TRUNCATED ? APE_ERROR_READ : rc;
        uint8_t entry[kSeekEntrySize];
        put64(entry, h.framesOffset + (at - framesStart));
        table.insert(table.end(), entry, entry + sizeof entry);
        if (table.size() >= (size_t(1) << 16) || i + 1 == h.frameCount) {
            if ((rc = out.write(table.data(), table.size())) != APE_OK)
                return rc;
            table.clear();
        }
        at += kFrameHeaderSize + get32(head + 16);
    }
    uint32_t ignored = 0;
    return copy_range(in, framesStart, h.audioEnd - h.framesOffset, ignored, &out);
}

// The seek table's CRC of the spooled frames, which the header holds.
int spooled_table_crc(Spool& spool, FileHeader& h, uint64_t framesStart)
{
    uint64_t at = framesStart;
    for (uint64_t i = 0; i < h.frameCount; ++i) {
        uint8_t head[kFrameHeaderSize];
        int rc = spool.in().readAt(at, head, sizeof head);
        if (rc != APE_OK)
            return rc == APE_ERROR_TRUNCATED ? APE_ERROR_READ : rc;
        uint8_t entry[kSeekEntrySize];
        put64(entry, h.framesOffset + (at - framesStart));
        h.seekTableCrc = crc32(h.seekTableCrc, entry, sizeof entry);
        at += kFrameHeaderSize + get32(head + 16);
    }
    return APE_OK;
}

} // namespace

int compress_stream(const APEStream& wave, const APEStream& ape, int level, const APEPcmFormat* pcm,
                    Progress& progress)
{
    if (!valid_level(level))
        return APE_ERROR_BAD_LEVEL;
    std::unique_ptr<Input> in;
    int rc = open_input(wave, in);
    if (rc != APE_OK)
        return rc;
    // A WAVE file read anywhere is measured first; anything else is a
    // stream, coded as it comes, and spooled.
    const bool random = !pcm && in->seekable() && in->size() >= 0;
    Spool spool;
    FileHeader h;
    WaveLayout w;
    if (!random && (rc = spool.create(ape)) != APE_OK)
        return rc;
    if (pcm) {
        rc = pcm_layout(*pcm, w);
    } else {
        rc = read_wave_layout(*in, w, [&](const uint8_t* data, size_t size) {
            h.waveHeaderCrc = crc32(h.waveHeaderCrc, data, size);
            return spool.out().write(data, size);
        });
    }
    if (rc != APE_OK)
        return rc;
    std::unique_ptr<Output> out;
    if ((rc = open_output(ape, *in, out)) != APE_OK)
        return rc;
    const bool inPlace = random && out->seekable();
    if (random && !inPlace && (rc = spool.create(ape)) != APE_OK)
        return rc;
    // Where the WAVE header, the frames and the trailer go.
    Output& body = inPlace ? *out : spool.out();

    h.level = uint16_t(level);
    h.channels = uint16_t(w.channels);
    h.bitsPerSample = uint16_t(w.bitsPerSample);
    h.flags = w.bitsPerSample == 8 ? kFlagUnsigned : 0;
    h.sampleRate = w.sampleRate;
    h.blocksPerFrame = blocks_per_frame(w.channels);
    h.waveHeaderOffset = kHeaderSize;
    h.hasPcmCrc = true;
    const uint64_t align = uint64_t(w.blockAlign);
    const uint64_t frameBytesMax = uint64_t(h.blocksPerFrame) * align;
    // The audio left to read: whole blocks where the size is known; what
    // there is, partial block and all, up to the size a stream gives.
    uint64_t audioLeft = random ? w.dataSize / align * align : w.dataSize;
    // The frames: counted now where the file was measured, else estimated
    // for the progress alone.
    const uint64_t known = random ? (w.dataSize / align + h.blocksPerFrame - 1) / h.blocksPerFrame : kUnknownFrames;
    const uint64_t expected = random ? known
                              : w.dataSize == kToTheEnd ? 0
                                                        : (w.dataSize / align + h.blocksPerFrame - 1) / h.blocksPerFrame;
    if (random) {
        if (inPlace && (rc = out->seek(kHeaderSize)) != APE_OK)
            return rc;
        if ((rc = copy_range(*in, 0, w.dataOffset, h.waveHeaderCrc, &body)) != APE_OK)
            return rc == APE_ERROR_TRUNCATED ? APE_ERROR_READ : rc;
        h.frameCount = known;
        h.seekTableOffset = h.waveHeaderOffset + w.dataOffset;
        h.framesOffset = h.seekTableOffset + h.frameCount * kSeekEntrySize;
        if (inPlace && (rc = out->seek(h.framesOffset)) != APE_OK)
            return rc;
    }
    const uint64_t framesStart = body.position();
    progress.update(0, expected);

    const size_t pcmBytes = size_t(std::min<uint64_t>(frameBytesMax, audioLeft));
    const size_t samples = pcmBytes / size_t(align) * h.channels;
    // the coder's buffers: about four frames of 32-bit samples a thread
    const FramePlan plan = plan_frames(frame_threads(known, kCodingFramesPerThread), 2 * pcmBytes, samples * 16);
    std::vector<FrameBuffers> slots;
    try {
        slots.resize(plan.slots);
        for (FrameBuffers& b : slots)
            b.pcm = core::LargeArray<uint8_t>(pcmBytes ? pcmBytes : 1);
    } catch (const std::bad_alloc&) {
        return APE_ERROR_NO_MEMORY;
    }
    std::vector<uint8_t> partial;   // a partial block that ends a stream's audio
    Md5 md5;
    FrameSteps steps;
    steps.load = [&](uint64_t, size_t slot) {
        if (progress.killed())
            return int(APE_ERROR_KILLED);
        FrameBuffers& b = slots[slot];
        const size_t want = size_t(std::min<uint64_t>(frameBytesMax, audioLeft));
        if (want == 0)
            return kNoMoreFrames;
        int64_t got = in->readSome(b.pcm.get(), want);
        if (got < 0)
            return int(APE_ERROR_READ);
        // The file shrank under us; a stream just ended.
        if (random && size_t(got) < want)
            return int(APE_ERROR_READ);
        audioLeft = size_t(got) < want ? 0 : audioLeft - want;
        b.blocks = uint32_t(uint64_t(got) / align);
        partial.assign(b.pcm.get() + b.blocks * align, b.pcm.get() + got);
        return b.blocks > 0 ? int(APE_OK) : kNoMoreFrames;
    };
    steps.work = [&](uint64_t i, size_t slot) { return code_frame(h, uint32_t(i), slots[slot]); };
    uint64_t frames = 0;
    steps.emit = [&](uint64_t i, size_t slot) {
        if (progress.killed())
            return int(APE_ERROR_KILLED);
        const FrameBuffers& b = slots[slot];
        // The sum in frame order, here rather than at the load: a thread
        // that takes the next frame waits for the load before it, and the
        // sum would be most of that wait.
        md5.update(b.pcm.get(), size_t(b.blocks * align));
        h.pcmCrc = crc32_combine(h.pcmCrc, b.pcmCrc, b.blocks * align);
        uint8_t entry[kSeekEntrySize];
        put64(entry, body.position());
        int rc = body.write(b.coded.data(), b.coded.size());
        if (rc == APE_OK && inPlace) {
            h.seekTableCrc = crc32(h.seekTableCrc, entry, sizeof entry);
            rc = out->writeAt(h.seekTableOffset + i * kSeekEntrySize, entry, sizeof entry);
        }
        h.totalBlocks += b.blocks;
        frames = i + 1;
        if (expected > 0)
            progress.update(std::min(frames, expected), expected);
        return rc;
    };
    if ((rc = run_frames(random ? known : kUnknownFrames, plan, steps)) != APE_OK)
        return rc;
    h.md5 = md5.finish();
    h.frameCount = frames;
    const uint64_t framesEnd = body.position();

    // The trailer: to the end of a measured file; a stream's partial
    // block and whatever follows its audio.
    if (random) {
        h.trailerSize = uint64_t(in->size()) - in->position();
        if ((rc = copy_range(*in, in->position(), h.trailerSize, h.trailerCrc, &body)) != APE_OK)
            return rc == APE_ERROR_TRUNCATED ? APE_ERROR_READ : rc;
    } else {
        h.trailerCrc = crc32(0, partial.data(), partial.size());
        int64_t rest = -1;
        if ((rc = body.write(partial.data(), partial.size())) != APE_OK ||
            (!pcm && (rc = copy_through(*in, rest, h.trailerCrc, &body)) != APE_OK))
            return rc;
        h.trailerSize = partial.size() + (pcm ? 0 : uint64_t(rest));
    }
    // Raw PCM is stored behind a canonical header made for it now, with
    // its data chunk's pad byte.
    std::vector<uint8_t> canonical;
    if (pcm) {
        const uint64_t dataSize = h.totalBlocks * align + partial.size();
        if (dataSize & 1) {
            const uint8_t pad = 0;
            h.trailerCrc = crc32(h.trailerCrc, &pad, 1);
            if ((rc = body.write(&pad, 1)) != APE_OK)
                return rc;
            ++h.trailerSize;
        }
        canonical = canonical_wave_header(*pcm, dataSize);
        h.waveHeaderCrc = crc32(0, canonical.data(), canonical.size());
    }
    h.waveHeaderSize = pcm ? canonical.size() : w.dataOffset;
    h.seekTableOffset = h.waveHeaderOffset + h.waveHeaderSize;
    h.framesOffset = h.seekTableOffset + h.frameCount * kSeekEntrySize;
    h.trailerOffset = h.framesOffset + (framesEnd - framesStart);
    h.audioEnd = h.trailerOffset + h.trailerSize;

    uint8_t head[kHeaderSize];
    if (inPlace) {
        encode_file_header(h, head);
        rc = out->writeAt(0, head, sizeof head);
    } else if ((rc = spooled_table_crc(spool, h, framesStart)) == APE_OK) {
        encode_file_header(h, head);
        uint32_t ignored = 0;
        if ((rc = out->write(head, sizeof head)) == APE_OK)
            rc = pcm ? out->write(canonical.data(), canonical.size())
                     : copy_range(spool.in(), 0, h.waveHeaderSize, ignored, out.get());
        if (rc == APE_OK)
            rc = copy_out(spool, h, framesStart, *out);
    }
    if (rc != APE_OK || (rc = out->finish()) != APE_OK)
        return rc;
    progress.finish();
    return APE_OK;
}

} // namespace monkeys
