// MSB-first bit packing for the Rice-coded frames. The reader never looks
// past the end of its input: missing bytes read as zero and are counted,
// so a damaged frame decodes to garbage (caught by its caller) instead of
// running off the buffer.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace monkeys::core {

class BitWriter {
public:
    // Appends to out. Until flush, out may hold spare bytes at its end.
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out), at_(out.size()) {}

    // n in [0, 32]
    void put(uint32_t value, int n)
    {
        uint64_t v = value & (n == 32 ? 0xFFFFFFFFull : ((1ull << n) - 1));
        acc_ = (acc_ << n) | v;
        fill_ += n;
        if (fill_ >= 32) {
            fill_ -= 32;
            uint32_t word = __builtin_bswap32(uint32_t(acc_ >> fill_));
            if (out_.size() < at_ + 4)
                out_.resize(std::max(at_ + 4, 2 * out_.size()));
            std::memcpy(out_.data() + at_, &word, 4);
            at_ += 4;
        }
    }

    // count zero bits then a one
    void put_unary(uint32_t count)
    {
        while (count >= 32) {
            put(0, 32);
            count -= 32;
        }
        put(1, int(count) + 1);
    }

    void flush()
    {
        out_.resize(at_);
        while (fill_ >= 8) {
            fill_ -= 8;
            out_.push_back(uint8_t(acc_ >> fill_));
        }
        if (fill_ > 0)
            out_.push_back(uint8_t(acc_ << (8 - fill_)));
        fill_ = 0;
        acc_ = 0;
        at_ = out_.size();
    }

private:
    std::vector<uint8_t>& out_;
    size_t at_;
    uint64_t acc_ = 0;
    int fill_ = 0;
};

class BitReader {
public:
    BitReader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}

    // n in [0, 32]
    uint32_t get(int n)
    {
        if (n == 0)
            return 0;
        if (fill_ < n)
            refill();
        fill_ -= n;
        return uint32_t((acc_ >> fill_) & ((1ull << n) - 1));
    }

    // Number of zero bits before the next one, at most limit (then the
    // stream is damaged or an escape follows; the one is not consumed).
    uint32_t get_unary(uint32_t limit)
    {
        uint32_t count = 0;
        for (;;) {
            if (fill_ == 0)
                refill();
            uint64_t window = acc_ & ((1ull << fill_) - 1);
            if (window != 0) {
                int top = 63 - __builtin_clzll(window);  // index of the highest one
                uint32_t zeros = uint32_t(fill_ - 1 - top);
                if (count + zeros >= limit) {
                    fill_ -= int(limit - count);
                    return limit;
                }
                count += zeros;
                fill_ = top;  // drop the zeros and the one
                return count;
            }
            if (count + uint32_t(fill_) >= limit) {
                fill_ -= int(limit - count);
                return limit;
            }
            count += uint32_t(fill_);
            fill_ = 0;
        }
    }

    // One Rice code with parameter k, when all of it is in the buffer and
    // its quotient is below limit; otherwise false and nothing is taken.
    bool rice(int k, uint32_t limit, uint32_t& u)
    {
        if (fill_ < 40)
            refill();
        uint64_t window = acc_ << (64 - fill_);  // fill_ > 48 here
        if (window == 0)
            return false;
        uint32_t zeros = uint32_t(__builtin_clzll(window));
        int need = int(zeros) + 1 + k;
        if (zeros >= limit || need > fill_)
            return false;
        fill_ -= need;
        u = (zeros << k) | uint32_t((acc_ >> fill_) & ((1ull << k) - 1));
        return true;
    }

    // Bytes asked for beyond the end of the input.
    size_t overrun() const { return overrun_; }

private:
    void refill()
    {
        if (end_ - p_ >= 8) {
            // whole bytes, as many as fit below 64 bits, in one load
            uint64_t v;
            std::memcpy(&v, p_, 8);
            v = __builtin_bswap64(v);
            const int n = (63 - fill_) >> 3;
            acc_ = (acc_ << (8 * n)) | (v >> (64 - 8 * n));
            fill_ += 8 * n;
            p_ += n;
            return;
        }
        while (fill_ <= 48) {  // keeps fill_ below 64 for the masks
            uint8_t b = 0;
            if (p_ < end_)
                b = *p_++;
            else
                ++overrun_;
            acc_ = (acc_ << 8) | b;
            fill_ += 8;
        }
    }

    const uint8_t* p_;
    const uint8_t* end_;
    uint64_t acc_ = 0;
    int fill_ = 0;
    size_t overrun_ = 0;
};

} // namespace monkeys::core
