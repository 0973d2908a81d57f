// A fuzz case for the frame decoder: four bytes of format (channels - 1,
// sample size code, blocks as u16) and then the frame payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "FrameCodec.h"

namespace corefuzz {

constexpr size_t kHeader = 4;
constexpr int kBits[4] = {8, 16, 24, 32};

struct Case {
    monkeys::FrameFormat format;
    int blocks;
};

inline Case parse(const uint8_t* data)
{
    Case c;
    c.format = {1 + data[0] % 32, kBits[data[1] & 3], 1000 * (1 + (data[1] >> 2) % 4)};
    c.blocks = (data[2] | data[3] << 8) % 8193;
    return c;
}

template <class Payload>
std::vector<uint8_t> make(const monkeys::FrameFormat& f, int blocks, const Payload& payload)
{
    int code = f.bitsPerSample == 8 ? 0 : f.bitsPerSample == 16 ? 1 : f.bitsPerSample == 24 ? 2 : 3;
    std::vector<uint8_t> v = {uint8_t(f.channels - 1), uint8_t(code | (f.level / 1000 - 1) << 2),
                              uint8_t(blocks), uint8_t(blocks >> 8)};
    v.insert(v.end(), payload.begin(), payload.end());
    return v;
}

} // namespace corefuzz
