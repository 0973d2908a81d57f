// A frame's samples, interleaved: 32-bit, or as WAVE data stores them
// (Width bytes each, little-endian, 8 bits unsigned), read and written
// without a copy of the frame in the other form (private to the coder).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace monkeys::core {

inline int32_t wrap_add(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }
inline int32_t wrap_sub(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }

struct Ints {
    int32_t* p;
    int32_t get(size_t i) const { return p[i]; }
    void set(size_t i, int32_t v) const { p[i] = v; }
    // samples i and i + 1
    void set_pair(size_t i, int32_t a, int32_t b) const
    {
        p[i] = a;
        p[i + 1] = b;
    }
};

template <int Width>
struct Pcm {
    uint8_t* p;
    int32_t get(size_t i) const
    {
        const uint8_t* b = p + i * Width;
        if constexpr (Width == 1)
            return int32_t(b[0]) - 128;
        uint32_t v = 0;
        for (int k = 0; k < Width; ++k)
            v |= uint32_t(b[k]) << (8 * k);
        return int32_t(v << (32 - 8 * Width)) >> (32 - 8 * Width);
    }
    void set(size_t i, int32_t v) const
    {
        uint8_t* b = p + i * Width;
        if constexpr (Width == 1)
            b[0] = uint8_t(v + 128);
        else
            for (int k = 0; k < Width; ++k)
                b[k] = uint8_t(uint32_t(v) >> (8 * k));
    }
    // Samples i and i + 1 in one store where it fits eight bytes (which
    // the compiler vectorises).
    void set_pair(size_t i, int32_t a, int32_t b) const
    {
        uint8_t* at = p + i * Width;
        if constexpr (Width == 1) {
            const uint16_t v = uint16_t(uint8_t(a + 128) | uint8_t(b + 128) << 8);
            std::memcpy(at, &v, 2);
        } else if constexpr (Width == 2) {
            const uint32_t v = (uint32_t(a) & 0xFFFF) | uint32_t(b) << 16;
            std::memcpy(at, &v, 4);
        } else if constexpr (Width == 3) {
            const uint64_t v = (uint64_t(a) & 0xFFFFFF) | (uint64_t(b) & 0xFFFFFF) << 24;
            std::memcpy(at, &v, 6);
        } else {
            const uint64_t v = uint64_t(uint32_t(a)) | uint64_t(uint32_t(b)) << 32;
            std::memcpy(at, &v, 8);
        }
    }
};

// Instantiates a template for every sample form: X(Ints) X(Pcm<1>) ...
#define MONKEYS_FOR_EACH_SAMPLES(X) X(Ints) X(Pcm<1>) X(Pcm<2>) X(Pcm<3>) X(Pcm<4>)

} // namespace monkeys::core
