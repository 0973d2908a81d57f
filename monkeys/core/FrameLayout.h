// The frame's layout and its parameters (private to the coder).
//
// Frame layout (all numbers little-endian):
//
//   byte 0      method: kVerbatim or kPredicted
//   kVerbatim:  the samples as stored in WAVE data, bitsPerSample/8 bytes
//               each, interleaved; chosen whenever coding does not pay.
//   kPredicted: byte  entropy coder (kRice, kRange or kRiceSplit)
//               coding 0 only: byte 0 (was a pre-emphasis that no coder
//                     ever wrote)
//               byte  number of adaptive filter stages S, then per stage
//                     in the encoder's order: u16 order, byte weight
//                     fraction bits, byte update resolution, and from
//                     coding 2 on a byte kind: 0 a stage of each
//                     channel's own, 1 the stereo stage (orders 16 and
//                     32): on each pair 2p, 2p+1, the first channel a
//                     stage of kind 0; the second one too, its sum
//                     before the shift adding order cross weights
//                     (16-bit, from 0) times the first's 16-bit history
//                     entries 0 .. order-1 samples back (0: the first's
//                     input of the same sample, fed before), each cross
//                     weight moved with the second's last residual sign
//                     by the direction of the entry it weighed in the
//                     last prediction, saturating; the sum wraps to 32
//                     bits. A lone last channel runs kind 0. README.md
//                     gives it step by step.
//               (pairs+7)/8 bytes: bit p set when channels 2p, 2p+1 are
//                     coded as mid/side
//               coding 1 on: byte number of the fixed predictor's
//                     parts J, 1 to 16 (Lpc.h: part_start)
//               per channel: byte wasted low bits (bit 7 set: the
//                     channel's residuals are all zero and not sent),
//                     S bytes filter input shift (one per stage),
//                     then for each part (coding 0: one): byte order P
//                     of the fixed predictor and, when P > 0, byte
//                     fraction bits and P i16 coefficients
//               the residuals (ResidualSection.h)
//
// All arithmetic on samples is modulo 2^32 (done on uint32_t), so every
// step is exactly invertible for any 32-bit input and the decoder
// reproduces the encoder bit for bit on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "FrameCodec.h"
#include "Lms.h"
#include "Lpc.h"

namespace monkeys::core {

constexpr uint8_t kVerbatim = 0;
constexpr uint8_t kPredicted = 1;

// entropy coders
constexpr uint8_t kRice = 0;       // one bit stream for every channel (read only)
constexpr uint8_t kRange = 1;      // adaptive Golomb through the range coder
constexpr uint8_t kRiceSplit = 2;  // a Rice stream a channel

constexpr uint8_t kSilent = 0x80;  // in a channel's wasted bits: nothing coded
constexpr int kMaxStages = 4;

// A way of coding a frame; the decoder reads it all from the frame.
struct Profile {
    uint8_t entropy;
    int lpcOrder;  // most taps of the fitted fixed predictor, 0 for none
    int stages;
    LmsParams stage[kMaxStages];
};

struct Header {
    int coding = kNewestCoding;
    int parts = 1;  // of the fixed predictor
    Profile prof{};
    uint8_t midSide[4] = {};
    uint8_t wasted[32] = {};  // low bits: wasted bits; kSilent: nothing coded
    uint8_t inShift[32][kMaxStages] = {};
    LpcCoefs lpc[32][kMaxLpcParts];  // [channel][part]
};

bool valid_format(const FrameFormat& f);
inline bool is_mid_side(const Header& h, int pair) { return (h.midSide[pair / 8] >> (pair % 8)) & 1; }

// The method byte and the parameters of h, appended to out.
void put_parameters(const Header& h, int ch, std::vector<uint8_t>& out);
// Reads the parameters after the method byte into h; returns where the
// residuals begin, or null when they are not valid.
const uint8_t* parse_parameters(const FrameFormat& f, int blocks, const uint8_t* data, size_t size, Header& h);
bool same_parameters(const Header& a, const Header& b, int ch);
// The bytes put_parameters writes.
size_t parameters_size(const Header& h, int ch);

// One plane of blocks samples per channel in store.
void split_planes(std::vector<int32_t>& store, int ch, int blocks, int32_t** xs);

} // namespace monkeys::core
