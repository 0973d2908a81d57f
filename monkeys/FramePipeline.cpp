#include "FramePipeline.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include <unistd.h>

#include "MonkeysAudioLib.h"

namespace monkeys {

int frame_threads(uint64_t frames, uint64_t perThread)
{
    if (const char* text = std::getenv("MONKEYS_AUDIO_THREADS")) {
        char* end = nullptr;
        long n = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && n >= 1 && n <= kMaxThreads)
            return int(n);
    }
    long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    if (online < 1)
        return 1;
    const uint64_t paying = std::max<uint64_t>(frames / perThread, 1);
    return int(std::min<uint64_t>({uint64_t(online), uint64_t(kDefaultThreads), paying}));
}

FramePlan plan_frames(int threads, size_t slotBytes, size_t threadBytes, size_t heldSlots)
{
    // Two frames a worker keep every worker busy while the calling thread
    // emits. Fewer workers when frames are large.
    for (int t = std::min(threads, kMaxThreads); t >= 2; --t) {
        const size_t slots = size_t(t) * 2;
        if ((slots + heldSlots) * slotBytes + size_t(t) * threadBytes <= kPipelineMemory)
            return FramePlan{t, slots, heldSlots};
    }
    return FramePlan{1, 1};
}

namespace {

int guarded(const FrameStep& step, uint64_t frame, size_t slot)
{
    try {
        return step(frame, slot);
    } catch (const std::bad_alloc&) {
        return APE_ERROR_NO_MEMORY;
    }
}

class Pipeline {
public:
    Pipeline(uint64_t count, const FramePlan& plan, const FrameSteps& steps)
        : count_(count), plan_(plan), steps_(steps), done_(plan.slots, false), result_(plan.slots, APE_OK)
    {
    }

    void worker()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            // A slot is free again once the frame that used it was emitted.
            if (stop_ || !more())
                return;
            if (next_ < emitted_ + plan_.slots)
                run_one(lock);
            else if (!spare(lock))
                changed_.wait(lock);
        }
    }

    // Waits for the frame's work, doing frames of its own meanwhile, so
    // that the calling thread counts as one of the threads; returns the
    // frame's result.
    int await(uint64_t frame)
    {
        size_t slot = size_t(frame % plan_.slots);
        std::unique_lock<std::mutex> lock(mutex_);
        while (!done_[slot]) {
            if (more() && next_ < emitted_ + plan_.slots) {
                run_one(lock);
                continue;
            }
            if (!spare(lock))
                changed_.wait(lock);
        }
        return result_[slot];
    }

    // Takes the next frame, loads it in its turn and works on it, without
    // the lock.
    void run_one(std::unique_lock<std::mutex>& lock)
    {
        uint64_t frame = next_++;
        size_t slot = size_t(frame % plan_.slots);
        changed_.wait(lock, [&] { return loaded_ == frame; });
        int rc = kNoMoreFrames;
        if (!ended_) {
            lock.unlock();
            rc = guarded(steps_.load, frame, plan_.slot_of(frame));
            lock.lock();
            ended_ = rc != APE_OK;
        }
        loaded_ = frame + 1;
        notify();
        if (rc == APE_OK) {
            lock.unlock();
            rc = guarded(steps_.work, frame, plan_.slot_of(frame));
            lock.lock();
        }
        result_[slot] = rc;
        done_[slot] = true;
        notify();
    }

    // The spare work, without the lock: whether it did any, or the
    // frames moved on meanwhile (what the wait would have been woken for).
    bool spare(std::unique_lock<std::mutex>& lock)
    {
        if (!steps_.spare)
            return false;
        const uint64_t seen = changes_;
        lock.unlock();
        const bool did = steps_.spare();
        lock.lock();
        return did || changes_ != seen;
    }

    void release(uint64_t frame)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done_[size_t(frame % plan_.slots)] = false;
        emitted_ = frame + 1;
        notify();
    }

    void stop()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        notify();
    }

private:
    // Frames are left to take: not all taken, and the input not ended.
    bool more() const { return next_ < count_ && !ended_; }
    // Wakes the waits (under the lock).
    void notify()
    {
        ++changes_;
        changed_.notify_all();
    }

    const uint64_t count_;
    const FramePlan plan_;
    const FrameSteps& steps_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<bool> done_;
    std::vector<int> result_;
    uint64_t next_ = 0;
    uint64_t loaded_ = 0;
    uint64_t emitted_ = 0;
    uint64_t changes_ = 0;  // wakes so far
    bool ended_ = false;   // a load ended the frames, or failed
    bool stop_ = false;
};

} // namespace

int run_frames(uint64_t count, const FramePlan& plan, const FrameSteps& steps)
{
    std::vector<std::thread> workers;
    Pipeline pipeline(count, plan, steps);
    if (plan.threads > 1 && count > 1) {
        try {
            // the calling thread is the last of them
            for (int t = 1; t < plan.threads; ++t)
                workers.emplace_back(&Pipeline::worker, &pipeline);
        } catch (const std::system_error&) {
            // Whatever threads started carry the work; with none, it runs here.
        } catch (const std::bad_alloc&) {
        }
    }
    int rc = APE_OK;
    if (workers.empty()) {
        for (uint64_t i = 0; i < count && rc == APE_OK; ++i)
            if ((rc = guarded(steps.load, i, plan.slot_of(i))) == APE_OK &&
                (rc = guarded(steps.work, i, plan.slot_of(i))) == APE_OK)
                rc = guarded(steps.emit, i, plan.slot_of(i));
        return rc == kNoMoreFrames ? APE_OK : rc;
    }
    for (uint64_t i = 0; i < count; ++i) {
        if ((rc = pipeline.await(i)) != APE_OK || (rc = guarded(steps.emit, i, plan.slot_of(i))) != APE_OK)
            break;
        pipeline.release(i);
    }
    pipeline.stop();
    for (std::thread& t : workers)
        t.join();
    return rc == kNoMoreFrames ? APE_OK : rc;
}

} // namespace monkeys
