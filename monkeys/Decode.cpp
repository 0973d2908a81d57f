#include <memory>
#include <new>
#include <vector>

#include "ApeReader.h"
#include "Checksum.h"
#include "Coding.h"
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

    // What a frame holds from its load to its emit: the coded frame and
    // its WAVE data, left uninitialised (a slot no frame uses touches no
    // memory). On one thread the frame is decoded in its slot, the WAVE
    // data over the channels: fresh memory costs more than the work on
    // a short file. Threads decode in memory of their own, which stays
    // in their caches, and write the WAVE data to the slots in turn.
    struct Slot {
        FrameBytes frame;
        core::LargeArray<uint8_t> pcm;
    };
    const size_t sampleBytes = h.bitsPerSample / 8;
    const size_t frameSamples = reader.frameSamples();
    const FramePlan plan = plan_frames(frame_threads(h.frameCount, kDecodingFramesPerThread), frameSamples * (sampleBytes + 2), frameSamples * 9);
    const bool inPlace = plan.threads == 1;
    std::vector<Slot> slots;
    try {
        slots.resize(plan.slots);
        for (Slot& s : slots)
            s.pcm = core::LargeArray<uint8_t>(inPlace ? reader.decodeRoom() : frameSamples * sampleBytes);
    } catch (const std::bad_alloc&) {
        return APE_ERROR_NO_MEMORY;
    }
    auto frameBytes = [&](uint64_t i) { return size_t(h.frameBlocks(i)) * h.channels * sampleBytes; };
    FrameSteps steps;
    steps.load = [&](uint64_t i, size_t slot) {
        if (progress.killed())
            return int(APE_ERROR_KILLED);
        return reader.readFrame(i, slots[slot].frame);
    };
    steps.work = [&](uint64_t i, size_t slot) {
        uint8_t* to = slots[slot].pcm.get();
        return inPlace ? reader.decodeFrameInPlace(i, slots[slot].frame, to) : reader.decodeFrame(i, slots[slot].frame, to);
    };
    Md5 md5;
    steps.emit = [&](uint64_t i, size_t slot) {
        if (progress.killed())
            return int(APE_ERROR_KILLED);
        const Slot& s = slots[slot];
        md5.update(s.pcm.get(), frameBytes(i));
        int rc = out ? out->write(s.pcm.get(), frameBytes(i)) : APE_OK;
        progress.update(i + 1, h.frameCount);
        return rc;
    };
    if ((rc = run_frames(h.frameCount, plan, steps)) != APE_OK)
        return rc;
    if (md5.finish() != h.md5)
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
