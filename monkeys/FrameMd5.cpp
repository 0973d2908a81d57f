#include "FrameMd5.h"

#include <algorithm>

namespace monkeys {

namespace {
// what a thread with nothing else to do hashes at a time
constexpr size_t kSparePiece = 64 << 10;
} // namespace

FrameMd5::FrameMd5(size_t buffers, Data data, Size size)
    : data_(std::move(data)), size_(std::move(size)), done_(buffers, 0)
{
}

void FrameMd5::decoded(uint64_t frame)
{
    std::lock_guard<std::mutex> lock(mutex_);
    done_[frame % done_.size()] = frame + 1;
    changed();
}

void FrameMd5::changed()
{
    takeable_.store(!busy_ && ready(next_), std::memory_order_relaxed);
    changed_.notify_all();
}

void FrameMd5::advance(size_t at)
{
    std::lock_guard<std::mutex> lock(mutex_);
    at_ = at;
    if (at_ == size_(next_)) {
        ++next_;
        at_ = 0;
    }
    busy_ = false;
    changed();
}

bool FrameMd5::take(uint64_t& frame, size_t& at, bool twoDecoded)
{
    frame = next_;
    if (busy_ || !ready(frame) || (twoDecoded && !ready(frame + 1)))
        return false;
    busy_ = true;
    takeable_.store(false, std::memory_order_relaxed);
    at = at_;
    return true;
}

void FrameMd5::hash(uint64_t frame, size_t at, size_t n)
{
    md5_.update(data_(frame) + at, n);
    advance(at + n);
}

void FrameMd5::through(uint64_t frame)
{
    std::unique_lock<std::mutex> lock(mutex_);
    uint64_t k;
    size_t at;
    while (next_ < frame) {
        if (!take(k, at, false)) {
            changed_.wait(lock);
            continue;
        }
        lock.unlock();
        hash(k, at, size_(k) - at);
        lock.lock();
    }
}

bool FrameMd5::spare()
{
    uint64_t k;
    size_t at;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!take(k, at, true))
            return false;
    }
    hash(k, at, std::min(size_(k) - at, kSparePiece));
    return true;
}

std::array<uint8_t, 16> FrameMd5::finish(uint64_t count)
{
    through(count);
    return md5_.finish();
}

FrameMd5::Beside::Beside(FrameMd5& md5, uint64_t frame) : md5_(md5), frame_(frame), was_(core::md5_lender())
{
    core::md5_lender() = this;
}

FrameMd5::Beside::~Beside() { core::md5_lender() = was_; }

core::Md5Run* FrameMd5::Beside::lend()
{
    uint64_t k;
    size_t at;
    if (!md5_.takeable_.load(std::memory_order_relaxed))
        return nullptr;
    {
        std::lock_guard<std::mutex> lock(md5_.mutex_);
        if (md5_.next_ >= frame_ || !md5_.take(k, at, false))
            return nullptr;
    }
    at_ = at;
    data_ = md5_.data_(k) + at;
    run_ = md5_.md5_.lend(data_, md5_.size_(k) - at);
    return &run_;
}

void FrameMd5::Beside::back(core::Md5Run& run)
{
    const size_t done = md5_.md5_.resume(run, data_);
    md5_.advance(at_ + done);
}

} // namespace monkeys
