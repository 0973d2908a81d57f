// CRC-32 (the IEEE polynomial, as in zlib and PNG) and MD5.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/Md5Run.h"

namespace monkeys {

// Continues a CRC-32: start with crc = 0.
uint32_t crc32(uint32_t crc, const void* data, size_t size);
// The CRC-32 of A then B from those of A and of B (sizeB bytes long), so
// that pieces can be summed apart and joined in order.
uint32_t crc32_combine(uint32_t crcA, uint32_t crcB, uint64_t sizeB);

// Whether a stored check value matches the computed one. Fuzzing builds
// take every check as passed, so that mutated input reaches the decoder.
inline bool check_matches(uint32_t stored, uint32_t computed)
{
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    (void)stored;
    (void)computed;
    return true;
#else
    return stored == computed;
#endif
}

class Md5 {
public:
    Md5();
    void update(const void* data, size_t size);
    std::array<uint8_t, 16> finish();

    // Hashing data of size bytes partly elsewhere: lend() takes in what
    // completes a partial block and hands out the whole blocks after it;
    // resume() takes the run back and returns how much of the data is
    // hashed, the rest of which then goes through update().
    core::Md5Run lend(const uint8_t* data, size_t size);
    size_t resume(const core::Md5Run& run, const uint8_t* data);

private:
    void blocks(const uint8_t* p, size_t n);
    uint32_t state_[4];
    uint64_t bytes_ = 0;
    uint8_t buffer_[64];
    size_t fill_ = 0;
    const uint8_t* lent_ = nullptr;  // the first block lent
};

} // namespace monkeys
