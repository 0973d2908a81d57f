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

} // namespace monkeys::core
