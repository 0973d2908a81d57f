#include <memory>
#include <new>
#include <vector>

#include "ApeReader.h"
#include "Checksum.h"
#include "Coding.h"
#include "Files.h"
#include "FramePipeline.h"
#include "MonkeysAudioLib.h"

namespace monkeys {

int decompress_file(const char* apePath, const char* wavePath, Progress& progress)
{
    if (!apePath || (wavePath && !*wavePath))
        return APE_ERROR_BAD_ARGUMENT;
    FileHandle in;
    struct stat st;
    int rc = open_source(apePath, in, st);
    if (rc != APE_OK)
        return rc;
    OutputFile out;
    if (wavePath && (rc = out.create(wavePath, st)) != APE_OK)
        return rc;
    ApeReader reader;
    if ((rc = reader.open(in.get(), uint64_t(st.st_size))) != APE_OK)
        return rc;
    const FileHeader& h = reader.header();
    const int outFd = wavePath ? out.fd() : -1;

    progress.update(0, h.frameCount);
    uint32_t crc = 0;
    if ((rc = copy_range(in.get(), h.waveHeaderOffset, h.waveHeaderSize, crc, outFd)) != APE_OK)
        return rc;
    if (!check_matches(h.waveHeaderCrc, crc))
        return APE_ERROR_WAVE_PARTS_CRC;

    // What a frame's emit reads, left uninitialised (a slot no frame uses
    // touches no memory); the coded frame is needed only while a thread
    // decodes, and is kept per thread.
    struct Slot {
        std::unique_ptr<uint8_t[]> pcm;
    };
    const size_t sampleBytes = h.bitsPerSample / 8;
    const size_t frameSamples = reader.frameSamples();
    const FramePlan plan = plan_frames(frame_threads(), frameSamples * sampleBytes, frameSamples * 9);
    std::vector<Slot> slots;
    try {
        slots.resize(plan.slots);
        for (Slot& s : slots)
            s.pcm.reset(new uint8_t[frameSamples * sampleBytes]);
    } catch (const std::bad_alloc&) {
        return APE_ERROR_NO_MEMORY;
    }
    auto frameBytes = [&](uint64_t i) { return size_t(h.frameBlocks(i)) * h.channels * sampleBytes; };
    auto work = [&](uint64_t i, size_t slot) {
        if (progress.killed())
            return int(APE_ERROR_KILLED);
        thread_local std::vector<uint8_t> frame;
        return reader.decodeFrame(i, slots[slot].pcm.get(), frame);
    };
    Md5 md5;
    Writeback writeback(outFd, h.waveHeaderSize);
    auto emit = [&](uint64_t i, size_t slot) {
        if (progress.killed())
            return int(APE_ERROR_KILLED);
        const Slot& s = slots[slot];
        md5.update(s.pcm.get(), frameBytes(i));
        int rc = APE_OK;
        if (outFd >= 0 && (rc = write_all(outFd, s.pcm.get(), frameBytes(i))) == APE_OK)
            writeback.grew(frameBytes(i));
        progress.update(i + 1, h.frameCount);
        return rc;
    };
    if ((rc = run_frames(h.frameCount, plan, work, emit)) != APE_OK)
        return rc;
    if (md5.finish() != h.md5)
        return APE_ERROR_MD5;

    crc = 0;
    if ((rc = copy_range(in.get(), h.trailerOffset, h.trailerSize, crc, outFd)) != APE_OK)
        return rc;
    if (!check_matches(h.trailerCrc, crc))
        return APE_ERROR_WAVE_PARTS_CRC;
    if (wavePath && (rc = out.commit()) != APE_OK)
        return rc;
    progress.finish();
    return APE_OK;
}

} // namespace monkeys
