// Frames are independent, so a file call codes them on a few threads while
// the calling thread keeps everything that must happen in frame order
// (checksums, writing, progress). The output does not depend on the
// number of threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace monkeys {

// For a run whose frames are counted only by its input.
constexpr uint64_t kUnknownFrames = UINT64_MAX;

// Threads for a file call of `frames` frames (kUnknownFrames when only the
// input knows): MONKEYS_AUDIO_THREADS when it holds a number from 1 to
// kMaxThreads, otherwise the processors online, at most kDefaultThreads,
// and no more than give each thread `perThread` frames. A thread's start
// and its own buffers cost a few milliseconds, more than it saves on a
// short file; decoding a frame takes a fraction of coding it, so a
// decoding thread needs more frames to pay.
constexpr int kMaxThreads = 16;
constexpr int kDefaultThreads = 4;
constexpr uint64_t kCodingFramesPerThread = 8;
constexpr uint64_t kDecodingFramesPerThread = 32;
int frame_threads(uint64_t frames, uint64_t perThread);

// Frames in flight and the workers' own buffers are bounded by memory as
// well as by threads.
constexpr size_t kPipelineMemory = size_t(48) << 20;

struct FramePlan {
    int threads;      // workers; 1 means all work runs on the calling thread
    size_t slots;     // frames in flight, each with its own buffers
    size_t held = 0;  // slots more, for frames kept past their emit
    size_t buffers() const { return slots + held; }
    // A frame's slot: its own from its load until the emit `held` frames
    // later returns.
    size_t slot_of(uint64_t frame) const { return size_t(frame % buffers()); }
};
// The plan for `threads` threads when each frame in flight needs
// slotBytes of buffers (what its emit reads) and each thread threadBytes
// of its own (what work needs only while it runs); with threads, frames
// are held heldSlots more.
FramePlan plan_frames(int threads, size_t slotBytes, size_t threadBytes, size_t heldSlots = 0);

// The steps of one frame. Each returns an APEResult; the first one that is
// not APE_OK stops the run and is returned.
using FrameStep = std::function<int(uint64_t frame, size_t slot)>;
struct FrameSteps {
    // Reads the frame's input, in frame order and one frame at a time (the
    // input is read front to back); kNoMoreFrames ends the run after the
    // frames before it.
    FrameStep load;
    // Codes or decodes the frame, on any thread (buffers of a work step's
    // own are best kept per thread, which touches less memory).
    FrameStep work;
    // Writes it out, in frame order on the calling thread.
    FrameStep emit;
    // Work a thread may do while it waits for a frame (may be empty):
    // returns whether it did any.
    std::function<bool()> spare;
};
constexpr int kNoMoreFrames = -1;
// Runs the steps for frames 0 .. count-1 (or until load ends them) on
// plan.threads threads, the calling thread among them, between its emits.
// The slot (plan.slot_of(frame)) names the buffers the frame may use.
int run_frames(uint64_t count, const FramePlan& plan, const FrameSteps& steps);

} // namespace monkeys
