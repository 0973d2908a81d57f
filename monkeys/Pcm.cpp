#include "Pcm.h"

namespace monkeys {

void pcm_to_samples(const uint8_t* b, int bitsPerSample, size_t count, int32_t* s)
{
    switch (bitsPerSample) {
    case 8:
        for (size_t i = 0; i < count; ++i)
            s[i] = int32_t(b[i]) - 128;
        break;
    case 16:
        for (size_t i = 0; i < count; ++i, b += 2)
            s[i] = int16_t(uint16_t(b[0] | b[1] << 8));
        break;
    case 24:
        for (size_t i = 0; i < count; ++i, b += 3)
            s[i] = int32_t(uint32_t(b[0]) << 8 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 24) >> 8;
        break;
    default:
        for (size_t i = 0; i < count; ++i, b += 4)
            s[i] = int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
        break;
    }
}

void samples_to_pcm(const int32_t* s, int bitsPerSample, size_t count, uint8_t* b)
{
    switch (bitsPerSample) {
    case 8:
        for (size_t i = 0; i < count; ++i)
            b[i] = uint8_t(s[i] + 128);
        break;
    case 16:
        for (size_t i = 0; i < count; ++i, b += 2) {
            uint32_t v = uint32_t(s[i]);
            b[0] = uint8_t(v);
            b[1] = uint8_t(v >> 8);
        }
        break;
    case 24:
        for (size_t i = 0; i < count; ++i, b += 3) {
            uint32_t v = uint32_t(s[i]);
            b[0] = uint8_t(v);
            b[1] = uint8_t(v >> 8);
            b[2] = uint8_t(v >> 16);
        }
        break;
    default:
        for (size_t i = 0; i < count; ++i, b += 4) {
            uint32_t v = uint32_t(s[i]);
            b[0] = uint8_t(v);
            b[1] = uint8_t(v >> 8);
            b[2] = uint8_t(v >> 16);
            b[3] = uint8_t(v >> 24);
        }
        break;
    }
}

} // namespace monkeys
