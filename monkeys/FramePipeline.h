// Frames are independent, so a file call codes them on a few threads while
// the calling thread keeps everything that must happen in frame order
// (checksums, writing, progress). The output does not depend on the
// number of threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace monkeys {

// Threads for one file call: MONKEYS_AUDIO_THREADS when it holds a number
// from 1 to kMaxThreads, otherwise the processors online, at most
// kDefaultThreads.
constexpr int kMaxThreads = 16;
constexpr int kDefaultThreads = 4;
int frame_threads();

// Frames in flight and the workers' own buffers are bounded by memory as
// well as by threads.
constexpr size_t kPipelineMemory = size_t(48) << 20;

struct FramePlan {
    int threads;   // workers; 1 means all work runs on the calling thread
    size_t slots;  // frames in flight, each with its own buffers
};
// The plan for `threads` threads when each frame in flight needs
// slotBytes of buffers (what its emit reads) and each thread threadBytes
// of its own (what work needs only while it runs).
FramePlan plan_frames(int threads, size_t slotBytes, size_t threadBytes);

// Runs work(frame, slot) for frames 0 .. count-1 on plan.threads threads
// (the calling thread among them, between its emits; buffers of a work
// step's own are best kept per thread, which touches less memory),
// and emit(frame, slot) in frame order on the calling thread once that
// frame's work is done. The slot (below plan.slots) names the buffers the
// frame may use until its emit returns. Both return an APEResult; the
// first one that is not APE_OK stops the run and is returned.
using FrameStep = std::function<int(uint64_t frame, size_t slot)>;
int run_frames(uint64_t count, const FramePlan& plan, const FrameStep& work, const FrameStep& emit);

} // namespace monkeys
