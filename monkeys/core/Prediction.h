// The decoder's side of prediction (private to the coder): the adaptive
// stages undone in reverse order, then the fixed predictor.
#pragma once

#include <cstdint>

#include "FrameLayout.h"

namespace monkeys::core {

// One adaptive stage of any kind on count channels (a stereo stage on
// their pairs), encoding or decoding.
void run_stage(bool encode, int32_t* const* xs, const int* inShifts, int count, int n, const LmsParams& p);

// Turns the residuals xs back into the channels' signals, as h says.
void undo_prediction(const Header& h, int ch, int blocks, int32_t* const* xs);

// The residuals from data[p, end) (ResidualSection.h), then the signals.
// A stereo frame in the one-pass form undoes its prediction a piece at a
// time behind the residuals: each piece as soon as the thread's MD5
// lender has a run for its steps, otherwise once the residuals are done,
// so that the passes of several threads take turns at the one hash.
bool decode_signal(const Header& h, const uint8_t* p, const uint8_t* end, int ch, int blocks, int32_t* const* xs);

} // namespace monkeys::core
