// WAVE sample bytes to signed samples for the coder, and back.
#pragma once

#include <cstddef>
#include <cstdint>

namespace monkeys {

// count samples of bitsPerSample (8: unsigned, else signed little-endian).
void pcm_to_samples(const uint8_t* bytes, int bitsPerSample, size_t count, int32_t* samples);
void samples_to_pcm(const int32_t* samples, int bitsPerSample, size_t count, uint8_t* bytes);

} // namespace monkeys
