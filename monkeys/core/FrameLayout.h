// The frame's layout and its parameters (private to the coder).
//
// Frame layout (all numbers little-endian):
//
//   byte 0      method: kVerbatim or kPredicted
//   kVerbatim:  the samples as stored in WAVE data, bitsPerSample/8 bytes
//               each, interleaved; chosen whenever coding does not pay.
//   kPredicted: byte  entropy coder (kRice, kRange, kRiceSplit or kTans)
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
//               the residuals (ResidualSection.h; kTans below)
//
// kTans residuals. The coded channels (those not silent, in order) go in
// units: pairs (0,1), (2,3), ... of them and a last one alone. Bit streams
// are read LSB first (bit j of a stream is bit j % 8 of its byte j / 8).
//   the tables: a bit stream, then zero bits to a whole byte:
//     32 bits: bit c set when context c has a table (at least one)
//     for each such context after the first, in order, 1 bit: 1 when it
//       uses the table of the one before it, 0 when a table of its own
//       follows; the tables then follow in the order of first use, each:
//       5 bits M - 1, M <= 29 the number of classes up to the last one
//       used; then frequencies f_0 .. f_(M-2) as Rice codes, parameter k
//       6 for f_0 and then the bit length of the frequency before less 1
//       (at least 0): q < 16 zero bits and a one bit, then k bits r,
//       f = q 2^k + r; or 16 zero bits and f in 11 bits. Their sum must
//       stay below 1024; f_(M-1) is what they leave of 1024; f_j = 0 for
//       j >= M.
//   u32 byte length of each stream but the last: for each unit its state
//     stream, then its raw stream; then those streams
//   a state stream: 3 bits P, P zero bits, 10 bits each: the first state
//     x of each channel of the unit; then for each sample, for each
//     channel of the unit, its state bits. After the last sample each
//     channel's state must be 0, and no bit past the stream may be read.
//   a raw stream: for each sample, for each channel of the unit, its raw
//     bits; no bit past the stream may be read.
//   Each channel has a tracker T and T' (both 256 at the start). A sample
//   of it: q = T' >> 3, context c = q < 28 ? q : 28 + q % 4, shift
//   s = min(max((T' >> 5) - 6, 0), 26); the entry of state x in c's table
//   (Tans.h: a class, bits b and a base) gives the class; the next x is
//   base + the next b state bits; T' = T; T = (T + kTansStep[c][class])
//   mod 2048. The residual's zigzag form u: class < 28: (base_z(class) << s)
//   + the next bits_z(class) + s raw bits, base_z and bits_z of Tans.h;
//   class 28: the next 5 raw bits L - 1, then u = 2^(L-1) + the next L - 1
//   raw bits. A context without a table refuses the frame.
//   A table of frequencies f (sum 1024) lays its classes on the 1024
//   states: class j, f_j times, each at the state after the last by 643
//   (mod 1024), from state 0 and class 0 on. Then, state by state from 0,
//   the state's class j gets n = f_j, f_j + 1, ... in turn: its bits are
//   b = 10 - floor(log2 n), its base (n << b) - 1024.
//
// All arithmetic on samples is modulo 2^32 (done on uint32_t), so every
// step is exactly invertible for any 32-bit input and the decoder
// reproduces the encoder bit for bit on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "FrameCodec.h"
#include "LargeMemory.h"
#include "Lms.h"
#include "Lpc.h"

namespace monkeys::core {

constexpr uint8_t kVerbatim = 0;
constexpr uint8_t kPredicted = 1;

// entropy coders
constexpr uint8_t kRice = 0;       // one bit stream for every channel (read only)
constexpr uint8_t kRange = 1;      // adaptive Golomb through the range coder
constexpr uint8_t kRiceSplit = 2;  // a Rice stream a channel
constexpr uint8_t kTans = 3;       // magnitude classes through tANS, the raw bits apart

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
// A frame's size stored verbatim: the method byte and the samples.
inline size_t raw_frame_bytes(const FrameFormat& f, int blocks)
{
    return 1 + size_t(blocks) * size_t(f.channels) * size_t(f.bitsPerSample / 8);
}
inline bool is_mid_side(const Header& h, int pair) { return (h.midSide[pair / 8] >> (pair % 8)) & 1; }

// The method byte and the parameters of h, appended to out.
void put_parameters(const Header& h, int ch, Bytes& out);
// Reads the parameters after the method byte into h; returns where the
// residuals begin, or null when they are not valid.
const uint8_t* parse_parameters(const FrameFormat& f, int blocks, const uint8_t* data, size_t size, Header& h);
bool same_parameters(const Header& a, const Header& b, int ch);
// The bytes put_parameters writes.
size_t parameters_size(const Header& h, int ch);

// One plane of blocks samples per channel in store (a vector of int32_t).
template <class Store>
void split_planes(Store& store, int ch, int blocks, int32_t** xs)
{
    store.resize(size_t(ch) * blocks);
    for (int c = 0; c < ch; ++c)
        xs[c] = &store[size_t(c) * blocks];
}

} // namespace monkeys::core
