#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "ApeReader.h"
#include "Checksum.h"
#include "Coding.h"
#include "FrameMd5.h"
#include "FramePipeline.h"
#include "MonkeysAudioLib.h"

namespace monkeys {

int decompress(Input& in, Output* out, Progress& progress)
{
    ApeReader reader;
    // Verifying reads the WAVE header through its check as well.
    class Nowhere final : public Output {
    protected:
        int rawWrite(const void*, size_t) override { return APE_OK; }
        int rawWriteAt(uint64_t, const void*, size_t) override { return APE_OK; }
        bool rawSeek(uint64_t) override { return true; }
    } nowhere;
    int rc = reader.open(in, out ? out : &nowhere);
    if (rc != APE_OK)
        return rc;
    const FileHeader& h = reader.header();
    progress.update(0, h.frameCount);

    // What a frame holds from its load until its slot is free again: the
    // coded frame and its WAVE data, left uninitialised (a slot no frame
    // uses touches no memory). On one thread the frame is decoded in its
    // slot, the WAVE data over the channels: fresh memory costs more than
    // the work on a short file. Threads decode in memory of their own,
    // which stays in their caches, and write the WAVE data to the slots in
    // turn.
    //
    // Decoding checks the WAVE data against the PCM's CRC-32 where the file
    // has one: each frame's on the thread that decoded it, joined in frame
    // order at the emit. The MD5 can only run in frame order, on one
    // thread at a time, which holds two threads back on the fastest level;
    // it is checked where the file has no CRC, and always when verifying.
    //
    // The MD5 of a frame's WAVE data is taken, as far as it goes, beside
    // the decoding of later frames (see FrameMd5): on one thread beside
    // the next frame's, on more on whichever thread's decoding finds it
    // next, a frame or two later. So the plan holds a frame's slot that
    // many emits longer, and a frame's decoding first sees the last frame
    // of its slot hashed (which is seldom still to do: an emit that waited
    // for the hash instead kept its thread from decoding).
    struct Slot {
        FrameBytes frame;
        core::LargeArray<uint8_t> pcm;
    };
    const size_t sampleBytes = h.bitsPerSample / 8;
    const size_t frameSamples = reader.frameSamples();
    const bool md5Check = !(out && h.hasPcmCrc);
    FramePlan plan = plan_frames(frame_threads(h.frameCount, kDecodingFramesPerThread),
                                 frameSamples * (sampleBytes + 2), frameSamples * 9, md5Check ? 2 : 0);
    const bool inPlace = plan.threads == 1;
    if (inPlace && md5Check)
        plan.held = 1;
    std::vector<Slot> slots;
    try {
        slots.resize(plan.buffers());
        for (Slot& s : slots)
            s.pcm = core::LargeArray<uint8_t>(inPlace ? reader.decodeRoom() : frameSamples * sampleBytes);
    } catch (const std::bad_alloc&) {
        return APE_ERROR_NO_MEMORY;
    }
    auto frameBytes = [&](uint64_t i) { return size_t(h.frameBlocks(i)) * h.channels * sampleBytes; };
    FrameMd5 md5(
        slots.size(), [&](uint64_t i) { return slots[plan.slot_of(i)].pcm.get(); }, frameBytes);
    std::vector<uint32_t> frameCrcs(slots.size());
    uint32_t pcmCrc = 0;
    FrameSteps steps;
    steps.load = [&](uint64_t i, size_t slot) {
        if (progress.killed())
            return int(APE_ERROR_KILLED);
        return reader.readFrame(i, slots[slot].frame);
    };
    steps.work = [&](uint64_t i, size_t slot) {
        Slot& s = slots[slot];
        // the slot's last frame hashed before its WAVE data goes
        if (md5Check && i >= plan.buffers())
            md5.through(i + 1 - plan.buffers());
        int rc;
        {
            std::optional<FrameMd5::Beside> beside;
            if (md5Check)
                beside.emplace(md5, i);
            rc = inPlace ? reader.decodeFrameInPlace(i, s.frame, s.pcm.get()) : reader.decodeFrame(i, s.frame, s.pcm.get());
        }
        if (rc != APE_OK)
            return rc;
        if (h.hasPcmCrc)
            frameCrcs[slot] = crc32(0, s.pcm.get(), frameBytes(i));
        if (md5Check)
            md5.decoded(i);
        return rc;
    };
    steps.emit = [&](uint64_t i, size_t slot) {
        if (progress.killed())
            return int(APE_ERROR_KILLED);
        if (h.hasPcmCrc)
            pcmCrc = crc32_combine(pcmCrc, frameCrcs[slot], frameBytes(i));
        int rc = out ? out->write(slots[slot].pcm.get(), frameBytes(i)) : APE_OK;
        progress.update(i + 1, h.frameCount);
        return rc;
    };
    if (md5Check)
        steps.spare = [&] { return md5.spare(); };
    if ((rc = run_frames(h.frameCount, plan, steps)) != APE_OK)
        return rc;
    if ((h.hasPcmCrc && !check_matches(h.pcmCrc, pcmCrc)) || (md5Check && md5.finish(h.frameCount) != h.md5))
        return APE_ERROR_MD5;
    if ((rc = reader.readTrailer(out)) != APE_OK || (out && (rc = out->finish()) != APE_OK))
        return rc;
    progress.finish();
    return APE_OK;
}

int decompress_stream(const APEStream& ape, const APEStream* wave, Progress& progress)
{
    std::unique_ptr<Input> in;
    std::unique_ptr<Output> out;
    int rc = open_input(ape, in);
    if (rc == APE_OK && wave)
        rc = open_output(*wave, *in, out);
    return rc == APE_OK ? decompress(*in, out.get(), progress) : rc;
}

} // namespace monkeys
