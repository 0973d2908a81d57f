// Signed samples to WAVE sample bytes (the coder reads and writes those
// bytes itself; this is for the decompressor object's partial frames).
#pragma once

#include <cstddef>
#include <cstdint>

namespace monkeys {

// count samples of bitsPerSample (8: unsigned, else signed little-endian).
void samples_to_pcm(const int32_t* samples, int bitsPerSample, size_t count, uint8_t* bytes);

} // namespace monkeys
