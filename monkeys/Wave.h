// Reading the layout of a RIFF WAVE file with integer PCM. The audio is
// the whole blocks of the data chunk; everything before it (the header)
// and after it (the trailer: a partial block, the pad byte, later chunks,
// anything past the RIFF chunk) is kept byte for byte by the caller.
#pragma once

#include <cstdint>

namespace monkeys {

struct WaveLayout {
    int channels = 0;
    int bitsPerSample = 0;     // of the sample container: 8, 16, 24 or 32
    int blockAlign = 0;        // channels * bitsPerSample / 8
    uint32_t sampleRate = 0;
    uint64_t dataOffset = 0;   // first byte of audio; also the header's size
    uint64_t totalBlocks = 0;
    uint64_t dataBytes = 0;    // totalBlocks * blockAlign
    uint64_t trailerOffset = 0;
    uint64_t trailerSize = 0;  // to the end of the file
};

// Reads the layout of the file of fileSize bytes open at fd. Returns an
// APEResult.
int read_wave_layout(int fd, uint64_t fileSize, WaveLayout& layout);

} // namespace monkeys
