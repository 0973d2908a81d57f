// The residual part of a predicted frame (private to the coder): which
// channels are sent and how each entropy coder lays them out.
//
//   kRice:      the residuals, channel after channel, one bit stream
//               (read only; no coder writes it any more)
//   kRiceSplit: the same code, one bit stream per coded channel: u32
//               byte length of each stream but the last, then the
//               streams in channel order
//   kRange:     u32 length of the range coder's bytes, those bytes, then
//               the raw remainder bits; channel after channel
//   kTans:      the tables (Tans.h), then a state stream and a raw
//               stream for each pair of coded channels and a last single
//               one, with the byte lengths of all but the last before
//               them (FrameLayout.h)
//
// A channel whose residuals are all zero is marked silent among the
// parameters (kSilent in its wasted bits) and not sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "FrameLayout.h"
#include "LargeMemory.h"

namespace monkeys::core {

class TansProgress;

// Marks the channels whose residuals are all zero as silent in h.
void mark_silent(Header& h, int ch, int blocks, int32_t* const* xs);

// Appends the residuals xs of the channels h sends, coded as h says.
void put_residuals(const FrameFormat& f, const Header& h, int blocks, int32_t* const* xs, Bytes& out);

// tANS in two steps, so that the encoder can weigh a way before writing
// it: the residuals analysed into the thread's coder, and about the bytes
// their section takes (the state streams at their ideal length) ...
size_t tans_analyse_section(const FrameFormat& f, const Header& h, int blocks, int32_t* const* xs);
// ... then that section appended to out, from the analysis.
void put_tans_analysed(const FrameFormat& f, const Header& h, Bytes& out);

// The bytes put_residuals writes with the split Rice streams, counted
// without writing them (silent channels already marked).
size_t rice_section_size(const Header& h, int ch, int blocks, int32_t* const* xs);

// The residuals of every channel from data[p, end), silent ones as
// zeros. With compare, xs holds the residuals the frame must give, and
// false means it does not.
// progress (tANS frames of one channel pair) hears how far they are.
bool decode_residuals(const Header& h, const uint8_t* p, const uint8_t* end, int ch, int blocks, int32_t* const* xs,
                      bool compare = false, TansProgress* progress = nullptr);

} // namespace monkeys::core
