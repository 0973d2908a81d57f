// The MD5 of the frames' WAVE data, in frame order, taken where it costs
// least: beside the decoding of a later frame (core::Md5Run), on whichever
// thread's loop finds the next bytes to hash decoded and the hash free,
// and otherwise on its own where the frames' buffers must be free again.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "Checksum.h"

namespace monkeys {

class FrameMd5 {
public:
    // A frame's WAVE data, from its decoded() until the hash is past it;
    // `buffers` frames apart share a buffer.
    using Data = std::function<const uint8_t*(uint64_t frame)>;
    using Size = std::function<size_t(uint64_t frame)>;
    FrameMd5(size_t buffers, Data data, Size size);

    // The frame's WAVE data is in its buffer.
    void decoded(uint64_t frame);
    // Returns once the frames before `frame` are hashed, hashing them here
    // where no thread is hashing beside its decoding (and waiting for it
    // where one is).
    void through(uint64_t frame);
    // Hashes a piece here if the next two frames to hash are decoded (more
    // than loops beside can take on) and no thread is hashing; returns
    // whether it did.
    bool spare();
    // The MD5 of all count frames (every one decoded).
    std::array<uint8_t, 16> finish(uint64_t count);

    // For the length of a frame's decoding on this thread: lends the
    // decoder's loops the rest of the next frame to hash, if that is an
    // earlier frame, decoded, and the hash is free.
    class Beside final : core::Md5Lender {
    public:
        Beside(FrameMd5& md5, uint64_t frame);
        ~Beside();
        Beside(const Beside&) = delete;
        Beside& operator=(const Beside&) = delete;

    private:
        core::Md5Run* lend() override;
        void back(core::Md5Run& run) override;
        FrameMd5& md5_;
        const uint64_t frame_;
        core::Md5Lender* const was_;
        size_t at_ = 0;                  // the bytes of the frame lent hashed before
        const uint8_t* data_ = nullptr;  // the rest of it
        core::Md5Run run_{};
    };

private:
    bool ready(uint64_t frame) const { return done_[frame % done_.size()] == frame + 1; }
    // Under the lock: takes the hash, if it is free and frame next_ is
    // decoded (with twoDecoded, the one after it too), giving that frame
    // and the bytes of it hashed.
    bool take(uint64_t& frame, size_t& at, bool twoDecoded);
    // Hashes n bytes of the frame from at, the hash taken, and gives it back.
    void hash(uint64_t frame, size_t at, size_t n);
    // Gives the hash back, on from the bytes of frame next_ before at.
    void advance(size_t at);

    Data data_;
    Size size_;
    Md5 md5_;  // whoever holds busy_ uses it
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<uint64_t> done_;  // per buffer, the frame decoded in it, plus one
    uint64_t next_ = 0;           // frames hashed
    size_t at_ = 0;               // bytes of frame next_ hashed
    bool busy_ = false;
    // whether take() may succeed, for loops that ask often to read
    // without the lock
    std::atomic<bool> takeable_{false};
    void changed();  // under the lock: takeable_ anew, and the waits woken
};

} // namespace monkeys
