// MSB-first bit packing for the entropy-coded frames. The reader never
// looks past the end of its input: missing bytes read as zero and are
// counted, so a damaged frame decodes to garbage (caught by its caller)
// instead of running off the buffer.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "LargeMemory.h"

namespace monkeys::core {

class BitWriter {
public:
    // Appends to out. Until flush, out may hold spare bytes at its end.
    explicit BitWriter(Bytes& out) : out_(out), at_(out.size()) {}

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
    Bytes& out_;
    size_t at_;
    uint64_t acc_ = 0;
    int fill_ = 0;
};

// Rice codes, MSB first, into a byte vector. room(n) makes space for n
// codes of at most 56 bits, so that a code needs no bound check: each
// one stores eight bytes (the pending bits, zeros after them) and moves
// on by the whole bytes among them.
class CodeWriter {
public:
    explicit CodeWriter(Bytes& out) : out_(&out), at_(out.size()) {}

    void room(int codes)
    {
        sync();
        const size_t need = at_ + size_t(codes) * 7 + 8;
        if (out_->size() < need)
            out_->resize(std::max(need, 2 * out_->size()));
        p_ = out_->data() + at_;
    }

    // value < 2^n, n in [1, 56]
    void put(uint64_t value, int n)
    {
        acc_ = (acc_ << n) | value;  // bits above the pending ones shift out
        fill_ += n;
        const uint64_t word = __builtin_bswap64(acc_ << (64 - fill_));
        std::memcpy(p_, &word, 8);
        p_ += fill_ >> 3;
        fill_ &= 7;
    }

    // The last byte padded with zeros (it is stored already).
    void flush()
    {
        sync();
        out_->resize(at_ + (fill_ > 0));
    }

private:
    void sync()
    {
        if (p_)
            at_ = size_t(p_ - out_->data());
    }

    Bytes* out_;
    size_t at_;
    uint8_t* p_ = nullptr;
    uint64_t acc_ = 0;
    int fill_ = 0;
};

// Reads from a bit position: each look loads the eight bytes around it,
// so no bit buffer needs refilling. The reader never looks past the end
// of its input: bytes beyond it read as zero, and the bits taken beyond
// it are counted.
class BitReader {
public:
    BitReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    // The next bits, the first at the top: at least 57 of them valid.
    uint64_t peek() const { return (pos_ >> 3) + 8 <= size_ ? peek_fast() : peek_tail(); }
    // The same where eight bytes are left from the current one.
    uint64_t peek_fast() const
    {
        uint64_t v;
        std::memcpy(&v, data_ + (pos_ >> 3), 8);
        return __builtin_bswap64(v) << (pos_ & 7);
    }
    void skip(int n) { pos_ += size_t(n); }

    // How many codes of at most 56 bits may follow, each read with
    // peek_fast().
    int codes_in_reach() const
    {
        const size_t at = (pos_ >> 3) + 8;
        return at <= size_ ? int(std::min<size_t>((size_ - at) / 7 + 1, size_t(1) << 30)) : 0;
    }

    // n in [0, 32]
    uint32_t get(int n)
    {
        const uint32_t v = uint32_t((peek() >> 1) >> (63 - n));
        skip(n);
        return v;
    }

    // Bytes taken beyond the end of the input (0 for a whole code).
    size_t overrun() const { return pos_ > 8 * size_ ? (pos_ - 8 * size_ + 7) / 8 : 0; }

private:
    uint64_t peek_tail() const
    {
        uint64_t v = 0;
        for (size_t j = pos_ >> 3; j < (pos_ >> 3) + 8; ++j)
            v = v << 8 | (j < size_ ? data_[j] : 0);
        return v << (pos_ & 7);
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

} // namespace monkeys::core
