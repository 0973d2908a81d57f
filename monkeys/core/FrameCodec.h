// The signal coder: one frame of PCM in, bytes out, and back. Frames are
// independent of each other, and these functions keep no state between
// calls, so frames may be coded on several threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "LargeMemory.h"

namespace monkeys {

// Frame length the coder works best with (its adaptive filters start from
// zero in every frame, so longer frames compress better); about 1.7 s at
// 44.1 kHz. Any other length works.
constexpr int kPreferredFrameBlocks = 73728;

// The variants of the frame payload's coding a decoder reads; the
// encoder writes the newest. The container keeps a frame's variant in its
// frame header.
constexpr int kNewestCoding = 2;
inline bool known_coding(int coding) { return coding >= 0 && coding <= kNewestCoding; }

struct FrameFormat {
    int channels;       // 1 to 32
    int bitsPerSample;  // 8, 16, 24 or 32
    int level;          // 1000, 2000, 3000 or 4000
    int coding = kNewestCoding;  // decoding: the frame's coding variant (the encoder writes the newest)
};

// Appends the coded form of `blocks` blocks of interleaved samples to out.
// Samples are signed and within the range of bitsPerSample (8-bit WAVE
// data is made signed by the caller).
void encode_frame(const FrameFormat& format, const int32_t* interleaved, int blocks,
                  core::Bytes& out);

// The same, checking its own output before it appends it: the parameters
// and entropy-coded residuals read back and compared with what was meant
// (the prediction stages are the same arithmetic both ways). False (out
// unchanged) means the coder failed that check.
bool encode_frame_checked(const FrameFormat& format, const int32_t* interleaved, int blocks,
                          core::Bytes& out);

// Decodes exactly `blocks` blocks from data[0, size) into interleaved.
// Returns false, never reading outside the input nor writing outside the
// output, when the bytes do not decode to that many blocks.
bool decode_frame(const FrameFormat& format, const uint8_t* data, size_t size, int blocks,
                  int32_t* interleaved);

// The encoder, checking its output when `check` says so, and the decoder
// on the samples as WAVE data stores them (bitsPerSample/8 bytes each,
// little-endian, 8 bits unsigned), without a copy of the frame as 32-bit
// samples; the same bytes.
bool encode_frame(const FrameFormat& format, const uint8_t* pcm, int blocks, core::Bytes& out, bool check);
bool decode_frame(const FrameFormat& format, const uint8_t* data, size_t size, int blocks, uint8_t* pcm);

// The decoder on WAVE data in one buffer of decode_work_bytes(channels,
// bitsPerSample, blocks) bytes: the frame's 32-bit channels in its rest,
// the WAVE data written from its start over samples already read. The
// same bytes as decode_frame, with less memory to touch.
size_t decode_work_bytes(int channels, int bitsPerSample, int blocks);
bool decode_frame_in_place(const FrameFormat& format, const uint8_t* data, size_t size, int blocks, uint8_t* work);

// Where a coded frame's bytes go, for the bench: the method and the
// parameters, and the residuals (a verbatim frame's samples count as
// residuals). False when the frame does not parse.
struct FrameAnatomy {
    bool verbatim = false;
    size_t parameters = 0;
    size_t residuals = 0;
};
bool frame_anatomy(const FrameFormat& format, const uint8_t* data, size_t size, int blocks, FrameAnatomy& out);

} // namespace monkeys
