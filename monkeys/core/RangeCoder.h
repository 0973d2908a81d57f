// Binary adaptive range coder (carry-propagating, 32-bit range, 12-bit
// probabilities). The decoder reads zeros past the end of its input and
// counts them, so damaged input cannot make it read out of bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "LargeMemory.h"

namespace monkeys::core {

constexpr int kProbBits = 12;
constexpr uint16_t kProbHalf = 1u << (kProbBits - 1);
constexpr int kAdaptShift = 5;
constexpr uint32_t kTop = 1u << 24;

class RangeEncoder {
public:
    explicit RangeEncoder(Bytes& out) : out_(out) {}

    void encode(uint16_t& prob, int bit)
    {
        uint32_t bound = (range_ >> kProbBits) * prob;
        if (bit == 0) {
            range_ = bound;
            prob = uint16_t(prob + (((1u << kProbBits) - prob) >> kAdaptShift));
        } else {
            low_ += bound;
            range_ -= bound;
            prob = uint16_t(prob - (prob >> kAdaptShift));
        }
        while (range_ < kTop) {
            range_ <<= 8;
            shift_low();
        }
    }

    void finish()
    {
        for (int i = 0; i < 5; ++i)
            shift_low();
    }

private:
    void shift_low()
    {
        if (uint32_t(low_) < 0xFF000000u || (low_ >> 32) != 0) {
            uint8_t carry = uint8_t(low_ >> 32);
            uint8_t temp = cache_;
            do {
                out_.push_back(uint8_t(temp + carry));
                temp = 0xFF;
            } while (--pending_ != 0);
            cache_ = uint8_t(uint32_t(low_) >> 24);
        }
        ++pending_;
        low_ = uint64_t(uint32_t(low_) << 8);
    }

    Bytes& out_;
    uint64_t low_ = 0;
    uint32_t range_ = 0xFFFFFFFFu;
    uint8_t cache_ = 0;
    uint64_t pending_ = 1;
};

class RangeDecoder {
public:
    RangeDecoder(const uint8_t* data, size_t size) : p_(data), end_(data + size)
    {
        for (int i = 0; i < 5; ++i)
            code_ = (code_ << 8) | next();
    }

    int decode(uint16_t& prob)
    {
        // without branches on the (unpredictable) bit
        const uint32_t bound = (range_ >> kProbBits) * prob;
        const int bit = code_ >= bound;
        const uint32_t mask = 0u - uint32_t(bit);
        code_ -= bound & mask;
        range_ = (bound & ~mask) | ((range_ - bound) & mask);
        const uint32_t p = prob;
        prob = uint16_t(p + ((((1u << kProbBits) - p) >> kAdaptShift) & ~mask) - ((p >> kAdaptShift) & mask));
        if (range_ < kTop) {  // once is enough: a probability is never below 2^-7
            range_ <<= 8;
            code_ = (code_ << 8) | next();
        }
        return bit;
    }

    size_t overrun() const { return overrun_; }

private:
    uint32_t next()
    {
        if (p_ < end_)
            return *p_++;
        ++overrun_;
        return 0;
    }

    const uint8_t* p_;
    const uint8_t* end_;
    uint32_t code_ = 0;
    uint32_t range_ = 0xFFFFFFFFu;
    size_t overrun_ = 0;
};

} // namespace monkeys::core
