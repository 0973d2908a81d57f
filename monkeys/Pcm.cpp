#include "Pcm.h"

namespace monkeys {

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
