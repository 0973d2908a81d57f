// Reading the layout of a WAVE file (RIFF, RF64 or Wave64) with integer
// PCM, and making the canonical header of raw PCM. The audio is the whole
// blocks of the data chunk; everything before it (the header) and after it
// (the trailer: a partial block, the pad byte, later chunks, anything past
// the RIFF chunk) is kept byte for byte by the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "MonkeysAudioLib.h"
#include "Stream.h"

namespace monkeys {

// A data size that says nothing: the audio runs to the end of the stream.
constexpr uint64_t kToTheEnd = UINT64_MAX;

struct WaveLayout {
    int channels = 0;
    int bitsPerSample = 0;     // of the sample container: 8, 16, 24 or 32
    int blockAlign = 0;        // channels * bitsPerSample / 8
    uint32_t sampleRate = 0;
    uint64_t dataOffset = 0;   // first byte of audio; also the header's size
    uint64_t dataSize = 0;     // bytes of the data chunk, or kToTheEnd
};

// Where the header's bytes go, as they are read.
using ByteSink = std::function<int(const uint8_t* data, size_t size)>;

// Reads the layout of the WAVE file at the start of in. An input that can
// seek and knows its size is walked to its end whatever the RIFF size says,
// the format may follow the data, and a data chunk must lie within it; its
// header is left to the caller to read. A stream is read front to back up
// to its first byte of audio, every byte handed to header on the way; its
// format must come before its data, and a data size of 0 or all ones is
// kToTheEnd, as streaming writers leave it (one larger than the stream
// also ends with it). Returns an APEResult.
int read_wave_layout(Input& in, WaveLayout& layout, const ByteSink& header);

// The layout of raw PCM of that format (no header, to the end).
int pcm_layout(const APEPcmFormat& format, WaveLayout& layout);

// The canonical header of raw PCM whose data chunk holds dataSize bytes:
// a PCM format for up to two channels of up to 16 bits, an extensible one
// otherwise; RF64 where the sizes do not fit 32 bits.
std::vector<uint8_t> canonical_wave_header(const APEPcmFormat& format, uint64_t dataSize);

} // namespace monkeys
